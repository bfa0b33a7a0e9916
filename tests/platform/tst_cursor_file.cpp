#include <QtTest>

#include "platform/files/cursor_file.h"
#include "support/sample_pictures.h"

using namespace SamplePictures;

namespace {
// Offsets in a file of one picture.
constexpr int kType = 2, kCount = 4, kEntryWidth = 6, kHotX = 10, kEntryOffset = 18, kDibWidth = 26,
              kDibHeight = 30, kDibCompression = 38, kPngWidth = 38;

// Every pixel in a colour of its own, so shifts and flips show, and the lower half clear: the
// mask's holes (a copy fills what lies outside the original with 0).
QImage sample(int n, QSize size = QSize(32, 32)) {
    const QImage top = pattern(size.width(), size.height() / 2, n);
    return top.convertToFormat(QImage::Format_ARGB32).copy(QRect(QPoint(0, 0), size));
}
}  // namespace

class TestCursorFile : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void goodFilesGivePictureAndHotSpot_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QImage>("image");
        QTest::addColumn<QPoint>("hotSpot");
        const QImage odd = sample(4, {17, 9}), first = sample(5, {16, 16}),
                     png = sample(7, {48, 48});
        QTest::newRow("odd width pads rows")
            << cursorFile({{odd, {16, 8}}}) << odd << QPoint(16, 8);
        QTest::newRow("first of two counts")
            << cursorFile({{first, {3, 4}}, {sample(6), {30, 30}}}) << first << QPoint(3, 4);
        QTest::newRow("stored as PNG")
            << cursorFile({{png, {47, 0}, true}}) << png << QPoint(47, 0);
    }
    void goodFilesGivePictureAndHotSpot() {
        QFETCH(QByteArray, bytes);
        const CursorFileResult r = decodeCursorFile(bytes);
        QVERIFY2(r.ok(), qPrintable(r.error));
        QTEST(r.image, "image");  // the mask's holes stay clear
        QTEST(r.hotSpot, "hotSpot");
    }

    void damagedFilesAreRefused_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("why");
        const QByteArray good = cursorFile({{sample(1), {0, 0}}});
        QTest::newRow("an icon") << poke(good, kType, 1, 2) << "圖示檔";
        QTest::newRow("no pictures") << poke(good, kCount, 0, 2) << "沒有圖片";
        QTest::newRow("offset past the end")
            << poke(good, kEntryOffset, 0xFFFFFFF0u) << "檔案範圍之外";
        QTest::newRow("hot spot right of it") << poke(good, kHotX, 32, 2) << "熱點 (32, 0)";
        QTest::newRow("huge bitmap") << poke(good, kDibWidth, 0x7FFFFFFF) << "宣稱";
        QTest::newRow("negative height") << poke(good, kDibHeight, quint32(-64)) << "宣稱";
        QTest::newRow("directory and bitmap disagree")
            << poke(good, kEntryWidth, 16, 1) << "目錄寫的是 16";
        QTest::newRow("compressed") << poke(good, kDibCompression, 1) << "壓縮";
        QTest::newRow("empty") << QByteArray() << "空的";
        // 64 pixels claimed in both places over 32 pixels of data
        QTest::newRow("bitmap wider than its bytes")
            << poke(poke(good, kEntryWidth, 64, 1), kDibWidth, 64) << "需要";
        QByteArray png = cursorFile({{sample(1), {0, 0}, true}});
        png.replace(kPngWidth, 4, QByteArray("\0\1\0\0", 4));  // big-endian 65536
        QTest::newRow("PNG claiming 65536 wide") << png << "PNG 圖片宣稱";
    }
    void damagedFilesAreRefused() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, why);
        const CursorFileResult r = decodeCursorFile(bytes);
        QVERIFY2(r.image.isNull() && r.error.contains(why), qPrintable(r.error));
    }

    // Every cut of a good file is refused.
    void truncatedFilesAreRefused() {
        const QByteArray good = cursorFile({{sample(2), {4, 4}}});
        for (int len = 0; len < good.size(); ++len)
            QVERIFY2(!decodeCursorFile(good.left(len)).ok(), qPrintable(QString::number(len)));
    }
};

QTEST_MAIN(TestCursorFile)
#include "tst_cursor_file.moc"
