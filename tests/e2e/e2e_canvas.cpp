
#include "e2e/harness.h"

using namespace e2e;

namespace {
// A tool's selection frame in the palette's client area, and a point on its picture.
struct Frame {
    QPoint picture;
    QRect outline;
};
const Frame kChainsaw{{56, 40}, QRect(QPoint(35, 19), QPoint(86, 86))};
const Frame kHammer{{136, 40}, QRect(QPoint(115, 19), QPoint(166, 86))};
// Tools 5 to 7 are left out: their frames follow the width of their caption in the font.
const Frame kSquare{{296, 40}, QRect(QPoint(275, 19), QPoint(326, 86))};

// The share of the pixels of the one-pixel outline of r that are white on the screen.
double whiteOutline(const QImage& shot, const XWindow& palette, const QRect& r) {
    int white = 0, total = 0;
    auto check = [&](int x, int y) {
        white += (shot.pixel(clientToScreen(palette, {x, y})) & 0xFFFFFFu) == 0xFFFFFFu, ++total;
    };
    for (int x = r.left(); x <= r.right(); ++x) check(x, r.top()), check(x, r.bottom());
    for (int y = r.top() + 1; y < r.bottom(); ++y) check(r.left(), y), check(r.right(), y);
    return double(white) / total;
}
}  // namespace

class E2eCanvas : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() { QVERIFY2(m_stage.begin(true), "the test pattern did not reach the screen"); }
    void cleanup() { m_stage.end(); }

    void canvasShowsTheScreenAsItWas() {
        const auto palette = m_stage.enterCanvas();
        QVERIFY2(palette, "no canvas and palette after the enter command");
        QVERIFY(m_stage.waitGone(sized(kTitleSize), 1000));
        const auto canvas = m_stage.waitFor(sized(screenSize()));
        QVERIFY(canvas && canvas->geometry.topLeft() == QPoint(0, 0));
        // Whatever the pattern window shows now stays hidden: the canvas has its own copy,
        // taken without the title window.
        QImage grey(m_stage.pattern.size(), QImage::Format_RGB32);
        grey.fill(QColor(70, 70, 70));
        m_stage.background->setPixmap(QPixmap::fromImage(grey));
        QTest::qWait(200);
        QCOMPARE(changes(screenshot(), m_stage.pattern, palette->geometry).box, QRect());
        // No tool yet: a left click on the canvas changes nothing.
        const QPoint onCanvas(grey.width() / 5, grey.height() / 4);
        click(onCanvas);
        auto still = waitForStillScreen();
        QVERIFY(still);
        QCOMPARE(changes(*still, m_stage.pattern, palette->geometry).box, QRect());

        // Choosing a tool, by its name label or its picture, frames it one pixel wide.
        auto chooseTool = [&](QPoint press) {
            click(clientToScreen(*palette, press));
            moveTo(QPoint(2, 2));
            QTest::qWait(100);
            return screenshot();
        };
        const QRect hammer = kHammer.outline;
        QCOMPARE(whiteOutline(*still, *palette, hammer), 0.0);
        QImage shot = chooseTool({144, 72});
        QCOMPARE(whiteOutline(shot, *palette, hammer), 1.0);
        QCOMPARE(whiteOutline(shot, *palette, hammer.adjusted(2, 2, -2, -2)), 0.0);
        QCOMPARE(whiteOutline(shot, *palette, hammer.adjusted(-2, -2, 2, 2)), 0.0);
        shot = chooseTool(kSquare.picture);  // the earlier frame goes
        QCOMPARE(whiteOutline(shot, *palette, kSquare.outline), 1.0);
        QCOMPARE(whiteOutline(shot, *palette, hammer), 0.0);

        // A right press on a tool neither hides the palette nor changes the choice.
        click(clientToScreen(*palette, kChainsaw.picture), 3);
        QVERIFY(m_stage.waitFor(sized(kPaletteSize), 300));
        // On its background it hides the palette; on the canvas it brings it back unchanged.
        click(clientToScreen(*palette, {340, 150}), 3);
        QVERIFY2(m_stage.waitGone(sized(kPaletteSize)), "the palette is still shown");
        QVERIFY(still = waitForStillScreen());
        QCOMPARE(changes(*still, m_stage.pattern).box, QRect());
        click(onCanvas, 3);
        const auto back = m_stage.waitFor(sized(kPaletteSize));
        QVERIFY2(back, "a right click on the canvas did not bring the palette back");
        QCOMPARE(back->geometry, palette->geometry);
        QVERIFY(still = waitForStillScreen());
        QCOMPARE(changes(*still, m_stage.pattern, back->geometry).box, QRect());
        QCOMPARE(whiteOutline(*still, *back, kSquare.outline), 1.0);
        QCOMPARE(whiteOutline(*still, *back, kChainsaw.outline), 0.0);

        click(controlCentre(*back, FormId::FrmOption, "LabExit"));
        const auto code = m_stage.waitForExit();
        QVERIFY2(code, "the program still runs after the exit command");
        QCOMPARE(*code, 0);
    }

  private:
    Stage m_stage;
};

SHATTER_E2E_MAIN(E2eCanvas)
#include "e2e_canvas.moc"
