#pragma once

#include <algorithm>
#include <cstdint>

#include "platform/platform.h"

// A fresh seed from the clock, then a whole number from 1 to 3, uniformly: the crack and
// crater pictures are chosen this way.
inline int16_t seededOneToThree() {
    Random& random = *platform().random;
    random.seed(platform().clock->tickCount());
    const int n = static_cast<int>(random.next() * 3 + 1);
    return static_cast<int16_t>(std::clamp(n, 1, 3));
}
