// Writes the fuzzers' starting inputs made in code: one small, valid file of every kind the
// readers take, so the fuzzers start from deep inside each format rather than from noise.
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QtEndian>
#include <cstdio>

#include "support/sample_pictures.h"

using namespace SamplePictures;

namespace {

// A 4 × 2 bitmap with run-length coded 8-bit rows, which no Qt writer produces.
QByteArray rle8Bmp() {
    const QByteArray rows("\x04\x01\x00\x00\x04\x00\x00\x01", 8);
    QByteArray out(54 + 8, 0);
    auto* p = reinterpret_cast<uchar*>(out.data());
    p[0] = 'B', p[1] = 'M';
    qToLittleEndian<quint32>(quint32(out.size() + rows.size()), p + 2);
    qToLittleEndian<quint32>(54 + 8, p + 10);
    qToLittleEndian<quint32>(40, p + 14);
    qToLittleEndian<qint32>(4, p + 18);
    qToLittleEndian<qint32>(2, p + 22);
    qToLittleEndian<quint16>(1, p + 26);
    qToLittleEndian<quint16>(8, p + 28);
    qToLittleEndian<quint32>(1, p + 30);  // BI_RLE8
    qToLittleEndian<quint32>(quint32(rows.size()), p + 34);
    qToLittleEndian<quint32>(2, p + 46);  // two palette colours
    p[54 + 4] = 0xFF, p[54 + 5] = 0xFF, p[54 + 6] = 0xFF;
    return out + rows;
}

bool put(const QDir& dir, const QString& name, const QByteArray& bytes) {
    if (bytes.isEmpty() || !writeFile(dir.filePath(name), bytes)) {
        std::fprintf(stderr, "cannot write seed %s\n", qPrintable(dir.filePath(name)));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral("cursor")) || !out.mkpath(QStringLiteral("picture"))) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    const QDir cursor(out.filePath(QStringLiteral("cursor")));
    const QDir picture(out.filePath(QStringLiteral("picture")));
    const QImage p = pattern(9, 7, 3);
    QImage argb = pattern(16, 16).convertToFormat(QImage::Format_ARGB32);
    argb.setPixel(0, 0, 0x40FF0000u);
    bool ok = true;
    ok &= put(cursor, "one.cur", icon({{pattern(32, 32), {1, 2}}}, 2));
    ok &=
        put(cursor, "two.cur", icon({{pattern(16, 16), {1, 2}}, {pattern(32, 32, 9), {1, 2}}}, 2));
    ok &= put(cursor, "alpha.cur", icon({{argb, {1, 2}}}, 2));
    ok &= put(cursor, "png.cur", icon({{argb, {1, 2}, true}}, 2));
    ok &= put(picture, "24.bmp", encode(p, "bmp"));
    ok &= put(picture, "16.bmp", rawBmp(p, 16));
    ok &= put(picture, "32-top-down.bmp", rawBmp(p, 32, true));
    ok &= put(picture, "indexed.bmp", encode(p.convertToFormat(QImage::Format_Indexed8), "bmp"));
    ok &= put(picture, "mono.bmp", encode(p.convertToFormat(QImage::Format_Mono), "bmp"));
    ok &= put(picture, "rle8.bmp", rle8Bmp());
    ok &= put(picture, "p.jpg", encode(p, "jpeg"));
    ok &= put(picture, "p.gif", gif(p.convertToFormat(QImage::Format_Indexed8)));
    ok &= put(picture, "p.png", encode(argb, "png"));
    ok &= put(picture, "p.ico", icon({p, argb}));
    ok &= put(picture, "p.cur", icon({{argb, {1, 2}}}, 2));
    return ok ? 0 : 1;
}
