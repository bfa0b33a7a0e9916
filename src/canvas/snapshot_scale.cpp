#include "canvas/snapshot_scale.h"

#include <cmath>

std::optional<double> snapshotScale(QSize picture, QSize logicalScreen, double qtFactor) {
    if (picture.isEmpty() || logicalScreen.isEmpty() || qtFactor != std::floor(qtFactor))
        return std::nullopt;
    const double s = double(picture.width()) / logicalScreen.width();
    // The compositor rounds each side of the mode to logical pixels on its own.
    if (s <= 1 || s <= qtFactor - 1 || s >= qtFactor ||
        std::abs(logicalScreen.height() * s - picture.height()) > 1)
        return std::nullopt;
    return s;
}
