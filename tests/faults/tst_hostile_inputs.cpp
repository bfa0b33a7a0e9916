#include <sys/resource.h>
#include <QTemporaryDir>
#include <QtTest>

#include "../../fuzz/fuzz_checks.h"
#include "support/sample_pictures.h"

using namespace SamplePictures;

// Files built to mislead the readers, and every input the fuzzers ever tripped over: each must
// give a clear refusal or a sound picture, in bounded memory.
namespace {

qint64 peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

class TestHostileInputs : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void misleadingPictureHeaders_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("refused");
        const QByteArray bmp = encode(pattern(64, 48), "bmp");
        const QByteArray rle =
            poke(encode(pattern(8, 8).convertToFormat(QImage::Format_Indexed8), "bmp"), 30, 1);
        QTest::newRow("bmp width -64") << poke(bmp, 18, quint32(-64)) << true;
        QTest::newRow("bmp rows past the end") << poke(bmp, 10, 0x7FFFFFF0u) << true;
        QTest::newRow("bmp depth 0") << poke(bmp, 28, 0, 2) << true;
        QTest::newRow("run-length bmp claiming 16384 x 16384")
            << poke(poke(rle, 18, 16384), 22, 16384) << true;
        QTest::newRow("run-length bmp claiming -8 high") << poke(rle, 22, quint32(-8)) << false;
        // The frame header holds height and width, big-endian.
        const QByteArray jpeg = encode(pattern(16, 16), "jpeg");
        const qsizetype sof = jpeg.indexOf(QByteArray("\xFF\xC0", 2)) + 5;
        QTest::newRow("jpeg claiming 65535 x 65535")
            << QByteArray(jpeg).replace(sof, 4, QByteArray::fromHex("ffffffff")) << true;
        QTest::newRow("jpeg claiming 0 wide")
            << QByteArray(jpeg).replace(sof, 4, QByteArray::fromHex("00100000")) << true;
        const QByteArray g = gif(pattern(8, 8).convertToFormat(QImage::Format_Indexed8));
        QTest::newRow("gif screen 0 x 0") << poke(g, 6, 0) << false;
        QTest::newRow("gif frame 65535 x 65535") << poke(g, 786, 0xFFFFFFFFu) << false;
        const QByteArray ico = icon({pattern(16, 16)});
        QTest::newRow("icon with no images") << poke(ico, 4, 0, 2) << true;
        QTest::newRow("icon image past the end") << poke(ico, 18, 0x7FFFFFF0u) << true;
        QTest::newRow("icon image size 2^32 - 1") << poke(ico, 14, 0xFFFFFFFFu) << false;
    }
    void misleadingPictureHeaders() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, refused);
        const QString path = m_dir.filePath(QStringLiteral("hostile.bmp"));
        QVERIFY(writeFile(path, bytes));
        [[maybe_unused]] const qint64 peakBefore = peakRssKb();
        const QString broken = FuzzChecks::checkPictureFile(path, QDir(m_dir.path()));
        QVERIFY2(broken.isEmpty(), qPrintable(broken));
        if (refused) QVERIFY2(!PictureFile::read(path).ok(), "a hostile header was accepted");
#ifndef __SANITIZE_ADDRESS__  // the sanitizer's own bookkeeping would count
        // Nothing refused here needs more than a few pictures' worth of memory.
        QVERIFY2(
            peakRssKb() - peakBefore < 64 * 1024,
            qPrintable(QStringLiteral("peak memory grew by %1 kB").arg(peakRssKb() - peakBefore)));
#endif
    }

    // What the fuzzers kept, plus the program's own data files as inputs known to be good.
    void keptInputsStaySound_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("cursor");
        const auto add = [](const char* dir, bool cursor) {
            for (const QFileInfo& f : QDir(QString::fromUtf8(dir)).entryInfoList(QDir::Files))
                QTest::addRow("%s as a %s", qPrintable(f.filePath()), cursor ? "cursor" : "picture")
                    << f.filePath() << cursor;
        };
        add(SHATTER_SOURCE_DIR "/fuzz/regressions/cursor", true);
        add(SHATTER_SOURCE_DIR "/fuzz/regressions/picture", false);
        add(SHATTER_BUILD_DIR "/Pic/Icon&Cursor", true);
        add(SHATTER_BUILD_DIR "/Pic/Icon&Cursor", false);  // as a stamp
        add(SHATTER_BUILD_DIR "/Pic/Image", false);
    }
    void keptInputsStaySound() {
        QFETCH(QString, path);
        QFETCH(bool, cursor);
        const QString broken = cursor ? FuzzChecks::checkCursorBytes(readFile(path))
                                      : FuzzChecks::checkPictureFile(path, QDir(m_dir.path()));
        QVERIFY2(broken.isEmpty(), qPrintable(broken));
    }

  private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(TestHostileInputs)
#include "tst_hostile_inputs.moc"
