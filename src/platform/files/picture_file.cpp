#include "platform/files/picture_file.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QSaveFile>
#include <QtEndian>
#include <limits>

#include "platform/os_reason.h"
#include "platform/platform.h"

namespace PictureFile {
namespace {

constexpr int kBmpHeaderBytes = 14 + 40;
// Icons list at most this many images; a forged count must not make us walk forever.
constexpr int kMaxIconImages = 256;

ReadResult fail(const QString& reason) {
    return {QImage(), reason};
}

// Reads past the end give 0, so a short header can never read outside the file.
quint32 le32(const QByteArray& d, qsizetype at) {
    quint32 v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | (at + i < d.size() ? quint8(d.at(at + i)) : 0u);
    return v;
}
quint16 le16(const QByteArray& d, qsizetype at) {
    return quint16(le32(d, at) & 0xFFFF);
}
quint8 byteAt(const QByteArray& d, qsizetype at) {
    return at >= 0 && at < d.size() ? static_cast<quint8>(d.at(at)) : 0;
}

bool tooLarge(QSize s) {
    if (s.width() > kMaxSide || s.height() > kMaxSide) return true;
    return qint64(s.width()) * qint64(s.height()) * 4 > kMaxPixelBytes;
}

QString tooLargeReason(QSize s) {
    return QStringLiteral("圖片太大（%1 × %2 像素）；最大只能讀取 %3 × %3 像素、%4 MB。")
        .arg(s.width())
        .arg(s.height())
        .arg(kMaxSide)
        .arg(kMaxPixelBytes / (1024 * 1024));
}

// Qt's bitmap reader fills missing rows with black and reports success; an uncompressed
// bitmap says exactly how many bytes it needs, so check them.
bool bmpComplete(const QByteArray& d) {
    if (d.size() < 18) return false;
    const qint64 offBits = le32(d, 10);
    const quint32 headerSize = le32(d, 14);
    qint64 width = 0, height = 0;
    int bpp = 0;
    quint32 compression = 0;
    if (headerSize == 12) {  // the old core header
        if (d.size() < 26) return false;
        width = le16(d, 18);
        height = le16(d, 20);
        bpp = le16(d, 24);
    } else {
        if (d.size() < 34) return false;
        width = qint32(le32(d, 18));
        height = qint32(le32(d, 22));
        bpp = le16(d, 28);
        compression = le32(d, 30);
    }
    if (offBits > d.size()) return false;
    // Compressed rows have no fixed size; those are left to the decoder.
    if (compression != 0 && compression != 3 && compression != 6) return true;
    const qint64 stride = (qAbs(width) * bpp + 31) / 32 * 4;
    // Divided, not multiplied: a hostile header's rows times its height overflows 64 bits.
    return stride == 0 || qAbs(height) <= (d.size() - offBits) / stride;
}

// A cut-off JPEG decodes to grey rows without an error; a whole one has its end marker after
// the start of the scan.
bool jpegComplete(const QByteArray& d) {
    qsizetype pos = 2;
    while (pos + 4 <= d.size()) {
        if (byteAt(d, pos) != 0xFF) return true;  // not ours to judge; the decoder will
        const quint8 marker = byteAt(d, pos + 1);
        if (marker == 0xFF) {
            ++pos;  // fill byte
            continue;
        }
        if (marker == 0xDA) return d.indexOf("\xFF\xD9", pos + 2) >= 0;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            pos += 2;
            continue;
        }
        const int length = (byteAt(d, pos + 2) << 8) | byteAt(d, pos + 3);  // big-endian
        pos += 2 + length;
    }
    return false;
}

// Skips a chain of GIF data sub-blocks; -1 when the chain runs off the end.
qsizetype skipSubBlocks(const QByteArray& d, qsizetype pos) {
    while (pos < d.size()) {
        const int length = byteAt(d, pos);
        ++pos;
        if (length == 0) return pos;
        pos += length;
    }
    return -1;
}

// Qt's GIF reader shows a cut-off frame as if whole; walk the blocks up to the trailer.
bool gifComplete(const QByteArray& d) {
    if (d.size() < 13) return false;
    qsizetype pos = 13;
    const quint8 flags = byteAt(d, 10);
    if (flags & 0x80) pos += 3 * (qsizetype(2) << (flags & 7));
    bool sawFrame = false;
    while (pos < d.size()) {
        const quint8 block = byteAt(d, pos);
        if (block == 0x3B) return sawFrame;
        if (block == 0x21) {
            pos = pos + 2 < d.size() ? skipSubBlocks(d, pos + 2) : -1;
        } else if (block == 0x2C) {
            if (pos + 10 > d.size()) return false;
            const quint8 local = byteAt(d, pos + 9);
            pos += 10;
            if (local & 0x80) pos += 3 * (qsizetype(2) << (local & 7));
            pos = pos + 1 < d.size() ? skipSubBlocks(d, pos + 1) : -1;
            sawFrame = true;
        } else {
            return false;
        }
        if (pos < 0) return false;
    }
    return false;
}

// What the header claims, where Qt's reader rejects silly sizes without saying so (bitmaps) or
// reports a frame instead of the logical screen every frame is drawn on (GIF).
QSize sizeInHeader(const QByteArray& d, const QByteArray& format) {
    auto clamp = [](qint64 v) {
        return int(qMin<qint64>(qAbs(v), std::numeric_limits<int>::max()));
    };
    if ((format == "bmp" || format == "dib") && d.size() >= 26 && le32(d, 14) >= 40)
        return QSize(clamp(qint32(le32(d, 18))), clamp(qint32(le32(d, 22))));
    if (format == "gif" && d.size() >= 10) return QSize(le16(d, 6), le16(d, 8));
    return QSize(0, 0);
}

bool complete(const QByteArray& data, const QByteArray& format) {
    if (format == "bmp" || format == "dib") return bmpComplete(data);
    if (format == "jpeg" || format == "jpg") return jpegComplete(data);
    if (format == "gif") return gifComplete(data);
    return true;  // icons and PNG fail by themselves when cut short
}

bool allowedFormat(const QByteArray& format) {
    // The formats the dialogs offer, plus PNG (icons may carry it). Other readers Qt happens to
    // have installed (TIFF, SVG, TGA …) stay closed to files picked by the user.
    static const QList<QByteArray> allowed{"bmp", "dib", "jpeg", "jpg", "gif", "ico", "cur", "png"};
    return allowed.contains(format);
}

// Icons and cursors carry several sizes; the stamp wants the biggest.
void chooseLargestImage(QImageReader& reader) {
    const int count = qMin(reader.imageCount(), kMaxIconImages);
    int best = -1;
    qint64 bestArea = -1;
    for (int i = 0; i < count; ++i) {
        if (!reader.jumpToImage(i)) continue;
        const QSize s = reader.size();
        const qint64 area = qint64(qMax(s.width(), 0)) * qMax(s.height(), 0);
        if (area > bestArea) best = i, bestArea = area;
    }
    if (best >= 0) reader.jumpToImage(best);
}

QString notAPicture() {
    return QStringLiteral("這不是可以讀取的圖片（可讀取 BMP、JPEG、GIF、PNG、ICO、CUR）。");
}

}  // namespace

ReadResult read(const QString& path) {
    if (path.isEmpty()) return fail(QStringLiteral("沒有指定檔案。"));
    const QFileInfo info(path);
    if (!info.exists()) return fail(QStringLiteral("檔案不存在。"));
    if (info.isDir()) return fail(QStringLiteral("這是資料夾，不是檔案。"));
    // Devices and pipes could block or never end.
    if (!info.isFile()) return fail(QStringLiteral("這不是一般的檔案。"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("無法開啟檔案（%1）。").arg(osReason(file.errorString())));
    const qint64 size = file.size();
    if (size == 0) return fail(QStringLiteral("檔案是空的。"));
    if (size > kMaxFileBytes)
        return fail(QStringLiteral("檔案太大（%1 MB）；最大只能讀取 %2 MB。")
                        .arg(size / (1024 * 1024))
                        .arg(kMaxFileBytes / (1024 * 1024)));
    // One read into memory: the checks and the decoder see the same bytes even if the file
    // changes meanwhile.
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError || data.size() != size)
        return fail(QStringLiteral("讀取檔案時發生錯誤（%1）。").arg(osReason(file.errorString())));

    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    reader.setAllocationLimit(int(kMaxPixelBytes / (1024 * 1024)));
    const QByteArray format = reader.format();
    if (format.isEmpty() || !allowedFormat(format)) return fail(notAPicture());
    if (format == "ico" || format == "cur") chooseLargestImage(reader);
    const QSize declared = reader.size().expandedTo(sizeInHeader(data, format));
    if (declared.isValid() && tooLarge(declared)) return fail(tooLargeReason(declared));
    if (!complete(data, format))
        return fail(QStringLiteral("檔案不完整，可能只存了一部分或已損毀。"));
    const QImage image = reader.read();
    if (image.isNull()) return fail(QStringLiteral("圖片內容已損毀，無法解碼。"));
    if (tooLarge(image.size())) return fail(tooLargeReason(image.size()));
    return {image, QString()};
}

QByteArray encodeBmp(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    const qint64 w = image.width(), h = image.height();
    const qint64 stride = (w * 3 + 3) / 4 * 4;
    const qint64 total = kBmpHeaderBytes + stride * h;
    QByteArray out(total, '\0');
    auto* p = reinterpret_cast<uchar*>(out.data());
    auto put32 = [p](int at, quint32 v) { qToLittleEndian<quint32>(v, p + at); };
    auto put16 = [p](int at, quint16 v) { qToLittleEndian<quint16>(v, p + at); };
    p[0] = 'B', p[1] = 'M';
    put32(2, quint32(total));
    put32(10, kBmpHeaderBytes);
    put32(14, 40);
    put32(18, quint32(w));
    put32(22, quint32(h));  // positive: rows run bottom-up
    put16(26, 1);
    put16(28, 24);
    put32(30, 0);  // BI_RGB
    put32(34, quint32(stride * h));
    put32(38, 3780);  // 96 dots per inch
    put32(42, 3780);
    for (qint64 y = 0; y < h; ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(image.constScanLine(int(h - 1 - y)));
        uchar* row = p + kBmpHeaderBytes + y * stride;
        for (qint64 x = 0; x < w; ++x) {
            row[x * 3] = uchar(qBlue(src[x]));
            row[x * 3 + 1] = uchar(qGreen(src[x]));
            row[x * 3 + 2] = uchar(qRed(src[x]));
        }
    }
    return out;
}

QString writeBmp(const QImage& image, const QString& path) {
    if (image.isNull()) return QStringLiteral("沒有圖片可以儲存。");
    if (path.isEmpty()) return QStringLiteral("沒有指定檔案。");
    const qint64 bytes = kBmpHeaderBytes + (qint64(image.width()) * 3 + 3) / 4 * 4 * image.height();
    if (bytes > qint64(0x7FFFFFFF)) return QStringLiteral("圖片太大，無法存成點陣圖。");
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        return info.isDir() ? QStringLiteral("這是資料夾，不是檔案。")
                            : QStringLiteral("這不是一般的檔案，不能用圖片取代。");
    }
    QSaveFile file(path);
    // Never fall back to writing in place: a failure must leave the old file as it was.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        // Qt's words for a refused open do not always carry the system's reason: ask for it.
        QString why = whyNotWritable(path);
        if (why.isEmpty()) why = osReason(file.errorString());
        return QStringLiteral("無法建立檔案（%1）。").arg(why);
    }
    const QByteArray data = encodeBmp(image);
    // A disk that fills up first takes part of a write without an error; only the next write
    // says why, so keep writing until all is written or one fails.
    qint64 written = 0;
    while (written < data.size()) {
        const qint64 n = file.write(data.constData() + written, data.size() - written);
        if (n <= 0) break;
        written += n;
    }
    if (written != data.size()) {
        const QString reason =
            file.error() != QFileDevice::NoError
                ? osReason(file.errorString())
                : QStringLiteral("只寫入了 %1 / %2 位元組").arg(written).arg(data.size());
        file.cancelWriting();
        return QStringLiteral("寫入失敗（%1）。").arg(reason);
    }
    if (!file.commit())
        return QStringLiteral("無法完成儲存（%1）。").arg(osReason(file.errorString()));
    return QString();
}

QString messageTitle() {
    return QStringLiteral("Shatter");
}

void reportReadFailure(QWidget* parent, const QString& path, const QString& reason) {
    platform().messages->error(
        parent, messageTitle(),
        QStringLiteral("無法讀取圖片：\n%1\n\n%2").arg(QDir::toNativeSeparators(path), reason));
}

void reportWriteFailure(QWidget* parent, const QString& path, const QString& reason) {
    QString text =
        QStringLiteral("無法儲存圖片：\n%1\n\n%2").arg(QDir::toNativeSeparators(path), reason);
    if (QFileInfo(path).isFile()) text += QStringLiteral("\n原有的檔案沒有變動。");
    platform().messages->error(parent, messageTitle(), text);
}

}  // namespace PictureFile
