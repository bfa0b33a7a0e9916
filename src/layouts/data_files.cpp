#include "layouts/data_files.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QImageReader>

#include "platform/platform.h"

namespace {
QString& overriddenDirectory() {
    static QString dir;
    return dir;
}
}  // namespace

QString programDirectory() {
    if (!overriddenDirectory().isEmpty()) return overriddenDirectory();
    return QCoreApplication::applicationDirPath();
}

void setProgramDirectory(const QString& dir) { overriddenDirectory() = dir; }

QString dataDirName(DataDir dir) {
    switch (dir) {
        case DataDir::Image: return QStringLiteral("Pic/Image/");
        case DataDir::IconCursor: return QStringLiteral("Pic/Icon&Cursor/");
        case DataDir::Sound: return QStringLiteral("Sound/");
    }
    return {};
}

QString dataFilePath(DataDir dir, const QString& fileName) {
    return programDirectory() + QLatin1Char('/') + dataDirName(dir) + fileName;
}

QImage loadFixedPicture(const QString& fileName) {
    const QString path = dataFilePath(DataDir::Image, fileName);
    if (!QFileInfo::exists(path))
        platform().fatal->dataFileFailed(path, QStringLiteral("找不到檔案"));
    // The suffix names the format of our own files: guessing from the content would load
    // every image plugin first, which costs the title window a visible part of its start.
    QImageReader reader(path);
    QImage image = reader.read();
    if (image.isNull()) platform().fatal->dataFileFailed(path, QStringLiteral("不是可讀取的圖片"));
    return image.convertToFormat(QImage::Format_RGB32);
}

namespace DataFiles {
QString glass(int n) { return QStringLiteral("Glass%1.jpg").arg(n); }
QString bomb1(int n) { return QStringLiteral("Bomb1_%1.bmp").arg(n); }
QString bomb2(int n) { return QStringLiteral("Bomb2_%1.bmp").arg(n); }
QString sizeButton(int n) { return QStringLiteral("%1.bmp").arg(n); }
QString toolCursor(int n) { return QStringLiteral("Prop%1.cur").arg(n); }

QStringList allPictures() {
    QStringList names{kTitle, kSplinter};
    for (int n = 1; n <= 3; ++n) names << glass(n);
    for (int n = 1; n <= 2; ++n) names << bomb1(n);
    for (int n = 1; n <= 5; ++n) names << bomb2(n);
    for (int n = 1; n <= 5; ++n) names << sizeButton(n);
    return names;
}
QStringList allCursors() {
    QStringList names;
    for (int n = 1; n <= 7; ++n) names << toolCursor(n);
    return names;
}
QStringList allSounds() {
    return {QStringLiteral("Prop1_1.wav"), QStringLiteral("Prop1_2.wav"), QStringLiteral("Glass.wav"),
            QStringLiteral("Circle.wav"),  QStringLiteral("Restenger.wav"), QStringLiteral("Gun.wav"),
            QStringLiteral("Bomb.wav"),    QStringLiteral("To.wav"),      QStringLiteral("No.wav")};
}
}  // namespace DataFiles
