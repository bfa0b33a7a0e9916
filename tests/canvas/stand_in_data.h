#pragma once

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include "layouts/data_files.h"

// Points the data directory at readable pictures: the build's generated ones when they are
// all there, otherwise stand-ins written once into a temporary directory. Each stand-in has
// its own colour and size, so a picture in the wrong holder shows.
inline void useCanvasPictures() {
    bool complete = true;
    for (const QString& name : DataFiles::allPictures())
        complete = complete && QFileInfo::exists(dataFilePath(DataDir::Image, name));
    if (complete) return;
    static QTemporaryDir dir;
    static bool written = false;
    for (int n = 0; !written && n < DataFiles::allPictures().size(); ++n) {
        const QString name = DataFiles::allPictures()[n];
        QImage img(QSize(17 + n, 13 + n), QImage::Format_RGB32);
        img.fill(qRgb(255, 0, 255));  // the splinter's key colour as a frame
        for (int y = 2; y < img.height() - 2; ++y)
            for (int x = 2; x < img.width() - 2; ++x) img.setPixel(x, y, qRgb(15 * n, 200, 90));
        QDir(dir.path()).mkpath(dataDirName(DataDir::Image));
        img.save(dir.path() + '/' + dataDirName(DataDir::Image) + name,
                 name.endsWith(QLatin1String(".jpg")) ? "JPG" : "BMP", 100);
    }
    written = true;
    setProgramDirectory(dir.path());
}

// The bounding box of the pixels in which two pictures of one size differ.
inline QRect changedBounds(const QImage& a, const QImage& b) {
    QRect r;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) r |= QRect(x, y, 1, 1);
    return r;
}
