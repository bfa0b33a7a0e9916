#include "palette/palette_fixture.h"
#include "palette/select_tool.h"
#include "shell/formula.h"

using namespace Formula;

namespace {
constexpr int kUnchanged = -1;
constexpr Colour kOddColour = 0x123456;
constexpr int kOddWidth = 7;

// Values no selection sets, so an untouched one is seen as untouched.
void scribbleOverSettings() {
    PaletteFixture::canvas().setDrawWidth(kOddWidth);
    PaletteFixture::canvas().setForeColor(kOddColour);
    PenSize = 60;
    BoxSize = 30;
    CannonX = 3;
    CannonY = 4;
    CannonMode = 2;
}

bool white(const QImage& img, QPoint p) {
    return img.pixel(p) == qRgb(255, 255, 255);
}
bool black(const QImage& img, QPoint p) {
    return img.pixel(p) == qRgb(0, 0, 0);
}
}  // namespace

class TestSelectTool : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() { m_fx = std::make_unique<PaletteFixture>(); }
    void cleanup() { m_fx.reset(); }

    void selectionAppliesTheToolsSettings_data() {
        QTest::addColumn<int>("tool");
        QTest::addColumn<int>("width");   // kUnchanged: left as it was
        QTest::addColumn<int>("colour");  // kUnchanged: left as it was
        QTest::addColumn<int>("penSize");
        QTest::addColumn<int>("boxSize");
        QTest::addColumn<QPoint>("cannon");
        QTest::addColumn<int>("cannonMode");
        QTest::addColumn<QString>("sound");
        QTest::addColumn<int>("flags");
        QTest::newRow("1 chainsaw")
            << 1 << 1 << 0 << 20 << 30 << QPoint(3, 4) << 2 << "Prop1_1.wav" << 9;
        QTest::newRow("2 hammer") << 2 << kUnchanged << kUnchanged << 60 << 30 << QPoint(3, 4) << 2
                                  << "No.wav" << 1;
        QTest::newRow("3 circle") << 3 << 1 << 0 << 20 << 30 << QPoint(3, 4) << 2 << "No.wav" << 1;
        QTest::newRow("4 square") << 4 << 1 << 0 << 60 << 10 << QPoint(3, 4) << 2 << "No.wav" << 1;
        QTest::newRow("5 three-headed cannon")
            << 5 << 11 << 0 << 60 << 30 << QPoint(-80, -50) << 0 << "No.wav" << 1;
        QTest::newRow("6 giant cannon")
            << 6 << kUnchanged << kUnchanged << 60 << 30 << QPoint(3, 4) << 2 << "No.wav" << 1;
        QTest::newRow("7 stamp") << 7 << kUnchanged << kUnchanged << 60 << 30 << QPoint(3, 4) << 2
                                 << "No.wav" << 1;
    }
    void selectionAppliesTheToolsSettings() {
        QFETCH(int, tool);
        QFETCH(int, width);
        QFETCH(int, colour);
        QFETCH(int, penSize);
        QFETCH(int, boxSize);
        QFETCH(QPoint, cannon);
        QFETCH(int, cannonMode);
        QFETCH(QString, sound);
        QFETCH(int, flags);
        // The second round is a reselection after the settings window changed things.
        for (int round = 0; round < 2; ++round) {
            scribbleOverSettings();
            m_fx->app.fakes.sound->calls.clear();
            SelectTool(tool);

            for (int k = 1; k <= kToolCount; ++k) QCOMPARE(PropOn(k), k == tool ? -1 : 0);
            QCOMPARE(selectedTool(), tool);
            Formula_Start& canvas = PaletteFixture::canvas();
            QCOMPARE(canvas.DrawWidth(), width == kUnchanged ? kOddWidth : width);
            QCOMPARE(canvas.ForeColor(), colour == kUnchanged ? kOddColour : Colour(colour));
            QCOMPARE(int(PenSize), penSize);
            QCOMPARE(int(BoxSize), boxSize);
            QCOMPARE(QPoint(CannonX, CannonY), cannon);
            QCOMPARE(int(CannonMode), cannonMode);
            QCOMPARE(m_fx->app.fakes.sound->calls.size(), size_t(1));
            QCOMPARE(m_fx->app.fakes.sound->calls[0].file, sound);
            QCOMPARE(m_fx->app.fakes.sound->calls[0].flags, flags);
        }
    }

    void cursorGoesToAllThreeWindows_data() {
        QTest::addColumn<int>("tool");
        for (int n = 1; n <= kToolCount; ++n) QTest::addRow("tool %d", n) << n;
    }
    void cursorGoesToAllThreeWindows() {
        QFETCH(int, tool);
        QVERIFY(!forms().isLoaded(FormId::FrmOption2));
        SelectTool(tool);
        // The first selection loads the settings window without showing it.
        QVERIFY(forms().isLoaded(FormId::FrmOption2));
        QVERIFY(!PaletteFixture::settings().isVisible());
        const CursorFileResult file = PaletteFixture::cursorFile(tool);
        QVERIFY2(file.ok(), qPrintable(file.error));
        for (Form* f : {static_cast<Form*>(&PaletteFixture::palette()),
                        static_cast<Form*>(&PaletteFixture::settings()),
                        static_cast<Form*>(&PaletteFixture::canvas())}) {
            QVERIFY2(PaletteFixture::sameCursor(f->mouseIcon(), file), qPrintable(f->objectName()));
            QCOMPARE(f->client()->cursor().hotSpot(), file.hotSpot);
        }
    }

    void frameSurroundsTheToolAlone_data() {
        QTest::addColumn<int>("tool");
        QTest::addColumn<QPoint>("topLeft");
        QTest::addColumn<QPoint>("bottomRight");
        QTest::newRow("1") << 1 << QPoint(35, 19) << QPoint(86, 86);
        QTest::newRow("2") << 2 << QPoint(115, 19) << QPoint(166, 86);
        QTest::newRow("3") << 3 << QPoint(195, 19) << QPoint(246, 86);
        QTest::newRow("4") << 4 << QPoint(275, 19) << QPoint(326, 86);
        QTest::newRow("5") << 5 << QPoint(35, 99) << QPoint(81, 161);
        // Auto-size captions: the right edge follows the caption's width in the font at hand.
        QTest::newRow("6") << 6 << QPoint(115, 99) << QPoint(-1, 161);
        QTest::newRow("7") << 7 << QPoint(195, 99) << QPoint(-1, 161);
    }
    void frameSurroundsTheToolAlone() {
        QFETCH(int, tool);
        QFETCH(QPoint, topLeft);
        QFETCH(QPoint, bottomRight);
        if (bottomRight.x() < 0) {
            const QRect c = PaletteFixture::toolCaption(tool)->geometry();
            bottomRight.setX(c.x() + c.width() + 5);
        }
        // Another tool's frame first: selecting must leave just one.
        SelectTool(tool == 1 ? 7 : 1);
        const QRect other = frameOf(PaletteFixture::shown(PaletteFixture::palette()));
        SelectTool(tool);
        const QImage img = PaletteFixture::shown(PaletteFixture::palette());
        QCOMPARE(frameOf(img), QRect(topLeft, bottomRight));
        QVERIFY(black(img, other.topLeft()));
        QVERIFY(black(img, other.bottomRight()));
        const QPoint mid = (topLeft + bottomRight) / 2;
        for (QPoint p : {topLeft, bottomRight, QPoint(bottomRight.x(), topLeft.y()),
                         QPoint(topLeft.x(), bottomRight.y()), QPoint(mid.x(), topLeft.y()),
                         QPoint(topLeft.x(), mid.y())})
            QVERIFY2(white(img, p), qPrintable(QStringLiteral("(%1, %2)").arg(p.x()).arg(p.y())));
        // One pixel wide: just inside and just outside stay background.
        QVERIFY(black(img, topLeft + QPoint(1, 1)));
        QVERIFY(black(img, topLeft - QPoint(1, 1)));
        QVERIFY(black(img, bottomRight - QPoint(1, 1)));
        QVERIFY(black(img, bottomRight + QPoint(1, 1)));
    }

    void numbersOutsideTheToolsDoNothing_data() {
        QTest::addColumn<int>("tool");
        QTest::newRow("0") << 0;
        QTest::newRow("8") << 8;
        QTest::newRow("negative") << -1;
    }
    void numbersOutsideTheToolsDoNothing() {
        QFETCH(int, tool);
        SelectTool(3);
        m_fx->app.fakes.sound->calls.clear();
        SelectTool(tool);
        QCOMPARE(selectedTool(), 3);
        QVERIFY(m_fx->app.fakes.sound->calls.empty());
    }

    void cannonWidthSurvivesToolsWithoutPen_data() {
        QTest::addColumn<int>("tool");
        QTest::newRow("hammer") << 2;
        QTest::newRow("giant cannon") << 6;
        QTest::newRow("stamp") << 7;
    }
    void cannonWidthSurvivesToolsWithoutPen() {
        QFETCH(int, tool);
        SelectTool(5);
        SelectTool(tool);
        QCOMPARE(PaletteFixture::canvas().DrawWidth(), 11);
        QCOMPARE(PaletteFixture::canvas().ForeColor(), Colour(0));
    }

    void anotherToolSilencesTheIdlingChainsaw_data() {
        QTest::addColumn<int>("tool");
        for (int n = 2; n <= kToolCount; ++n) QTest::addRow("tool %d", n) << n;
    }
    void anotherToolSilencesTheIdlingChainsaw() {
        QFETCH(int, tool);
        FakeSound& sound = *m_fx->app.fakes.sound;
        SelectTool(1);
        QCOMPARE(sound.playing, QStringLiteral("Prop1_1.wav"));
        QVERIFY(sound.looping);
        SelectTool(tool);
        QCOMPARE(sound.playing, QStringLiteral("No.wav"));
        QVERIFY(!sound.looping);
    }

  private:
    // The white outline on the palette, found by its extreme pixels.
    static QRect frameOf(const QImage& img) {
        QRect r;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (img.pixel(x, y) == qRgb(255, 255, 255) && !insideControl(QPoint(x, y)))
                    r |= QRect(x, y, 1, 1);
        return r;
    }
    static bool insideControl(QPoint p) {
        for (QWidget* w : PaletteFixture::palette().client()->findChildren<QWidget*>())
            if (w->isVisible() && w->geometry().contains(p)) return true;
        return false;
    }

    std::unique_ptr<PaletteFixture> m_fx;
};

QTEST_MAIN(TestSelectTool)
#include "tst_select_tool.moc"
