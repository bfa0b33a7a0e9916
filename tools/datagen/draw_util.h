#pragma once

#include <QColor>
#include <QPointF>
#include <algorithm>
#include <cmath>
#include <numbers>

constexpr double kPi = std::numbers::pi;

inline double clamp01(double t) {
    return std::clamp(t, 0.0, 1.0);
}

inline double smoothstep(double edge0, double edge1, double x) {
    const double t = clamp01((x - edge0) / (edge1 - edge0));
    return t * t * (3 - 2 * t);
}

inline int mixChannel(int a, int b, double t) {
    return int(std::lround(a + (b - a) * clamp01(t)));
}

inline QColor mix(const QColor& a, const QColor& b, double t) {
    return QColor(mixChannel(a.red(), b.red(), t), mixChannel(a.green(), b.green(), t),
                  mixChannel(a.blue(), b.blue(), t), mixChannel(a.alpha(), b.alpha(), t));
}

inline QPointF polar(double angle, double length) {
    return {std::cos(angle) * length, std::sin(angle) * length};
}

inline double distance(QPointF a, QPointF b) {
    return std::hypot(a.x() - b.x(), a.y() - b.y());
}
