#include "canvas/splinter_burst.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "canvas/rounding.h"
#include "platform/platform.h"

namespace Formula {

namespace {
constexpr int kOffsetX = 10, kOffsetY = 100;
constexpr int kClockSpan = 30;
constexpr int kSpeedSpan = 150, kSpeedBase = -76;
}  // namespace

int32_t GravityRise(int32_t A, int32_t B) {
    const double a = A, b = B;
    const double rise = std::nearbyint((a * a - b * b) / 2 * -10);
    // Bursts never come near the limits; saturating keeps a stray call defined all the same.
    constexpr double lo = std::numeric_limits<int32_t>::min();
    constexpr double hi = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(std::clamp(rise, lo, hi));
}

void SplinterBurst(double X, double Y) {
    Random& random = *platform().random;
    random.seed(platform().clock->tickCount());
    // roundPx bounds the start, so no later step of a burst can overflow 32 bits.
    const int32_t left = roundPx(X + kOffsetX), top = roundPx(Y + kOffsetY);
    for (SplinterIndex = 0; SplinterIndex < kSplinterCount; ++SplinterIndex) {
        SplinterState& s = Splinters[SplinterIndex];
        s.Clock = std::clamp(static_cast<int32_t>(random.next() * kClockSpan + 1), 1, kClockSpan);
        s.Left = left;
        s.Top = top;
        s.SpeedX =
            std::clamp(static_cast<int32_t>(std::floor(random.next() * kSpeedSpan + kSpeedBase)),
                       kSpeedBase, kSpeedBase + kSpeedSpan - 1);
    }
}

void StepSplinter(SplinterState& s) {
    s.NextClock = s.Clock - 1;
    s.Rise = GravityRise(s.NextClock, s.Clock);
    s.Top = s.Top - s.Rise;
    s.Left = s.Left + s.SpeedX;
    s.Clock = s.NextClock;
}

void StepSplinters() {
    for (SplinterIndex = 0; SplinterIndex < kSplinterCount; ++SplinterIndex)
        StepSplinter(Splinters[SplinterIndex]);
}

bool SplinterGone(const SplinterState& s, QSize area, QSize sprite) {
    // From Clock 0 on every step goes down, so a splinter below the bottom stays there.
    const bool fallenOut = s.Clock <= 0 && s.Top >= area.height();
    const bool leftOut = s.Left + sprite.width() <= 0 && s.SpeedX <= 0;
    const bool rightOut = s.Left >= area.width() && s.SpeedX >= 0;
    return fallenOut || leftOut || rightOut;
}

}  // namespace Formula
