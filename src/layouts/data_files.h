#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

// The fixed data files beside the program: "Pic/Image/", "Pic/Icon&Cursor/", "Sound/".
enum class DataDir { Image, IconCursor, Sound };

// The directory that holds the data directories; the program's own unless a test moved it.
QString programDirectory();
void setProgramDirectory(const QString& dir);

QString dataDirName(DataDir dir);  // with trailing '/'
QString dataFilePath(DataDir dir, const QString& fileName);

// Reads a fixed picture; a missing or unreadable file ends the program with its path and why.
QImage loadFixedPicture(const QString& fileName);

namespace DataFiles {
inline const QString kTitle = QStringLiteral("Tittle.jpg");
inline const QString kSplinter = QStringLiteral("Splinter.bmp");
QString glass(int n);       // Glass1.jpg .. Glass3.jpg
QString bomb1(int n);       // Bomb1_1.bmp, Bomb1_2.bmp
QString bomb2(int n);       // Bomb2_1.bmp .. Bomb2_5.bmp
QString sizeButton(int n);  // 1.bmp .. 5.bmp
QString toolCursor(int n);  // Prop1.cur .. Prop7.cur
QStringList allPictures();
QStringList allCursors();
QStringList allSounds();
}  // namespace DataFiles
