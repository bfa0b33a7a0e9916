#include <QtTest>

#include "layouts/data_files.h"
#include "palette/cursor_bytes.h"
#include "platform/cursor_file.h"
#include "support/app_fixture.h"

using namespace CursorBytes;

namespace {
using Edit = std::function<void(QByteArray&)>;
}
Q_DECLARE_METATYPE(Edit)

class TestCursorFile : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void goodFilesGivePictureAndHotSpot_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPoint>("hotSpot");
        QTest::newRow("32x32 colour, fingertip hot spot")
            << cursor(sample(1), QPoint(5, 0)) << QSize(32, 32) << QPoint(5, 0);
        QTest::newRow("hot spot in the last pixel")
            << cursor(sample(2), QPoint(31, 31)) << QSize(32, 32) << QPoint(31, 31);
        QTest::newRow("black and white")
            << cursor(sample(3), QPoint(16, 16), 1) << QSize(32, 32) << QPoint(16, 16);
        QTest::newRow("odd width pads its rows")
            << cursor(sample(4, QSize(17, 9)), QPoint(16, 8)) << QSize(17, 9) << QPoint(16, 8);
        QTest::newRow("two pictures, the first counts")
            << build({{sample(5, QSize(16, 16)), QPoint(3, 4)}, {sample(6), QPoint(30, 30)}})
            << QSize(16, 16) << QPoint(3, 4);
        QTest::newRow("stored as PNG")
            << pngCursor(sample(7, QSize(48, 48)), QPoint(47, 0)) << QSize(48, 48) << QPoint(47, 0);
    }
    void goodFilesGivePictureAndHotSpot() {
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, size);
        QFETCH(QPoint, hotSpot);
        const CursorFileResult r = decodeCursorFile(bytes);
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.image.size(), size);
        QCOMPARE(r.hotSpot, hotSpot);
        // Transparency survives: the corner is clear, the square is opaque.
        QCOMPARE(qAlpha(r.image.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(r.image.pixel(3, 3)), 255);
    }

    void colourPixelsArriveUnchanged() {
        const QImage img = sample(7);
        const CursorFileResult r = decodeCursorFile(cursor(img, QPoint(0, 0)));
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.image, img.convertToFormat(QImage::Format_ARGB32));
    }

    void damagedHeadersAreRefused_data() {
        QTest::addColumn<Edit>("edit");
        QTest::addColumn<QString>("why");
        const auto row = [](const char* name, Edit e, const char* why) {
            QTest::newRow(name) << e << QString::fromLatin1(why);
        };
        row(
            "empty file", [](QByteArray& b) { b.clear(); }, "empty");
        row(
            "shorter than the header", [](QByteArray& b) { b.truncate(5); }, "too short");
        row(
            "reserved not 0", [](QByteArray& b) { put16(b, 0, 1); }, "reserved");
        row(
            "an icon", [](QByteArray& b) { put16(b, kType, 1); }, "icon");
        row(
            "unknown type", [](QByteArray& b) { put16(b, kType, 7); }, "type 7");
        row(
            "no pictures", [](QByteArray& b) { put16(b, kCount, 0); }, "no pictures");
        row(
            "directory longer than the file", [](QByteArray& b) { put16(b, kCount, 0xFFFF); },
            "directory");
        row(
            "offset beyond the file", [](QByteArray& b) { put32(b, kEntryOffset, 0xFFFFFFF0u); },
            "outside the file");
        row(
            "size beyond the file", [](QByteArray& b) { put32(b, kEntryBytes, 0xFFFFFFFFu); },
            "outside the file");
        row(
            "picture inside the directory", [](QByteArray& b) { put32(b, kEntryOffset, 2); },
            "outside the file");
        row(
            "picture of no bytes", [](QByteArray& b) { put32(b, kEntryBytes, 0); },
            "outside the file");
        row(
            "truncated picture", [](QByteArray& b) { b.truncate(b.size() - 1); },
            "outside the file");
        row(
            "hot spot right of the picture", [](QByteArray& b) { put16(b, kHotX, 32); },
            "hot spot (32, 0)");
        row(
            "hot spot below the picture", [](QByteArray& b) { put16(b, kHotY, 0xFFFF); },
            "hot spot");
        row(
            "huge bitmap",
            [](QByteArray& b) {
                put32(b, kDibWidth, 0x7FFFFFFF);
                put32(b, kDibHeight, 0x7FFFFFFE);
            },
            "claims");
        row(
            "negative height", [](QByteArray& b) { put32(b, kDibHeight, quint32(-64)); }, "claims");
        row(
            "odd stored height", [](QByteArray& b) { put32(b, kDibHeight, 63); }, "claims");
        row(
            "directory and bitmap disagree", [](QByteArray& b) { b[kEntryWidth] = 16; },
            "directory says 16");
        row(
            "bitmap header of another kind", [](QByteArray& b) { put32(b, kDibSize, 12); },
            "header has size 12");
        row(
            "two planes", [](QByteArray& b) { put16(b, kDibPlanes, 2); }, "planes");
        row(
            "odd depth", [](QByteArray& b) { put16(b, kDibBits, 7); }, "depth of 7");
        row(
            "compressed", [](QByteArray& b) { put32(b, kDibCompression, 1); }, "compressed");
        row(
            "palette too big", [](QByteArray& b) { put32(b, kDibColours, 1000000000); }, "palette");
        row(
            "bitmap bigger than its bytes",
            [](QByteArray& b) {
                // A 64-pixel-wide claim over 32-pixel data, in both places it is stated.
                b[kEntryWidth] = 64;
                put32(b, kDibWidth, 64);
            },
            "needs");
        row(
            "PNG claiming a huge picture",
            [](QByteArray& b) {
                b = pngCursor(sample(1), QPoint(0, 0));
                b.replace(kDib + 16, 4, QByteArray("\x00\x01\x00\x00", 4));  // IHDR width 65536
            },
            "PNG picture claims");
        row(
            "PNG hot spot outside", [](QByteArray& b) { b = pngCursor(sample(1), QPoint(0, 32)); },
            "hot spot");
    }
    void damagedHeadersAreRefused() {
        QFETCH(Edit, edit);
        QFETCH(QString, why);
        QByteArray bytes = cursor(sample(1), QPoint(0, 0));
        edit(bytes);
        const CursorFileResult r = decodeCursorFile(bytes);
        QVERIFY(!r.ok());
        QVERIFY(r.image.isNull());
        QVERIFY2(r.error.contains(why), qPrintable(r.error));
    }

    // Every cut of a good file and a spread of single-byte damage end in a clean answer.
    void anyDamageGivesCleanAnswer() {
        const QByteArray good = cursor(sample(2), QPoint(4, 4));
        for (int len = 0; len < good.size(); ++len) {
            const CursorFileResult r = decodeCursorFile(good.left(len));
            QVERIFY2(!r.ok(), qPrintable(QStringLiteral("cut at %1 accepted").arg(len)));
        }
        // Only the headers can make a reader misbehave; damage them byte by byte.
        for (int at = 0; at < kDib + 40; ++at) {
            for (int value : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
                QByteArray bytes = good;
                bytes[at] = char(value);
                const CursorFileResult r = decodeCursorFile(bytes);
                if (!r.ok()) {
                    QVERIFY(r.image.isNull());
                    continue;
                }
                QVERIFY(r.image.rect().contains(r.hotSpot));
                QVERIFY(r.image.width() <= 256 && r.image.height() <= 256);
            }
        }
    }

    void filesThatCannotBeRead_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("why");
        QTest::newRow("missing") << "missing"
                                 << "not found";
        QTest::newRow("a directory") << "directory"
                                     << "not a file";
        QTest::newRow("far too large") << "large"
                                       << "too large";
        QTest::newRow("empty") << "empty"
                               << "empty";
    }
    void filesThatCannotBeRead() {
        QFETCH(QString, kind);
        QFETCH(QString, why);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("x.cur"));
        if (kind == QLatin1String("directory")) QVERIFY(QDir().mkpath(path));
        if (kind == QLatin1String("empty")) QVERIFY(writeFile(path, {}));
        if (kind == QLatin1String("large")) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(f.resize(kMaxCursorFileBytes + 1));
        }
        const CursorFileResult r = readCursorFile(path);
        QVERIFY(!r.ok());
        QVERIFY2(r.error.contains(why), qPrintable(r.error));
    }

    void readsAGoodFileFromDisk() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Prop.cur"));
        QVERIFY(writeFile(path, cursor(sample(3), QPoint(7, 9))));
        const CursorFileResult r = readCursorFile(path);
        QVERIFY2(r.ok(), qPrintable(r.error));
        QCOMPARE(r.hotSpot, QPoint(7, 9));
    }

    void toolCursorFailureEndsProgramNamingTheFile_data() {
        QTest::addColumn<QByteArray>("bytes");  // empty: no file at all
        QTest::addColumn<QString>("why");
        QTest::newRow("missing") << QByteArray() << "not found";
        QTest::newRow("damaged") << cursor(sample(1), QPoint(0, 0)).left(30) << "outside";
    }
    void toolCursorFailureEndsProgramNamingTheFile() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, why);
        AppFixture app;
        QTemporaryDir dir;
        QVERIFY(writeToolCursors(dir.path()));
        const QString path = dir.path() + QLatin1Char('/') + dataDirName(DataDir::IconCursor) +
                             DataFiles::toolCursor(4);
        QVERIFY(QFile::remove(path));
        if (!bytes.isEmpty()) QVERIFY(writeFile(path, bytes));
        setProgramDirectory(dir.path());
        try {
            loadToolCursor(4);
            QFAIL("a bad cursor file was accepted");
        } catch (const FatalError& e) {
            QCOMPARE(e.path, path);
            QVERIFY2(e.reason.contains(why), qPrintable(e.reason));
        }
        QCOMPARE(loadToolCursor(3).hotSpot(), standInHotSpot(3));
    }

    // Once read, a tool's cursor no longer depends on the disk; a fresh read does.
    void toolCursorIsRememberedUntilReadAgain() {
        AppFixture app;
        QTemporaryDir dir;
        QVERIFY(writeToolCursors(dir.path()));
        setProgramDirectory(dir.path());
        QCOMPARE(readToolCursor(2).hotSpot, standInHotSpot(2));
        const QString path = dataFilePath(DataDir::IconCursor, DataFiles::toolCursor(2));
        QVERIFY(QFile::remove(path));
        QCOMPARE(loadToolCursor(2).hotSpot(), standInHotSpot(2));
        QVERIFY_THROWS_EXCEPTION(FatalError, readToolCursor(2));
        QVERIFY(writeFile(path, cursor(sample(2), QPoint(9, 1))));
        QCOMPARE(loadToolCursor(2).hotSpot(), QPoint(9, 1));
    }
};

QTEST_MAIN(TestCursorFile)
#include "tst_cursor_file.moc"
