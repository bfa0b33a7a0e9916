#pragma once

#include "canvas/tools/tool.h"

// A box outline 2 * BoxSize + 1 pixels across, centred on the pointer, on press and every move.
class SquareTool final : public Tool {
  public:
    void press(CanvasSurface& canvas, double X, double Y) override;
    void move(CanvasSurface& canvas, double X, double Y) override;
    void release(CanvasSurface& canvas, double X, double Y) override;
};
