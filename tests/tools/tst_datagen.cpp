// Checks the files shatter_datagen wrote into the build tree: every one the program asks for,
// in the format and size its readers expect, and the same bytes on every run.

#include <QImageReader>
#include <QtTest>

#include "layouts/data_files.h"
#include "platform/files/cursor_file.h"
#include "support/sample_pictures.h"

using SamplePictures::readFile;
using SamplePictures::wave;

namespace {
const QString kBuildDir = QStringLiteral(SHATTER_BUILD_DIR);
const QString kGenerator = kBuildDir + QStringLiteral("/tools/shatter_datagen");

// Every file the program and its package need, below the generator's output directory.
QStringList expectedFiles() {
    QStringList files{QStringLiteral("shatter.png"), QStringLiteral("shatter.ico")};
    for (const int size : {16, 32, 48, 64, 128, 256})
        files << QStringLiteral("icons/hicolor/%1x%1/apps/shatter.png").arg(size);
    for (const QString& n : DataFiles::allPictures()) files << dataDirName(DataDir::Image) + n;
    for (const QString& n : DataFiles::allCursors()) files << dataDirName(DataDir::IconCursor) + n;
    for (const QString& n : DataFiles::allSounds()) files << dataDirName(DataDir::Sound) + n;
    files.sort();
    return files;
}

// A picture's design size by file name; a theme icon's is its folder's. Invalid for a name
// missing here, which no picture matches.
QSize designSize(const QString& path) {
    static const QMap<QString, QSize> sizes{
        {"Tittle.jpg", {303, 144}}, {"Glass1.jpg", {178, 155}}, {"Glass2.jpg", {178, 155}},
        {"Glass3.jpg", {178, 155}}, {"Bomb1_1.bmp", {14, 13}},  {"Bomb1_2.bmp", {14, 13}},
        {"Bomb2_1.bmp", {20, 19}},  {"Bomb2_2.bmp", {20, 19}},  {"Bomb2_3.bmp", {60, 60}},
        {"Bomb2_4.bmp", {60, 60}},  {"Bomb2_5.bmp", {60, 60}},  {"Splinter.bmp", {17, 17}},
        {"1.bmp", {33, 33}},        {"2.bmp", {33, 33}},        {"3.bmp", {33, 33}},
        {"4.bmp", {33, 33}},        {"5.bmp", {33, 33}},        {"shatter.png", {64, 64}},
        {"shatter.ico", {32, 32}}};
    const auto theme = QRegularExpression("hicolor/(\\d+)x\\1/").match(path);
    const int side = theme.captured(1).toInt();
    return theme.hasMatch() ? QSize(side, side) : sizes.value(QFileInfo(path).fileName());
}

void checkPicture(const QString& path, const QByteArray& b) {
    const QSize size = designSize(path);
    const QString suffix = QFileInfo(path).suffix();
    QImageReader reader(kBuildDir + '/' + path);
    reader.setDecideFormatFromContent(true);
    QCOMPARE(reader.format(), suffix == "jpg" ? QByteArray("jpeg") : suffix.toLatin1());
    const QImage image = reader.read().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(image.size(), size);
    // Glass and craters are ANDed onto the screen: anything short of pure white round the
    // marks would darken or tint it.
    if (QFileInfo(path).fileName().contains(QRegularExpression("^(Glass|Bomb2_[345])"))) {
        QImage white = image;
        white.fill(Qt::white);
        QVERIFY2(
            SamplePictures::changes(image, white, image.rect().adjusted(2, 2, -2, -2)).count == 0,
            "the two outer rows and columns are pure white");
    }
    // A theme icon is a pane on a clear ground, so menus of any colour show through its
    // corners.
    if (path.contains("/hicolor/")) {
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(image.pixel(size.width() / 2, size.height() / 2)), 255);
    }
    if (suffix != "bmp") return;
    QCOMPARE(b.size(), 54 + ((size.width() * 3 + 3) & ~3) * size.height());
    QCOMPARE(b.mid(28, 6), QByteArray::fromHex("180000000000"));  // 24 bits, uncompressed
}

// The program's own reader must take every cursor, with the hot spot on the drawing.
void checkCursor(const QByteArray& b) {
    const CursorFileResult r = decodeCursorFile(b);
    QVERIFY2(r.ok(), qPrintable(r.error));
    QCOMPARE(r.image.size(), QSize(32, 32));
    const QImage around = r.image.copy(QRect(r.hotSpot - QPoint(1, 1), QSize(3, 3)));
    int onShape = 0;
    for (int d = 0; d < 9; ++d) onShape += qAlpha(around.pixel(d % 3, d / 3)) >= 128;
    QVERIFY2(onShape > 0, "the hot spot sits on the drawing");
    // One picture, colour and mask, the mask agreeing with the alpha: as Qt writes what was read.
    const QByteArray qt = SamplePictures::icon({{r.image, r.hotSpot}}, 2);
    QCOMPARE(b.size(), qt.size());
    QVERIFY2(b.right(32 * 4) == qt.right(32 * 4), "the mask disagrees with the alpha");
}

void checkSound(const QString& name, const QByteArray& b) {
    QCOMPARE(b, wave(1, 1, 22050, 16, b.mid(44)));  // PCM, mono, 16 bits
    const auto sample = [&](qsizetype at) {
        return std::abs(qFromLittleEndian<qint16>(b.constData() + at));
    };
    int peak = 0;
    for (qsizetype at = 44; at + 1 < b.size(); at += 2) peak = std::max(peak, sample(at));
    // All are heard, unclipped; No.wav, which ends the others, only softly.
    const bool soft = name == "No.wav";
    QVERIFY2(peak > (soft ? 4000 : 12000) && peak < (soft ? 10000 : 32767),
             qPrintable(QString::number(peak)));
    // One-shots end silent, so cutting them off never clicks.
    const QStringList loops{"Prop1_1.wav", "Prop1_2.wav", "Circle.wav", "Restenger.wav"};
    if (!loops.contains(name)) QVERIFY(sample(b.size() - 2) <= 64);
}
}  // namespace

class TestDatagen : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    // Driven by the program's own lists, so a file it wants but nobody checks fails here.
    void everyFile_data() {
        QTest::addColumn<QString>("path");
        for (const QString& path : expectedFiles()) QTest::newRow(qPrintable(path)) << path;
    }
    void everyFile() {
        QFETCH(QString, path);
        const QByteArray b = readFile(kBuildDir + '/' + path);
        const QString suffix = QFileInfo(path).suffix();
        if (suffix == "cur") return checkCursor(b);
        if (suffix == "wav") return checkSound(QFileInfo(path).fileName(), b);
        checkPicture(path, b);
    }

    // A fresh run writes exactly the files the program needs, with the build's bytes.
    void everyFileIsGeneratedTheSameEachRun() {
        QTemporaryDir out;
        QCOMPARE(QProcess::execute(kGenerator, {out.path()}), 0);
        QStringList fresh;
        for (QDirIterator it(out.path(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
            fresh << it.next().mid(out.path().size() + 1);
        fresh.sort();
        QCOMPARE(fresh, expectedFiles());
        for (const QString& path : fresh)
            QVERIFY2(readFile(out.filePath(path)) == readFile(kBuildDir + '/' + path),
                     qPrintable(path));
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
        QVERIFY(generator.waitForFinished(60000) && generator.exitStatus() == QProcess::NormalExit);
        QVERIFY(generator.exitCode() != 0 && !generator.readAllStandardError().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDatagen)
#include "tst_datagen.moc"
