#pragma once

#include <QByteArray>
#include <QImage>
#include <cstdint>

// BITMAPINFOHEADER, shared by plain bitmaps and the DIBs inside icons and cursors.
void putBitmapInfoHeader(QByteArray& out, int width, int height, int bitCount, uint32_t imageBytes,
                         uint32_t paletteSize);

// Uncompressed 24-bit bottom-up BMP. Written by hand so the depth never depends on what Qt's writer
// picks for a given image format.
QByteArray encodeBmp24(const QImage& image);
