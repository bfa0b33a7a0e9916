#pragma once

#include <cstdint>

// Fixed-seed SplitMix64. The standard distributions differ between library vendors, so every
// value is derived here and the data files come out the same on every build.
class Rng {
  public:
    explicit Rng(uint64_t seed) : state_(seed) {}

    uint64_t next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double uniform() { return double(next() >> 11) * 0x1.0p-53; }  // [0, 1)
    double uniform(double lo, double hi) { return lo + (hi - lo) * uniform(); }
    int below(int n) { return int(uniform() * n); }
    double sign() { return uniform() < 0.5 ? -1.0 : 1.0; }

  private:
    uint64_t state_;
};
