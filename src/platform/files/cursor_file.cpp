#include "platform/files/cursor_file.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QObject>
#include <QPixmap>
#include <map>

#include "platform/os_reason.h"

#include "layouts/data_files.h"
#include "platform/device_scale.h"
#include "platform/platform.h"

namespace {

constexpr int kDirHeaderBytes = 6;
constexpr int kDirEntryBytes = 16;
constexpr int kInfoHeaderBytes = 40;
constexpr int kMaxSide = 256;

quint32 le16(const QByteArray& b, qint64 at) {
    return quint32(quint8(b[at])) | (quint32(quint8(b[at + 1])) << 8);
}
quint32 le32(const QByteArray& b, qint64 at) {
    return le16(b, at) | (le16(b, at + 2) << 16);
}
quint32 be32(const QByteArray& b, qint64 at) {
    return (quint32(quint8(b[at])) << 24) | (quint32(quint8(b[at + 1])) << 16) |
           (quint32(quint8(b[at + 2])) << 8) | quint32(quint8(b[at + 3]));
}

// The reasons are written in the user's language and name no English terms.
QString say(const char* text) {
    return QString::fromUtf8(text);
}

CursorFileResult failure(const QString& why) {
    return {QImage(), QPoint(), why};
}

struct Entry {
    int width = 0, height = 0;  // as the directory states them, 0 read as 256
    QPoint hotSpot;
    qint64 bytes = 0, offset = 0;
};

Entry readEntry(const QByteArray& b, int i) {
    const qint64 at = kDirHeaderBytes + qint64(i) * kDirEntryBytes;
    Entry e;
    e.width = quint8(b[at]) == 0 ? kMaxSide : quint8(b[at]);
    e.height = quint8(b[at + 1]) == 0 ? kMaxSide : quint8(b[at + 1]);
    // For cursors the words that icons use for planes and bit depth carry the hot spot.
    e.hotSpot = QPoint(int(le16(b, at + 4)), int(le16(b, at + 6)));
    e.bytes = le32(b, at + 8);
    e.offset = le32(b, at + 12);
    return e;
}

// The picture's own size, from its PNG or bitmap header; an empty string when it is sound.
QString checkImageHeader(const QByteArray& b, const Entry& e, QSize& size) {
    static const QByteArray pngSignature("\x89PNG\r\n\x1a\n", 8);
    const QByteArray start = b.mid(e.offset, 8);
    if (start == pngSignature) {
        // Signature, then the IHDR chunk: length, type, width, height.
        if (e.bytes < 24 || b.mid(e.offset + 12, 4) != "IHDR")
            return say("其中的 PNG 圖片沒有檔頭");
        const quint32 w = be32(b, e.offset + 16), h = be32(b, e.offset + 20);
        if (w < 1 || w > kMaxSide || h < 1 || h > kMaxSide)
            return say("其中的 PNG 圖片宣稱有 %1 × %2 像素").arg(w).arg(h);
        size = QSize(int(w), int(h));
        return {};
    }
    if (e.bytes < kInfoHeaderBytes) return say("其中的圖片太短，放不下點陣圖檔頭");
    const qint64 at = e.offset;
    const quint32 headerSize = le32(b, at);
    if (headerSize != kInfoHeaderBytes)
        return say("點陣圖檔頭的大小是 %1，不是 %2").arg(headerSize).arg(kInfoHeaderBytes);
    const auto width = qint32(le32(b, at + 4));
    const auto doubledHeight = qint32(le32(b, at + 8));
    const quint32 planes = le16(b, at + 12), bits = le16(b, at + 14);
    const quint32 compression = le32(b, at + 16), coloursUsed = le32(b, at + 32);
    // The stored height counts the colour picture and the transparency mask.
    if (width < 1 || width > kMaxSide || doubledHeight < 2 || doubledHeight > 2 * kMaxSide ||
        doubledHeight % 2 != 0)
        return say("點陣圖宣稱有 %1 × %2 像素").arg(width).arg(doubledHeight / 2.0);
    const int height = doubledHeight / 2;
    if (width != e.width || height != e.height)
        return say("目錄寫的是 %1 × %2，點陣圖卻是 %3 × %4")
            .arg(e.width)
            .arg(e.height)
            .arg(width)
            .arg(height);
    if (planes != 1) return say("點陣圖有 %1 個平面").arg(planes);
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
        return say("點陣圖的色彩深度 %1 位元不受支援").arg(bits);
    if (compression != 0) return say("點陣圖經過壓縮（方法 %1）").arg(compression);
    const quint32 paletteMax = bits <= 8 ? (1u << bits) : 256u;
    if (coloursUsed > paletteMax) return say("點陣圖宣稱調色盤有 %1 種顏色").arg(coloursUsed);
    const qint64 colours = bits <= 8 && coloursUsed == 0 ? (1 << bits) : coloursUsed;
    const qint64 colourRow = ((qint64(width) * bits + 31) / 32) * 4;
    const qint64 maskRow = ((qint64(width) + 31) / 32) * 4;
    const qint64 needed = kInfoHeaderBytes + colours * 4 + (colourRow + maskRow) * height;
    if (needed > e.bytes)
        return say("點陣圖需要 %1 位元組，目錄卻只給 %2").arg(needed).arg(e.bytes);
    size = QSize(width, height);
    return {};
}

}  // namespace

CursorFileResult decodeCursorFile(const QByteArray& b) {
    const qint64 fileSize = b.size();
    if (fileSize == 0) return failure(say("檔案是空的"));
    if (fileSize > kMaxCursorFileBytes)
        return failure(say("檔案太大，不可能是游標（%1 位元組）").arg(fileSize));
    if (fileSize < kDirHeaderBytes)
        return failure(say("檔案太短，放不下游標檔頭（%1 位元組）").arg(fileSize));
    const quint32 reserved = le16(b, 0), type = le16(b, 2), count = le16(b, 4);
    if (reserved != 0) return failure(say("不是游標檔（保留欄位是 %1）").arg(reserved));
    if (type == 1) return failure(say("這是圖示檔，不是游標檔"));
    if (type != 2) return failure(say("不是游標檔（資源類型 %1）").arg(type));
    if (count == 0) return failure(say("游標檔裡沒有圖片"));
    const qint64 directoryEnd = kDirHeaderBytes + qint64(count) * kDirEntryBytes;
    if (directoryEnd > fileSize)
        return failure(say("%1 張圖片的目錄超出了檔案結尾（%2 位元組）").arg(count).arg(fileSize));
    for (quint32 i = 0; i < count; ++i) {
        const Entry e = readEntry(b, int(i));
        if (e.offset < directoryEnd || e.bytes == 0 || e.offset + e.bytes > fileSize)
            return failure(say("第 %1 張圖片在檔案範圍之外（位置 %2，%3 位元組，檔案 %4 位元組）")
                               .arg(i + 1)
                               .arg(e.offset)
                               .arg(e.bytes)
                               .arg(fileSize));
    }

    // The decoder reads the first picture, so that is the one whose header matters.
    const Entry first = readEntry(b, 0);
    QSize size;
    if (const QString why = checkImageHeader(b, first, size); !why.isEmpty())
        return failure(say("第一張圖片已損毀：%1").arg(why));
    if (first.hotSpot.x() >= size.width() || first.hotSpot.y() >= size.height())
        return failure(say("熱點 (%1, %2) 在 %3 × %4 的圖片之外")
                           .arg(first.hotSpot.x())
                           .arg(first.hotSpot.y())
                           .arg(size.width())
                           .arg(size.height()));

    QByteArray copy = b;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ico");
    QImage image = reader.read();
    if (image.isNull()) return failure(say("圖片無法解碼"));
    if (image.size() != size)
        return failure(say("圖片解碼後是 %1 × %2，不是 %3 × %4")
                           .arg(image.width())
                           .arg(image.height())
                           .arg(size.width())
                           .arg(size.height()));
    return {image.convertToFormat(QImage::Format_ARGB32), first.hotSpot, QString()};
}

CursorFileResult readCursorFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) return failure(say("找不到檔案"));
    if (!info.isFile()) return failure(say("這不是一般的檔案"));
    // Checked before reading so a huge file is never pulled into memory.
    if (info.size() > kMaxCursorFileBytes)
        return failure(say("檔案太大，不可能是游標（%1 位元組）").arg(info.size()));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return failure(osReason(file.errorString()));
    // One byte more than allowed, so a file that grew since the check is still caught.
    const QByteArray bytes = file.read(kMaxCursorFileBytes + 1);
    if (file.error() != QFileDevice::NoError) return failure(osReason(file.errorString()));
    return decodeCursorFile(bytes);
}

namespace {
std::map<QString, CursorFileResult>& cursorCache() {
    static std::map<QString, CursorFileResult> cache;
    return cache;
}
}  // namespace

const CursorFileResult& readToolCursor(int n) {
    const QString path = dataFilePath(DataDir::IconCursor, DataFiles::toolCursor(n));
    CursorFileResult result = readCursorFile(path);
    if (!result.ok()) {
        cursorCache().erase(path);
        platform().fatal->dataFileFailed(path, result.error);
    }
    CursorFileResult& slot = cursorCache()[path];
    slot = std::move(result);
    return slot;
}

QCursor loadToolCursor(int n) {
    const QString path = dataFilePath(DataDir::IconCursor, DataFiles::toolCursor(n));
    auto it = cursorCache().find(path);
    const CursorFileResult& file = it != cursorCache().end() ? it->second : readToolCursor(n);
    // The window system shows cursor pictures in device pixels: scaled, it keeps its size next
    // to the windows.
    const DeviceScale scale = DeviceScale::ofPrimaryScreen();
    const QPoint hot = scale.hotSpot(file.hotSpot);
    return QCursor(QPixmap::fromImage(scale.sprite(file.image)), hot.x(), hot.y());
}
