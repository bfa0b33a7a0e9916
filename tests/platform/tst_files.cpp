#include <sys/stat.h>
#include <QtTest>

#include "../../fuzz/fuzz_checks.h"
#include "platform/files/cursor_file.h"
#include "platform/files/picture_file.h"
#include "proc_stats.h"
#include "support/data_table.h"
#include "support/sample_pictures.h"

using namespace SamplePictures;

// The picture and cursor readers and the bitmap writer: every form a good file takes, files
// built to mislead the readers, and every input the fuzzers ever tripped over. Each must give a
// clear refusal or a sound picture, in bounded memory.
namespace {
// Offsets in a cursor file of one picture.
constexpr int kType = 2, kCount = 4, kEntryWidth = 6, kHotX = 10, kEntryOffset = 18, kDibWidth = 26,
              kDibHeight = 30, kDibCompression = 38, kPngWidth = 38;

// Every pixel in a colour of its own, so shifts and flips show, and the lower half clear: the
// mask's holes (a copy fills what lies outside the original with 0).
QImage sample(int n, QSize size = QSize(32, 32)) {
    const QImage top = pattern(size.width(), size.height() / 2, n);
    return top.convertToFormat(QImage::Format_ARGB32).copy(QRect(QPoint(0, 0), size));
}

// The process's resident memory now and its peak (kB).
std::pair<long, long> residentAndPeakKb() {
    const std::string status = readTextFile("/proc/self/status").value_or("");
    return {ProcStats::parseStatusField(status, "VmRSS").value_or(-1),
            ProcStats::parseStatusField(status, "VmHWM").value_or(-1)};
}
}  // namespace

class TestFiles : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    // Formats are told by content: every file below carries a misleading suffix.
    void readsByContent_data() {
        const DataTable<QByteArray, QImage> row({"bytes", "expected"});
        const QImage p = pattern(37, 23), big = pattern(48, 40, 3);
        const QImage few = pattern(16, 16).convertToFormat(QImage::Format_Indexed8);
        row("32-bit bmp, older saves", rawBmp(p, 32), p);
        row("top-down bmp", rawBmp(p, 24, true), p);
        row("gif", gif(few), few.convertToFormat(QImage::Format_RGB32));
        row("icon: largest of three", icon({pattern(16, 16), big, pattern(32, 32)}), big);
    }
    void readsByContent() {
        QFETCH(QByteArray, bytes);
        const QString path = m_dir.filePath(QStringLiteral("picture.jpg"));
        QVERIFY(writeFile(path, bytes));
        const PictureFile::ReadResult r = PictureFile::read(path);
        QVERIFY2(r.ok(), qPrintable(r.error));
        QTEST(r.image.convertToFormat(QImage::Format_RGB32), "expected");
    }

    // Odd widths need row padding; the file must be what any bitmap reader expects (reading our
    // own saves back: misleadingPictureFiles, for every data file).
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

    // A name that is no file, or bytes that are no picture, give the reason in the user's words;
    // a cursor must pass the cursor reader's promises.
    void misleadingPictureFiles_data() {
        // name: hostile.bmp holds the bytes; reason: a part of it, "-" if it may also be read
        const DataTable<QString, QByteArray, QString> row({"name", "bytes", "reason"});
        const QString file = QStringLiteral("hostile.bmp"), cut = QStringLiteral("不完整");
        const QString large = QStringLiteral("太大"), none = QStringLiteral("不是");
        const QImage p = pattern(64, 48);
        const QByteArray bmp = encode(p, "bmp"), jpeg = encode(p, "jpeg");
        const QByteArray g = gif(pattern(40, 30));
        row("bmp cut short", file, bmp.left(bmp.size() * 3 / 5), cut);
        row("jpeg cut short", file, jpeg.left(jpeg.size() / 2), cut);
        row("gif cut short", file, g.left(g.size() - 40), cut);
        row("bmp claiming 16385 wide", file, poke(bmp, 18, 16385), large);
        row("gif claiming 65535 x 65535", file, poke(g, 6, 0xFFFFFFFFu), large);
        row("bmp with height INT_MIN", file, poke(bmp, 22, 0x80000000u), "");
        row("bmp width -64", file, poke(bmp, 18, quint32(-64)), "");
        row("bmp rows past the end", file, poke(bmp, 10, 0x7FFFFFF0u), "");
        row("bmp depth 0", file, poke(bmp, 28, 0, 2), "");
        const QByteArray rle =
            poke(encode(pattern(8, 8).convertToFormat(QImage::Format_Indexed8), "bmp"), 30, 1);
        row("run-length bmp claiming 16384 x 16384", file, poke(poke(rle, 18, 16384), 22, 16384),
            "");
        row("run-length bmp claiming -8 high", file, poke(rle, 22, quint32(-8)), "-");
        // The frame header holds the height and then the width, big-endian.
        const QByteArray small = encode(pattern(16, 16), "jpeg");
        const qsizetype sof = small.indexOf(QByteArray("\xFF\xC0", 2)) + 5;
        row("jpeg claiming 65535 x 65535", file, poke(small, sof, 0xFFFFFFFFu), "");
        row("jpeg claiming 0 wide", file, poke(small, sof + 2, 0, 2), "");
        const QByteArray g8 = gif(pattern(8, 8));
        row("gif screen 0 x 0", file, poke(g8, 6, 0), "-");
        row("gif frame 65535 x 65535", file, poke(g8, 786, 0xFFFFFFFFu), "-");
        const QByteArray ico = icon({pattern(16, 16)});
        row("icon with no images", file, poke(ico, 4, 0, 2), "");
        row("icon image past the end", file, poke(ico, 18, 0x7FFFFFF0u), "");
        row("icon image size 2^32 - 1", file, poke(ico, 14, 0xFFFFFFFFu), "-");
        row("text", file, QByteArray("just some words\n"), none);
        row("tiff is not offered", file, encode(p, "tiff"), none);
        row("empty", file, QByteArray(), "空");
        row("missing", "gone.ZEL", QByteArray(), "不存在");
        row("directory", ".", QByteArray(), "資料夾");
        row("pipe (must not block)", "fifo.ZEL", QByteArray(), "一般");
        // What the fuzzers kept, and the program's own data files as inputs known to be good
        // (those as cursors: tst_datagen).
        for (const char* dir :
             {SHATTER_SOURCE_DIR "/fuzz/regressions/cursor",
              SHATTER_SOURCE_DIR "/fuzz/regressions/picture", SHATTER_BUILD_DIR "/Pic/Icon&Cursor",
              SHATTER_BUILD_DIR "/Pic/Image"})
            for (const QFileInfo& f : QDir(QString::fromUtf8(dir)).entryInfoList(QDir::Files))
                row(qPrintable("kept " + f.filePath()), f.filePath(), {},
                    f.path().endsWith("/cursor") ? "cursor" : "-");
    }
    void misleadingPictureFiles() {
        const auto [name, bytes, reason] = DataTable<QString, QByteArray, QString>::fetch();
        QVERIFY(writeFile(m_dir.filePath(QStringLiteral("hostile.bmp")), bytes));
        QVERIFY(::mkfifo(QFile::encodeName(m_dir.filePath("fifo.ZEL")).constData(), 0600) == 0 ||
                errno == EEXIST);
        const QString path = QDir(m_dir.path()).filePath(name);  // names may be absolute
        // Writing 5 to clear_refs brings the peak down to now: each row is measured on its own.
        writeFile(QStringLiteral("/proc/self/clear_refs"), "5");
        [[maybe_unused]] const auto [before, peakBefore] = residentAndPeakKb();
        const QString broken = reason == "cursor"
                                   ? FuzzChecks::checkCursorBytes(readFile(path))
                                   : FuzzChecks::checkPictureFile(path, QDir(m_dir.path()));
        QVERIFY2(broken.isEmpty(), qPrintable(broken));
        if (reason == "cursor") return;
        const PictureFile::ReadResult r = PictureFile::read(path);
        if (reason != "-") QVERIFY2(!r.ok() && r.error.contains(reason), qPrintable(r.error));
#ifndef __SANITIZE_ADDRESS__  // the sanitizer's own bookkeeping would count
        // Nothing refused here needs more than a few pictures' worth of memory.
        const long grown = residentAndPeakKb().second - before;
        QVERIFY2(peakBefore <= before + 1024 && grown < 64 * 1024,
                 qPrintable(QStringLiteral("peak memory grew by %1 kB").arg(grown)));
#endif
    }

    void goodCursorsGivePictureAndHotSpot_data() {
        const DataTable<QByteArray, QImage, QPoint> row({"bytes", "image", "hotSpot"});
        const QImage odd = sample(4, {17, 9}), first = sample(5, {16, 16}),
                     png = sample(7, {48, 48});
        row("odd width pads rows", icon({{odd, {16, 8}}}, 2), odd, {16, 8});
        row("first of two counts", icon({{first, {3, 4}}, {sample(6), {30, 30}}}, 2), first,
            {3, 4});
        row("stored as PNG", icon({{png, {47, 0}, true}}, 2), png, {47, 0});
    }
    void goodCursorsGivePictureAndHotSpot() {
        QFETCH(QByteArray, bytes);
        const CursorFileResult r = decodeCursorFile(bytes);
        QVERIFY2(r.ok(), qPrintable(r.error));
        QTEST(r.image, "image");  // the mask's holes stay clear
        QTEST(r.hotSpot, "hotSpot");
    }

    void damagedCursorsAreRefused_data() {
        const DataTable<QByteArray, QString> row({"bytes", "why"});
        const QByteArray good = icon({{sample(1), {0, 0}}}, 2);
        row("an icon", poke(good, kType, 1, 2), "圖示檔");
        row("no pictures", poke(good, kCount, 0, 2), "沒有圖片");
        row("offset past the end", poke(good, kEntryOffset, 0xFFFFFFF0u), "檔案範圍之外");
        row("hot spot right of it", poke(good, kHotX, 32, 2), "熱點 (32, 0)");
        row("huge bitmap", poke(good, kDibWidth, 0x7FFFFFFF), "宣稱");
        row("negative height", poke(good, kDibHeight, quint32(-64)), "宣稱");
        row("directory and bitmap disagree", poke(good, kEntryWidth, 16, 1), "目錄寫的是 16");
        row("compressed", poke(good, kDibCompression, 1), "壓縮");
        row("empty", {}, "空的");
        // 64 pixels claimed in both places over 32 pixels of data
        row("bitmap wider than its bytes", poke(poke(good, kEntryWidth, 64, 1), kDibWidth, 64),
            "需要");
        const QByteArray png = icon({{sample(1), {0, 0}, true}}, 2);
        // 0x100 little-endian reads 65536 big-endian, as the PNG header holds it.
        row("PNG claiming 65536 wide", poke(png, kPngWidth, 0x100), "PNG 圖片宣稱");
    }
    void damagedCursorsAreRefused() {
        const auto [bytes, why] = DataTable<QByteArray, QString>::fetch();
        const CursorFileResult r = decodeCursorFile(bytes);
        QVERIFY2(r.image.isNull() && r.error.contains(why), qPrintable(r.error));
    }

    // Every cut of a good cursor is refused.
    void truncatedCursorsAreRefused() {
        const QByteArray good = icon({{sample(2), {4, 4}}}, 2);
        for (int len = 0; len < good.size(); ++len)
            QVERIFY2(!decodeCursorFile(good.left(len)).ok(), qPrintable(QString::number(len)));
    }

  private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(TestFiles)
#include "tst_files.moc"
