#include <QtTest>

#include "canvas/canvas_surface.h"
#include "canvas/persistent_image.h"
#include "canvas/tools/tool.h"
#include "shell/formula.h"
#include "support/app_fixture.h"

// A canvas for one tool alone: a white image, plain sprites of the sizes the tools copy, and a log
// of what the tool asked for. "R x,y wxh" a refresh ("R-" of nothing), "I" the same for a
// repaint later, "S file/flags" a sound, "N" silence, "B x,y" a burst, "+ms" time passing.
class RecordingSurface final : public CanvasSurface {
  public:
    RecordingSurface() {
        const std::pair<SpriteSet, QSize> sizes[] = {{SpriteSet::Glass, {178, 155}},
                                                     {SpriteSet::Bomb, {14, 13}},
                                                     {SpriteSet::Bomb2, {20, 19}},
                                                     {SpriteSet::Bomb3, {60, 60}},
                                                     {SpriteSet::To, {101, 50}}};
        for (const auto& [set, size] : sizes)
            for (int n = 0; n <= 3; ++n) sprites[{set, n}] = QImage(size, QImage::Format_RGB32);
        for (auto& [key, sprite] : sprites) sprite.fill(0);
    }
    PersistentImage& image() override { return img; }
    const QImage& sprite(SpriteSet set, int index) const override {
        return sprites.at({set, set == SpriteSet::To ? 0 : index});
    }
    void Refresh(const QRect& r) override { log("R" + text(r)); }
    void invalidate(const QRect& r) override { log("I" + text(r)); }
    void playSound(const QString& name, int16_t flags) override {
        log(QStringLiteral("S%1/%2").arg(name).arg(flags));
    }
    void playNoSound() override { log("N"); }
    void showPalette() override { log("P"); }
    void splinterBurst(double X, double Y) override { log(QStringLiteral("B%1,%2").arg(X).arg(Y)); }

    PersistentImage img{QSize(1024, 768), 0xFFFFFF};
    std::map<std::pair<SpriteSet, int>, QImage> sprites;
    QStringList calls;

  private:
    static QString text(const QRect& r) {
        return r.isEmpty() ? "-" : QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(
                                       r.width()).arg(r.height());
    }
    void log(const QString& call) {
        const uint32_t now = platform().clock->tickCount();
        if (now != m_time) calls << QStringLiteral("+%1").arg(now - m_time);
        m_time = now;
        calls << call;
    }
    uint32_t m_time = platform().clock->tickCount();
};

class TestCanvasTools : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() {
        m_app = std::make_unique<AppFixture>();
        m_surface = std::make_unique<RecordingSurface>();
        m_tools.clear();
        // What selecting the tools leaves behind.
        Formula::PenSize = 20, Formula::BoxSize = 10;
        Formula::CannonX = -80, Formula::CannonY = -50;
    }
    void cleanup() {
        m_surface.reset();
        m_app.reset();
    }

    // Each row runs a stroke ("p" press, "m" move, "r" release at a point) and compares what
    // the stroke's last event asked for.
    void strokes_data() {
        QTest::addColumn<int>("tool");
        QTest::addColumn<double>("random");
        QTest::addColumn<QStringList>("stroke");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("three-headed cannon press")
            << 5 << 0.0 << QStringList{"p500,400"}
            << QStringList{"R413,344 14x13", "+10", "I415,345 11x11", "SGun.wav/9",
                           "R428,329 14x13", "+10", "I430,330 11x11", "SGun.wav/9",
                           "R443,314 14x13", "+10", "I445,315 11x11", "SGun.wav/9"};
        QTest::newRow("three-headed cannon first move")
            << 5 << 0.0 << QStringList{"p500,400", "m500,400"}
            << QStringList{"R458,299 14x13", "I460,300 11x11", "R473,284 14x13",
                           "I475,285 11x11", "R488,269 14x13", "I490,270 11x11"};
        QTest::newRow("three-headed cannon off the top")
            << 5 << 0.0 << QStringList{"m500,30"}
            << QStringList{"R-", "I-", "R-", "I-", "R-", "I-"};
        QTest::newRow("giant cannon")
            << 6 << 0.5 << QStringList{"p500,400"}
            << QStringList{"R420,320 20x19", "+100", "SBomb.wav/1", "R400,300 60x60"};
        QTest::newRow("giant cannon at the corner")
            << 6 << 0.5 << QStringList{"p50,50"}
            << QStringList{"R-", "+100", "SBomb.wav/1", "R0,0 10x10"};
        QTest::newRow("hammer clipped right")
            << 2 << 0.7 << QStringList{"p1020,400"}
            << QStringList{"R915,340 109x155", "SGlass.wav/1", "B1020,400"};
        QTest::newRow("stamp 101x50") << 7 << 0.0 << QStringList{"p200,200"}
                                      << QStringList{"STo.wav/1", "R150,175 101x50"};
        QTest::newRow("stamp clipped top-left")
            << 7 << 0.0 << QStringList{"p10,10"} << QStringList{"STo.wav/1", "R0,0 61x35"};
        QTest::newRow("chainsaw press") << 1 << 0.0 << QStringList{"p300,300"}
                                        << QStringList{"SProp1_2.wav/9", "I290,300 1x1"};
        QTest::newRow("chainsaw move") << 1 << 0.0 << QStringList{"p300,300", "m340,310"}
                                       << QStringList{"I290,300 41x11"};
        QTest::newRow("chainsaw release")
            << 1 << 0.0 << QStringList{"p300,300", "m340,310", "r345,320"}
            << QStringList{"SProp1_1.wav/9", "B345,320"};
        QTest::newRow("circle press") << 3 << 0.0 << QStringList{"p200,100"}
                                      << QStringList{"I180,80 41x41", "SCircle.wav/9"};
        QTest::newRow("square move at the edge")
            << 4 << 0.0 << QStringList{"m1020,5"} << QStringList{"I1010,0 14x16"};
    }
    void strokes() {
        QFETCH(int, tool);
        QFETCH(double, random);
        QFETCH(QStringList, stroke);
        QFETCH(QStringList, calls);
        m_app->fakes.random->fallback = random;
        QCOMPARE(run(tool, stroke).calls, calls);
    }

    // The three-headed cannon's aim after each event of two strokes: a press leaves it where the
    // volley ended, a move or release puts it back.
    void aimOverAWholeStroke() {
        const QStringList events{"p500,400", "m510,400", "m520,400", "r520,400", "p500,400"};
        const QList<QPoint> aims{{-35, -95}, {-80, -50}, {-80, -50}, {-80, -50}, {-35, -95}};
        for (int i = 0; i < events.size(); ++i) {
            run(5, events.mid(i, 1));
            QCOMPARE(QPoint(Formula::CannonX, Formula::CannonY), aims[i]);
        }
    }

  private:
    RecordingSurface& run(int tool, const QStringList& stroke) {
        RecordingSurface& s = *m_surface;
        s.img.setDrawWidth(tool == 5 ? 11 : 1);
        if (!m_tools.contains(tool)) m_tools[tool] = makeTool(tool);
        for (const QString& e : stroke) {
            s.calls.clear();
            const QStringList xy = e.mid(1).split(',');
            const double x = xy[0].toDouble(), y = xy[1].toDouble();
            if (e[0] == 'p') m_tools[tool]->press(s, x, y);
            if (e[0] == 'm') m_tools[tool]->move(s, x, y);
            if (e[0] == 'r') m_tools[tool]->release(s, x, y);
        }
        return s;
    }

    std::unique_ptr<AppFixture> m_app;
    std::unique_ptr<RecordingSurface> m_surface;
    std::map<int, std::unique_ptr<Tool>> m_tools;
};

QTEST_MAIN(TestCanvasTools)
#include "tst_canvas_tools.moc"
