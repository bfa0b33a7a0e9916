#include <sys/resource.h>
#include <sys/stat.h>
#include <QtTest>
#include <csignal>

#include "platform/picture_file.h"
#include "support/sample_pictures.h"

using namespace SamplePictures;

namespace {
QByteArray withByte(QByteArray d, int at, char value) {
    d[at] = value;
    return d;
}
QByteArray withLe32(QByteArray d, int at, quint32 v) {
    qToLittleEndian<quint32>(v, d.data() + at);
    return d;
}
}  // namespace

class TestPictureFile : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() { QVERIFY(m_dir.isValid()); }

    // Formats are told by content: every file below carries a misleading suffix.
    void readsByContent_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QImage>("expected");  // null: compare the size only (lossy)
        QTest::addColumn<QSize>("size");
        const QImage p = pattern(37, 23);
        QTest::newRow("24-bit bmp as .jpg") << encode(p, "bmp") << p << p.size();
        QTest::newRow("32-bit bmp, older saves") << rawBmp(p, 32) << p << p.size();
        QTest::newRow("top-down bmp") << rawBmp(p, 24, true) << p << p.size();
        const QImage few = pattern(16, 16).convertToFormat(QImage::Format_Indexed8);
        QTest::newRow("palette bmp")
            << encode(few, "bmp") << few.convertToFormat(QImage::Format_RGB32) << few.size();
        QTest::newRow("jpeg as .bmp") << encode(p, "jpeg") << QImage() << p.size();
        QTest::newRow("gif as .ZEL")
            << gif(few) << few.convertToFormat(QImage::Format_RGB32) << few.size();
        QTest::newRow("png as .ico") << encode(p, "png") << p << p.size();
        const QImage big = pattern(48, 40, 3);
        QTest::newRow("icon: largest of three")
            << icon({pattern(16, 16), big, pattern(32, 32)}) << big << big.size();
        QTest::newRow("cursor: largest of two")
            << icon({big, pattern(32, 32)}, true) << big << big.size();
    }
    void readsByContent() {
        QFETCH(QByteArray, bytes);
        QFETCH(QImage, expected);
        QFETCH(QSize, size);
        const QString path = m_dir.filePath(QStringLiteral("picture.jpg"));
        QVERIFY(writeFile(path, bytes));
        const PictureFile::ReadResult r = PictureFile::read(path);
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.image.size(), size);
        if (!expected.isNull()) QCOMPARE(r.image.convertToFormat(QImage::Format_RGB32), expected);
    }

    void refusesBrokenFiles_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        const QImage p = pattern(64, 48);
        const QByteArray bmp = encode(p, "bmp"), jpeg = encode(p, "jpeg");
        const QByteArray g = gif(pattern(40, 30).convertToFormat(QImage::Format_Indexed8));
        const QString cut = QStringLiteral("不完整");
        QTest::newRow("bmp cut short") << bmp.left(bmp.size() * 3 / 5) << cut;
        QTest::newRow("bmp header only") << bmp.left(54) << cut;
        QTest::newRow("jpeg cut short") << jpeg.left(jpeg.size() / 2) << cut;
        QTest::newRow("gif cut short") << g.left(g.size() - 40) << cut;
        QTest::newRow("gif without trailer") << g.left(g.size() - 1) << cut;
        QTest::newRow("icon cut short") << icon({p}).left(300) << QStringLiteral("損毀");
        QTest::newRow("cursor claiming 255 images")
            << withByte(icon({p}, true), 4, char(255)) << QString();
        const QString large = QStringLiteral("太大");
        QTest::newRow("bmp claiming 100000 x 100000")
            << withLe32(withLe32(bmp, 18, 100000), 22, 100000) << large;
        QTest::newRow("bmp claiming 16385 wide") << withLe32(bmp, 18, 16385) << large;
        QTest::newRow("gif claiming 65535 x 65535")
            << withByte(withByte(withByte(withByte(g, 6, -1), 7, -1), 8, -1), 9, -1) << large;
        QTest::newRow("bmp with height INT_MIN") << withLe32(bmp, 22, 0x80000000u) << QString();
        QTest::newRow("bmp with width 0") << withLe32(bmp, 18, 0) << QString();
        QTest::newRow("text named .bmp")
            << QByteArray("just some words\n") << QStringLiteral("不是");
        QTest::newRow("tiff is not offered") << encode(p, "tiff") << QStringLiteral("不是");
        QTest::newRow("empty") << QByteArray() << QStringLiteral("空");
    }
    void refusesBrokenFiles() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        const QString path = m_dir.filePath(QStringLiteral("broken.bmp"));
        QVERIFY(writeFile(path, bytes));
        const PictureFile::ReadResult r = PictureFile::read(path);
        QVERIFY(!r.ok());
        QVERIFY(!r.error.isEmpty());
        if (!reason.isEmpty()) QVERIFY2(r.error.contains(reason), qPrintable(r.error));
    }

    void refusesWhatIsNotAFile_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << "gone.ZEL" << QStringLiteral("不存在");
        QTest::newRow("directory") << "." << QStringLiteral("資料夾");
        QTest::newRow("pipe (must not block)") << "fifo.ZEL" << QStringLiteral("一般");
    }
    void refusesWhatIsNotAFile() {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        QVERIFY(::mkfifo(QFile::encodeName(m_dir.filePath("fifo.ZEL")).constData(), 0600) == 0 ||
                errno == EEXIST);
        const PictureFile::ReadResult r = PictureFile::read(m_dir.filePath(name));
        QVERIFY(!r.ok());
        QVERIFY2(r.error.contains(reason), qPrintable(r.error));
    }

    // Odd widths need row padding; the file must be what any bitmap reader expects.
    void writesUncompressed24BitBottomUp_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("stride");
        QTest::newRow("1 wide") << 1 << 4;
        QTest::newRow("3 wide") << 3 << 12;
        QTest::newRow("5 wide") << 5 << 16;
        QTest::newRow("8 wide") << 8 << 24;
    }
    void writesUncompressed24BitBottomUp() {
        QFETCH(int, width);
        QFETCH(int, stride);
        const QImage p = pattern(width, 3);
        const QString path = m_dir.filePath(QStringLiteral("out.jpg"));
        QCOMPARE(PictureFile::writeBmp(p, path), QString());
        const QByteArray d = readFile(path);
        auto u32 = [&](int at) { return qFromLittleEndian<quint32>(d.constData() + at); };
        auto u16 = [&](int at) { return qFromLittleEndian<quint16>(d.constData() + at); };
        QVERIFY(d.startsWith("BM"));
        QCOMPARE(d.size(), 54 + stride * 3);
        QCOMPARE(u32(2), quint32(d.size()));
        QCOMPARE(u32(10), 54u);
        QCOMPARE(u32(14), 40u);
        QCOMPARE(qint32(u32(18)), width);
        QCOMPARE(qint32(u32(22)), 3);  // positive: bottom-up
        QCOMPARE(u16(28), quint16(24));
        QCOMPARE(u32(30), 0u);  // BI_RGB
        // The first row in the file is the bottom one, blue first; padding is zero.
        const QRgb bottomLeft = p.pixel(0, 2), topRight = p.pixel(width - 1, 0);
        QCOMPARE(quint8(d[54]), quint8(qBlue(bottomLeft)));
        QCOMPARE(quint8(d[56]), quint8(qRed(bottomLeft)));
        QCOMPARE(quint8(d[54 + 2 * stride + (width - 1) * 3 + 1]), quint8(qGreen(topRight)));
        for (int i = width * 3; i < stride; ++i) QCOMPARE(d[54 + i], '\0');
        QCOMPARE(QImage(path, "bmp").convertToFormat(QImage::Format_RGB32), p);
    }

    // A failed save leaves whatever was there, and no temporary file beside it.
    void failedWriteKeepsOldFile_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("fullDisk");
        QTest::newRow("directory is a regular file") << "plain.txt/pic.ZEL" << false;
        QTest::newRow("missing directory") << "nowhere/pic.ZEL" << false;
        QTest::newRow("target is a directory") << "sub" << false;
        QTest::newRow("disk full while writing") << "old.ZEL" << true;
    }
    void failedWriteKeepsOldFile() {
        QFETCH(QString, name);
        QFETCH(bool, fullDisk);
        const QByteArray old("the picture saved last week");
        QVERIFY(writeFile(m_dir.filePath("plain.txt"), "text"));
        QVERIFY(writeFile(m_dir.filePath("old.ZEL"), old));
        QVERIFY(QDir(m_dir.path()).mkpath("sub"));
        const QStringList before =
            QDir(m_dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
        QString error;
        if (fullDisk) {
            // A file-size limit makes write() fail the way a full disk does, even for root.
            rlimit saved{};
            getrlimit(RLIMIT_FSIZE, &saved);
            rlimit small = saved;
            small.rlim_cur = 64 * 1024;
            auto previous = std::signal(SIGXFSZ, SIG_IGN);
            setrlimit(RLIMIT_FSIZE, &small);
            error = PictureFile::writeBmp(pattern(1024, 768), m_dir.filePath(name));
            setrlimit(RLIMIT_FSIZE, &saved);
            std::signal(SIGXFSZ, previous);
        } else {
            error = PictureFile::writeBmp(pattern(40, 30), m_dir.filePath(name));
        }
        QVERIFY(!error.isEmpty());
        QCOMPARE(readFile(m_dir.filePath("old.ZEL")), old);
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), before);
    }

  private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(TestPictureFile)
#include "tst_picture_file.moc"
