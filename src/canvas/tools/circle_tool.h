#pragma once

#include "canvas/tools/tool.h"

// An outline of radius PenSize at the pointer on the press and on every move.
class CircleTool final : public Tool {
  public:
    void press(CanvasSurface& canvas, double X, double Y) override;
    void move(CanvasSurface& canvas, double X, double Y) override;
    void release(CanvasSurface& canvas, double X, double Y) override;
};
