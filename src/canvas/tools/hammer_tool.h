#pragma once

#include <QRect>
#include <cstdint>

#include "canvas/tools/tool.h"

namespace Formula {
// The crack picture of the latest strike and the distance from its top-left to the pointer.
inline int16_t GlassIndex = 0;
inline int16_t GlassOffsetX = 0, GlassOffsetY = 0;
}  // namespace Formula

// Cracks the glass with one of three pictures and throws splinters.
class HammerTool final : public Tool {
  public:
    static constexpr QRect kCrack{0, 0, 178, 155};
    void press(CanvasSurface& canvas, double X, double Y) override;
};
