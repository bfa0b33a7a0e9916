#pragma once

#include <cmath>
#include <numbers>

#include "rng.h"
#include "wav.h"

int samplesFor(double seconds);
inline double timeOf(int sample) {
    return double(sample) / kSampleRate;
}

Samples whiteNoise(int count, Rng& rng);

// Naive sawtooth in [-1, 1); `cycles` is the phase counted in whole cycles.
inline double saw(double cycles) {
    return 2 * (cycles - std::floor(cycles + 0.5));
}
inline double sine(double cycles) {
    return std::sin(2 * std::numbers::pi * cycles);
}

// Decays from 1 with time constant `tau`, after a linear rise over `attack` seconds.
double envelope(double t, double attack, double tau);

class OnePole {
  public:
    static OnePole lowPass(double hz);
    static OnePole highPass(double hz);
    float operator()(float x);

  private:
    OnePole(double a, bool high) : a_(a), high_(high) {}
    double a_;
    bool high_;
    double y_ = 0, x1_ = 0;
};

// Band-pass biquad with 0 dB peak gain.
class BandPass {
  public:
    BandPass(double hz, double q);
    float operator()(float x);

  private:
    double b0_, b2_, a1_, a2_;
    double x1_ = 0, x2_ = 0, y1_ = 0, y2_ = 0;
};

template <class Filter>
Samples filtered(const Samples& input, Filter filter) {
    Samples out;
    out.reserve(input.size());
    for (float x : input) out.push_back(filter(x));
    return out;
}

// Filters `input` as if it repeated forever: a warm-up pass leaves the filter in the state it
// has at the loop's end, so the result joins its own start without a click.
template <class Filter>
Samples loopFiltered(const Samples& input, Filter filter) {
    for (float x : input) filter(x);
    return filtered(input, filter);
}

void normalise(Samples& samples, double peak);
void fadeIn(Samples& samples, double seconds);
void fadeOut(Samples& samples, double seconds);
