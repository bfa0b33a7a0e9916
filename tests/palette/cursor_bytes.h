#pragma once

#include <QDir>
#include <vector>

#include "layouts/data_files.h"
#include "support/sample_pictures.h"

// Builds Windows cursor files byte by byte, so tests can make good ones and break them on
// purpose; the offsets are those of a one-picture file.
namespace CursorBytes {

using SamplePictures::writeFile;

constexpr int kType = 2, kCount = 4, kEntryWidth = 6, kHotX = 10, kHotY = 12, kEntryBytes = 14,
              kEntryOffset = 18, kDib = 22, kDibWidth = 26, kDibHeight = 30, kDibBits = 36,
              kDibCompression = 38, kPngWidth = 38;

inline void add(QByteArray& b, quint32 v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.append(char((v >> (8 * i)) & 0xFF));
}
inline void put(QByteArray& b, int at, quint32 v, int bytes) {
    for (int i = 0; i < bytes; ++i) b[at + i] = char((v >> (8 * i)) & 0xFF);
}

// A 32-bit bitmap with its mask, rows bottom-up; a set mask bit means "no pixel here".
inline QByteArray bitmap(const QImage& source) {
    const QImage img = source.convertToFormat(QImage::Format_ARGB32);
    const int maskStride = ((img.width() + 31) / 32) * 4;
    QByteArray colour, mask;
    for (int y = img.height() - 1; y >= 0; --y) {
        QByteArray row(maskStride, '\0');
        for (int x = 0; x < img.width(); ++x) {
            add(colour, img.pixel(x, y), 4);
            if (qAlpha(img.pixel(x, y)) == 0) row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        }
        mask += row;
    }
    QByteArray out;
    for (quint32 v : {40, img.width(), img.height() * 2}) add(out, v, 4);
    add(out, 1, 2);   // planes
    add(out, 32, 2);  // bits
    for (int field = 0; field < 6; ++field) add(out, 0, 4);
    return out + colour + mask;
}

struct Picture {
    QImage image;
    QPoint hotSpot;
    bool asPng = false;
};

inline QByteArray build(const std::vector<Picture>& pictures) {
    QByteArray head, body;
    for (quint32 v : {0u, 2u, quint32(pictures.size())}) add(head, v, 2);
    for (const Picture& p : pictures) {
        const QByteArray data = p.asPng ? SamplePictures::encode(p.image, "png") : bitmap(p.image);
        add(head, quint32(p.image.width() & 0xFF), 1);  // 256 is written as 0
        add(head, quint32(p.image.height() & 0xFF), 1);
        add(head, 0, 2);
        add(head, quint32(p.hotSpot.x()), 2);
        add(head, quint32(p.hotSpot.y()), 2);
        add(head, quint32(data.size()), 4);
        add(head, quint32(6 + 16 * pictures.size() + body.size()), 4);
        body += data;
    }
    return head + body;
}
inline QByteArray cursor(const QImage& img, QPoint hotSpot, bool asPng = false) {
    return build({{img, hotSpot, asPng}});
}

// A picture nobody could mistake for another tool's: a square in a colour of its own, a
// white dot whose column is the number, the rest clear.
inline QImage sample(int n, QSize size = QSize(32, 32)) {
    QImage img(size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    const QRgb c = qRgb((n * 37) % 256, (n * 91) % 256, 255 - (n * 53) % 256);
    for (int y = 2; y < size.height() / 2; ++y)
        for (int x = 2; x < size.width() / 2; ++x) img.setPixel(x, y, c);
    img.setPixel(n % size.width(), size.height() - 3, qRgb(255, 255, 255));
    return img;
}

inline QPoint standInHotSpot(int n) {
    return QPoint(n, 2 * n);
}

// Prop1.cur .. Prop7.cur under dir's cursor directory, each with its own picture and hot spot.
inline bool writeToolCursors(const QString& dir) {
    const QString cursors = dir + QLatin1Char('/') + dataDirName(DataDir::IconCursor);
    bool ok = QDir().mkpath(cursors);
    for (int n = 1; n <= 7 && ok; ++n)
        ok = writeFile(cursors + DataFiles::toolCursor(n), cursor(sample(n), standInHotSpot(n)));
    return ok;
}

}  // namespace CursorBytes
