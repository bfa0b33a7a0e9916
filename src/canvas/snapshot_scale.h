#pragma once

#include <QSize>
#include <optional>

// A compositor at a fractional scale (1.25, 1.5) tells an older Qt only the whole factor above
// it (2), so the screen's size in device pixels cannot be had from Qt; the compositor's
// snapshot is taken at the output's real mode. The factor at which such a picture covers the
// logical screen exactly, up to a pixel's rounding on each side, when it lies between Qt's
// whole factor and the one below; nothing for any other picture (cut short, of other
// proportions, empty).
std::optional<double> snapshotScale(QSize picture, QSize logicalScreen, double qtFactor);
