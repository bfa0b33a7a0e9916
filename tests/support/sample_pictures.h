#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QList>
#include <QtEndian>

// Picture files made in memory for tests: Qt writes BMP, JPEG, PNG and single icons itself;
// GIF and icons with several images are put together here.
namespace SamplePictures {

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
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return data;
}

// A GIF of an image with at most 256 colours. The codes are 9-bit literals with a clear code
// often enough that the code width never grows, which every decoder must accept.
inline QByteArray gif(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_Indexed8);
    const int w = image.width(), h = image.height();
    QByteArray out("GIF89a"), table(256 * 3, 0), codes;
    const auto u16 = [&](int v) { out.append(char(v & 0xFF)).append(char(v >> 8 & 0xFF)); };
    u16(w), u16(h);
    out.append("\xF7\0\0", 3);
    for (int i = 0; i < image.colorCount(); ++i)  // red, green, blue
        for (int k = 0; k < 3; ++k) table[i * 3 + k] = char(image.color(i) >> (16 - 8 * k) & 0xFF);
    out.append(table).append(char(0x2C));
    for (int v : {0, 0, w, h}) u16(v);
    out.append("\0\x08", 2);
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

// An icon (or, with hot spots, a cursor) holding every image given, in that order.
inline QByteArray icon(const QList<QImage>& images, bool cursor = false) {
    QByteArray head(6, 0);
    head[2] = char(cursor ? 2 : 1);
    head[4] = char(images.size());
    QByteArray entries, payloads;
    const quint32 first = quint32(6 + 16 * images.size());
    for (const QImage& image : images) {
        const QByteArray single = encode(image.convertToFormat(QImage::Format_ARGB32), "ico");
        QByteArray entry = single.mid(6, 16);
        if (cursor) {
            entry[4] = 1, entry[5] = 0;  // hot spot (1, 2) where an icon keeps planes and depth
            entry[6] = 2, entry[7] = 0;
        }
        const quint32 offset = qToLittleEndian(first + quint32(payloads.size()));
        memcpy(entry.data() + 12, &offset, 4);
        entries.append(entry);
        payloads.append(single.mid(6 + 16));
    }
    return head + entries + payloads;
}

// A BI_RGB bitmap at 16 (5-5-5), 24 or 32 bits a pixel, as other programs write them.
inline QByteArray rawBmp(const QImage& image, int bpp, bool topDown = false) {
    const int w = image.width(), h = image.height(), stride = (w * bpp + 31) / 32 * 4;
    QByteArray out(54 + stride * h, 0);
    auto* p = reinterpret_cast<uchar*>(out.data());
    p[0] = 'B', p[1] = 'M';
    const int fields[][2] = {
        {2, int(out.size())}, {10, 54}, {14, 40}, {18, w}, {22, topDown ? -h : h}};
    for (const auto& [at, value] : fields) qToLittleEndian<qint32>(value, p + at);
    qToLittleEndian<quint16>(1, p + 26);
    qToLittleEndian<quint16>(quint16(bpp), p + 28);
    for (int y = 0; y < h; ++y) {
        uchar* row = p + 54 + (topDown ? y : h - 1 - y) * stride;
        for (int x = 0; x < w; ++x) {
            const QRgb c = image.pixel(x, y);
            if (bpp == 16) {
                const int v = (qRed(c) >> 3) << 10 | (qGreen(c) >> 3) << 5 | qBlue(c) >> 3;
                qToLittleEndian<quint16>(quint16(v), row + x * 2);
            } else {
                uchar* px = row + x * (bpp / 8);
                px[0] = uchar(qBlue(c)), px[1] = uchar(qGreen(c)), px[2] = uchar(qRed(c));
            }
        }
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

// d with its little-endian field of `bytes` bytes at `at` set to v.
inline QByteArray poke(QByteArray d, qsizetype at, quint32 v, int bytes = 4) {
    for (int i = 0; i < bytes; ++i) d[at + i] = char(v >> (8 * i));
    return d;
}

// The bounding box of the pixels in which two pictures of one size differ.
inline QRect changed(const QImage& a, const QImage& b) {
    QRect r;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) r |= QRect(x, y, 1, 1);
    return r;
}

}  // namespace SamplePictures
