#include <QtTest>

#include "canvas/tools/giant_cannon_tool.h"
#include "canvas/tools/hammer_tool.h"
#include "canvas/tools/tool.h"
#include "recording_surface.h"
#include "shell/formula.h"
#include "support/app_fixture.h"

class TestCanvasTools : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() { m_app = std::make_unique<AppFixture>(); }
    void cleanup() { m_app.reset(); }

    // Each row runs a stroke ("p" press, "m" move, "r" release at a point) with the state that
    // selecting the tool leaves, and compares what the stroke's last event asked for.
    void strokes_data() {
        QTest::addColumn<int>("tool");
        QTest::addColumn<double>("random");
        QTest::addColumn<QStringList>("stroke");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QPoint>("aimAfter");
        const QPoint aim(-80, -50);
        const QStringList volley{"R413,344 14x13", "+10", "I415,345 11x11", "SGun.wav/9",
                                 "R428,329 14x13", "+10", "I430,330 11x11", "SGun.wav/9",
                                 "R443,314 14x13", "+10", "I445,315 11x11", "SGun.wav/9"};
        const QStringList dragVolley{"R413,344 14x13", "I415,345 11x11", "R428,329 14x13",
                                     "I430,330 11x11", "R443,314 14x13", "I445,315 11x11"};
        QTest::newRow("three-headed cannon press")
            << 5 << 0.0 << QStringList{"p500,400"} << volley << QPoint(-35, -95);
        QTest::newRow("three-headed cannon first move")
            << 5 << 0.0 << QStringList{"p500,400", "m500,400"}
            << QStringList{"R458,299 14x13", "I460,300 11x11", "R473,284 14x13",
                           "I475,285 11x11", "R488,269 14x13", "I490,270 11x11"}
            << aim;
        QTest::newRow("three-headed cannon later move")
            << 5 << 0.0 << QStringList{"p500,400", "m500,400", "m500,400"} << dragVolley << aim;
        QTest::newRow("three-headed cannon release")
            << 5 << 0.0 << QStringList{"p500,400", "r500,400"} << QStringList{"N"} << aim;
        QTest::newRow("three-headed cannon next stroke")
            << 5 << 0.0 << QStringList{"p500,400", "r500,400", "p500,400"} << volley
            << QPoint(-35, -95);
        QTest::newRow("three-headed cannon off the top")
            << 5 << 0.0 << QStringList{"m500,30"} << QStringList{"R-", "I-", "R-", "I-", "R-", "I-"}
            << aim;
        QTest::newRow("giant cannon")
            << 6 << 0.5 << QStringList{"p500,400"}
            << QStringList{"R420,320 20x19", "+100", "SBomb.wav/1", "R400,300 60x60"} << aim;
        QTest::newRow("giant cannon at the corner")
            << 6 << 0.5 << QStringList{"p50,50"}
            << QStringList{"R-", "+100", "SBomb.wav/1", "R0,0 10x10"} << aim;
        QTest::newRow("hammer, crack 1")
            << 2 << 0.0 << QStringList{"p500,400"}
            << QStringList{"R395,340 178x155", "SGlass.wav/1", "B500,400"} << aim;
        QTest::newRow("hammer, crack 2")
            << 2 << 0.5 << QStringList{"p500,400"}
            << QStringList{"R420,320 178x155", "SGlass.wav/1", "B500,400"} << aim;
        QTest::newRow("hammer, crack 3, clipped right")
            << 2 << 0.7 << QStringList{"p1020,400"}
            << QStringList{"R915,340 109x155", "SGlass.wav/1", "B1020,400"} << aim;
        QTest::newRow("hammer release")
            << 2 << 0.0 << QStringList{"r500,400"} << QStringList{} << aim;
        QTest::newRow("stamp 101x50") << 7 << 0.0 << QStringList{"p200,200"}
                                      << QStringList{"STo.wav/1", "R150,175 101x50"} << aim;
        QTest::newRow("stamp clipped top-left")
            << 7 << 0.0 << QStringList{"p10,10"} << QStringList{"STo.wav/1", "R0,0 61x35"} << aim;
        QTest::newRow("chainsaw press") << 1 << 0.0 << QStringList{"p300,300"}
                                        << QStringList{"SProp1_2.wav/9", "I290,300 1x1"} << aim;
        QTest::newRow("chainsaw move") << 1 << 0.0 << QStringList{"p300,300", "m340,310"}
                                       << QStringList{"I290,300 41x11"} << aim;
        QTest::newRow("chainsaw release")
            << 1 << 0.0 << QStringList{"p300,300", "m340,310", "r345,320"}
            << QStringList{"SProp1_1.wav/9", "B345,320"} << aim;
        QTest::newRow("circle press") << 3 << 0.0 << QStringList{"p200,100"}
                                      << QStringList{"I180,80 41x41", "SCircle.wav/9"} << aim;
        QTest::newRow("circle move") << 3 << 0.0 << QStringList{"p200,100", "m201,100"}
                                     << QStringList{"I181,80 41x41"} << aim;
        QTest::newRow("circle release")
            << 3 << 0.0 << QStringList{"p200,100", "r201,100"} << QStringList{"N"} << aim;
        QTest::newRow("square press") << 4 << 0.0 << QStringList{"p200,100"}
                                      << QStringList{"I190,90 21x21", "SRestenger.wav/9"} << aim;
        QTest::newRow("square move at the edge")
            << 4 << 0.0 << QStringList{"m1020,5"} << QStringList{"I1010,0 14x16"} << aim;
    }
    void strokes() {
        QFETCH(int, tool);
        QFETCH(double, random);
        QFETCH(QStringList, stroke);
        QFETCH(QStringList, calls);
        QFETCH(QPoint, aimAfter);
        RecordingSurface s;
        s.img.setDrawWidth(tool == 5 ? 11 : 1);
        Formula::PenSize = 20, Formula::BoxSize = 10;
        Formula::CannonX = -80, Formula::CannonY = -50;
        m_app->fakes.random->fallback = random;
        auto t = makeTool(tool);
        for (const QString& e : stroke) {
            s.calls.clear();
            const QStringList xy = e.mid(1).split(',');
            const double x = xy[0].toDouble(), y = xy[1].toDouble();
            if (e[0] == 'p') t->press(s, x, y);
            if (e[0] == 'm') t->move(s, x, y);
            if (e[0] == 'r') t->release(s, x, y);
        }
        QCOMPARE(s.calls, calls);
        if (tool == 5) QCOMPARE(QPoint(Formula::CannonX, Formula::CannonY), aimAfter);
    }

    // The sprites land with their raster operations: the mask blackens, the picture XORs
    // over it, the hole is punched in the middle, cracks and craters AND onto the snapshot.
    void spritesKeepTheirRasterOps() {
        RecordingSurface s;
        s.img.setDrawWidth(11);
        Formula::CannonX = -80, Formula::CannonY = -50;
        makeTool(5)->press(s, 500, 400);
        QCOMPARE(s.img.image().pixel(413, 344), qRgb(40, 200, 40));
        QCOMPARE(s.img.image().pixel(420, 350), qRgb(0, 0, 0));
        QCOMPARE(Formula::CannonMode, int16_t(4));
        m_app->fakes.random->fallback = 0.99;
        makeTool(6)->press(s, 800, 700);
        QCOMPARE(Formula::CraterIndex, int16_t(3));
        QCOMPARE(s.img.image().pixel(700, 600), qRgb(120, 200, 120));
        m_app->fakes.random->fallback = 0.5;
        makeTool(2)->press(s, 300, 600);
        QCOMPARE(Formula::GlassIndex, int16_t(2));
        QCOMPARE(s.img.image().pixel(220, 520), qRgb(0, 0, 0));  // the second picture: a mask
        QCOMPARE(m_app->fakes.random->seeds.size(), size_t(2));  // fresh seed per strike
    }

  private:
    std::unique_ptr<AppFixture> m_app;
};

QTEST_MAIN(TestCanvasTools)
#include "tst_canvas_tools.moc"
