#include "icon_file.h"

#include <array>
#include <stdexcept>

#include "bmp.h"
#include "le_bytes.h"

namespace {
constexpr uint32_t kDirectorySize = 6 + 16;  // ICONDIR plus one ICONDIRENTRY

enum class Kind : uint16_t { Icon = 1, Cursor = 2 };

// For icons the last two words are planes and bit count, for cursors the hot spot.
void putDirectory(QByteArray& out, Kind kind, int size, int colourCount, uint16_t word1,
                  uint16_t word2, uint32_t bytes) {
    putLe16(out, 0);
    putLe16(out, uint16_t(kind));
    putLe16(out, 1);
    out.append(char(size));
    out.append(char(size));
    out.append(char(colourCount));
    out.append('\0');
    putLe16(out, word1);
    putLe16(out, word2);
    putLe32(out, bytes);
    putLe32(out, kDirectorySize);
}

// 1 bit per pixel, most significant first, rows bottom-up and padded to 32 bits.
QByteArray andMask(const QImage& image, int alphaThreshold) {
    const int stride = ((image.width() + 31) / 32) * 4;
    QByteArray mask;
    for (int y = image.height() - 1; y >= 0; --y) {
        QByteArray row(stride, '\0');
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) < alphaThreshold)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        }
        mask.append(row);
    }
    return mask;
}

void requireSize(const QImage& image) {
    if (image.size() != QSize(32, 32)) throw std::runtime_error("icons and cursors are 32x32");
}

struct PaletteColour {
    int r, g, b;
};
constexpr std::array<PaletteColour, 16> kVgaPalette{{{0, 0, 0},
                                                     {128, 0, 0},
                                                     {0, 128, 0},
                                                     {128, 128, 0},
                                                     {0, 0, 128},
                                                     {128, 0, 128},
                                                     {0, 128, 128},
                                                     {192, 192, 192},
                                                     {128, 128, 128},
                                                     {255, 0, 0},
                                                     {0, 255, 0},
                                                     {255, 255, 0},
                                                     {0, 0, 255},
                                                     {255, 0, 255},
                                                     {0, 255, 255},
                                                     {255, 255, 255}}};

int nearestPaletteIndex(QRgb pixel) {
    int best = 0;
    int bestDistance = 1 << 30;
    for (int i = 0; i < int(kVgaPalette.size()); ++i) {
        const int dr = qRed(pixel) - kVgaPalette[i].r;
        const int dg = qGreen(pixel) - kVgaPalette[i].g;
        const int db = qBlue(pixel) - kVgaPalette[i].b;
        // Green weighs most in perceived brightness.
        const int d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}
}  // namespace

QByteArray encodeCursor(const QImage& source, QPoint hotSpot) {
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    requireSize(image);
    if (!image.rect().contains(hotSpot))
        throw std::runtime_error("cursor hot spot outside the image");

    QByteArray colour;
    for (int y = image.height() - 1; y >= 0; --y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            const bool clear = qAlpha(p) == 0;
            colour.append(char(clear ? 0 : qBlue(p)));
            colour.append(char(clear ? 0 : qGreen(p)));
            colour.append(char(clear ? 0 : qRed(p)));
            colour.append(char(qAlpha(p)));
        }
    }
    const QByteArray mask = andMask(image, 1);
    const uint32_t imageBytes = uint32_t(colour.size() + mask.size());

    QByteArray out;
    putDirectory(out, Kind::Cursor, 32, 0, uint16_t(hotSpot.x()), uint16_t(hotSpot.y()),
                 40 + imageBytes);
    putBitmapInfoHeader(out, 32, 64, 32, imageBytes, 0);  // height counts colour and mask
    out.append(colour);
    out.append(mask);
    return out;
}

QByteArray encodeIcon16(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    requireSize(image);

    QByteArray palette;
    for (const PaletteColour& c : kVgaPalette) {
        palette.append(char(c.b));
        palette.append(char(c.g));
        palette.append(char(c.r));
        palette.append('\0');
    }
    QByteArray pixels;
    for (int y = image.height() - 1; y >= 0; --y) {
        for (int x = 0; x < image.width(); x += 2) {
            const auto index = [&](int px) {
                const QRgb p = image.pixel(px, y);
                return qAlpha(p) < 128 ? 0 : nearestPaletteIndex(p);
            };
            pixels.append(char((index(x) << 4) | index(x + 1)));
        }
    }
    const QByteArray mask = andMask(image, 128);
    const uint32_t imageBytes = uint32_t(pixels.size() + mask.size());

    QByteArray out;
    putDirectory(out, Kind::Icon, 32, 16, 1, 4, 40 + uint32_t(palette.size()) + imageBytes);
    putBitmapInfoHeader(out, 32, 64, 4, imageBytes, 16);
    out.append(palette);
    out.append(pixels);
    out.append(mask);
    return out;
}
