#pragma once

#include <QImage>
#include <QString>
#include <QtGlobal>

class QWidget;

// Pictures the user picks: reading any of the formats the dialogs offer, recognised by content,
// and writing the canvas as an uncompressed 24-bit bitmap without ever leaving half a file.
namespace PictureFile {

// Nothing bigger is decoded: a hostile header must not make us allocate gigabytes.
constexpr int kMaxSide = 16384;
constexpr qint64 kMaxPixelBytes = qint64(512) * 1024 * 1024;  // decoded, 4 bytes a pixel
constexpr qint64 kMaxFileBytes = qint64(512) * 1024 * 1024;

struct ReadResult {
    QImage image;   // null on failure
    QString error;  // why, for the user; empty on success
    bool ok() const { return !image.isNull(); }
};

// Reads the picture in path: BMP, JPEG, GIF (first frame), PNG, icon or cursor (the largest
// image in it). Refuses files that are missing, not pictures, cut short or too large.
ReadResult read(const QString& path);

// The bytes of an uncompressed 24-bit bottom-up BMP of image (alpha dropped).
QByteArray encodeBmp(const QImage& image);

// Writes image as encodeBmp() does, under exactly path, atomically: either the whole new file
// is in place or the old one is untouched. Returns the reason on failure, empty on success.
QString writeBmp(const QImage& image, const QString& path);

// The messages the commands show; both name the file and the reason.
void reportReadFailure(QWidget* parent, const QString& path, const QString& reason);
void reportWriteFailure(QWidget* parent, const QString& path, const QString& reason);
// The title of those messages.
QString messageTitle();

}  // namespace PictureFile
