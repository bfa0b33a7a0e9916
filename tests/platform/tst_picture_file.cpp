#include <QtTest>

#include "platform/files/picture_file.h"
#include "support/sample_pictures.h"

using namespace SamplePictures;

// Files the reader refuses are in tst_hostile_inputs, with what every refusal must promise.
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
        const QString path = m_dir.filePath(QStringLiteral("picture.jpg"));
        QVERIFY(writeFile(path, bytes));
        const PictureFile::ReadResult r = PictureFile::read(path);
        QVERIFY2(r.ok(), qPrintable(r.error));
        QTEST(r.image.convertToFormat(QImage::Format_RGB32), "expected");
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
