#include <QtTest>

#include "palette/cursor_bytes.h"
#include "platform/cursor_file.h"
#include "support/app_fixture.h"

using namespace CursorBytes;

class TestCursorFile : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void goodFilesGivePictureAndHotSpot_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPoint>("hotSpot");
        QTest::addColumn<int>("sampleNo");
        QTest::newRow("fingertip")
            << cursor(sample(1), {5, 0}) << QSize(32, 32) << QPoint(5, 0) << 1;
        QTest::newRow("last pixel")
            << cursor(sample(2), {31, 31}) << QSize(32, 32) << QPoint(31, 31) << 2;
        QTest::newRow("odd width pads rows")
            << cursor(sample(4, {17, 9}), {16, 8}) << QSize(17, 9) << QPoint(16, 8) << 4;
        QTest::newRow("first of two counts")
            << build({{sample(5, {16, 16}), {3, 4}}, {sample(6), {30, 30}}}) << QSize(16, 16)
            << QPoint(3, 4) << 5;
        QTest::newRow("stored as PNG")
            << cursor(sample(7, {48, 48}), {47, 0}, true) << QSize(48, 48) << QPoint(47, 0) << 7;
    }
    void goodFilesGivePictureAndHotSpot() {
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, size);
        QFETCH(QPoint, hotSpot);
        QFETCH(int, sampleNo);
        const CursorFileResult r = decodeCursorFile(bytes);
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.image.size(), size);
        QCOMPARE(r.hotSpot, hotSpot);
        QCOMPARE(r.image.pixel(0, 0), 0u);  // the mask's holes stay clear
        QCOMPARE(r.image.pixel(3, 3), sample(sampleNo).pixel(3, 3));
    }

    void damagedFilesAreRefused_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("why");
        const QByteArray good = cursor(sample(1), {0, 0});
        struct Poke {
            const char* name;
            int at;
            quint32 value;
            int bytes;
            const char* why;
        };
        const Poke pokes[] = {
            {"reserved not 0", 0, 1, 2, "reserved"},
            {"an icon", kType, 1, 2, "icon"},
            {"unknown type", kType, 7, 2, "type 7"},
            {"no pictures", kCount, 0, 2, "no pictures"},
            {"directory past the end", kCount, 0xFFFF, 2, "directory"},
            {"offset past the end", kEntryOffset, 0xFFFFFFF0u, 4, "outside the file"},
            {"size past the end", kEntryBytes, 0xFFFFFFFFu, 4, "outside the file"},
            {"picture over the directory", kEntryOffset, 2, 4, "outside the file"},
            {"hot spot right of it", kHotX, 32, 2, "hot spot (32, 0)"},
            {"hot spot below it", kHotY, 0xFFFF, 2, "hot spot"},
            {"huge bitmap", kDibWidth, 0x7FFFFFFF, 4, "claims"},
            {"negative height", kDibHeight, quint32(-64), 4, "claims"},
            {"directory and bitmap disagree", kEntryWidth, 16, 1, "directory says 16"},
            {"odd depth", kDibBits, 7, 2, "depth of 7"},
            {"compressed", kDibCompression, 1, 4, "compressed"},
        };
        for (const Poke& p : pokes) {
            QByteArray b = good;
            put(b, p.at, p.value, p.bytes);
            QTest::newRow(p.name) << b << QString::fromLatin1(p.why);
        }
        QTest::newRow("empty") << QByteArray() << "empty";
        QTest::newRow("shorter than a header") << good.left(5) << "too short";
        QTest::newRow("truncated") << good.chopped(1) << "outside the file";
        QByteArray wide = good;  // 64 pixels claimed in both places over 32 pixels of data
        put(wide, kEntryWidth, 64, 1);
        put(wide, kDibWidth, 64, 4);
        QTest::newRow("bitmap wider than its bytes") << wide << "needs";
        QByteArray png = cursor(sample(1), {0, 0}, true);
        png.replace(kPngWidth, 4, QByteArray("\0\1\0\0", 4));  // big-endian 65536
        QTest::newRow("PNG claiming 65536 wide") << png << "PNG picture claims";
    }
    void damagedFilesAreRefused() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, why);
        const CursorFileResult r = decodeCursorFile(bytes);
        QVERIFY(r.image.isNull());
        QVERIFY2(r.error.contains(why), qPrintable(r.error));
    }

    // Every cut of a good file, and a spread of damage to its headers, end in a clean answer.
    void anyDamageGivesACleanAnswer() {
        const QByteArray good = cursor(sample(2), {4, 4});
        for (int len = 0; len < good.size(); ++len)
            QVERIFY2(!decodeCursorFile(good.left(len)).ok(), qPrintable(QString::number(len)));
        for (int at = 0; at < kDib + 40; ++at) {
            for (char value : {'\x00', '\x01', '\x7F', '\x80', '\xFF'}) {
                QByteArray bytes = good;
                bytes[at] = value;
                const CursorFileResult r = decodeCursorFile(bytes);
                QCOMPARE(r.ok(), !r.image.isNull());
                if (r.ok()) QVERIFY(r.image.rect().contains(r.hotSpot));
            }
        }
    }

    void pathsThatAreNoCursor_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("why");
        QTest::newRow("missing") << "missing"
                                 << "not found";
        QTest::newRow("a directory") << "directory"
                                     << "not a file";
        QTest::newRow("far too large") << "large"
                                       << "too large";
    }
    void pathsThatAreNoCursor() {
        QFETCH(QString, kind);
        QFETCH(QString, why);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("x.cur"));
        if (kind == QLatin1String("directory")) QVERIFY(QDir().mkpath(path));
        QFile f(path);
        if (kind == QLatin1String("large"))
            QVERIFY(f.open(QIODevice::WriteOnly) && f.resize(kMaxCursorFileBytes + 1));
        const CursorFileResult r = readCursorFile(path);
        QVERIFY2(!r.ok() && r.error.contains(why), qPrintable(r.error));
    }

    // A bad tool cursor ends the program naming it; once read, a cursor no longer needs the
    // disk until it is read again.
    void toolCursorsFailLoudlyAndAreRemembered() {
        AppFixture app;
        QTemporaryDir dir;
        QVERIFY(writeToolCursors(dir.path()));
        setProgramDirectory(dir.path());
        const QString path = dataFilePath(DataDir::IconCursor, DataFiles::toolCursor(2));
        QCOMPARE(readToolCursor(2).hotSpot, standInHotSpot(2));
        QVERIFY(QFile::remove(path));
        QCOMPARE(loadToolCursor(2).hotSpot(), standInHotSpot(2));
        try {
            readToolCursor(2);
            QFAIL("a missing cursor was accepted");
        } catch (const FatalError& e) {
            QCOMPARE(e.path, path);
            QVERIFY2(e.reason.contains(QLatin1String("not found")), qPrintable(e.reason));
        }
        QVERIFY_THROWS_EXCEPTION(FatalError, loadToolCursor(2));
        QVERIFY(writeFile(path, cursor(sample(2), {9, 1}).left(60)));
        QVERIFY_THROWS_EXCEPTION(FatalError, loadToolCursor(2));
        QVERIFY(writeFile(path, cursor(sample(2), {9, 1})));
        QCOMPARE(loadToolCursor(2).hotSpot(), QPoint(9, 1));
    }
};

QTEST_MAIN(TestCursorFile)
#include "tst_cursor_file.moc"
