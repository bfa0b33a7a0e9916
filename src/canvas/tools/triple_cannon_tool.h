#pragma once

#include <QPoint>
#include <QRect>
#include <cstdint>

#include "canvas/tools/tool.h"

// Fires a volley of three shots along a diagonal up and left of the pointer: on the press
// (with a pause after each shot and the gun sound) and on every move (neither).
class TripleCannonTool final : public Tool {
  public:
    static constexpr QRect kShot{0, 0, 14, 13};
    static constexpr QPoint kShotCentre{7, 6};
    static constexpr int kShotPauseMs = 10;
    static constexpr int16_t kAimX = -80, kAimY = -50;
    static constexpr int16_t kAimStep = 15;

    void press(CanvasSurface& canvas, double X, double Y) override;
    void move(CanvasSurface& canvas, double X, double Y) override;
    void release(CanvasSurface& canvas, double X, double Y) override;

  private:
    static void volley(CanvasSurface& canvas, double X, double Y, bool fromPress);
};
