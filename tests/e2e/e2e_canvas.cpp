#include <QApplication>
#include <QWidget>
#include <QtTest>

#include "e2e/harness.h"
#include "e2e/harness_canvas.h"

using e2e::Harness;
using e2e::XWindow;

namespace {
// The selection frames of the palette, in its client coordinates (outline corners).
struct Frame {
    QPoint picture;  // what a press on the tool's picture hits
    QRect outline;
};
const Frame kChainsaw{{56, 40}, QRect(QPoint(35, 19), QPoint(86, 86))};
const Frame kHammer{{136, 40}, QRect(QPoint(115, 19), QPoint(166, 86))};
// Tools 5 to 7 are left out: their frames follow the width of their caption in the font.
const Frame kSquare{{296, 40}, QRect(QPoint(275, 19), QPoint(326, 86))};

// Pixels of the one-pixel outline of r.
QVector<QPoint> outlineOf(const QRect& r) {
    QVector<QPoint> points;
    for (int x = r.left(); x <= r.right(); ++x)
        points << QPoint(x, r.top()) << QPoint(x, r.bottom());
    for (int y = r.top() + 1; y < r.bottom(); ++y)
        points << QPoint(r.left(), y) << QPoint(r.right(), y);
    return points;
}

int whiteOn(const QImage& shot, const XWindow& palette, const QVector<QPoint>& points) {
    int n = 0;
    for (const QPoint& p : points)
        n += e2e::pixelAt(shot, e2e::clientToScreen(palette, p)) == 0xFFFFFF ? 1 : 0;
    return n;
}

QPoint centredTopLeft(QSize outer) {
    const QSize s = Harness::screenSize();
    return QPoint((s.width() - outer.width()) / 2, (s.height() - outer.height()) / 2);
}

QString where(const QRect& r) {
    return QStringLiteral("(%1,%2) %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}
}  // namespace

class E2eCanvas : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() {
        m_h = std::make_unique<Harness>();
        m_h->moveTo(QPoint(2, 2));
        m_pattern = e2e::testPattern(Harness::screenSize());
        m_patternWindow = e2e::showPicture(m_pattern);
        QVERIFY2(m_patternWindow, "the test pattern did not reach the screen");
    }
    void cleanup() {
        if (QTest::currentTestFailed()) m_h->reportFailure(QTest::currentTestFunction());
        m_h.reset();
        m_patternWindow.reset();
    }

    void canvasShowsTheScreenAsItWas() {
        const auto palette = e2e::enterCanvas(*m_h);
        QVERIFY2(palette, "no canvas and palette after the enter command");
        const auto canvas = e2e::canvasWindow(*m_h);
        QVERIFY(canvas);
        QCOMPARE(canvas->geometry, QRect(QPoint(0, 0), Harness::screenSize()));
        QCOMPARE(palette->geometry.size(), e2e::kPaletteOuterSize);
        QVERIFY2(qAbs(palette->geometry.x() - centredTopLeft(e2e::kPaletteOuterSize).x()) <= 1 &&
                     qAbs(palette->geometry.y() - centredTopLeft(e2e::kPaletteOuterSize).y()) <= 1,
                 qPrintable(where(palette->geometry)));

        // Whatever the pattern window shows now stays hidden: the canvas has its own copy.
        QImage grey(m_pattern.size(), QImage::Format_RGB32);
        grey.fill(QColor(70, 70, 70));
        e2e::replacePicture(*m_patternWindow, grey);
        const QImage shot = m_h->screenshot(QStringLiteral("canvas-snapshot"));
        const QRect changed = e2e::changedBox(shot, m_pattern, palette->geometry);
        QVERIFY2(changed.isEmpty(), qPrintable(QStringLiteral("the canvas differs from the "
                                                              "screen it was shown over in ") +
                                               where(changed)));
        // The palette is in front: its black client area, not the pattern, shows there.
        const QRect client(palette->geometry.topLeft() + e2e::kFrameOffset, QSize(354, 256));
        const int black =
            e2e::countPixels(shot, client, [](QColor c) { return c.rgb() == qRgb(0, 0, 0); });
        QVERIFY2(black > client.width() * client.height() * 6 / 10,
                 qPrintable(QStringLiteral("%1 black pixels").arg(black)));

        // No tool yet: a left click on the canvas changes nothing.
        m_h->click(QPoint(shot.width() / 5, shot.height() / 4));
        const auto after = e2e::waitForStillScreen(*m_h);
        QVERIFY(after);
        QVERIFY(e2e::changedBox(*after, m_pattern, palette->geometry).isEmpty());
    }

    void selectionFramesTheTool_data() {
        QTest::addColumn<QPoint>("first");  // the tool chosen before
        QTest::addColumn<QRect>("previous");
        QTest::addColumn<QPoint>("press");  // on the tool's picture or its name label
        QTest::addColumn<QRect>("outline");
        QTest::newRow("hammer by its picture")
            << kChainsaw.picture << kChainsaw.outline << kHammer.picture << kHammer.outline;
        QTest::newRow("hammer by its label")
            << kChainsaw.picture << kChainsaw.outline << QPoint(144, 72) << kHammer.outline;
        QTest::newRow("square after the hammer")
            << kHammer.picture << kHammer.outline << kSquare.picture << kSquare.outline;
    }
    void selectionFramesTheTool() {
        QFETCH(QPoint, first);
        QFETCH(QRect, previous);
        QFETCH(QPoint, press);
        QFETCH(QRect, outline);
        const auto palette = e2e::enterCanvas(*m_h);
        QVERIFY2(palette, "no canvas and palette after the enter command");
        const QVector<QPoint> frame = outlineOf(outline);
        QCOMPARE(whiteOn(m_h->screenshot(), *palette, frame), 0);

        m_h->click(e2e::clientToScreen(*palette, first));
        m_h->click(e2e::clientToScreen(*palette, press));
        m_h->moveTo(QPoint(2, 2));
        QTest::qWait(100);
        const QImage shot = m_h->screenshot(QStringLiteral("palette-frame"));
        QCOMPARE(whiteOn(shot, *palette, frame), frame.size());
        // One pixel wide: white neither just inside nor just outside, and the earlier
        // frame is gone.
        QCOMPARE(whiteOn(shot, *palette, outlineOf(outline.adjusted(2, 2, -2, -2))), 0);
        QCOMPARE(whiteOn(shot, *palette, outlineOf(outline.adjusted(-2, -2, 2, 2))), 0);
        QCOMPARE(whiteOn(shot, *palette, outlineOf(previous)), 0);
    }

    void rightClicksHideAndShowThePalette() {
        const auto palette = e2e::enterCanvas(*m_h);
        QVERIFY2(palette, "no canvas and palette after the enter command");
        m_h->click(e2e::clientToScreen(*palette, kHammer.picture));
        // A right press on a tool neither hides the palette nor changes the choice.
        m_h->click(e2e::clientToScreen(*palette, kChainsaw.picture), 3);
        QVERIFY(m_h->waitForWindow(e2e::kPaletteOuterSize, 300));

        m_h->click(e2e::clientToScreen(*palette, QPoint(340, 150)), 3);
        QVERIFY2(m_h->waitForNoWindow(e2e::kPaletteOuterSize), "the palette is still shown");
        auto still = e2e::waitForStillScreen(*m_h);
        QVERIFY(still);
        QVERIFY2(e2e::changedBox(*still, m_pattern).isEmpty(),
                 "the canvas does not show the whole screen once the palette is hidden");

        const QPoint onCanvas(m_pattern.width() / 5, m_pattern.height() / 4);
        m_h->click(onCanvas, 3);
        const auto back = m_h->waitForWindow(e2e::kPaletteOuterSize);
        QVERIFY2(back, "a right click on the canvas did not bring the palette back");
        QCOMPARE(back->geometry, palette->geometry);
        still = e2e::waitForStillScreen(*m_h);
        QVERIFY(still);
        m_h->screenshot(QStringLiteral("palette-back"));
        QVERIFY2(e2e::changedBox(*still, m_pattern, back->geometry).isEmpty(),
                 "the right click drew on the canvas");
        QCOMPARE(whiteOn(*still, *back, outlineOf(kHammer.outline)),
                 outlineOf(kHammer.outline).size());
        QCOMPARE(whiteOn(*still, *back, outlineOf(kChainsaw.outline)), 0);

        m_h->click(e2e::controlCentre(*back, FormId::FrmOption, "LabExit"));
        const auto code = m_h->waitForExit(10000);
        QVERIFY2(code.has_value(), "the program still runs after the exit command");
        QCOMPARE(*code, 0);
    }

  private:
    std::unique_ptr<Harness> m_h;
    QImage m_pattern;
    std::unique_ptr<QWidget> m_patternWindow;
};

SHATTER_E2E_MAIN(E2eCanvas)
#include "e2e_canvas.moc"
