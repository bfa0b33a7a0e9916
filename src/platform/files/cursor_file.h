#pragma once

#include <QByteArray>
#include <QCursor>
#include <QImage>
#include <QPoint>
#include <QString>

// A Windows cursor file as the program uses it: the first picture and its hot spot.
struct CursorFileResult {
    QImage image;    // ARGB32; null when the file could not be used
    QPoint hotSpot;  // inside the image
    QString error;   // why the file could not be used, for the user; empty on success
    bool ok() const { return error.isEmpty(); }
};

// Qt decodes the picture but keeps the hot spot to itself, so the header is read here. Every
// header field is checked before the decoder sees the bytes: a damaged or hostile file gives
// an error, never a crash or a huge allocation.
CursorFileResult readCursorFile(const QString& path);
CursorFileResult decodeCursorFile(const QByteArray& bytes);

// Larger files are refused unread; real cursors are a few kilobytes.
constexpr qint64 kMaxCursorFileBytes = 1 << 20;

// Tool n's cursor, "Prop<n>.cur" in the data directory. readToolCursor always goes to the disk
// and remembers what it read; loadToolCursor answers from memory when it can, so a selection
// made long after the palette loaded cannot fail. A file that cannot be used ends the program
// through platform().fatal, naming the file and the reason.
const CursorFileResult& readToolCursor(int n);
QCursor loadToolCursor(int n);
