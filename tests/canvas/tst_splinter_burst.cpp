#include <QtTest>
#include <limits>

#include "canvas/splinter_animation.h"
#include "canvas/splinter_burst.h"
#include "support/app_fixture.h"

using Formula::SplinterState;
Q_DECLARE_METATYPE(SplinterState)

namespace {
SplinterState splinter(int left, int top, int clock, int speedX) {
    SplinterState s;
    s.Left = left, s.Top = top, s.Clock = clock, s.SpeedX = speedX;
    return s;
}
}  // namespace

class TestSplinterBurst : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() { m_app = std::make_unique<AppFixture>(); }
    void cleanup() { m_app.reset(); }

    void gravityRise_data() {
        QTest::addColumn<int>("a");
        QTest::addColumn<int>("b");
        QTest::addColumn<int>("rise");
        QTest::newRow("first step of clock 30") << 29 << 30 << 295;
        QTest::newRow("last rising step") << 0 << 1 << 5;
        QTest::newRow("first falling step") << -1 << 0 << -5;
        QTest::newRow("falling") << -11 << -10 << -105;
        QTest::newRow("past 32 bits saturates") << 0 << 100000 << std::numeric_limits<int>::max();
    }
    void gravityRise() {
        QFETCH(int, a);
        QFETCH(int, b);
        QFETCH(int, rise);
        QCOMPARE(Formula::GravityRise(a, b), rise);
    }

    void stepsRiseThenFall_data() {
        QTest::addColumn<int>("clock");
        QTest::addColumn<int>("speedX");
        QTest::addColumn<QList<int>>("tops");
        QTest::newRow("clock 1 from 500") << 1 << 73 << QList<int>{495, 500, 515};
        QTest::newRow("clock 30 rises 295, 285, 275") << 30 << -76 << QList<int>{205, -80, -355};
    }
    void stepsRiseThenFall() {
        QFETCH(int, clock);
        QFETCH(int, speedX);
        QFETCH(QList<int>, tops);
        SplinterState s = splinter(0, 500, clock, speedX);
        for (int i = 0; i < tops.size(); ++i) {
            Formula::StepSplinter(s);
            QCOMPARE(s.Top, tops[i]);
            QCOMPARE(s.Clock, clock - 1 - i);
            QCOMPARE(s.Left, speedX * (i + 1));
        }
    }

    void burstStartsAllTwentyOneFromThePoint_data() {
        QTest::addColumn<QPointF>("point");
        QTest::addColumn<double>("random");
        QTest::addColumn<QPoint>("start");
        QTest::addColumn<int>("clock");
        QTest::addColumn<int>("speedX");
        QTest::newRow("lowest") << QPointF(400, 300) << 0.0 << QPoint(410, 400) << 1 << -76;
        QTest::newRow("highest") << QPointF(400, 300) << 0.999999 << QPoint(410, 400) << 30 << 73;
        QTest::newRow("halves to even")
            << QPointF(401.5, 300.5) << 0.5 << QPoint(412, 400) << 16 << -1;
    }
    void burstStartsAllTwentyOneFromThePoint() {
        QFETCH(QPointF, point);
        QFETCH(double, random);
        QFETCH(QPoint, start);
        QFETCH(int, clock);
        QFETCH(int, speedX);
        m_app->fakes.random->fallback = 0.7;
        Formula::SplinterBurst(10, 10);
        Formula::StepSplinters();
        m_app->fakes.random->fallback = random;  // a second burst restarts every record
        Formula::SplinterBurst(point.x(), point.y());
        for (const SplinterState& s : Formula::Splinters) {
            QCOMPARE(QPoint(s.Left, s.Top), start);
            QCOMPARE(s.Clock, clock);
            QCOMPARE(s.SpeedX, speedX);
        }
        QCOMPARE(m_app->fakes.random->seeds,
                 (std::vector<uint32_t>{m_app->fakes.clock->now, m_app->fakes.clock->now}));
    }

    void goneOnlyWhenItCannotComeBack_data() {
        QTest::addColumn<SplinterState>("s");
        QTest::addColumn<bool>("gone");
        QTest::newRow("falling, top at the bottom") << splinter(300, 600, 0, 0) << true;
        QTest::newRow("falling, one row shows") << splinter(300, 599, -4, 0) << false;
        QTest::newRow("below but rising") << splinter(300, 700, 5, 0) << false;
        QTest::newRow("high above, falling") << splinter(300, -4000, -3, 0) << false;
        QTest::newRow("past the left going left") << splinter(-17, 300, 9, -3) << true;
        QTest::newRow("left of the screen coming back") << splinter(-100, 300, 0, 5) << false;
        QTest::newRow("past the right, standing") << splinter(800, 300, 0, 0) << true;
        QTest::newRow("one column shows on the right") << splinter(799, 300, 0, 73) << false;
    }
    void goneOnlyWhenItCannotComeBack() {
        QFETCH(SplinterState, s);
        QFETCH(bool, gone);
        QCOMPARE(Formula::SplinterGone(s, QSize(800, 600), QSize(17, 17)), gone);
    }

    // A clock-30 splinter flies longest; every flight ends, with no value near 32 bits.
    void everyFlightEndsInRange_data() {
        QTest::addColumn<double>("y");
        QTest::addColumn<int>("steps");
        QTest::newRow("from the bottom of 2160") << 2159.0 << 60;
        QTest::newRow("from the top") << 0.0 << 67;
        QTest::newRow("absurdly high") << -1e12 << 490;
        QTest::newRow("absurdly low") << 1e12 << 30;
    }
    void everyFlightEndsInRange() {
        QFETCH(double, y);
        QFETCH(int, steps);
        m_app->fakes.random->values = {0.999999, 0.5};
        Formula::SplinterBurst(1000, y);
        SplinterState s = Formula::Splinters[0];
        int n = 0;
        for (; !Formula::SplinterGone(s, QSize(3840, 2160), QSize(17, 17)); ++n) {
            Formula::StepSplinter(s);
            QVERIFY(std::abs(qint64(s.Top)) < (qint64(1) << 30) &&
                    n < SplinterAnimation::kMaxSteps);
        }
        QCOMPARE(n, steps);
    }

    void animationRepaintsOldAndNewAndStopsWhenDone() {
        std::vector<QRegion> repaints;
        QImage sprite(17, 17, QImage::Format_RGB32);
        sprite.fill(qRgb(255, 0, 255));
        SplinterAnimation a(sprite, QPoint(16, 16), QSize(800, 600),
                            [&](const QRegion& r) { repaints.push_back(r); });
        m_app->fakes.random->fallback = 0.999999;  // clock 30, 73 pixels right per step
        a.start(400, 300);
        QVERIFY(a.timer().isActive());
        QCOMPARE(repaints.back(), QRegion(410, 400, 17, 17));  // shown at the start point
        a.step();
        QCOMPARE(repaints.back(), QRegion(410, 400, 17, 17) + QRegion(483, 105, 17, 17));
        QCOMPARE(qAlpha(a.sprite().pixel(0, 0)), 0);  // the key colour is see-through
        int steps = 1;
        while (a.running() && steps < 1000) a.step(), ++steps;
        QCOMPARE(steps, 6);  // 410 + 6 * 73 is past the right edge
        QVERIFY(!a.timer().isActive());
        for (int i = 0; i < a.holderCount(); ++i) QVERIFY(!a.holderVisible(i));
    }

  private:
    std::unique_ptr<AppFixture> m_app;
};

QTEST_MAIN(TestSplinterBurst)
#include "tst_splinter_burst.moc"
