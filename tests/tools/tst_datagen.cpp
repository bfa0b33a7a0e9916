// Checks the files shatter_datagen wrote into the build tree: every one the program asks for,
// in the format and size its readers expect, and the same bytes on every run.

#include <QDirIterator>
#include <QImageReader>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdlib>

#include "layouts/data_files.h"
#include "platform/cursor_file.h"
#include "support/sample_pictures.h"

namespace {
const QString kBuildDir = QStringLiteral(SHATTER_BUILD_DIR);
const QString kGenerator = kBuildDir + QStringLiteral("/tools/shatter_datagen");
const QList<int> kThemeSizes{16, 32, 48, 64, 128, 256};

QString themeIcon(int size) {
    return QStringLiteral("icons/hicolor/%1x%1/apps/shatter.png").arg(size);
}

const QStringList kAppIcons = [] {
    QStringList icons{QStringLiteral("shatter.png"), QStringLiteral("shatter.ico")};
    for (const int size : kThemeSizes) icons << themeIcon(size);
    return icons;
}();

QString pathIn(DataDir dir, const QString& name) {
    return kBuildDir + QLatin1Char('/') + dataDirName(dir) + name;
}

uint32_t le16(const QByteArray& b, int at) {
    return uint8_t(b[at]) | uint32_t(uint8_t(b[at + 1])) << 8;
}
uint32_t le32(const QByteArray& b, int at) {
    return le16(b, at) | le16(b, at + 2) << 16;
}

// Relative path -> bytes for the data directories and icons below `root`.
QMap<QString, QByteArray> generatedTree(const QString& root) {
    QMap<QString, QByteArray> tree;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString rel = it.next().mid(root.size() + 1);
        if (rel.startsWith(QLatin1String("Pic/")) || rel.startsWith(QLatin1String("Sound/")) ||
            kAppIcons.contains(rel))
            tree.insert(rel, SamplePictures::readFile(it.filePath()));
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
}  // namespace

class TestDatagen : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void pictures_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("size");
        QMap<QString, QSize> sizes{
            {"Tittle.jpg", {303, 144}}, {"Glass1.jpg", {178, 155}}, {"Glass2.jpg", {178, 155}},
            {"Glass3.jpg", {178, 155}}, {"Bomb1_1.bmp", {14, 13}},  {"Bomb1_2.bmp", {14, 13}},
            {"Bomb2_1.bmp", {20, 19}},  {"Bomb2_2.bmp", {20, 19}},  {"Bomb2_3.bmp", {60, 60}},
            {"Bomb2_4.bmp", {60, 60}},  {"Bomb2_5.bmp", {60, 60}},  {"Splinter.bmp", {17, 17}},
            {"1.bmp", {33, 33}},        {"2.bmp", {33, 33}},        {"3.bmp", {33, 33}},
            {"4.bmp", {33, 33}},        {"5.bmp", {33, 33}},        {"shatter.png", {64, 64}},
            {"shatter.ico", {32, 32}}};
        for (const int size : kThemeSizes) sizes.insert(themeIcon(size), {size, size});
        // Driven by the program's own list, so a picture it wants but nobody sized fails here.
        for (const QString& name : DataFiles::allPictures())
            QTest::newRow(qPrintable(name)) << pathIn(DataDir::Image, name) << sizes.value(name);
        for (const QString& name : kAppIcons)
            QTest::newRow(qPrintable(name)) << kBuildDir + '/' + name << sizes.value(name);
    }

    void pictures() {
        QFETCH(QString, path);
        QFETCH(QSize, size);
        const QString suffix = QFileInfo(path).suffix();
        const QByteArray format = suffix == QLatin1String("jpg") ? "jpeg" : suffix.toLatin1();
        QVERIFY2(size.isValid(), "no expected size for this picture");
        QImageReader reader(path);
        reader.setDecideFormatFromContent(true);
        QCOMPARE(reader.format(), format);
        const QImage image = reader.read().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(image.size(), size);
        // Glass and craters are ANDed onto the screen: anything short of pure white round the
        // marks would darken or tint it.
        if (QFileInfo(path).fileName().contains(QRegularExpression("^(Glass|Bomb2_[345])"))) {
            QImage frame = image, white = image;
            QPainter(&frame).fillRect(image.rect().adjusted(2, 2, -2, -2), Qt::white);
            white.fill(Qt::white);
            QVERIFY2(frame == white, "the two outer rows and columns are pure white");
        }
        // A theme icon is a pane on a clear ground, so menus of any colour show through its
        // corners.
        if (path.contains(QLatin1String("/hicolor/"))) {
            const QImage argb = QImage(path).convertToFormat(QImage::Format_ARGB32);
            QCOMPARE(qAlpha(argb.pixel(0, 0)), 0);
            QCOMPARE(qAlpha(argb.pixel(size.width() / 2, size.height() / 2)), 255);
        }
        if (format != "bmp") return;
        const QByteArray b = SamplePictures::readFile(path);
        QCOMPARE(b.size(), 54 + ((size.width() * 3 + 3) & ~3) * size.height());
        QCOMPARE(le16(b, 28), 24u);  // bits a pixel
        QCOMPARE(le32(b, 30), 0u);   // uncompressed
    }

    // The program's own reader must take every cursor, with the hot spot on the drawing.
    void cursors_data() {
        QTest::addColumn<QString>("name");
        for (const QString& name : DataFiles::allCursors()) QTest::newRow(qPrintable(name)) << name;
    }

    void cursors() {
        QFETCH(QString, name);
        const QByteArray b = SamplePictures::readFile(pathIn(DataDir::IconCursor, name));
        const CursorFileResult r = decodeCursorFile(b);
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.image.size(), QSize(32, 32));
        QCOMPARE(b.size(), 22 + 40 + 32 * 32 * 4 + 32 * 4);  // one picture, colour and mask
        bool onShape = false;
        for (int d = 0; d < 9; ++d) {
            const QPoint p = r.hotSpot + QPoint(d % 3 - 1, d / 3 - 1);
            onShape |= r.image.rect().contains(p) && qAlpha(r.image.pixel(p)) >= 128;
        }
        QVERIFY2(onShape, "the hot spot sits on the drawing");
        // The AND mask (rows bottom-up after the colour data) must agree with alpha.
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                const bool masked =
                    uint8_t(b[22 + 40 + 4096 + (31 - y) * 4 + x / 8]) & (0x80 >> (x % 8));
                QCOMPARE(masked, qAlpha(r.image.pixel(x, y)) == 0);
            }
        }
    }

    void sounds_data() {
        QTest::addColumn<QString>("name");
        for (const QString& name : DataFiles::allSounds()) QTest::newRow(qPrintable(name)) << name;
    }

    void sounds() {
        QFETCH(QString, name);
        const QByteArray b = SamplePictures::readFile(pathIn(DataDir::Sound, name));
        QVERIFY(b.size() > 44);
        QCOMPARE(b.left(4) + b.mid(8, 8) + b.mid(36, 4), QByteArray("RIFFWAVEfmt data"));
        QCOMPARE(le32(b, 4), uint32_t(b.size() - 8));
        QCOMPARE(le32(b, 16), 16u);
        QCOMPARE(le32(b, 20), 1u | 1u << 16);  // PCM, mono
        QCOMPARE(le32(b, 24), 22050u);
        QCOMPARE(le32(b, 28), 44100u);
        QCOMPARE(le32(b, 32), 2u | 16u << 16);  // 2 bytes a frame, 16 bits a sample
        QCOMPARE(le32(b, 40), uint32_t(b.size() - 44));
        int peak = 0;
        for (int at = 44; at + 1 < b.size(); at += 2)
            peak = std::max(peak, std::abs(int(int16_t(le16(b, at)))));
        // All are heard, unclipped; No.wav, which ends the others, only softly.
        const bool soft = name == QLatin1String("No.wav");
        QVERIFY2(peak > (soft ? 4000 : 12000) && peak < (soft ? 10000 : 32767),
                 qPrintable(QString::number(peak)));
        // One-shots end silent, so cutting them off never clicks.
        const QStringList loops{"Prop1_1.wav", "Prop1_2.wav", "Circle.wav", "Restenger.wav"};
        if (!loops.contains(name)) QVERIFY(std::abs(int16_t(le16(b, b.size() - 2))) <= 64);
    }

    void everyFileIsGeneratedTheSameEachRun() {
        const QMap<QString, QByteArray> built = generatedTree(kBuildDir);
        QCOMPARE(built.keys(), expectedFiles());
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
