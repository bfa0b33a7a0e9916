#pragma once

#include "canvas/tools/tool.h"

// Prints the whole stamp picture centred on the pointer (an odd extra column or row goes
// right or below).
class StampTool final : public Tool {
  public:
    void press(CanvasSurface& canvas, double X, double Y) override;
};
