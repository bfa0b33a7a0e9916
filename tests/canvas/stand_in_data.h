#pragma once

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <utility>
#include <vector>

#include "layouts/data_files.h"

// The canvas's twelve pictures with the sizes the tools rely on.
inline std::vector<std::pair<QString, QSize>> canvasPictures() {
    std::vector<std::pair<QString, QSize>> out{{DataFiles::kSplinter, {17, 17}},
                                               {DataFiles::kTitle, {303, 144}}};
    for (int n = 1; n <= 3; ++n) out.push_back({DataFiles::glass(n), {178, 155}});
    out.push_back({DataFiles::bomb1(1), {14, 13}});
    out.push_back({DataFiles::bomb1(2), {14, 13}});
    out.push_back({DataFiles::bomb2(1), {20, 19}});
    out.push_back({DataFiles::bomb2(2), {20, 19}});
    for (int n = 3; n <= 5; ++n) out.push_back({DataFiles::bomb2(n), {60, 60}});
    return out;
}

// Points the data directory at readable canvas pictures: the build's generated ones when
// they are all there, otherwise stand-ins written once into a temporary directory. Each
// stand-in differs from the others, so a picture in the wrong holder shows.
inline void useCanvasPictures() {
    bool complete = true;
    for (const auto& [name, size] : canvasPictures())
        complete = complete && QFileInfo::exists(dataFilePath(DataDir::Image, name));
    if (complete) return;

    static QTemporaryDir dir;
    static bool written = false;
    if (!written) {
        QDir(dir.path()).mkpath(dataDirName(DataDir::Image));
        int n = 0;
        for (const auto& [name, size] : canvasPictures()) {
            QImage img(size, QImage::Format_RGB32);
            img.fill(qRgb(255, 0, 255));  // the splinter's key colour around its core
            QPainter p(&img);
            p.fillRect(QRect(QPoint(3, 3), size - QSize(6, 6)), QColor(20 * n, 255 - 20 * n, 90));
            p.end();
            ++n;
            const QString path = dir.path() + QLatin1Char('/') + dataDirName(DataDir::Image) + name;
            img.save(path, name.endsWith(QLatin1String(".jpg")) ? "JPG" : "BMP", 100);
        }
        written = true;
    }
    setProgramDirectory(dir.path());
}

// The bounding box of the pixels in which two pictures of one size differ.
inline QRect changedBounds(const QImage& a, const QImage& b) {
    QRect r;
    for (int y = 0; y < a.height(); ++y) {
        const auto* la = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* lb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            if (la[x] != lb[x]) r |= QRect(x, y, 1, 1);
    }
    return r;
}
