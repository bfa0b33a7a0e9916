#include <QtTest>

#include "layouts/data_files.h"
#include "layouts/layouts.h"
#include "shell/label.h"
#include "shell/layout_style.h"

class TestLayouts : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void captionsKeepTheirExactSpacing_data() {
        QTest::addColumn<int>("window");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("caption");
        const int palette = int(FormId::FrmOption);
        QTest::newRow("chainsaw") << palette << "Prop1_2" << QStringLiteral("電 鋸");
        QTest::newRow("hammer") << palette << "Prop2_2" << QStringLiteral("鎚 子");
        QTest::newRow("square") << palette << "Prop4_2" << QStringLiteral("繪方形");
        QTest::newRow("giant cannon") << palette << "Prop6_2" << QStringLiteral("巨 砲");
        QTest::newRow("stamp") << palette << "Prop7_2" << QStringLiteral("圖 章");
        QTest::newRow("minimise") << int(FormId::FrmMain) << "MostS" << QStringLiteral("縮到最小");
        QTest::newRow("ok") << int(FormId::FrmOption2) << "LabTrue" << QStringLiteral("確定");
    }
    void captionsKeepTheirExactSpacing() {
        QFETCH(int, window);
        QFETCH(QString, control);
        QFETCH(QString, caption);
        const ControlLayout* c = findControl(layoutOf(FormId(window)), control);
        QVERIFY(c);
        QCOMPARE(c->caption, caption);
    }

    void hintEndsWithTheDoubleClickText() {
        const ControlLayout* lab = findControl(layoutOf(FormId::FrmOption), "Lab");
        QVERIFY(lab->caption.endsWith(QStringLiteral("雙擊道具可以跳出選項")));
    }

    void canvasHoldersMatchTheirFiles() {
        const WindowLayout& canvas = layoutOf(FormId::Formula_Start);
        QVERIFY(findControl(canvas, "PicSplinter", 0));
        QVERIFY(!findControl(canvas, "PicSplinter", 1));  // made at run time
        for (int i = 1; i <= 3; ++i) QVERIFY(findControl(canvas, "PicBomb3", i));
        for (const ControlLayout& c : canvas.controls) QVERIFY(!c.visible);
    }

    void fontsAreSizedInPixelsForNinetySixDpi_data() {
        QTest::addColumn<double>("points");
        QTest::addColumn<int>("pixels");
        QTest::newRow("default") << 0.0 << 12;
        QTest::newRow("9.75") << 9.75 << 13;
        QTest::newRow("12") << 12.0 << 16;
        QTest::newRow("18") << 18.0 << 24;
        QTest::newRow("21.75") << 21.75 << 29;
    }
    void fontsAreSizedInPixelsForNinetySixDpi() {
        QFETCH(double, points);
        QFETCH(int, pixels);
        QCOMPARE(layoutFont(points).pixelSize(), pixels);
    }

    void fontFallsBackToAnInstalledMingFace() {
        // Boxes instead of characters would mean no face with Chinese glyphs was found.
        const QFontMetrics m(layoutFont(18));
        QVERIFY(m.inFont(QChar(0x9032)));  // 進
    }

    void autoSizeLabelShowsItsWholeCaption() {
        QWidget parent;
        const ControlLayout* c = findControl(layoutOf(FormId::FrmMain), "MostS");
        Label l(*c, &parent);
        l.setCaption(QStringLiteral("縮到最小縮到最小"));
        QVERIFY(l.width() >= QFontMetrics(l.font()).horizontalAdvance(l.text()));
        const ControlLayout* fixed = findControl(layoutOf(FormId::FrmOption2), "LabTittle");
        Label heading(*fixed, &parent);
        heading.setCaption(QStringLiteral("圖章路徑"));
        QCOMPARE(heading.width(), 201);
    }

    void dataPathsJoinDirectoryAndName() {
        setProgramDirectory(QStringLiteral("/opt/shatter"));
        QCOMPARE(dataFilePath(DataDir::IconCursor, DataFiles::toolCursor(3)),
                 QStringLiteral("/opt/shatter/Pic/Icon&Cursor/Prop3.cur"));
        QCOMPARE(dataFilePath(DataDir::Image, DataFiles::bomb2(5)),
                 QStringLiteral("/opt/shatter/Pic/Image/Bomb2_5.bmp"));
        QCOMPARE(dataFilePath(DataDir::Sound, QStringLiteral("No.wav")),
                 QStringLiteral("/opt/shatter/Sound/No.wav"));
        setProgramDirectory({});
    }

    void handCursorHasItsHotSpotAtTheFingertip() {
        const QCursor& hand = handCursor();
        QCOMPARE(hand.hotSpot(), QPoint(5, 0));
        const QImage img = handCursorImage();
        QCOMPARE(img.size(), QSize(32, 32));
        QVERIFY(qAlpha(img.pixel(5, 1)) > 0);
    }
};

QTEST_MAIN(TestLayouts)
#include "tst_layouts.moc"
