#include "sounds.h"

#include <algorithm>

#include "synth.h"

namespace {
void addScaled(Samples& out, const Samples& part, double gain) {
    for (size_t i = 0; i < out.size() && i < part.size(); ++i) out[i] += float(part[i] * gain);
}

Samples normalised(Samples s, double peak = 1.0) {
    normalise(s, peak);
    return s;
}

// Frequency falling from `from` to `to` with time constant `tau`.
Samples fallingTone(int count, double from, double to, double tau) {
    Samples out(count);
    double cycles = 0;
    for (int i = 0; i < count; ++i) {
        out[i] = float(sine(cycles));
        cycles += (to + (from - to) * std::exp(-timeOf(i) / tau)) / kSampleRate;
    }
    return out;
}

Samples decaying(Samples s, double attack, double tau) {
    for (size_t i = 0; i < s.size(); ++i) s[i] *= float(envelope(timeOf(int(i)), attack, tau));
    return s;
}
}  // namespace

Samples chainsawIdle() {
    Rng rng(0xC4A1);
    const int n = samplesFor(1.0);
    constexpr int kFirings = 25;  // per second: a slow two-stroke putter
    // Uneven firings, as a real idling engine: no stretch of the loop repeats another, so the
    // loop's start is found again in a recording of it.
    std::vector<int> firingAt(kFirings + 1, n);
    std::vector<double> strength(kFirings);
    for (int k = 0; k < kFirings; ++k) {
        firingAt[k] = int((k + rng.uniform(-0.3, 0.3) * (k > 0)) * n / kFirings);
        strength[k] = rng.uniform(0.7, 1.0);
    }
    const Samples rough = normalised(loopFiltered(whiteNoise(n, rng), BandPass(900, 1.2)));

    Samples out(n);
    for (int i = 0, k = 0; i < n; ++i) {
        while (i >= firingAt[k + 1]) ++k;
        const double t = timeOf(i);
        const double firing = envelope(timeOf(i - firingAt[k]), 0.0015, 0.013) * strength[k];
        const double buzz = 0.6 * saw(75 * t) + 0.3 * saw(150 * t);
        out[i] = float(firing * (0.7 * buzz + 0.6 * rough[i]) + 0.12 * sine(50 * t));
    }
    out = loopFiltered(out, OnePole::lowPass(2200));
    normalise(out, 0.6);
    return out;
}

Samples chainsawCut() {
    Rng rng(0xC4A2);
    const int n = samplesFor(1.0);
    const Samples chips = normalised(loopFiltered(whiteNoise(n, rng), BandPass(3200, 0.9)));
    Samples out(n);
    for (int i = 0; i < n; ++i) {
        const double t = timeOf(i);
        const double phase = 130 * t + 0.08 * sine(6 * t);  // engine screaming, wavering a little
        const double tone = 0.5 * saw(phase) + 0.3 * saw(2 * phase) + 0.15 * sine(3 * phase);
        const double load = 0.8 + 0.2 * sine(15 * t);
        const double bite = 0.6 + 0.4 * sine(9 * t + 0.2);
        out[i] = float(0.7 * load * tone + 0.5 * bite * chips[i]);
    }
    out = loopFiltered(out, OnePole::lowPass(6000));
    normalise(out, 0.7);
    return out;
}

Samples glassBreak() {
    Rng rng(0x61A5);
    const int n = samplesFor(0.8);
    Samples out(n, 0.0f);
    // The crash itself, bright noise dying away fast, and a softer one as the pieces land.
    const Samples hiss = filtered(whiteNoise(n, rng), OnePole::highPass(2000));
    addScaled(out, decaying(hiss, 0.001, 0.04), 0.9);
    const int landing = samplesFor(0.26);
    Samples second(hiss.begin() + landing, hiss.end());
    second.insert(second.begin(), landing, 0.0f);
    for (int i = landing; i < n; ++i)
        second[i] *= float(envelope(timeOf(i - landing), 0.002, 0.03));
    addScaled(out, second, 0.35);
    // Falling pieces ring: pairs of inharmonic partials, denser at first.
    for (int k = 0; k < 48; ++k) {
        const double u = rng.uniform();
        const int start = samplesFor(0.65 * std::pow(u, 1.5));
        const double freq = rng.uniform(2500, 7500);
        const double tau = rng.uniform(0.015, 0.07);
        const double gain = 0.5 * (1 - u * 0.7) * rng.uniform(0.4, 1.0);
        for (int i = start; i < n; ++i) {
            const double t = timeOf(i - start);
            const double env = envelope(t, 0.0008, tau);
            if (t > 0.001 && env < 1e-4) break;
            out[i] += float(gain * env * (sine(freq * t) + 0.5 * sine(freq * 2.76 * t)));
        }
    }
    normalise(out, 0.85);
    fadeOut(out, 0.05);
    return out;
}

Samples circleWhoosh() {
    Rng rng(0xC1C1);
    const int n = samplesFor(1.0);
    const Samples air = normalised(loopFiltered(whiteNoise(n, rng), BandPass(700, 0.8)));
    Samples out(n);
    for (int i = 0; i < n; ++i) {
        const double t = timeOf(i);
        const double swirl = 0.5 + 0.5 * sine(2 * t);  // the pen goes round twice a second
        const double hum = 0.35 * sine(110 * t) + 0.15 * sine(220 * t) + 0.08 * sine(330 * t);
        out[i] = float(air[i] * (0.3 + 0.7 * swirl) + 0.5 * hum * (0.6 + 0.4 * swirl));
    }
    out = loopFiltered(out, OnePole::lowPass(3000));
    normalise(out, 0.45);
    return out;
}

Samples squareScratch() {
    Rng rng(0x5C5C);
    const int n = samplesFor(0.5);
    constexpr int kTicks = 4;  // one per corner
    const Samples scratch = normalised(loopFiltered(whiteNoise(n, rng), BandPass(2500, 1.5)));
    const Samples click = normalised(loopFiltered(whiteNoise(n, rng), OnePole::highPass(1500)));
    Samples out(n);
    for (int i = 0; i < n; ++i) {
        const double t = timeOf(i);
        const double since = timeOf(i % (n / kTicks));
        const double tick = envelope(since, 0.0005, 0.004) * click[i] +
                            0.4 * envelope(since, 0.0005, 0.01) * sine(1800 * since);
        out[i] = float(0.8 * tick + 0.25 * scratch[i] * (0.7 + 0.3 * sine(16 * t)));
    }
    normalise(out, 0.5);
    return out;
}

Samples cannonShot() {
    Rng rng(0x6B6B);
    const int n = samplesFor(0.4);
    Samples out(n, 0.0f);
    addScaled(
        out,
        decaying(normalised(filtered(whiteNoise(n, rng), OnePole::highPass(3000))), 0.0005, 0.006),
        0.5);
    addScaled(
        out,
        decaying(normalised(filtered(whiteNoise(n, rng), OnePole::lowPass(1800))), 0.001, 0.045),
        0.9);
    addScaled(out, decaying(fallingTone(n, 155, 45, 0.03), 0.001, 0.09), 0.9);
    normalise(out, 0.9);
    fadeOut(out, 0.04);
    return out;
}

Samples bigBlast() {
    Rng rng(0xB0B0);
    const int n = samplesFor(1.2);
    Samples out(n, 0.0f);
    addScaled(
        out,
        decaying(normalised(filtered(whiteNoise(n, rng), OnePole::highPass(2500))), 0.0005, 0.015),
        0.4);
    Samples rumble =
        filtered(filtered(whiteNoise(n, rng), OnePole::lowPass(250)), OnePole::lowPass(250));
    addScaled(out, decaying(normalised(rumble), 0.008, 0.4), 1.0);
    addScaled(out, decaying(fallingTone(n, 88, 28, 0.15), 0.004, 0.45), 0.9);
    // Debris coming down after the blast.
    Samples debris(n, 0.0f);
    for (int k = 0; k < 60; ++k) {
        const double at = rng.uniform(0.1, 0.9);
        const int start = samplesFor(at);
        const double gain = rng.uniform(0.2, 1.0) * (1 - at);
        for (int i = start; i < std::min(n, start + samplesFor(0.02)); ++i)
            debris[i] +=
                float(gain * envelope(timeOf(i - start), 0.0005, 0.004) * rng.uniform(-1, 1));
    }
    addScaled(out, filtered(debris, OnePole::lowPass(1200)), 0.8);
    normalise(out, 0.95);
    fadeOut(out, 0.15);
    return out;
}

Samples stampThump() {
    Rng rng(0x7070);
    const int n = samplesFor(0.25);
    Samples out(n, 0.0f);
    addScaled(out, decaying(fallingTone(n, 240, 90, 0.02), 0.0005, 0.05), 1.0);
    // The wooden handle knocks: a bright partial that no other sound has.
    addScaled(out, decaying(fallingTone(n, 640, 600, 0.05), 0.0005, 0.025), 0.35);
    addScaled(
        out,
        decaying(normalised(filtered(whiteNoise(n, rng), OnePole::lowPass(1500))), 0.0003, 0.006),
        0.35);
    normalise(out, 0.8);
    fadeOut(out, 0.03);
    return out;
}

Samples softPop() {
    Rng rng(0x0B0B);
    const int n = samplesFor(0.09);
    Samples out(n, 0.0f);
    addScaled(out, decaying(fallingTone(n, 620, 420, 0.03), 0.003, 0.025), 1.0);
    addScaled(out,
              decaying(normalised(filtered(whiteNoise(n, rng), BandPass(1200, 1.0))), 0.002, 0.02),
              0.3);
    normalise(out, 0.25);
    fadeOut(out, 0.02);
    return out;
}
