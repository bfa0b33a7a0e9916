#include <sys/resource.h>
#include <QDirIterator>
#include <QTemporaryDir>
#include <QtTest>

#include "../../fuzz/fuzz_checks.h"
#include "support/sample_pictures.h"

#if defined(__SANITIZE_ADDRESS__)
#define SHATTER_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SHATTER_UNDER_ASAN 1
#endif
#endif

using namespace SamplePictures;

// Files built to mislead the readers, and every input the fuzzers ever tripped over: each must
// give a clear refusal or a sound picture, in bounded memory.
namespace {

// Nothing refused here needs more than a few pictures' worth of memory.
constexpr qint64 kPeakGrowthLimitKb = 64 * 1024;

QByteArray le32(QByteArray d, int at, quint32 v) {
    qToLittleEndian<quint32>(v, d.data() + at);
    return d;
}
QByteArray le16(QByteArray d, int at, quint16 v) {
    qToLittleEndian<quint16>(v, d.data() + at);
    return d;
}
QByteArray be16(QByteArray d, qsizetype at, quint16 v) {
    qToBigEndian<quint16>(v, d.data() + at);
    return d;
}

quint32 crc32(const QByteArray& d) {
    quint32 c = 0xFFFFFFFFu;
    for (char ch : d) {
        c ^= quint8(ch);
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

// A PNG whose header claims w × h, with a checksum that matches the claim.
QByteArray pngClaiming(quint32 w, quint32 h) {
    QByteArray d = encode(pattern(8, 8), "png");
    qToBigEndian<quint32>(w, d.data() + 16);
    qToBigEndian<quint32>(h, d.data() + 20);
    qToBigEndian<quint32>(crc32(d.mid(12, 17)), d.data() + 29);
    return d;
}

QByteArray jpegClaiming(quint16 w, quint16 h) {
    const QByteArray d = encode(pattern(16, 16), "jpeg");
    const qsizetype sof = d.indexOf(QByteArray("\xFF\xC0", 2));
    return be16(be16(d, sof + 5, h), sof + 7, w);
}

// The old 12-byte header: 16-bit sizes, no compression.
QByteArray coreHeaderBmp(quint16 w, quint16 h) {
    QByteArray d(26, 0);
    d[0] = 'B', d[1] = 'M';
    d = le32(le32(d, 10, 26), 14, 12);
    return le16(le16(le16(le16(d, 18, w), 20, h), 22, 1), 24, 24);
}

qint64 peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

QStringList filesIn(const QString& dir) {
    QStringList out;
    QDirIterator it(dir, QDir::Files);
    while (it.hasNext()) out << it.next();
    out.sort();
    return out;
}

}  // namespace

class TestHostileInputs : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() { QVERIFY(m_dir.isValid()); }

    void misleadingPictureHeaders_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("refused");
        const QByteArray bmp = encode(pattern(64, 48), "bmp");
        const QByteArray rle =
            le32(encode(pattern(8, 8).convertToFormat(QImage::Format_Indexed8), "bmp"), 30, 1);
        QTest::newRow("bmp width -64") << le32(bmp, 18, quint32(-64)) << true;
        QTest::newRow("bmp rows past the end") << le32(bmp, 10, 0x7FFFFFF0u) << true;
        QTest::newRow("bmp depth 0") << le16(bmp, 28, 0) << true;
        QTest::newRow("bmp depth 64") << le16(bmp, 28, 64) << true;
        QTest::newRow("bmp header size 0") << le32(bmp, 14, 0) << true;
        QTest::newRow("run-length bmp claiming 16384 x 16384")
            << le32(le32(rle, 18, 16384), 22, 16384) << true;
        QTest::newRow("run-length bmp claiming -8 high") << le32(rle, 22, quint32(-8)) << false;
        QTest::newRow("core-header bmp claiming 65535 x 65535")
            << coreHeaderBmp(0xFFFF, 0xFFFF) + QByteArray(3000, 'x') << true;
        QTest::newRow("png claiming 100000 x 100000") << pngClaiming(100000, 100000) << true;
        QTest::newRow("png claiming 0 x 0") << pngClaiming(0, 0) << true;
        QTest::newRow("png claiming 2^31 wide") << pngClaiming(0x80000000u, 1) << true;
        QTest::newRow("jpeg claiming 65535 x 65535") << jpegClaiming(0xFFFF, 0xFFFF) << true;
        QTest::newRow("jpeg claiming 0 wide") << jpegClaiming(0, 16) << true;
        const QByteArray g = gif(pattern(8, 8).convertToFormat(QImage::Format_Indexed8));
        QTest::newRow("gif screen 0 x 0") << le16(le16(g, 6, 0), 8, 0) << false;
        QTest::newRow("gif frame far outside the screen")
            << le16(le16(g, 782, 60000), 784, 60000) << false;
        QTest::newRow("gif frame 65535 x 65535")
            << le16(le16(g, 786, 0xFFFF), 788, 0xFFFF) << false;
        const QByteArray ico = icon({pattern(16, 16)});
        QTest::newRow("icon with no images") << le16(ico, 4, 0) << true;
        QTest::newRow("icon image past the end") << le32(ico, 18, 0x7FFFFFF0u) << true;
        QTest::newRow("icon image size 2^32 - 1") << le32(ico, 14, 0xFFFFFFFFu) << false;
        QTest::newRow("icon holding a png claiming 70000 wide")
            << icon({pattern(16, 16)}).left(22) + pngClaiming(70000, 16) << true;
    }
    void misleadingPictureHeaders() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, refused);
        const QString path = m_dir.filePath(QStringLiteral("hostile.bmp"));
        QVERIFY(writeFile(path, bytes));
        [[maybe_unused]] const qint64 peakBefore = peakRssKb();
        const QString broken = FuzzChecks::checkPictureFile(path, QDir(m_dir.path()));
        QVERIFY2(broken.isEmpty(), qPrintable(broken));
        const PictureFile::ReadResult r = PictureFile::read(path);
        if (refused) QVERIFY2(!r.ok(), "a hostile header was accepted");
#ifndef SHATTER_UNDER_ASAN
        QVERIFY2(
            peakRssKb() - peakBefore < kPeakGrowthLimitKb,
            qPrintable(QStringLiteral("peak memory grew by %1 kB").arg(peakRssKb() - peakBefore)));
#endif
    }

    // What the fuzzers kept, plus the program's own data files as inputs known to be good.
    void keptInputsStaySound_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("cursor");
        const QString kept = QStringLiteral(SHATTER_SOURCE_DIR "/fuzz/regressions/");
        const QString build = QStringLiteral(SHATTER_BUILD_DIR "/Pic/");
        for (const QString& f : filesIn(kept + QStringLiteral("cursor")))
            QTest::addRow("kept cursor %s", qPrintable(QFileInfo(f).fileName())) << f << true;
        for (const QString& f : filesIn(kept + QStringLiteral("picture")))
            QTest::addRow("kept picture %s", qPrintable(QFileInfo(f).fileName())) << f << false;
        for (const QString& f : filesIn(build + QStringLiteral("Icon&Cursor"))) {
            QTest::addRow("data cursor %s", qPrintable(QFileInfo(f).fileName())) << f << true;
            QTest::addRow("data cursor %s as a stamp", qPrintable(QFileInfo(f).fileName()))
                << f << false;
        }
        for (const QString& f : filesIn(build + QStringLiteral("Image")))
            QTest::addRow("data picture %s", qPrintable(QFileInfo(f).fileName())) << f << false;
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
