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
}  // namespace

class TestSelectTool : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() { m_fx = std::make_unique<PaletteFixture>(); }
    void cleanup() { m_fx.reset(); }

    void selectionAppliesTheToolsSettings_data() {
        QTest::addColumn<int>("tool");
        QTest::addColumn<int>("width");          // kUnchanged: left as it was
        QTest::addColumn<int>("colour");         // kUnchanged: left as it was
        QTest::addColumn<QList<int>>("shared");  // PenSize, BoxSize, CannonX, CannonY, CannonMode
        QTest::addColumn<QString>("sound");
        QTest::addColumn<int>("flags");
        const int u = kUnchanged;
        const QList<int> untouched{60, 30, 3, 4, 2};
        QTest::newRow("1 chainsaw")
            << 1 << 1 << 0 << QList<int>{20, 30, 3, 4, 2} << "Prop1_1.wav" << 9;
        QTest::newRow("2 hammer") << 2 << u << u << untouched << "No.wav" << 1;
        QTest::newRow("3 circle") << 3 << 1 << 0 << QList<int>{20, 30, 3, 4, 2} << "No.wav" << 1;
        QTest::newRow("4 square") << 4 << 1 << 0 << QList<int>{60, 10, 3, 4, 2} << "No.wav" << 1;
        QTest::newRow("5 three-headed cannon")
            << 5 << 11 << 0 << QList<int>{60, 30, -80, -50, 0} << "No.wav" << 1;
        QTest::newRow("6 giant cannon") << 6 << u << u << untouched << "No.wav" << 1;
        QTest::newRow("7 stamp") << 7 << u << u << untouched << "No.wav" << 1;
    }
    void selectionAppliesTheToolsSettings() {
        QFETCH(int, tool);
        QFETCH(int, width);
        QFETCH(int, colour);
        QFETCH(QList<int>, shared);
        QFETCH(QString, sound);
        QFETCH(int, flags);
        // The second round is a reselection after the settings window changed things.
        for (int round = 0; round < 2; ++round) {
            scribbleOverSettings();
            m_fx->app.fakes.sound->calls.clear();
            SelectTool(tool);

            for (int k = 1; k <= kToolCount; ++k) QCOMPARE(PropOn(k), k == tool ? -1 : 0);
            Formula_Start& canvas = PaletteFixture::canvas();
            QCOMPARE(canvas.DrawWidth(), width == kUnchanged ? kOddWidth : width);
            QCOMPARE(canvas.ForeColor(), colour == kUnchanged ? kOddColour : Colour(colour));
            QCOMPARE(QList<int>({PenSize, BoxSize, CannonX, CannonY, CannonMode}), shared);
            QCOMPARE(m_fx->app.fakes.sound->calls.size(), size_t(1));
            QCOMPARE(m_fx->app.fakes.sound->calls[0].file, sound);
            QCOMPARE(m_fx->app.fakes.sound->calls[0].flags, flags);
            // The tool's cursor on all three windows; the settings window was loaded hidden.
            const CursorFileResult file = PaletteFixture::cursorFile(tool);
            QVERIFY(!PaletteFixture::settings().isVisible());
            for (Form* f :
                 {static_cast<Form*>(&PaletteFixture::palette()),
                  static_cast<Form*>(&PaletteFixture::settings()), static_cast<Form*>(&canvas)}) {
                QVERIFY2(PaletteFixture::sameCursor(f->mouseIcon(), file),
                         qPrintable(f->objectName()));
                QCOMPARE(f->client()->cursor().hotSpot(), file.hotSpot);
            }
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
        SelectTool(tool);
        int whitePixels = 0;
        QCOMPARE(frameOf(PaletteFixture::shown(PaletteFixture::palette()), whitePixels),
                 QRect(topLeft, bottomRight));
        // A closed outline one pixel wide, nothing else.
        const QSize s = QRect(topLeft, bottomRight).size();
        QCOMPARE(whitePixels, 2 * (s.width() + s.height()) - 4);
    }

    // What a run of selections leaves behind: the pen of the last tool that has one, and the
    // sound of the last selection (the chainsaw's idling stops at the next one).
    void selectionsInARow_data() {
        QTest::addColumn<QList<int>>("tools");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("playing");
        QTest::addColumn<bool>("looping");
        QTest::newRow("cannon, hammer") << QList<int>{5, 2} << 11 << "No.wav" << false;
        QTest::newRow("cannon, giant cannon") << QList<int>{5, 6} << 11 << "No.wav" << false;
        QTest::newRow("cannon, stamp") << QList<int>{5, 7} << 11 << "No.wav" << false;
        QTest::newRow("chainsaw alone") << QList<int>{1} << 1 << "Prop1_1.wav" << true;
        for (int n = 2; n <= kToolCount; ++n)
            QTest::addRow("chainsaw, tool %d", n)
                << QList<int>{1, n} << (n == 5 ? 11 : 1) << "No.wav" << false;
    }
    void selectionsInARow() {
        QFETCH(QList<int>, tools);
        QFETCH(int, width);
        QFETCH(QString, playing);
        QFETCH(bool, looping);
        PaletteFixture::canvas().setForeColor(kOddColour);
        for (int n : tools) SelectTool(n);
        QCOMPARE(PaletteFixture::canvas().DrawWidth(), width);
        QCOMPARE(PaletteFixture::canvas().ForeColor(), Colour(0));
        QCOMPARE(m_fx->app.fakes.sound->playing, playing);
        QCOMPARE(m_fx->app.fakes.sound->looping, looping);
    }

  private:
    // The white drawn on the palette outside its controls: where, and how many pixels.
    static QRect frameOf(const QImage& img, int& count) {
        QRect r;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (img.pixel(x, y) == qRgb(255, 255, 255) && !insideControl(QPoint(x, y))) {
                    r |= QRect(x, y, 1, 1);
                    ++count;
                }
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
