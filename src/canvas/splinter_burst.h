#pragma once

#include <QSize>
#include <array>
#include <cstdint>

// The state of the splinters that a hammer strike or a chainsaw release throws. There is one
// set of 21 for the whole program: a new burst restarts all of them.
namespace Formula {

struct SplinterState {
    int32_t Left = 0;       // holder position in canvas pixels
    int32_t Top = 0;        // down is positive
    int32_t Clock = 0;      // rises while positive, falls from 0 on
    int32_t NextClock = 0;  // Clock - 1, worked out at the start of a step
    int32_t Rise = 0;       // height gained in the latest step
    int32_t SpeedX = 0;     // sideways movement per step, -76 to 73
};

constexpr int kSplinterCount = 21;
inline std::array<SplinterState, kSplinterCount> Splinters{};
inline int16_t SplinterIndex = 0;

// (A^2 - B^2) / 2 * -10, rounded to the nearest integer (halves to even); with A = Clock - 1
// and B = Clock it is the 10 * Clock - 5 pixels that one step under gravity gains.
int32_t GravityRise(int32_t A, int32_t B);

// Seeds the random numbers from the clock and restarts all 21 records at (X + 10, Y + 100)
// with a random clock (1 to 30) and sideways speed (-76 to 73).
void SplinterBurst(double X, double Y);

// One step of one splinter, and of all of them in index order.
void StepSplinter(SplinterState& s);
void StepSplinters();

// True once the splinter can never be seen again on a canvas of that size: falling with its
// top below the bottom, or past a side edge and not moving back.
bool SplinterGone(const SplinterState& s, QSize area, QSize sprite);

}  // namespace Formula
