#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPoint>
#include <vector>

#include "layouts/data_files.h"

// Builds Windows cursor files byte by byte, so tests can make good ones and break them on
// purpose. Offsets of the fields of a one-picture file are given for the breaking.
namespace CursorBytes {

constexpr int kType = 2, kCount = 4;
constexpr int kEntry = 6;  // first directory entry
constexpr int kEntryWidth = kEntry, kEntryHeight = kEntry + 1, kHotX = kEntry + 4,
              kHotY = kEntry + 6, kEntryBytes = kEntry + 8, kEntryOffset = kEntry + 12;
constexpr int kDib = 22;  // the picture of a one-picture file
constexpr int kDibSize = kDib, kDibWidth = kDib + 4, kDibHeight = kDib + 8, kDibPlanes = kDib + 12,
              kDibBits = kDib + 14, kDibCompression = kDib + 16, kDibColours = kDib + 32;

inline void add16(QByteArray& b, quint32 v) {
    b.append(char(v & 0xFF));
    b.append(char((v >> 8) & 0xFF));
}
inline void add32(QByteArray& b, quint32 v) {
    add16(b, v & 0xFFFF);
    add16(b, v >> 16);
}
inline void put16(QByteArray& b, int at, quint32 v) {
    b[at] = char(v & 0xFF);
    b[at + 1] = char((v >> 8) & 0xFF);
}
inline void put32(QByteArray& b, int at, quint32 v) {
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}

struct Picture {
    QImage image;
    QPoint hotSpot;
    int bits = 32;  // 32 (colour with alpha) or 1 (black and white)
};

// Rows bottom-up, padded to 32 bits; a set mask bit means "no pixel here".
inline QByteArray mask(const QImage& img) {
    const int stride = ((img.width() + 31) / 32) * 4;
    QByteArray out;
    for (int y = img.height() - 1; y >= 0; --y) {
        QByteArray row(stride, '\0');
        for (int x = 0; x < img.width(); ++x)
            if (qAlpha(img.pixel(x, y)) == 0) row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        out += row;
    }
    return out;
}

inline QByteArray bitmap(const Picture& p) {
    const QImage img = p.image.convertToFormat(QImage::Format_ARGB32);
    QByteArray colour, palette;
    if (p.bits == 1) {
        add32(palette, 0x000000);
        add32(palette, 0xFFFFFF);
        const int stride = ((img.width() + 31) / 32) * 4;
        for (int y = img.height() - 1; y >= 0; --y) {
            QByteArray row(stride, '\0');
            for (int x = 0; x < img.width(); ++x)
                if (qAlpha(img.pixel(x, y)) != 0 && qGray(img.pixel(x, y)) > 127)
                    row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
            colour += row;
        }
    } else {
        for (int y = img.height() - 1; y >= 0; --y)
            for (int x = 0; x < img.width(); ++x) add32(colour, img.pixel(x, y));
    }
    const QByteArray m = mask(img);
    QByteArray out;
    add32(out, 40);
    add32(out, quint32(img.width()));
    add32(out, quint32(img.height() * 2));
    add16(out, 1);
    add16(out, quint32(p.bits));
    add32(out, 0);
    add32(out, quint32(colour.size() + m.size()));
    add32(out, 0);
    add32(out, 0);
    add32(out, p.bits == 1 ? 2 : 0);
    add32(out, 0);
    return out + palette + colour + m;
}

inline QByteArray build(const std::vector<Picture>& pictures) {
    QByteArray head, body;
    add16(head, 0);
    add16(head, 2);
    add16(head, quint32(pictures.size()));
    quint32 offset = 6 + 16 * quint32(pictures.size());
    for (const Picture& p : pictures) {
        const QByteArray data = bitmap(p);
        head.append(char(p.image.width() & 0xFF));  // 256 is written as 0
        head.append(char(p.image.height() & 0xFF));
        head.append('\0');
        head.append('\0');
        add16(head, quint32(p.hotSpot.x()));
        add16(head, quint32(p.hotSpot.y()));
        add32(head, quint32(data.size()));
        add32(head, offset);
        offset += quint32(data.size());
        body += data;
    }
    return head + body;
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

inline QByteArray cursor(const QImage& img, QPoint hotSpot, int bits = 32) {
    return build({{img, hotSpot, bits}});
}

// A cursor whose one picture is stored as PNG, as newer cursor files do for large sizes.
inline QByteArray pngCursor(const QImage& img, QPoint hotSpot) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "PNG");
    QByteArray out;
    add16(out, 0);
    add16(out, 2);
    add16(out, 1);
    out.append(char(img.width() & 0xFF));
    out.append(char(img.height() & 0xFF));
    out.append('\0');
    out.append('\0');
    add16(out, quint32(hotSpot.x()));
    add16(out, quint32(hotSpot.y()));
    add32(out, quint32(png.size()));
    add32(out, 22);
    return out + png;
}

inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The hot spot given to the stand-in of tool n.
inline QPoint standInHotSpot(int n) {
    return QPoint(n, 2 * n);
}

// Prop1.cur .. Prop7.cur under dir's cursor directory, each with its own picture and hot spot.
inline bool writeToolCursors(const QString& dir) {
    const QString cursors = dir + QLatin1Char('/') + dataDirName(DataDir::IconCursor);
    if (!QDir().mkpath(cursors)) return false;
    for (int n = 1; n <= 7; ++n)
        if (!writeFile(cursors + DataFiles::toolCursor(n), cursor(sample(n), standInHotSpot(n))))
            return false;
    return true;
}

}  // namespace CursorBytes
