#include <QScreen>
#include <QtTest>
#include <limits>

#include "canvas/formula_start.h"
#include "canvas/splinter_animation.h"
#include "shell/forms.h"
#include "shell/picture_box.h"
#include "support/app_fixture.h"

using Formula::SplinterState;

namespace {
// The canvas as selecting tool n leaves it (0: nothing selected).
Formula_Start& canvasWith(int n) {
    Formula_Start& canvas = forms().get<Formula_Start>();
    for (int k = 1; k <= Formula::kToolCount; ++k) Formula::PropOn(k) = k == n ? -1 : 0;
    canvas.setDrawWidth(n == 5 ? 11 : 1);
    Formula::CannonX = -80, Formula::CannonY = -50;
    return canvas;
}

// The bounding box of the pixels in which two pictures of one size differ.
QRect changed(const QImage& a, const QImage& b) {
    QRect r;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) r |= QRect(x, y, 1, 1);
    return r;
}
}  // namespace

class TestFormulaStart : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() {
        m_app = std::make_unique<AppFixture>();
        m_app->fakes.capture->next =
            QImage(QGuiApplication::primaryScreen()->size(), QImage::Format_RGB32);
        m_app->fakes.capture->next.fill(Qt::white);
    }
    void cleanup() { m_app.reset(); }

    // Each event is d(own), m(ove) or u(p) with its Button value; moves go down and right.
    void eventsOverAWholeStroke_data() {
        QTest::addColumn<int>("tool");
        QTest::addColumn<QString>("events");
        QTest::addColumn<QStringList>("sounds");  // none: nothing may be drawn either
        const QString stroke = "d1 m1 m1 m1 m1 m1 u1";
        QTest::newRow("no tool selected") << 0 << stroke << QStringList();
        for (int n : {1, 3, 5})
            QTest::addRow("tool %d, left and right held", n) << n << "m3" << QStringList();
        for (int n : {2, 4, 6, 7})
            QTest::addRow("tool %d, middle", n) << n << "d4 m4 u4" << QStringList();
        QTest::newRow("chainsaw") << 1 << stroke << QStringList{"Prop1_2.wav/9", "Prop1_1.wav/9"};
        QTest::newRow("hammer") << 2 << stroke << QStringList{"Glass.wav/1"};
        QTest::newRow("circle") << 3 << stroke << QStringList{"Circle.wav/9", "No.wav/1"};
        QTest::newRow("square") << 4 << stroke << QStringList{"Restenger.wav/9", "No.wav/1"};
        QTest::newRow("three-headed cannon")
            << 5 << stroke << QStringList{"Gun.wav/9", "Gun.wav/9", "Gun.wav/9", "No.wav/1"};
        QTest::newRow("giant cannon") << 6 << stroke << QStringList{"Bomb.wav/1"};
        QTest::newRow("stamp") << 7 << stroke << QStringList{"To.wav/1"};
    }
    void eventsOverAWholeStroke() {
        QFETCH(int, tool);
        QFETCH(QString, events);
        QFETCH(QStringList, sounds);
        Formula_Start& canvas = canvasWith(tool);
        const QImage before = canvas.image().image().copy();
        int x = 400, y = 300;
        for (const QString& e : events.split(' ')) {
            const int button = e.mid(1).toInt();
            if (e[0] == 'd') canvas.Form_MouseDown(button, 0, x, y);
            if (e[0] == 'm') canvas.Form_MouseMove(button, 0, x += 7, y += 3);
            if (e[0] == 'u') canvas.Form_MouseUp(button, 0, x, y);
        }
        QCOMPARE(played(), sounds);
        if (!sounds.isEmpty()) return;
        QCOMPARE(changed(before, canvas.image().image()), QRect());
        QVERIFY(!canvas.splinters()->running());
        QVERIFY(!forms().isLoaded(FormId::FrmOption));
    }

    // A press while splinters fly carries out the tool selected when it arrives, once; the
    // burst's end carries out nothing and leaves no timer running.
    void pressDuringABurstRunsOnlyTheNewTool() {
        Formula_Start& canvas = canvasWith(2);
        QImage grey(178, 155, QImage::Format_RGB32);
        grey.fill(Qt::gray);
        for (int i = 1; i <= 3; ++i) canvas.picture("PicGlass", i)->setPicture(grey);
        const QImage snapshot = canvas.image().image().copy();
        canvas.Form_MouseDown(1, 0, 400, 300);
        canvas.Form_MouseUp(1, 0, 400, 300);
        QVERIFY(canvas.splinters()->running());
        QCOMPARE(changed(snapshot, canvas.image().image()), QRect(295, 240, 178, 155));

        canvasWith(3);
        const QImage cracked = canvas.image().image().copy();
        canvas.Form_MouseDown(1, 0, 650, 480);
        canvas.Form_MouseUp(1, 0, 650, 480);
        QCOMPARE(changed(cracked, canvas.image().image()), QRect(630, 460, 41, 41));

        const QImage circled = canvas.image().image().copy();
        QTRY_VERIFY_WITH_TIMEOUT(!canvas.splinters()->running(), 5000);
        QVERIFY(!canvas.splinters()->timer().isActive());
        QCOMPARE(changed(circled, canvas.image().image()), QRect());  // splinters included
        QCOMPARE(played(), (QStringList{"Glass.wav/1", "Circle.wav/9", "No.wav/1"}));
    }

    void exitDuringABurstEndsCleanly() {
        Formula_Start& canvas = canvasWith(2);
        canvas.Form_MouseDown(1, 0, 400, 300);
        QPointer<Formula_Start> watch(&canvas);
        forms().unload(FormId::Formula_Start);
        QVERIFY(!watch->splinters()->running());
        QCOMPARE(m_app->programEnds, 1);
        flushDeletes();
        QVERIFY(watch.isNull());
        QTest::qWait(3 * SplinterAnimation::kStepIntervalMs);  // no step reaches a dead canvas
    }

    void gravityRise() {
        QCOMPARE(Formula::GravityRise(29, 30), 295);
        QCOMPARE(Formula::GravityRise(0, 1), 5);
        QCOMPARE(Formula::GravityRise(-11, -10), -105);
        QCOMPARE(Formula::GravityRise(0, 100000), std::numeric_limits<int>::max());  // saturates
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
        SplinterState s;
        s.Top = 500, s.Clock = clock, s.SpeedX = speedX;
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
        QTest::addColumn<QList<int>>("s");  // left, top, clock, speedX
        QTest::addColumn<bool>("gone");
        QTest::newRow("falling, top at the bottom") << QList<int>{300, 600, 0, 0} << true;
        QTest::newRow("falling, one row shows") << QList<int>{300, 599, -4, 0} << false;
        QTest::newRow("below but rising") << QList<int>{300, 700, 5, 0} << false;
        QTest::newRow("past the left going left") << QList<int>{-17, 300, 9, -3} << true;
        QTest::newRow("left of the screen coming back") << QList<int>{-100, 300, 0, 5} << false;
        QTest::newRow("past the right, standing") << QList<int>{800, 300, 0, 0} << true;
    }
    void goneOnlyWhenItCannotComeBack() {
        QFETCH(QList<int>, s);
        QFETCH(bool, gone);
        SplinterState state;
        state.Left = s[0], state.Top = s[1], state.Clock = s[2], state.SpeedX = s[3];
        QCOMPARE(Formula::SplinterGone(state, QSize(800, 600), QSize(17, 17)), gone);
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
    QStringList played() const {
        QStringList out;
        for (const SoundCall& c : m_app->fakes.sound->calls)
            out << c.file + '/' + QString::number(c.flags);
        return out;
    }

    std::unique_ptr<AppFixture> m_app;
};

QTEST_MAIN(TestFormulaStart)
#include "tst_formula_start.moc"
