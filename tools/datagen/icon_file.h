#pragma once

#include <QByteArray>
#include <QImage>
#include <QPoint>

// Windows .cur with one 32x32 image: 32-bit BGRA colour plus the 1-bit AND mask. Pixels with
// alpha 0 are transparent in both, so old AND/XOR drawing and alpha drawing agree.
QByteArray encodeCursor(const QImage& image, QPoint hotSpot);

// Windows .ico with one 4-bit image in the standard 16-colour palette; alpha below 128 is masked.
QByteArray encodeIcon16(const QImage& image);
