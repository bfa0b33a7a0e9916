#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QList>
#include <QtEndian>

// Picture and sound files made in memory for tests: Qt writes BMP, JPEG, PNG and single icons
// itself; GIF, icons with several images, cursors and wave files are put together here.
namespace SamplePictures {

// v as `bytes` little-endian bytes.
inline QByteArray le(quint32 v, int bytes) {
    QByteArray b(bytes, '\0');
    for (int i = 0; i < bytes; ++i) b[i] = char(v >> (8 * i));
    return b;
}
// d with its little-endian field of `bytes` bytes at `at` set to v.
inline QByteArray poke(QByteArray d, qsizetype at, quint32 v, int bytes = 4) {
    return d.replace(at, bytes, le(v, bytes));
}

// A picture whose every pixel differs from its neighbours, so shifts and flips show up.
inline QImage pattern(int width, int height, int seed = 0) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y,
                           qRgb((x * 7 + seed) & 0xFF, (y * 13 + seed) & 0xFF, (x ^ y) & 0xFF));
    return image;
}

inline QByteArray encode(const QImage& image, const char* format) {
    QByteArray data;
    QBuffer buffer(&data);
    image.save(&buffer, format);  // the writer opens the buffer
    return data;
}

// A GIF of an image with at most 256 colours. The codes are 9-bit literals with a clear code
// often enough that the code width never grows, which every decoder must accept.
inline QByteArray gif(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_Indexed8);
    const int w = image.width(), h = image.height();
    QByteArray table(256 * 3, 0), codes;
    for (int i = 0; i < image.colorCount(); ++i)  // red, green, blue
        for (int k = 0; k < 3; ++k) table[i * 3 + k] = char(image.color(i) >> (16 - 8 * k) & 0xFF);
    QByteArray out = "GIF89a" + le(w, 2) + le(h, 2) + QByteArray("\xF7\0\0", 3) + table + '\x2C' +
                     le(0, 4) + le(w, 2) + le(h, 2) + QByteArray("\0\x08", 2);
    quint32 bits = 0;
    int count = 0, i = 0;
    const auto put = [&](int code) {
        for (bits |= quint32(code) << count, count += 9; count >= 8; bits >>= 8, count -= 8)
            codes.append(char(bits & 0xFF));
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x, ++i) {
            if (i % 250 == 0) put(256);
            put(image.pixelIndex(x, y));
        }
    put(257);
    if (count > 0) codes.append(char(bits & 0xFF));
    for (int k = 0; k < codes.size(); k += 255)
        out.append(char(qMin(255, int(codes.size()) - k))).append(codes.mid(k, 255));
    return out.append("\0\x3B", 2);
}

// One picture of an icon or cursor file: a cursor's carries its hot spot, and any may be
// stored as PNG instead of a bitmap.
struct IconPicture {
    IconPicture(QImage i, QPoint h = {}, bool png = false) : image(i), hotSpot(h), asPng(png) {}
    QImage image;
    QPoint hotSpot;
    bool asPng;
};

// An icon (type 1) or cursor (type 2) holding every picture given, in that order. Qt writes
// each picture as a single icon: 32-bit colour and its mask, rows bottom-up.
inline QByteArray icon(const QList<IconPicture>& pictures, int type = 1) {
    QByteArray entries, payloads;
    for (const auto& [image, hotSpot, asPng] : pictures) {
        const QByteArray single = encode(image.convertToFormat(QImage::Format_ARGB32), "ico");
        const QByteArray data = asPng ? encode(image, "png") : single.mid(6 + 16);
        QByteArray entry = poke(single.mid(6, 16), 8, quint32(data.size()));
        if (type == 2) entry = poke(entry, 4, quint32(hotSpot.x() | hotSpot.y() << 16));
        entries += poke(entry, 12, quint32(6 + 16 * pictures.size() + payloads.size()));
        payloads += data;
    }
    return le(0, 2) + le(type, 2) + le(quint32(pictures.size()), 2) + entries + payloads;
}

// A BI_RGB bitmap at 16 (5-5-5), 24 or 32 bits a pixel, as other programs write them.
inline QByteArray rawBmp(const QImage& image, int bpp, bool topDown = false) {
    const int w = image.width(), h = image.height(), stride = (w * bpp + 31) / 32 * 4;
    QByteArray out = "BM" + le(54 + stride * h, 4) + le(0, 4) + le(54, 4) + le(40, 4) + le(w, 4) +
                     le(topDown ? -h : h, 4) + le(1, 2) + le(bpp, 2) + QByteArray(24, 0);
    for (int y = 0; y < h; ++y) {
        QByteArray row(stride, 0);
        for (int x = 0; x < w; ++x) {
            const QRgb c = image.pixel(x, topDown ? y : h - 1 - y);
            const quint32 v = bpp == 16
                                  ? (qRed(c) >> 3) << 10 | (qGreen(c) >> 3) << 5 | qBlue(c) >> 3
                                  : c & 0xFFFFFF;
            row.replace(x * (bpp / 8), qMin(bpp / 8, 3), le(v, qMin(bpp / 8, 3)));
        }
        out += row;
    }
    return out;
}

inline bool writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

inline QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The pixels whose colour differs between two pictures, leaving out those inside ignore.
struct Changes {
    QRect box;  // empty when nothing differs
    int count = 0;
};
inline Changes changes(const QImage& a, const QImage& b, const QRect& ignore = {}) {
    Changes c;
    for (int y = 0; y < qMin(a.height(), b.height()); ++y)
        for (int x = 0; x < qMin(a.width(), b.width()); ++x)
            if (((a.pixel(x, y) ^ b.pixel(x, y)) & 0xFFFFFFu) && !ignore.contains(x, y))
                c.box |= QRect(x, y, 1, 1), ++c.count;
    return c;
}

// A RIFF/WAVE file: format tag, channels, rate, bits, and the samples after its 44-byte head,
// whose data chunk states their size unless told another.
inline QByteArray wave(int tag, int channels, int rate, int bits, const QByteArray& data,
                       qsizetype stated = -1) {
    const quint32 size = quint32(stated < 0 ? data.size() : stated), frame = channels * bits / 8;
    return "RIFF" + le(36 + size, 4) + "WAVEfmt " + le(16, 4) + le(tag, 2) + le(channels, 2) +
           le(rate, 4) + le(rate * frame, 4) + le(frame, 2) + le(bits, 2) + "data" + le(size, 4) +
           data;
}

}  // namespace SamplePictures
