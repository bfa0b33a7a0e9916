#include <sys/stat.h>
#include <QtTest>

#include "platform/picture_file.h"
#include "support/sample_pictures.h"

using namespace SamplePictures;

class TestPictureFile : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    // Formats are told by content: every file below carries a misleading suffix.
    void readsByContent_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QImage>("expected");
        const QImage p = pattern(37, 23), big = pattern(48, 40, 3);
        const QImage few = pattern(16, 16).convertToFormat(QImage::Format_Indexed8);
        QTest::newRow("32-bit bmp, older saves") << rawBmp(p, 32) << p;
        QTest::newRow("top-down bmp") << rawBmp(p, 24, true) << p;
        QTest::newRow("gif") << gif(few) << few.convertToFormat(QImage::Format_RGB32);
        QTest::newRow("icon: largest of three")
            << icon({pattern(16, 16), big, pattern(32, 32)}) << big;
    }
    void readsByContent() {
        QFETCH(QByteArray, bytes);
        QFETCH(QImage, expected);
        const QString path = m_dir.filePath(QStringLiteral("picture.jpg"));
        QVERIFY(writeFile(path, bytes));
        const PictureFile::ReadResult r = PictureFile::read(path);
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.image.convertToFormat(QImage::Format_RGB32), expected);
    }

    // A name that is no file, or bytes that are no picture, give the reason in the user's words.
    void refusesBrokenFiles_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");  // written to broken.bmp
        QTest::addColumn<QString>("reason");
        const QImage p = pattern(64, 48);
        const QByteArray bmp = encode(p, "bmp"), jpeg = encode(p, "jpeg");
        const QByteArray g = gif(pattern(40, 30).convertToFormat(QImage::Format_Indexed8));
        const QString broken = QStringLiteral("broken.bmp"), cut = QStringLiteral("不完整");
        QTest::newRow("bmp cut short") << broken << bmp.left(bmp.size() * 3 / 5) << cut;
        QTest::newRow("jpeg cut short") << broken << jpeg.left(jpeg.size() / 2) << cut;
        QTest::newRow("gif cut short") << broken << g.left(g.size() - 40) << cut;
        const QString large = QStringLiteral("太大");
        QTest::newRow("bmp claiming 16385 wide") << broken << poke(bmp, 18, 16385) << large;
        QTest::newRow("gif claiming 65535 x 65535") << broken << poke(g, 6, 0xFFFFFFFFu) << large;
        QTest::newRow("bmp with height INT_MIN") << broken << poke(bmp, 22, 0x80000000u) << "";
        QTest::newRow("text") << broken << QByteArray("just some words\n") << "不是";
        QTest::newRow("tiff is not offered") << broken << encode(p, "tiff") << "不是";
        QTest::newRow("empty") << broken << QByteArray() << "空";
        QTest::newRow("missing") << "gone.ZEL" << QByteArray() << "不存在";
        QTest::newRow("directory") << "." << QByteArray() << "資料夾";
        QTest::newRow("pipe (must not block)") << "fifo.ZEL" << QByteArray() << "一般";
    }
    void refusesBrokenFiles() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        QVERIFY(writeFile(m_dir.filePath("broken.bmp"), bytes));
        QVERIFY(::mkfifo(QFile::encodeName(m_dir.filePath("fifo.ZEL")).constData(), 0600) == 0 ||
                errno == EEXIST);
        const PictureFile::ReadResult r = PictureFile::read(m_dir.filePath(name));
        QVERIFY(!r.ok());
        QVERIFY2(!r.error.isEmpty() && r.error.contains(reason), qPrintable(r.error));
    }

    // Odd widths need row padding; the file must be what any bitmap reader expects, and
    // reading it back gives every pixel as it was.
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
        const auto u32 = [&](int at) { return qFromLittleEndian<quint32>(d.constData() + at); };
        QVERIFY(d.startsWith("BM"));
        QCOMPARE(d.size(), 54 + stride * 3);
        QCOMPARE(u32(2), quint32(d.size()));
        QCOMPARE(u32(10), 54u);
        QCOMPARE(u32(14), 40u);
        QCOMPARE(qint32(u32(18)), width);
        QCOMPARE(qint32(u32(22)), 3);     // positive: bottom-up
        QCOMPARE(u32(28) & 0xFFFF, 24u);  // bits a pixel
        QCOMPARE(u32(30), 0u);            // uncompressed
        QCOMPARE(PictureFile::read(path).image.convertToFormat(QImage::Format_RGB32), p);
    }

  private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(TestPictureFile)
#include "tst_picture_file.moc"
