#include <QPainter>
#include <QtTest>
#include <limits>

#include "canvas/splinter_animation.h"
#include "canvas/splinter_burst.h"
#include "support/app_fixture.h"

using Formula::SplinterState;

namespace {

constexpr QSize kArea(800, 600);
constexpr QSize kSprite(17, 17);

SplinterState splinter(int left, int top, int clock, int speedX) {
    SplinterState s;
    s.Left = left, s.Top = top, s.Clock = clock, s.SpeedX = speedX;
    return s;
}

// A 17 x 17 sprite: magenta key colour round a 5 x 5 orange core.
QImage splinterPicture() {
    QImage img(kSprite, QImage::Format_RGB32);
    img.fill(qRgb(255, 0, 255));
    QPainter(&img).fillRect(QRect(6, 6, 5, 5), QColor(255, 128, 0));
    return img;
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
        QTest::newRow("first step of a 30 clock") << 29 << 30 << 295;
        QTest::newRow("last rising step") << 0 << 1 << 5;
        QTest::newRow("first falling step") << -1 << 0 << -5;
        QTest::newRow("falling fast") << -11 << -10 << -105;
        QTest::newRow("beyond 32 bits saturates") << 0 << 100000 << std::numeric_limits<int>::max();
        QTest::newRow("below 32 bits saturates") << 100000 << 0 << std::numeric_limits<int>::min();
    }
    void gravityRise() {
        QFETCH(int, a);
        QFETCH(int, b);
        QFETCH(int, rise);
        QCOMPARE(Formula::GravityRise(a, b), rise);
    }

    void stepsFollowGravity_data() {
        QTest::addColumn<int>("clock");
        QTest::addColumn<int>("speedX");
        QTest::addColumn<QList<int>>("tops");
        QTest::addColumn<QList<int>>("lefts");
        QTest::newRow("clock 1 from 500")
            << 1 << 0 << QList<int>{495, 500, 515} << QList<int>{0, 0, 0};
        QTest::newRow("clock 30 rises 295, 285, 275")
            << 30 << -76 << QList<int>{205, -80, -355} << QList<int>{-76, -152, -228};
        QTest::newRow("fastest to the right")
            << 2 << 73 << QList<int>{485, 480, 485} << QList<int>{73, 146, 219};
    }
    void stepsFollowGravity() {
        QFETCH(int, clock);
        QFETCH(int, speedX);
        QFETCH(QList<int>, tops);
        QFETCH(QList<int>, lefts);
        SplinterState s = splinter(0, 500, clock, speedX);
        for (int i = 0; i < tops.size(); ++i) {
            Formula::StepSplinter(s);
            QCOMPARE(s.Top, tops[i]);
            QCOMPARE(s.Left, lefts[i]);
            QCOMPARE(s.Clock, clock - 1 - i);
            QCOMPARE(s.NextClock, s.Clock);
        }
    }

    void thirtyClockSplinterPeaksAndReturns() {
        SplinterState s = splinter(400, 400, 30, 0);
        for (int i = 0; i < 30; ++i) Formula::StepSplinter(s);
        QCOMPARE(s.Top, 400 - 4500);  // 5 * 30^2 above the start
        QCOMPARE(s.Clock, 0);
        QCOMPARE(s.Rise, 5);
        for (int i = 0; i < 30; ++i) Formula::StepSplinter(s);
        QCOMPARE(s.Top, 400);  // symmetric flight
        QCOMPARE(s.Rise, -295);
    }

    void burstStartsEveryRecordFromThePoint_data() {
        QTest::addColumn<QPointF>("point");
        QTest::addColumn<double>("clockRandom");
        QTest::addColumn<double>("speedRandom");
        QTest::addColumn<QPoint>("start");
        QTest::addColumn<int>("clock");
        QTest::addColumn<int>("speedX");
        QTest::newRow("lowest randoms")
            << QPointF(400, 300) << 0.0 << 0.0 << QPoint(410, 400) << 1 << -76;
        QTest::newRow("highest randoms")
            << QPointF(400, 300) << 0.999999 << 0.999999 << QPoint(410, 400) << 30 << 73;
        QTest::newRow("middle") << QPointF(0, 0) << 0.5 << 0.5 << QPoint(10, 100) << 16 << -1;
        QTest::newRow("halves to even")
            << QPointF(400.5, 300.5) << 0.1 << 0.51 << QPoint(410, 400) << 4 << 0;
        QTest::newRow("halves to even, odd side")
            << QPointF(401.5, 299.5) << 0.2 << 0.49 << QPoint(412, 400) << 7 << -3;
    }
    void burstStartsEveryRecordFromThePoint() {
        QFETCH(QPointF, point);
        QFETCH(double, clockRandom);
        QFETCH(double, speedRandom);
        QFETCH(QPoint, start);
        QFETCH(int, clock);
        QFETCH(int, speedX);
        m_app->fakes.clock->now = 4242;
        for (int i = 0; i < Formula::kSplinterCount; ++i)
            m_app->fakes.random->values.insert(m_app->fakes.random->values.end(),
                                               {clockRandom, speedRandom});
        Formula::SplinterBurst(point.x(), point.y());
        QCOMPARE(m_app->fakes.random->seeds, std::vector<uint32_t>{4242});
        QVERIFY(m_app->fakes.random->values.empty());  // two draws per splinter
        QCOMPARE(Formula::SplinterIndex, int16_t(21));
        for (const SplinterState& s : Formula::Splinters) {
            QCOMPARE(QPoint(s.Left, s.Top), start);
            QCOMPARE(s.Clock, clock);
            QCOMPARE(s.SpeedX, speedX);
        }
    }

    void newBurstRestartsAllTwentyOne() {
        m_app->fakes.random->fallback = 0.7;
        Formula::SplinterBurst(400, 300);
        for (int i = 0; i < 5; ++i) Formula::StepSplinters();
        m_app->fakes.random->fallback = 0.3;
        Formula::SplinterBurst(100, 50);
        for (const SplinterState& s : Formula::Splinters) {
            QCOMPARE(QPoint(s.Left, s.Top), QPoint(110, 150));
            QCOMPARE(s.Clock, 10);
        }
        QCOMPARE(m_app->fakes.random->seeds.size(), size_t(2));
    }

    void goneOnlyWhenItCannotComeBack_data() {
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("clock");
        QTest::addColumn<int>("speedX");
        QTest::addColumn<bool>("gone");
        QTest::newRow("falling, top at the bottom edge") << 300 << 600 << 0 << 0 << true;
        QTest::newRow("falling, one row still shows") << 300 << 599 << -4 << 0 << false;
        QTest::newRow("below but still rising") << 300 << 700 << 5 << 0 << false;
        QTest::newRow("above, falling back") << 300 << -4000 << -3 << 0 << false;
        QTest::newRow("past the left edge going left") << -17 << 300 << 9 << -3 << true;
        QTest::newRow("one column left on the left") << -16 << 300 << 0 << -76 << false;
        QTest::newRow("left of the screen coming back") << -100 << 300 << 0 << 5 << false;
        QTest::newRow("past the right edge, standing") << 800 << 300 << 0 << 0 << true;
        QTest::newRow("one column left on the right") << 799 << 300 << 0 << 73 << false;
        QTest::newRow("right of the screen coming back") << 900 << 300 << 0 << -5 << false;
    }
    void goneOnlyWhenItCannotComeBack() {
        QFETCH(int, left);
        QFETCH(int, top);
        QFETCH(int, clock);
        QFETCH(int, speedX);
        QFETCH(bool, gone);
        QCOMPARE(Formula::SplinterGone(splinter(left, top, clock, speedX), kArea, kSprite), gone);
    }

    // Every burst ends, and nothing on its way overflows 32 bits.
    void everyFlightEndsInRange_data() {
        QTest::addColumn<QPointF>("point");
        QTest::addColumn<int>("steps");
        // Clock 30 straight up from the bottom of a 3840 x 2160 screen.
        QTest::newRow("from the bottom") << QPointF(1000, 2159) << 60;
        QTest::newRow("from the top") << QPointF(1000, 0) << 67;
        QTest::newRow("absurdly high") << QPointF(1000, -1e12) << 490;
        QTest::newRow("absurdly low") << QPointF(1000, 1e12) << 30;
    }
    void everyFlightEndsInRange() {
        QFETCH(QPointF, point);
        QFETCH(int, steps);
        m_app->fakes.random->values = {0.999999, 0.5};  // clock 30, speed -1
        Formula::SplinterBurst(point.x(), point.y());
        SplinterState s = Formula::Splinters[0];
        QCOMPARE(s.Clock, 30);
        int n = 0;
        while (!Formula::SplinterGone(s, QSize(3840, 2160), kSprite)) {
            Formula::StepSplinter(s);
            QVERIFY(std::abs(qint64(s.Top)) < (qint64(1) << 30));
            QVERIFY(std::abs(qint64(s.Left)) < (qint64(1) << 30));
            QVERIFY(++n <= SplinterAnimation::kMaxSteps);
        }
        QCOMPARE(n, steps);
    }

    void keyColourBecomesTransparent() {
        const QImage keyed = SplinterAnimation::keyedSprite(splinterPicture());
        QCOMPARE(keyed.size(), kSprite);
        QCOMPARE(qAlpha(keyed.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(keyed.pixel(5, 8)), 0);
        QCOMPARE(keyed.pixel(8, 8), qRgb(255, 128, 0));
    }

    void animationRepaintsOnlyWhereSpritesWereAndAre() {
        std::vector<QRegion> repaints;
        SplinterAnimation a(splinterPicture(), QPoint(16, 16), kArea,
                            [&](const QRegion& r) { repaints.push_back(r); });
        QVERIFY(!a.running());
        for (int i = 0; i < a.holderCount(); ++i) QVERIFY(!a.holderVisible(i));
        m_app->fakes.random->fallback = 0.6;
        a.start(400, 300);
        QVERIFY(a.running());
        QCOMPARE(a.timer().interval(), SplinterAnimation::kStepIntervalMs);
        QCOMPARE(repaints.size(), size_t(1));
        QCOMPARE(repaints.back(), QRegion(QRect(410, 400, 17, 17)));
        std::array<QRect, 21> before;
        for (int i = 0; i < 21; ++i) before[i] = a.holderRect(i);
        a.step();
        QRegion expected;
        for (int i = 0; i < 21; ++i) {
            QVERIFY(a.holderVisible(i));
            expected += (before[i] | QRect()) & QRect(QPoint(0, 0), kArea);
            expected += a.holderRect(i) & QRect(QPoint(0, 0), kArea);
        }
        QCOMPARE(repaints.size(), size_t(2));
        QCOMPARE(repaints.back(), expected);
        QVERIFY(repaints.back().boundingRect().height() < 300);
    }

    void animationEndsWithNothingLeft() {
        int repaints = 0;
        SplinterAnimation a(splinterPicture(), QPoint(16, 16), kArea,
                            [&](const QRegion&) { ++repaints; });
        m_app->fakes.random->fallback = 0.999999;  // clock 30: the longest flight
        a.start(400, 300);
        int steps = 0;
        while (a.running() && steps < 1000) a.step(), ++steps;
        QVERIFY(!a.running());
        QVERIFY(!a.timer().isActive());
        QCOMPARE(a.stepsTaken(), steps);
        QVERIFY(steps < 100);
        for (int i = 0; i < a.holderCount(); ++i) QVERIFY(!a.holderVisible(i));
        // A stray step afterwards moves and repaints nothing.
        const int before = repaints;
        const SplinterState last = Formula::Splinters[0];
        a.step();
        QCOMPARE(repaints, before);
        QCOMPARE(Formula::Splinters[0].Top, last.Top);
    }

    void timerDrivesTheBurstToItsEnd() {
        SplinterAnimation a(splinterPicture(), QPoint(16, 16), kArea, {});
        m_app->fakes.random->fallback = 0.2;
        a.start(100, 500);
        QTRY_VERIFY_WITH_TIMEOUT(!a.running(), 5000);
        QVERIFY(a.stepsTaken() > 1);
    }

    void spritesPaintOverTheImageWithoutTheirKey() {
        SplinterAnimation a(splinterPicture(), QPoint(16, 16), kArea, {});
        QImage target(kArea, QImage::Format_RGB32);
        target.fill(Qt::white);
        {
            QPainter p(&target);
            a.paint(p, target.rect());  // hidden holders draw nothing
        }
        QCOMPARE(target.pixel(24, 24), qRgb(255, 255, 255));
        m_app->fakes.random->fallback = 0.5;
        a.start(40, 50);  // every sprite at (50, 150)
        {
            QPainter p(&target);
            a.paint(p, QRect(0, 0, 60, 160));
        }
        QCOMPARE(target.pixel(58, 158), qRgb(255, 128, 0));
        QCOMPARE(target.pixel(51, 151), qRgb(255, 255, 255));
        QCOMPARE(target.pixel(66, 166), qRgb(255, 255, 255));
    }

  private:
    std::unique_ptr<AppFixture> m_app;
};

QTEST_MAIN(TestSplinterBurst)
#include "tst_splinter_burst.moc"
