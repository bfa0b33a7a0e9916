// Checks the files shatter_datagen wrote into the build tree: formats the program's readers
// expect, sprite/mask pairing for AND/XOR copies, white where pictures are ANDed, cursor and
// sound headers, and byte-for-byte repeatable output.

#include <QDirIterator>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "layouts/data_files.h"

namespace {
const QString kBuildDir = QStringLiteral(SHATTER_BUILD_DIR);
const QString kGenerator = kBuildDir + QStringLiteral("/tools/shatter_datagen");
const QStringList kAppIcons{QStringLiteral("shatter.png"), QStringLiteral("shatter.ico")};

QString pathIn(DataDir dir, const QString& name) {
    return kBuildDir + QLatin1Char('/') + dataDirName(dir) + name;
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

uint32_t le16(const QByteArray& b, int at) {
    return uint8_t(b[at]) | uint32_t(uint8_t(b[at + 1])) << 8;
}
uint32_t le32(const QByteArray& b, int at) {
    return le16(b, at) | le16(b, at + 2) << 16;
}

QImage readByContent(const QString& path, QByteArray* format = nullptr) {
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    if (format) *format = reader.format();  // only known before reading
    return reader.read();
}

QImage readRgb(const QString& path) {
    return readByContent(path).convertToFormat(QImage::Format_RGB32);
}

bool isWhite(QRgb p) {
    return (p & 0xffffff) == 0xffffff;
}
bool isBlack(QRgb p) {
    return (p & 0xffffff) == 0;
}

// Relative path -> bytes for everything below `root` (data directories and icons only).
QMap<QString, QByteArray> generatedTree(const QString& root) {
    QMap<QString, QByteArray> tree;
    for (const QString& top : {QStringLiteral("Pic"), QStringLiteral("Sound")}) {
        QDirIterator it(root + QLatin1Char('/') + top, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            tree.insert(path.mid(root.size() + 1), contents(path));
        }
    }
    for (const QString& icon : kAppIcons) {
        if (QFileInfo::exists(root + QLatin1Char('/') + icon))
            tree.insert(icon, contents(root + QLatin1Char('/') + icon));
    }
    return tree;
}

QStringList expectedFiles() {
    QStringList files = kAppIcons;
    for (const QString& n : DataFiles::allPictures()) files << dataDirName(DataDir::Image) + n;
    for (const QString& n : DataFiles::allCursors()) files << dataDirName(DataDir::IconCursor) + n;
    for (const QString& n : DataFiles::allSounds()) files << dataDirName(DataDir::Sound) + n;
    files.sort();
    return files;
}

struct Wav {
    QByteArray bytes;
    std::vector<int> samples;
    double seconds() const { return samples.size() / 22050.0; }
};

Wav readWav(const QString& path) {
    Wav wav{contents(path), {}};
    for (int at = 44; at + 1 < wav.bytes.size(); at += 2)
        wav.samples.push_back(int16_t(le16(wav.bytes, at)));
    return wav;
}

}  // namespace

class TestDatagen : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void everyFileTheProgramNeedsIsGenerated() {
        for (const QString& file : expectedFiles())
            QVERIFY2(QFileInfo(kBuildDir + QLatin1Char('/') + file).size() > 0, qPrintable(file));
    }

    void pictureFormats_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QSize>("size");
        const QMap<QString, QSize> sizes{
            {"Tittle.jpg", {303, 144}}, {"Glass1.jpg", {178, 155}}, {"Glass2.jpg", {178, 155}},
            {"Glass3.jpg", {178, 155}}, {"Bomb1_1.bmp", {14, 13}},  {"Bomb1_2.bmp", {14, 13}},
            {"Bomb2_1.bmp", {20, 19}},  {"Bomb2_2.bmp", {20, 19}},  {"Bomb2_3.bmp", {60, 60}},
            {"Bomb2_4.bmp", {60, 60}},  {"Bomb2_5.bmp", {60, 60}},  {"Splinter.bmp", {17, 17}},
            {"1.bmp", {33, 33}},        {"2.bmp", {33, 33}},        {"3.bmp", {33, 33}},
            {"4.bmp", {33, 33}},        {"5.bmp", {33, 33}}};
        // Driven by the program's own list, so a picture it wants but nobody sized fails here.
        for (const QString& name : DataFiles::allPictures()) {
            const QByteArray format = name.endsWith(QLatin1String(".jpg")) ? "jpeg" : "bmp";
            QTest::newRow(qPrintable(name)) << name << format << sizes.value(name);
        }
    }

    void pictureFormats() {
        QFETCH(QString, name);
        QFETCH(QByteArray, format);
        QFETCH(QSize, size);
        QVERIFY2(size.isValid(), "no expected size for this picture");
        QByteArray readFormat;
        const QImage image = readByContent(pathIn(DataDir::Image, name), &readFormat);
        QCOMPARE(readFormat, format);
        QCOMPARE(image.size(), size);
        if (format != "bmp") return;
        const QByteArray b = contents(pathIn(DataDir::Image, name));
        QCOMPARE(b.left(2), QByteArray("BM"));
        QCOMPARE(le32(b, 2), uint32_t(b.size()));
        QCOMPARE(le32(b, 10), 54u);
        QCOMPARE(le32(b, 14), 40u);
        QCOMPARE(le16(b, 28), 24u);  // bit count
        QCOMPARE(le32(b, 30), 0u);   // uncompressed
        const int stride = (size.width() * 3 + 3) & ~3;
        QCOMPARE(b.size(), 54 + stride * size.height());
    }

    void titleLeavesLabelsLegible_data() {
        QTest::addColumn<QRect>("area");
        QTest::newRow("first command") << QRect(QPoint(40, 88), QPoint(89, 113));
        QTest::newRow("second command") << QRect(QPoint(120, 88), QPoint(169, 113));
        QTest::newRow("third command") << QRect(QPoint(208, 88), QPoint(257, 113));
        QTest::newRow("small label") << QRect(QPoint(248, 124), QPoint(302, 143));
        QTest::newRow("version") << QRect(QPoint(270, 68), QPoint(302, 86));
    }

    // White and green text is printed over the title card; it needs a dark, quiet ground.
    void titleLeavesLabelsLegible() {
        QFETCH(QRect, area);
        const QImage title = readRgb(pathIn(DataDir::Image, DataFiles::kTitle));
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x)
                QVERIFY2(qGray(title.pixel(x, y)) < 60,
                         qPrintable(QStringLiteral("(%1,%2)").arg(x).arg(y)));
        }
        int bright = 0;
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < title.width(); ++x) bright += qGray(title.pixel(x, y)) > 180;
        }
        QVERIFY2(bright > 2000, "the name stands out above the labels");
    }

    void spritePairs_data() {
        QTest::addColumn<QString>("imageName");
        QTest::addColumn<QString>("maskName");
        QTest::newRow("small cannon") << DataFiles::bomb1(1) << DataFiles::bomb1(2);
        QTest::newRow("giant cannon") << DataFiles::bomb2(1) << DataFiles::bomb2(2);
    }

    void spritePairs() {
        QFETCH(QString, imageName);
        QFETCH(QString, maskName);
        const QImage image = readRgb(pathIn(DataDir::Image, imageName));
        const QImage mask = readRgb(pathIn(DataDir::Image, maskName));
        QCOMPARE(mask.size(), image.size());
        QVERIFY(isBlack(mask.pixel(mask.width() / 2, mask.height() / 2)));

        int shape = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb m = mask.pixel(x, y);
                const QRgb c = image.pixel(x, y);
                QVERIFY2(isBlack(m) || isWhite(m), "mask must be two-valued");
                if (isWhite(m)) {
                    QVERIFY2(isBlack(c), "colour outside the mask would show as XOR noise");
                    continue;
                }
                ++shape;
                QVERIFY2(qRed(c) >= qGreen(c) && qGreen(c) >= qBlue(c) && qRed(c) > 100,
                         "flash colours run white-yellow-orange-red");
            }
        }
        const int area = image.width() * image.height();
        QVERIFY(shape > area / 5 && shape < area * 9 / 10);

        // AND with the mask, XOR with the image, over a busy background.
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb background = qRgb(x * 37 % 256, y * 53 % 256, (x * y * 7 + 90) % 256);
                const QRgb shown =
                    ((background & mask.pixel(x, y)) ^ image.pixel(x, y)) | 0xff000000;
                QCOMPARE(shown, isWhite(mask.pixel(x, y)) ? background : image.pixel(x, y));
            }
        }
    }

    void andedPictures_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QPoint>("origin");
        QTest::addColumn<bool>("neutral");
        QTest::newRow("Glass1") << DataFiles::glass(1) << QPoint(105, 60) << true;
        QTest::newRow("Glass2") << DataFiles::glass(2) << QPoint(80, 80) << true;
        QTest::newRow("Glass3") << DataFiles::glass(3) << QPoint(105, 60) << true;
        for (int n = 3; n <= 5; ++n)
            QTest::newRow(qPrintable(DataFiles::bomb2(n)))
                << DataFiles::bomb2(n) << QPoint(30, 30) << false;
    }

    // These are ANDed onto the screen: anything short of pure white around the marks would
    // darken or tint it.
    void andedPictures() {
        QFETCH(QString, name);
        QFETCH(QPoint, origin);
        QFETCH(bool, neutral);
        const QImage image = readRgb(pathIn(DataDir::Image, name));
        int white = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb p = image.pixel(x, y);
                const bool frame =
                    x < 2 || y < 2 || x >= image.width() - 2 || y >= image.height() - 2;
                if (frame)
                    QVERIFY2(isWhite(p), qPrintable(QStringLiteral("(%1,%2)").arg(x).arg(y)));
                if (neutral)
                    QVERIFY(std::abs(qRed(p) - qGreen(p)) <= 2 &&
                            std::abs(qGreen(p) - qBlue(p)) <= 2);
                white += isWhite(p);
            }
        }
        QVERIFY(white > image.width() * image.height() * 2 / 5);
        int darkest = 255;
        for (int dy = -3; dy <= 3; ++dy) {
            for (int dx = -3; dx <= 3; ++dx)
                darkest = std::min(darkest, qGray(image.pixel(origin + QPoint(dx, dy))));
        }
        QVERIFY2(darkest < 90, "the break starts at the origin");
    }

    void variantsDiffer_data() {
        QTest::addColumn<QStringList>("paths");
        QStringList glass, craters, cursors;
        for (int n = 1; n <= 3; ++n) glass << pathIn(DataDir::Image, DataFiles::glass(n));
        for (int n = 3; n <= 5; ++n) craters << pathIn(DataDir::Image, DataFiles::bomb2(n));
        for (const QString& c : DataFiles::allCursors()) cursors << pathIn(DataDir::IconCursor, c);
        QTest::newRow("glass") << glass;
        QTest::newRow("craters") << craters;
        QTest::newRow("cursors") << cursors;
    }

    void variantsDiffer() {
        QFETCH(QStringList, paths);
        for (int i = 0; i < paths.size(); ++i) {
            for (int j = i + 1; j < paths.size(); ++j)
                QVERIFY2(contents(paths[i]) != contents(paths[j]), qPrintable(paths[j]));
        }
    }

    void splinterUsesMagentaKey() {
        const QImage image = readRgb(pathIn(DataDir::Image, DataFiles::kSplinter));
        const QRgb key = qRgb(255, 0, 255);
        const auto keyed = [&](int x, int y) {
            return !image.rect().contains(x, y) || image.pixel(x, y) == key;
        };
        int shard = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (keyed(x, y)) continue;
                ++shard;
                const QRgb p = image.pixel(x, y);
                QVERIFY2(!(qRed(p) > 180 && qBlue(p) > 180 && qGreen(p) < 140), "pink fringe");
                const bool edge =
                    keyed(x - 1, y) || keyed(x + 1, y) || keyed(x, y - 1) || keyed(x, y + 1);
                if (edge)
                    QVERIFY2(qGray(p) < 110, "the shard has a dark edge");
                else
                    QVERIFY2(qBlue(p) >= qRed(p) && qGray(p) > 150, "inside is light cyan");
            }
        }
        QVERIFY(keyed(0, 0) && keyed(16, 16));
        QVERIFY(shard > 30);
    }

    void sizeButtonsGrowFromOneToFive() {
        int previous = 0;
        for (int n = 1; n <= 5; ++n) {
            const QImage image = readRgb(pathIn(DataDir::Image, DataFiles::sizeButton(n)));
            QVERIFY(isBlack(image.pixel(0, 0)) && isBlack(image.pixel(32, 32)));
            int lit = 0;
            double sx = 0, sy = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    if (qGray(image.pixel(x, y)) < 128) continue;
                    ++lit;
                    sx += x;
                    sy += y;
                }
            }
            QVERIFY2(lit > previous, qPrintable(DataFiles::sizeButton(n)));
            QVERIFY(std::abs(sx / lit - 16) < 0.5 && std::abs(sy / lit - 16) < 0.5);
            previous = lit;
        }
    }

    void cursors_data() {
        QTest::addColumn<QString>("name");
        for (const QString& name : DataFiles::allCursors()) QTest::newRow(qPrintable(name)) << name;
    }

    void cursors() {
        QFETCH(QString, name);
        const QString path = pathIn(DataDir::IconCursor, name);
        const QByteArray b = contents(path);
        QCOMPARE(b.size(), 22 + 40 + 32 * 32 * 4 + 32 * 4);
        QCOMPARE(le16(b, 0), 0u);
        QCOMPARE(le16(b, 2), 2u);  // cursor
        QCOMPARE(le16(b, 4), 1u);
        QCOMPARE(uint8_t(b[6]), 32);
        QCOMPARE(uint8_t(b[7]), 32);
        QCOMPARE(uint8_t(b[8]), 0);
        const QPoint hotSpot(int(le16(b, 10)), int(le16(b, 12)));
        QVERIFY(QRect(0, 0, 32, 32).contains(hotSpot));
        QCOMPARE(le32(b, 14), uint32_t(b.size() - 22));
        QCOMPARE(le32(b, 18), 22u);
        QCOMPARE(le32(b, 22), 40u);
        QCOMPARE(le32(b, 26), 32u);
        QCOMPARE(le32(b, 30), 64u);  // colour plus mask
        QCOMPARE(le16(b, 36), 32u);

        const QImage image = readByContent(path).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.size(), QSize(32, 32));
        int opaque = 0, bright = 0;
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                const QRgb p = image.pixel(x, y);
                // The mask bit (rows bottom-up after the colour data) must agree with alpha.
                const int maskByte = 22 + 40 + 4096 + (31 - y) * 4 + x / 8;
                const bool masked = uint8_t(b[maskByte]) & (0x80 >> (x % 8));
                QCOMPARE(masked, qAlpha(p) == 0);
                if (qAlpha(p) < 255) continue;
                ++opaque;
                bright += std::max({qRed(p), qGreen(p), qBlue(p)}) >= 160;
            }
        }
        QVERIFY(opaque > 60 && opaque < 32 * 32 * 3 / 4);
        QVERIFY2(bright * 6 > opaque, "colourful enough to read on the black palette");
        bool onShape = false;
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                const QPoint p = hotSpot + QPoint(dx, dy);
                onShape |= image.rect().contains(p) && qAlpha(image.pixel(p)) >= 128;
            }
        }
        QVERIFY2(onShape, "the hot spot sits on the drawing");
    }

    void appIcons() {
        QByteArray format;
        const QImage png = readByContent(kBuildDir + QStringLiteral("/shatter.png"), &format);
        QCOMPARE(format, QByteArray("png"));
        QCOMPARE(png.size(), QSize(64, 64));
        QVERIFY(png.hasAlphaChannel() && qAlpha(png.pixel(0, 0)) == 0 &&
                qAlpha(png.pixel(32, 32)) == 255);

        const QByteArray b = contents(kBuildDir + QStringLiteral("/shatter.ico"));
        QCOMPARE(le16(b, 2), 1u);  // icon
        QCOMPARE(uint8_t(b[8]), 16);
        QCOMPARE(le16(b, 12), 4u);  // bits per pixel
        const QImage ico = readByContent(kBuildDir + QStringLiteral("/shatter.ico"))
                               .convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(ico.size(), QSize(32, 32));
        QCOMPARE(qAlpha(ico.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(ico.pixel(16, 16)), 255);
        QSet<QRgb> colours;
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) colours.insert(ico.pixel(x, y));
        }
        QVERIFY(colours.size() <= 17 && colours.size() >= 4);
    }

    void sounds_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<double>("minSeconds");
        QTest::addColumn<double>("maxSeconds");
        QTest::addColumn<bool>("loops");
        QTest::newRow("chainsaw idling") << "Prop1_1.wav" << 0.8 << 1.5 << true;
        QTest::newRow("chainsaw cutting") << "Prop1_2.wav" << 0.8 << 1.5 << true;
        QTest::newRow("glass") << "Glass.wav" << 0.5 << 1.2 << false;
        QTest::newRow("circle") << "Circle.wav" << 0.3 << 1.5 << true;
        QTest::newRow("square") << "Restenger.wav" << 0.3 << 1.5 << true;
        QTest::newRow("three-headed cannon") << "Gun.wav" << 0.2 << 0.6 << false;
        QTest::newRow("giant cannon") << "Bomb.wav" << 0.8 << 2.0 << false;
        QTest::newRow("stamp") << "To.wav" << 0.1 << 0.4 << false;
        QTest::newRow("nothing") << "No.wav" << 0.0 << 0.1 << false;
    }

    void sounds() {
        QFETCH(QString, name);
        QFETCH(double, minSeconds);
        QFETCH(double, maxSeconds);
        QFETCH(bool, loops);
        QVERIFY(DataFiles::allSounds().contains(name));
        const Wav wav = readWav(pathIn(DataDir::Sound, name));
        const QByteArray& b = wav.bytes;
        QVERIFY(b.size() >= 44);
        QCOMPARE(b.mid(0, 4), QByteArray("RIFF"));
        QCOMPARE(le32(b, 4), uint32_t(b.size() - 8));
        QCOMPARE(b.mid(8, 8), QByteArray("WAVEfmt "));
        QCOMPARE(le32(b, 16), 16u);
        QCOMPARE(le16(b, 20), 1u);  // PCM
        QCOMPARE(le16(b, 22), 1u);  // mono
        QCOMPARE(le32(b, 24), 22050u);
        QCOMPARE(le32(b, 28), 44100u);
        QCOMPARE(le16(b, 32), 2u);
        QCOMPARE(le16(b, 34), 16u);
        QCOMPARE(b.mid(36, 4), QByteArray("data"));
        QCOMPARE(le32(b, 40), uint32_t(b.size() - 44));
        QVERIFY2(wav.seconds() > minSeconds && wav.seconds() < maxSeconds,
                 qPrintable(QString::number(wav.seconds())));

        const auto& s = wav.samples;
        int peak = 0, clipped = 0;
        for (int v : s) {
            peak = std::max(peak, std::abs(v));
            clipped += std::abs(v) >= 32767;
        }
        if (name == QLatin1String("No.wav")) {
            QVERIFY(peak <= 16);
            return;
        }
        QVERIFY2(peak > 8000, "audible");
        QCOMPARE(clipped, 0);
        if (!loops) {
            // Silent at both ends, so starting or cutting it never clicks.
            QVERIFY(std::abs(s.front()) <= 64 && std::abs(s.back()) <= 64);
            return;
        }
        // Played back to back, the join must be no more abrupt than the loop is somewhere
        // inside: no bigger jump, and no sharper change of loudness across 5 ms either side,
        // which is what a fade at either end would give.
        const int n = int(s.size());
        const auto at = [&](int i) { return double(s[((i % n) + n) % n]); };
        const auto loudnessChange = [&](int i) {
            constexpr int kSpan = 110;
            double before = 1, after = 1;
            for (int k = 1; k <= kSpan; ++k) {
                before += at(i - k) * at(i - k);
                after += at(i + k - 1) * at(i + k - 1);
            }
            return std::log(after / before);
        };
        int largestStep = 0;
        double quietest = 1e9, loudest = -1e9;
        for (int i = 200; i + 200 < n; ++i) {
            largestStep = std::max(largestStep, std::abs(s[i] - s[i - 1]));
            const double change = loudnessChange(i);
            quietest = std::min(quietest, change);
            loudest = std::max(loudest, change);
        }
        QVERIFY(std::abs(at(0) - at(-1)) <= largestStep);
        const double seam = loudnessChange(0);
        const double slack = std::log(2.0);  // 3 dB: the loop's own events vary that much
        QVERIFY2(seam >= quietest - slack && seam <= loudest + slack,
                 qPrintable(QString::number(seam)));
    }

    void dataStaysSmall() {
        qint64 total = 0;
        for (const QByteArray& bytes : generatedTree(kBuildDir)) total += bytes.size();
        QVERIFY2(total < 600 * 1024, qPrintable(QString::number(total)));
    }

    void generatorIsDeterministic() {
        const QMap<QString, QByteArray> built = generatedTree(kBuildDir);
        QCOMPARE(built.keys(), expectedFiles());
        for (int run = 0; run < 2; ++run) {
            QTemporaryDir out;
            QVERIFY(out.isValid());
            QProcess generator;
            generator.start(kGenerator, {out.path()});
            QVERIFY(generator.waitForFinished(60000));
            QCOMPARE(generator.exitCode(), 0);
            const QMap<QString, QByteArray> fresh = generatedTree(out.path());
            QCOMPARE(fresh.keys(), built.keys());
            for (auto it = fresh.cbegin(); it != fresh.cend(); ++it)
                QVERIFY2(it.value() == built.value(it.key()), qPrintable(it.key()));
        }
    }

    void generatorReportsFailure_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no output directory") << QStringList{};
        QTest::newRow("an option") << QStringList{"--help"};
        // A directory cannot be made below a plain file, even as root.
        QTest::newRow("output below a file") << QStringList{kGenerator + QStringLiteral("/out")};
    }

    void generatorReportsFailure() {
        QFETCH(QStringList, arguments);
        QProcess generator;
        generator.start(kGenerator, arguments);
        QVERIFY(generator.waitForFinished(60000));
        QCOMPARE(generator.exitStatus(), QProcess::NormalExit);
        QVERIFY(generator.exitCode() != 0);
        QVERIFY(!generator.readAllStandardError().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDatagen)
#include "tst_datagen.moc"
