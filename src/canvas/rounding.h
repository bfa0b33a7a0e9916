#pragma once

#include <QPoint>
#include <algorithm>
#include <cmath>

// Canvas coordinates arrive as floating point and are rounded to whole pixels, halves to even.
// Far-off values are pulled into a range where no offset arithmetic on them can overflow.
constexpr double kCoordinateLimit = 1 << 20;

inline int roundPx(double v) {
    if (std::isnan(v)) return 0;
    return static_cast<int>(std::nearbyint(std::clamp(v, -kCoordinateLimit, kCoordinateLimit)));
}

inline QPoint roundPx(double x, double y) {
    return QPoint(roundPx(x), roundPx(y));
}
