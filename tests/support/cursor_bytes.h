#pragma once

#include "support/sample_pictures.h"

// Builds cursor files byte by byte, so tests can make good ones and break them on purpose;
// the offsets are those of a one-picture file.
namespace CursorBytes {

constexpr int kType = 2, kCount = 4, kEntryWidth = 6, kHotX = 10, kEntryOffset = 18, kDibWidth = 26,
              kDibHeight = 30, kDibCompression = 38, kPngWidth = 38;

using SamplePictures::le;

// A 32-bit bitmap with its mask, rows bottom-up; a set mask bit means "no pixel here".
inline QByteArray bitmap(const QImage& source) {
    const QImage img = source.convertToFormat(QImage::Format_ARGB32);
    QByteArray out, mask;
    for (quint32 v : {40, img.width(), img.height() * 2, 1 | 32 << 16}) out += le(v, 4);
    out.append(24, '\0');  // planes 1 and 32 bits above; no compression, sizes or palette
    for (int y = img.height() - 1; y >= 0; --y) {
        QByteArray row((img.width() + 31) / 32 * 4, '\0');
        for (int x = 0; x < img.width(); ++x) {
            out += le(img.pixel(x, y), 4);
            if (qAlpha(img.pixel(x, y)) == 0) row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        }
        mask += row;
    }
    return out + mask;
}

struct Picture {
    QImage image;
    QPoint hotSpot;
    bool asPng = false;
};

inline QByteArray build(const std::vector<Picture>& pictures) {
    QByteArray head = le(0, 2) + le(2, 2) + le(quint32(pictures.size()), 2), body;
    for (const auto& [image, hot, asPng] : pictures) {
        const QByteArray data = asPng ? SamplePictures::encode(image, "png") : bitmap(image);
        // 256 pixels is written as 0
        for (quint32 v : {quint32((image.width() & 0xFF) | (image.height() & 0xFF) << 8),
                          quint32(hot.x() | (hot.y() << 16)), quint32(data.size()),
                          quint32(6 + 16 * pictures.size() + body.size())})
            head += le(v, 4);
        body += data;
    }
    return head + body;
}
inline QByteArray cursor(const QImage& img, QPoint hotSpot, bool asPng = false) {
    return build({{img, hotSpot, asPng}});
}

// A picture nobody could mistake for another: a square in a colour of its own, a white dot
// whose column is the number, the rest clear.
inline QImage sample(int n, QSize size = QSize(32, 32)) {
    QImage img(size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    const QRgb c = qRgb((n * 37) % 256, (n * 91) % 256, 255 - (n * 53) % 256);
    for (int y = 2; y < size.height() / 2; ++y)
        for (int x = 2; x < size.width() / 2; ++x) img.setPixel(x, y, c);
    img.setPixel(n % size.width(), size.height() - 3, qRgb(255, 255, 255));
    return img;
}

}  // namespace CursorBytes
