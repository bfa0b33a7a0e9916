#include "bmp.h"

#include "le_bytes.h"

namespace {
constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
}  // namespace

void putBitmapInfoHeader(QByteArray& out, int width, int height, int bitCount, uint32_t imageBytes,
                         uint32_t paletteSize) {
    putLe32(out, kInfoHeaderSize);
    putLe32(out, uint32_t(width));
    putLe32(out, uint32_t(height));
    putLe16(out, 1);  // planes
    putLe16(out, uint16_t(bitCount));
    putLe32(out, 0);  // BI_RGB
    putLe32(out, imageBytes);
    putLe32(out, 0);  // pixels per metre: unknown
    putLe32(out, 0);
    putLe32(out, paletteSize);
    putLe32(out, 0);  // all colours important
}

QByteArray encodeBmp24(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    const int width = image.width();
    const int height = image.height();
    const int stride = (width * 3 + 3) & ~3;
    const uint32_t pixelBytes = uint32_t(stride * height);
    const uint32_t offset = kFileHeaderSize + kInfoHeaderSize;

    QByteArray out;
    out.reserve(int(offset + pixelBytes));
    out.append("BM", 2);
    putLe32(out, offset + pixelBytes);
    putLe32(out, 0);  // reserved
    putLe32(out, offset);
    putBitmapInfoHeader(out, width, height, 24, pixelBytes, 0);
    const QByteArray padding(stride - width * 3, '\0');
    for (int y = height - 1; y >= 0; --y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            out.append(char(qBlue(row[x])));
            out.append(char(qGreen(row[x])));
            out.append(char(qRed(row[x])));
        }
        out.append(padding);
    }
    return out;
}
