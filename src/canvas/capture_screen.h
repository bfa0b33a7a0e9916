#pragma once

#include <cstdint>

// The screen snapshot the canvas starts from.
namespace Formula {

// The primary screen's size in device pixels as of the latest snapshot.
inline int32_t ScreenWidthPx = 0;
inline int16_t ScreenHeightPx = 0;

// A screen length in twips over twips per pixel, each rounded to whole numbers first
// (halves to even), with integer division; 0 when there is no whole twip per pixel.
int32_t ScreenPixels(double twips, double twipsPerPixel);

// Sizes the canvas to the primary screen and copies the screen's pixels, at the screen's
// device resolution, into its image at (0, 0). When the platform cannot take the snapshot the user
// is told why, the canvas has only its background colour, and the result is false.
bool CaptureScreen();

}  // namespace Formula
