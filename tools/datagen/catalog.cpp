#include "catalog.h"

#include <QBuffer>
#include <QImageWriter>
#include <stdexcept>

#include "bmp.h"
#include "icon_file.h"
#include "pictures.h"
#include "sounds.h"

namespace {
const QString kImageDir = QStringLiteral("Pic/Image/");
const QString kCursorDir = QStringLiteral("Pic/Icon&Cursor/");
const QString kSoundDir = QStringLiteral("Sound/");

QByteArray encodeWithQt(QImage image, const char* format, int quality) {
    // QImage takes its default resolution from the screen; pin it so the header never varies.
    image.setDotsPerMeterX(2835);
    image.setDotsPerMeterY(2835);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    if (!writer.write(image))
        throw std::runtime_error(QStringLiteral("cannot encode %1: %2")
                                     .arg(QLatin1String(format), writer.errorString())
                                     .toStdString());
    return bytes;
}

QByteArray jpeg(const QImage& image, int quality) {
    return encodeWithQt(image, "jpeg", quality);
}
}  // namespace

std::vector<DataFile> makeDataFiles() {
    std::vector<DataFile> files;
    const auto add = [&files](const QString& path, QByteArray bytes) {
        files.push_back({path, std::move(bytes)});
    };

    add(kImageDir + "Tittle.jpg", jpeg(titleCard(), 92));
    // Near-lossless so the white around the cracks stays exactly white.
    for (int n = 1; n <= 3; ++n)
        add(kImageDir + QStringLiteral("Glass%1.jpg").arg(n), jpeg(glassPicture(n), 98));
    for (int n = 1; n <= 2; ++n) {
        const SpritePair flash = muzzleFlash(n);
        add(kImageDir + QStringLiteral("Bomb%1_1.bmp").arg(n), encodeBmp24(flash.image));
        add(kImageDir + QStringLiteral("Bomb%1_2.bmp").arg(n), encodeBmp24(flash.mask));
    }
    for (int n = 1; n <= 3; ++n)
        add(kImageDir + QStringLiteral("Bomb2_%1.bmp").arg(n + 2), encodeBmp24(crater(n)));
    add(kImageDir + "Splinter.bmp", encodeBmp24(splinter()));
    for (int n = 1; n <= 5; ++n)
        add(kImageDir + QStringLiteral("%1.bmp").arg(n), encodeBmp24(sizeButton(n)));

    for (int n = 1; n <= 7; ++n) {
        const ToolCursor cursor = toolCursor(n);
        add(kCursorDir + QStringLiteral("Prop%1.cur").arg(n),
            encodeCursor(cursor.image, cursor.hotSpot));
    }

    const std::pair<const char*, Samples (*)()> sounds[] = {
        {"Prop1_1.wav", chainsawIdle}, {"Prop1_2.wav", chainsawCut},     {"Glass.wav", glassBreak},
        {"Circle.wav", circleWhoosh},  {"Restenger.wav", squareScratch}, {"Gun.wav", cannonShot},
        {"Bomb.wav", bigBlast},        {"To.wav", stampThump},           {"No.wav", softPop},
    };
    for (const auto& [name, make] : sounds) add(kSoundDir + QLatin1String(name), encodeWav(make()));

    add(QStringLiteral("shatter.png"), encodeWithQt(appIcon(64), "png", -1));
    // The desktop's icon theme picks the size it needs; each is drawn at its size, not scaled.
    for (const int size : kThemeIconSizes)
        add(QStringLiteral("icons/hicolor/%1x%1/apps/shatter.png").arg(size),
            encodeWithQt(appIcon(size), "png", -1));
    add(QStringLiteral("shatter.ico"), encodeIcon16(appIcon(32)));
    return files;
}
