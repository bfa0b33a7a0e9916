#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include "canvas/persistent_image.h"
#include "platform/files/cursor_file.h"
#include "platform/files/picture_file.h"

// What every reader must promise for any input at all, shared by the fuzzers and the unit test
// that replays the inputs they once tripped over. Each returns an empty string when the promise
// holds and otherwise says which one broke.
namespace FuzzChecks {

// Round trips are only worth their time on pictures of modest size.
constexpr qint64 kRoundTripMaxPixels = 512 * 512;

inline QString checkCursorBytes(const QByteArray& bytes) {
    const CursorFileResult r = decodeCursorFile(bytes);
    if (r.ok() == r.image.isNull()) return QStringLiteral("success and picture disagree");
    if (!r.ok()) return {};
    if (r.image.width() > 256 || r.image.height() > 256)
        return QStringLiteral("cursor picture larger than 256 pixels");
    if (r.image.format() != QImage::Format_ARGB32) return QStringLiteral("cursor not ARGB32");
    if (!r.image.rect().contains(r.hotSpot)) return QStringLiteral("hot spot outside picture");
    return {};
}

inline bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// The load command and the stamp both go through PictureFile::read with a file the user picked;
// whatever it accepts must fit the limits, land on a canvas and survive a save and reload.
inline QString checkPictureFile(const QString& path, const QDir& scratch) {
    const PictureFile::ReadResult r = PictureFile::read(path);
    if (r.ok() != r.error.isEmpty()) return QStringLiteral("success and reason disagree");
    if (!r.ok()) return {};
    const QImage& image = r.image;
    if (image.width() > PictureFile::kMaxSide || image.height() > PictureFile::kMaxSide ||
        qint64(image.width()) * image.height() * 4 > PictureFile::kMaxPixelBytes)
        return QStringLiteral("accepted a picture beyond the limits");

    PersistentImage canvas(QSize(64, 48), 0x102030);
    canvas.replace(image, 0x102030);  // the load command
    const QRect stamped = canvas.blit(image, image.rect(), QPoint(-image.width() / 2, 20),
                                      RasterOp::Copy);  // the stamp, centred on the edge
    if (!canvas.rect().contains(stamped)) return QStringLiteral("stamp touched outside canvas");

    if (qint64(image.width()) * image.height() > kRoundTripMaxPixels) return {};
    const QString saved = scratch.filePath(QStringLiteral("saved.ZEL"));
    if (const QString why = PictureFile::writeBmp(image, saved); !why.isEmpty())
        return QStringLiteral("saving an accepted picture failed: ") + why;
    const PictureFile::ReadResult back = PictureFile::read(saved);
    if (!back.ok()) return QStringLiteral("our own save does not load: ") + back.error;
    const QImage a = image.convertToFormat(QImage::Format_RGB32);
    const QImage b = back.image.convertToFormat(QImage::Format_RGB32);
    if (a.size() != b.size()) return QStringLiteral("save and reload changed the size");
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if ((a.pixel(x, y) & 0xFFFFFF) != (b.pixel(x, y) & 0xFFFFFF))
                return QStringLiteral("save and reload changed pixel (%1, %2)").arg(x).arg(y);
    return {};
}

}  // namespace FuzzChecks
