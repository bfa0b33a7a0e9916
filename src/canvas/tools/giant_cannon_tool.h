#pragma once

#include <QPoint>
#include <QRect>
#include <cstdint>

#include "canvas/tools/tool.h"

namespace Formula {
// The crater picture (1 to 3) of the latest strike.
inline int16_t CraterIndex = 0;
}  // namespace Formula

// A muzzle flash, a pause, the bang, then one of three craters; both share one centre 70
// pixels up and left of the pointer.
class GiantCannonTool final : public Tool {
  public:
    static constexpr QRect kMuzzle{0, 0, 20, 19};
    static constexpr QPoint kMuzzleOffset{80, 80};
    static constexpr QRect kCrater{0, 0, 60, 60};
    static constexpr QPoint kCraterOffset{100, 100};
    static constexpr int kPauseMs = 100;

    void press(CanvasSurface& canvas, double X, double Y) override;
};
