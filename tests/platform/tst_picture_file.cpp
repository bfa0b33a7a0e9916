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

    // Odd widths need row padding; the file must be what any bitmap reader expects (reading
    // our own saves back: tst_hostile_inputs, for every data file).
    void writesUncompressed24BitBottomUp_data() {
        QTest::addColumn<int>("width");
        for (int width : {1, 3, 5, 8}) QTest::addRow("%d wide", width) << width;
    }
    void writesUncompressed24BitBottomUp() {
        QFETCH(int, width);
        const QImage p = pattern(width, 3);
        const QString path = m_dir.filePath(QStringLiteral("out.jpg"));
        QCOMPARE(PictureFile::writeBmp(p, path), QString());
        // Byte for byte as other programs write them, but for the image size and resolution,
        // which are free.
        QByteArray d = readFile(path), expected = rawBmp(p, 24);
        QCOMPARE(d.remove(34, 12), expected.remove(34, 12));
    }

  private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(TestPictureFile)
#include "tst_picture_file.moc"
