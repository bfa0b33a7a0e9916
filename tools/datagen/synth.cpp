#include "synth.h"

#include <algorithm>

#include "draw_util.h"

int samplesFor(double seconds) {
    return int(std::lround(seconds * kSampleRate));
}

Samples whiteNoise(int count, Rng& rng) {
    Samples out(count);
    for (float& s : out) s = float(rng.uniform(-1, 1));
    return out;
}

double envelope(double t, double attack, double tau) {
    const double rise = attack > 0 ? std::min(1.0, t / attack) : 1.0;
    return rise * std::exp(-t / tau);
}

OnePole OnePole::lowPass(double hz) {
    return {1 - std::exp(-2 * kPi * hz / kSampleRate), false};
}

OnePole OnePole::highPass(double hz) {
    const double rc = 1 / (2 * kPi * hz);
    const double dt = 1.0 / kSampleRate;
    return {rc / (rc + dt), true};
}

float OnePole::operator()(float x) {
    if (high_) {
        y_ = a_ * (y_ + x - x1_);
        x1_ = x;
    } else {
        y_ += a_ * (x - y_);
    }
    return float(y_);
}

BandPass::BandPass(double hz, double q) {
    const double w = 2 * kPi * hz / kSampleRate;
    const double alpha = std::sin(w) / (2 * q);
    const double a0 = 1 + alpha;
    b0_ = alpha / a0;
    b2_ = -alpha / a0;
    a1_ = -2 * std::cos(w) / a0;
    a2_ = (1 - alpha) / a0;
}

float BandPass::operator()(float x) {
    const double y = b0_ * x + b2_ * x2_ - a1_ * y1_ - a2_ * y2_;
    x2_ = x1_;
    x1_ = x;
    y2_ = y1_;
    y1_ = y;
    return float(y);
}

void normalise(Samples& samples, double peak) {
    float top = 0;
    for (float s : samples) top = std::max(top, std::abs(s));
    if (top <= 0) return;
    const float gain = float(peak / top);
    for (float& s : samples) s *= gain;
}

void fadeIn(Samples& samples, double seconds) {
    const int n = std::min<int>(samplesFor(seconds), int(samples.size()));
    for (int i = 0; i < n; ++i) samples[i] *= float(i) / n;
}

void fadeOut(Samples& samples, double seconds) {
    const int size = int(samples.size());
    const int n = std::min(samplesFor(seconds), size);
    for (int i = 0; i < n; ++i) samples[size - 1 - i] *= float(i) / n;
}
