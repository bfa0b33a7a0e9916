#pragma once

#include "canvas/tools/tool.h"

// Cuts one connected line 10 pixels left of the pointer; the release throws splinters.
class ChainsawTool final : public Tool {
  public:
    static constexpr int kOffsetX = 10;
    void press(CanvasSurface& canvas, double X, double Y) override;
    void move(CanvasSurface& canvas, double X, double Y) override;
    void release(CanvasSurface& canvas, double X, double Y) override;
};
