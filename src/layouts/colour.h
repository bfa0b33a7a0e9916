#pragma once

#include <QColor>
#include <cstdint>

// Colours cross the windows' interfaces as 0x00BBGGRR, red in the low byte.
using Colour = uint32_t;

constexpr Colour rgb(int r, int g, int b) {
    return static_cast<Colour>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
inline QColor toQColor(Colour c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }
inline Colour fromQColor(const QColor& c) { return rgb(c.red(), c.green(), c.blue()); }

// The system colours of the standard scheme.
namespace SystemColour {
constexpr Colour MenuText = rgb(0, 0, 0);
constexpr Colour ActiveBorder = rgb(212, 208, 200);
constexpr Colour ButtonFace = rgb(192, 192, 192);
constexpr Colour InfoText = rgb(0, 0, 0);
constexpr Colour HighlightText = rgb(255, 255, 255);
}  // namespace SystemColour
