#include <QtTest>

#include "canvas/tools/giant_cannon_tool.h"
#include "canvas/tools/hammer_tool.h"
#include "canvas/tools/tool.h"
#include "recording_surface.h"
#include "shell/formula.h"
#include "support/app_fixture.h"

using Calls = std::vector<RecordingSurface::Call>;

namespace {

std::vector<QPoint> centres(const std::vector<QRect>& rects) {
    std::vector<QPoint> out;
    for (const QRect& r : rects) out.push_back(r.center());
    return out;
}

QRgb pixel(RecordingSurface& s, QPoint p) {
    return s.img.image().pixel(p);
}

// Tool 5 as selecting it leaves the canvas: pen 11 wide, black, aim (-80, -50).
void selectTripleCannon(RecordingSurface& s) {
    s.img.setDrawWidth(11);
    s.img.setForeColor(0);
    Formula::CannonX = -80, Formula::CannonY = -50, Formula::CannonMode = 0;
}

}  // namespace

class TestCanvasTools : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() { m_app = std::make_unique<AppFixture>(); }
    void cleanup() { m_app.reset(); }

    void tripleCannonPressFiresAPausedVolley() {
        RecordingSurface s;
        selectTripleCannon(s);
        const uint32_t t0 = m_app->fakes.clock->now;
        makeTool(5)->press(s, 500, 400);
        QCOMPARE(s.rects("refresh"),
                 (std::vector<QRect>{QRect(413, 344, 14, 13), QRect(428, 329, 14, 13),
                                     QRect(443, 314, 14, 13)}));
        QCOMPARE(centres(s.rects("invalidate")),
                 (std::vector<QPoint>{{420, 350}, {435, 335}, {450, 320}}));
        for (const QRect& dot : s.rects("invalidate")) QCOMPARE(dot.size(), QSize(11, 11));
        // Each shot: sprite shown, 10 ms, hole, gun sound restarted.
        QCOMPARE(s.kinds(), (QStringList{"refresh", "invalidate", "sound", "refresh", "invalidate",
                                         "sound", "refresh", "invalidate", "sound"}));
        for (int shot = 0; shot < 3; ++shot) {
            QCOMPARE(s.calls[3 * shot].time, t0 + 10 * shot);
            QCOMPARE(s.calls[3 * shot + 1].time, t0 + 10 * (shot + 1));
            QCOMPARE(s.calls[3 * shot + 2].sound, QStringLiteral("Gun.wav"));
            QCOMPARE(s.calls[3 * shot + 2].flags, 9);
        }
        QCOMPARE(m_app->fakes.clock->sleeps, (std::vector<int>{10, 10, 10}));
        QCOMPARE(Formula::CannonX, int16_t(-35));
        QCOMPARE(Formula::CannonY, int16_t(-95));
        QCOMPARE(Formula::CannonMode, int16_t(4));
        // Mask then picture: the sprite's colour on the snapshot, the black hole in its middle.
        QCOMPARE(pixel(s, {413, 344}), qRgb(0, 200, 0));
        QCOMPARE(pixel(s, {412, 344}), qRgb(255, 255, 255));
        QCOMPARE(pixel(s, {420, 350}), qRgb(0, 0, 0));
    }

    void tripleCannonAimOverAStroke_data() {
        QTest::addColumn<QStringList>("stroke");  // p press, m move, r release
        QTest::addColumn<std::vector<QPoint>>("shots");
        QTest::addColumn<QPoint>("aimAfter");
        using V = std::vector<QPoint>;
        QTest::newRow("press") << QStringList{"p"} << V{{420, 350}, {435, 335}, {450, 320}}
                               << QPoint(-35, -95);
        QTest::newRow("first move")
            << QStringList{"p", "m"} << V{{465, 305}, {480, 290}, {495, 275}} << QPoint(-80, -50);
        QTest::newRow("later move") << QStringList{"p", "m", "m"}
                                    << V{{420, 350}, {435, 335}, {450, 320}} << QPoint(-80, -50);
        QTest::newRow("release") << QStringList{"p", "m", "r"} << V{} << QPoint(-80, -50);
        QTest::newRow("release right after the press")
            << QStringList{"p", "r"} << V{} << QPoint(-80, -50);
        QTest::newRow("next stroke starts afresh")
            << QStringList{"p", "r", "p"} << V{{420, 350}, {435, 335}, {450, 320}}
            << QPoint(-35, -95);
    }
    void tripleCannonAimOverAStroke() {
        QFETCH(QStringList, stroke);
        QFETCH(std::vector<QPoint>, shots);
        QFETCH(QPoint, aimAfter);
        RecordingSurface s;
        selectTripleCannon(s);
        auto tool = makeTool(5);
        for (const QString& step : stroke) {
            s.calls.clear();
            m_app->fakes.clock->sleeps.clear();
            if (step == "p") tool->press(s, 500, 400);
            if (step == "m") tool->move(s, 500, 400);
            if (step == "r") tool->release(s, 500, 400);
        }
        QCOMPARE(centres(s.rects("invalidate")), shots);
        QCOMPARE(QPoint(Formula::CannonX, Formula::CannonY), aimAfter);
        const QString last = stroke.last();
        // Only the press pauses and sounds; a release only silences.
        QCOMPARE(m_app->fakes.clock->sleeps.size(), size_t(last == "p" ? 3 : 0));
        QCOMPARE(s.kinds().count("sound"), last == "p" ? 3 : 0);
        QCOMPARE(s.kinds().count("nosound"), last == "r" ? 1 : 0);
    }

    void giantCannonMuzzlePauseCrater_data() {
        QTest::addColumn<double>("random");
        QTest::addColumn<int>("crater");
        QTest::newRow("first crater") << 0.0 << 1;
        QTest::newRow("second crater") << 0.4 << 2;
        QTest::newRow("third crater") << 0.99 << 3;
    }
    void giantCannonMuzzlePauseCrater() {
        QFETCH(double, random);
        QFETCH(int, crater);
        RecordingSurface s;
        m_app->fakes.random->values = {random};
        const uint32_t t0 = m_app->fakes.clock->now;
        makeTool(6)->press(s, 500, 400);
        QCOMPARE(s.kinds(), (QStringList{"refresh", "sound", "refresh"}));
        QCOMPARE(s.calls[0].rect, QRect(420, 320, 20, 19));
        QCOMPARE(s.calls[0].time, t0);
        QCOMPARE(s.calls[1].sound, QStringLiteral("Bomb.wav"));
        QCOMPARE(s.calls[1].flags, 1);
        QCOMPARE(s.calls[2].rect, QRect(400, 300, 60, 60));
        QCOMPARE(s.calls[2].time, t0 + 100);
        QCOMPARE(m_app->fakes.clock->sleeps, std::vector<int>{100});
        QCOMPARE(m_app->fakes.random->seeds, std::vector<uint32_t>{t0 + 100});
        QCOMPARE(Formula::CraterIndex, int16_t(crater));
        // The crater ANDs onto white, so it shows its own grey; the muzzle lies inside it.
        QCOMPARE(pixel(s, {401, 301}), qRgb(50 * crater, 50 * crater, 50 * crater));
        QCOMPARE(pixel(s, {399, 301}), qRgb(255, 255, 255));
    }

    void hammerPicksACrackAndThrowsSplinters_data() {
        QTest::addColumn<double>("random");
        QTest::addColumn<int>("glass");
        QTest::addColumn<QPoint>("crackAt");
        QTest::newRow("crack 1") << 0.0 << 1 << QPoint(395, 340);
        QTest::newRow("crack 2") << 0.5 << 2 << QPoint(420, 320);
        QTest::newRow("crack 3") << 0.7 << 3 << QPoint(395, 340);
    }
    void hammerPicksACrackAndThrowsSplinters() {
        QFETCH(double, random);
        QFETCH(int, glass);
        QFETCH(QPoint, crackAt);
        RecordingSurface s;
        m_app->fakes.random->values = {random};
        makeTool(2)->press(s, 500, 400);
        QCOMPARE(s.kinds(), (QStringList{"refresh", "sound", "burst"}));
        QCOMPARE(s.calls[0].rect, QRect(crackAt, QSize(178, 155)));
        QCOMPARE(s.calls[1].sound, QStringLiteral("Glass.wav"));
        QCOMPARE(s.calls[1].flags, 1);
        QCOMPARE(s.calls[2].at, QPointF(500, 400));
        QCOMPARE(Formula::GlassIndex, int16_t(glass));
        QCOMPARE(m_app->fakes.random->seeds, std::vector<uint32_t>{m_app->fakes.clock->now});
        QCOMPARE(pixel(s, crackAt), qRgb(40 * glass, 40 * glass, 40 * glass));
        QCOMPARE(pixel(s, crackAt - QPoint(1, 1)), qRgb(255, 255, 255));
    }

    void stampIsCentredOnThePointer_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPointF>("point");
        QTest::addColumn<QRect>("copied");
        QTest::newRow("odd width")
            << QSize(101, 50) << QPointF(200, 200) << QRect(150, 175, 101, 50);
        QTest::newRow("even width")
            << QSize(100, 51) << QPointF(200, 200) << QRect(150, 175, 100, 51);
        QTest::newRow("title picture")
            << QSize(303, 144) << QPointF(500, 400) << QRect(349, 328, 303, 144);
        QTest::newRow("clipped at the top-left")
            << QSize(101, 50) << QPointF(10, 10) << QRect(0, 0, 61, 35);
        QTest::newRow("clipped at the bottom-right")
            << QSize(101, 50) << QPointF(1020, 765) << QRect(970, 740, 54, 28);
        QTest::newRow("no picture") << QSize(0, 0) << QPointF(200, 200) << QRect();
    }
    void stampIsCentredOnThePointer() {
        QFETCH(QSize, size);
        QFETCH(QPointF, point);
        QFETCH(QRect, copied);
        RecordingSurface s;
        QImage stamp;
        if (!size.isEmpty()) {
            stamp = QImage(size, QImage::Format_RGB32);
            stamp.fill(qRgb(9, 8, 7));
        }
        s.sprites[{SpriteSet::To, 0}] = stamp;
        makeTool(7)->press(s, point.x(), point.y());
        QCOMPARE(s.kinds(), (QStringList{"sound", "refresh"}));
        QCOMPARE(s.calls[0].sound, QStringLiteral("To.wav"));
        QCOMPARE(s.calls[1].rect, copied);
        if (!copied.isEmpty()) QCOMPARE(pixel(s, copied.bottomRight()), qRgb(9, 8, 7));
    }

    void chainsawCutsTenPixelsLeftOfThePointer_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<QRect>("pressDot");
        QTest::addColumn<QRect>("cut");
        QTest::newRow("thin") << 1 << QRect(290, 300, 1, 1) << QRect(290, 300, 41, 11);
        QTest::newRow("widest") << 5 << QRect(288, 298, 5, 5) << QRect(288, 298, 45, 15);
    }
    void chainsawCutsTenPixelsLeftOfThePointer() {
        QFETCH(int, width);
        QFETCH(QRect, pressDot);
        QFETCH(QRect, cut);
        RecordingSurface s;
        s.img.setDrawWidth(width);
        auto saw = makeTool(1);
        saw->press(s, 300, 300);
        saw->move(s, 340, 310);
        saw->release(s, 345, 320);
        QCOMPARE(s.kinds(), (QStringList{"sound", "invalidate", "invalidate", "sound", "burst"}));
        QCOMPARE(s.calls[0].sound, QStringLiteral("Prop1_2.wav"));
        QCOMPARE(s.calls[0].flags, 9);
        QCOMPARE(s.calls[1].rect, pressDot);
        QCOMPARE(s.calls[2].rect, cut);  // only the segment's own bounds
        QCOMPARE(s.calls[3].sound, QStringLiteral("Prop1_1.wav"));
        QCOMPARE(s.calls[3].flags, 9);
        QCOMPARE(s.calls[4].at, QPointF(345, 320));
        QCOMPARE(pixel(s, {290, 300}), qRgb(0, 0, 0));
        QCOMPARE(pixel(s, {330, 310}), qRgb(0, 0, 0));
        QCOMPARE(s.img.currentPos(), QPoint(330, 310));
    }

    void outlinesFollowTheirSizes_data() {
        QTest::addColumn<int>("tool");
        QTest::addColumn<int>("size");
        QTest::addColumn<QRect>("outline");
        QTest::addColumn<QString>("sound");
        QTest::newRow("circle 20") << 3 << 20 << QRect(180, 80, 41, 41) << "Circle.wav";
        QTest::newRow("circle 60") << 3 << 60 << QRect(140, 40, 121, 121) << "Circle.wav";
        QTest::newRow("square 10") << 4 << 10 << QRect(190, 90, 21, 21) << "Restenger.wav";
        QTest::newRow("square 30") << 4 << 30 << QRect(170, 70, 61, 61) << "Restenger.wav";
    }
    void outlinesFollowTheirSizes() {
        QFETCH(int, tool);
        QFETCH(int, size);
        QFETCH(QRect, outline);
        QFETCH(QString, sound);
        RecordingSurface s;
        Formula::PenSize = Formula::BoxSize = static_cast<int16_t>(size);
        auto t = makeTool(tool);
        t->press(s, 200, 100);
        t->move(s, 201, 100);
        t->release(s, 201, 100);
        QCOMPARE(s.kinds(), (QStringList{"invalidate", "sound", "invalidate", "nosound"}));
        QCOMPARE(s.calls[0].rect, outline);
        QCOMPARE(s.calls[1].sound, sound);
        QCOMPARE(s.calls[1].flags, 9);
        QCOMPARE(s.calls[2].rect, outline.translated(1, 0));
    }

    void strikesAtTheEdgeAreClippedNotShifted_data() {
        QTest::addColumn<int>("tool");
        QTest::addColumn<QPointF>("point");
        QTest::addColumn<std::vector<QRect>>("refreshes");
        using V = std::vector<QRect>;
        QTest::newRow("giant cannon top-left")
            << 6 << QPointF(50, 50) << V{QRect(), QRect(0, 0, 10, 10)};
        QTest::newRow("giant cannon bottom-right")
            << 6 << QPointF(1110, 855) << V{QRect(1030, 775, 0, 0), QRect(1010, 755, 14, 13)};
        QTest::newRow("hammer right edge")
            << 2 << QPointF(1020, 400) << V{QRect(915, 340, 109, 155)};
        QTest::newRow("hammer fully outside") << 2 << QPointF(-200, 400) << V{QRect()};
        QTest::newRow("cannon volley off the top")
            << 5 << QPointF(500, 30) << V{QRect(), QRect(), QRect()};
    }
    void strikesAtTheEdgeAreClippedNotShifted() {
        QFETCH(int, tool);
        QFETCH(QPointF, point);
        QFETCH(std::vector<QRect>, refreshes);
        RecordingSurface s;
        selectTripleCannon(s);
        std::vector<QRect> expected;
        for (const QRect& r : refreshes) expected.push_back(r.isEmpty() ? QRect() : r);
        makeTool(tool)->press(s, point.x(), point.y());
        std::vector<QRect> got;
        for (const QRect& r : s.rects("refresh")) got.push_back(r.isEmpty() ? QRect() : r);
        QCOMPARE(got, expected);
    }

  private:
    std::unique_ptr<AppFixture> m_app;
};


QTEST_MAIN(TestCanvasTools)
#include "tst_canvas_tools.moc"
