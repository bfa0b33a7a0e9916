#include <QPainter>
#include <QScreen>
#include <QtTest>

#include "canvas/persistent_image.h"
#include "canvas/splinter_animation.h"
#include "canvas/tools/tool.h"
#include "support/app_fixture.h"
#include "support/data_table.h"
#include "support/sample_pictures.h"

using Formula::SplinterState;
using SamplePictures::changes;
using SamplePictures::pattern;

namespace {
// A canvas for one tool alone: an image in RGB 0x336699, every holder a block in a colour of its
// own at the size the tools copy, and a log of what the tool asked for. The blocks are see-through,
// as a stamp from an icon may be: only their colour bits may count, in every operation. "R x,y wxh"
// a refresh
// ("R-" of nothing), "I" the same for a repaint later, "S file/flags" a sound, "N" silence,
// "B x,y" a burst, "+ms" time passing.
class RecordingSurface final : public CanvasSurface {
  public:
    RecordingSurface() {
        const QSize sizes[] = {{178, 155}, {14, 13}, {20, 19}, {60, 60}, {101, 50}};
        const std::tuple<SpriteSet, int, QRgb> colours[] = {
            {SpriteSet::Glass, 1, 0xC0FFEE}, {SpriteSet::Glass, 2, 0xBADA55},
            {SpriteSet::Glass, 3, 0x5EED11}, {SpriteSet::Bomb, 1, 0x123456},
            {SpriteSet::Bomb, 2, 0xF0F0F0},  {SpriteSet::Bomb2, 1, 0x0F0F0F},
            {SpriteSet::Bomb2, 2, 0xAAAAAA}, {SpriteSet::Bomb3, 1, 0x77FF77},
            {SpriteSet::Bomb3, 2, 0x0F770F}, {SpriteSet::Bomb3, 3, 0xEEEE00},
            {SpriteSet::To, 0, 0x13579B}};
        for (const auto& [set, index, colour] : colours)
            (holders[{int(set), index}] = QImage(sizes[int(set)], QImage::Format_ARGB32))
                .fill(QColor::fromRgba(colour));
    }
    PersistentImage& image() override { return img; }
    const QImage& sprite(SpriteSet set, int index) const override {
        return holders.at({int(set), index});
    }
    void Refresh(const QRect& r) override { log("R" + text(r)); }
    void invalidate(const QRect& r) override { log("I" + text(r)); }
    void playSound(const QString& name, int16_t flags) override {
        log(QStringLiteral("S%1/%2").arg(name).arg(flags));
    }
    void playNoSound() override { log("N"); }
    void showPalette() override { log("P"); }
    void splinterBurst(double X, double Y) override { log(QStringLiteral("B%1,%2").arg(X).arg(Y)); }

    PersistentImage img{QSize(1024, 768), 0x996633};  // 0x00BBGGRR
    std::map<std::pair<int, int>, QImage> holders;
    QStringList calls;

  private:
    static QString text(const QRect& r) {
        if (r.isEmpty()) return "-";
        return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    }
    void log(const QString& call) {
        const uint32_t now = platform().clock->tickCount();
        if (now != m_time) calls << QStringLiteral("+%1").arg(now - m_time);
        m_time = now;
        calls << call;
    }
    uint32_t m_time = platform().clock->tickCount();
};

using Strikes = DataTable<int, double, QList<QPointF>, QStringList, QPoint, QRgb>;
using Strokes = DataTable<int, QString, QStringList, QPoint>;
using Shapes = DataTable<QString, QPoint, QPoint, QRect, QList<QPoint>, QList<QPoint>>;
}  // namespace

class TestCanvas : public AppTest {
    Q_OBJECT
  private Q_SLOTS:
    // Each row presses at the first point and moves to the others with the state that selecting
    // the tool leaves, and compares what the stroke's last event asked for; where a point is
    // given, its pixel tells which holders were copied there, with which operation and in
    // which order.
    void toolStrikes_data() {
        // at (0, 0): no pixel looked at
        const Strikes row({"tool", "random", "stroke", "calls", "at", "pixel"});
        const QRgb bg = 0x336699;
        row("three-headed cannon: mask 2, then picture 1", 5, 0, {{500, 400}},
            {"R413,344 14x13", "+10", "I415,345 11x11", "SGun.wav/9", "R428,329 14x13", "+10",
             "I430,330 11x11", "SGun.wav/9", "R443,314 14x13", "+10", "I445,315 11x11",
             "SGun.wav/9"},
            {413, 344}, (bg & 0xF0F0F0) ^ 0x123456);
        row("three-headed cannon first move", 5, 0, {{500, 400}, {500, 400}},
            {"R458,299 14x13", "I460,300 11x11", "R473,284 14x13", "I475,285 11x11",
             "R488,269 14x13", "I490,270 11x11"},
            {}, 0);
        // Rounded once, after the offsets: 413.5 and 344.5 go to the even 414 and 344.
        row("three-headed cannon between pixels", 5, 0, {{500.5, 400.5}},
            {"R414,344 14x13", "+10", "I415,345 11x11", "SGun.wav/9", "R428,330 14x13", "+10",
             "I431,331 11x11", "SGun.wav/9", "R444,314 14x13", "+10", "I445,315 11x11",
             "SGun.wav/9"},
            {}, 0);
        const QStringList giant{"R420,320 20x19", "+100", "SBomb.wav/1", "R400,300 60x60"};
        row("giant cannon: muzzle under crater 2", 6, 0.5, {{500, 400}}, giant, {421, 321},
            ((bg & 0xAAAAAA) ^ 0x0F0F0F) & 0x0F770F);
        row("giant cannon, crater 1", 6, 0, {{500, 400}}, giant, {401, 301}, bg & 0x77FF77);
        row("giant cannon, crater 3", 6, 0.9, {{500, 400}}, giant, {401, 301}, bg & 0xEEEE00);
        row("giant cannon at the corner", 6, 0.5, {{50, 50}},
            {"R-", "+100", "SBomb.wav/1", "R0,0 10x10"}, {}, 0);
        row("stamp 101x50", 7, 0, {{200, 200}}, {"STo.wav/1", "R150,175 101x50"}, {150, 175},
            0x13579B);
        // Cracks 1, 2 and 3: picture 2 has its own offset.
        const QStringList crack{"R395,340 178x155", "SGlass.wav/1", "B500,400"};
        row("hammer, crack 1", 2, 0, {{500, 400}}, crack, {395, 340}, bg & 0xC0FFEE);
        row("hammer, crack 2", 2, 0.5, {{500, 400}},
            {"R420,320 178x155", "SGlass.wav/1", "B500,400"}, {420, 320}, bg & 0xBADA55);
        row("hammer, crack 3", 2, 0.9, {{500, 400}}, crack, {395, 340}, bg & 0x5EED11);
        row("circle", 3, 0, {{500, 400}}, {"I480,380 41x41", "SCircle.wav/9"}, {}, 0);
        row("square", 4, 0, {{500, 400}}, {"I490,390 21x21", "SRestenger.wav/9"}, {}, 0);
        row("chainsaw press", 1, 0, {{300, 300}}, {"SProp1_2.wav/9", "I290,300 1x1"}, {}, 0);
        row("chainsaw move", 1, 0, {{300, 300}, {340, 310}}, {"I290,300 41x11"}, {}, 0);
    }
    void toolStrikes() {
        const auto [tool, random, stroke, calls, at, pixel] = Strikes::fetch();
        m_app->fakes.random->fallback = random;
        Formula::PenSize = 20, Formula::BoxSize = 10, Formula::CannonX = -80,
        Formula::CannonY = -50;
        RecordingSurface s;
        s.img.setDrawWidth(tool == 5 ? 11 : 1);
        const std::unique_ptr<Tool> t = makeTool(tool);
        t->press(s, stroke[0].x(), stroke[0].y());
        for (QPointF p : stroke.mid(1)) s.calls.clear(), t->move(s, p.x(), p.y());
        QCOMPARE(s.calls, calls);
        if (!at.isNull()) QCOMPARE(s.img.image().pixel(at) & 0xFFFFFF, pixel);
    }

    // Each event is d(own), m(ove) or u(p) with its Button value; moves go down and right. The
    // three-headed cannon's aim stays where a press's volley ended until a move or release.
    void eventsOverAWholeStroke_data() {
        // No sounds: nothing may be drawn either.
        const Strokes table({"tool", "events", "sounds", "aim"});
        const auto row = [&](const QString& name, int tool, const char* events, QStringList sounds,
                             QPoint aim = {-80, -50}) {
            table(qPrintable(name), tool, events, sounds, aim);
        };
        const char* stroke = "d1 m1 m1 m1 m1 m1 u1";
        row("no tool selected", 0, stroke, {});
        for (int n : {1, 3, 5}) row(QString("tool %1, left and right held").arg(n), n, "m3", {});
        for (int n : {2, 4, 6, 7}) row(QString("tool %1, middle").arg(n), n, "d4 m4 u4", {});
        row("chainsaw", 1, stroke, {"Prop1_2.wav/9", "Prop1_1.wav/9"});
        row("hammer", 2, stroke, {"Glass.wav/1"});
        row("circle", 3, stroke, {"Circle.wav/9", "No.wav/1"});
        row("square", 4, stroke, {"Restenger.wav/9", "No.wav/1"});
        const QStringList volley{"Gun.wav/9", "Gun.wav/9", "Gun.wav/9"};
        row("three-headed cannon, press", 5, "d1", volley, {-35, -95});
        row("three-headed cannon, press and release", 5, "d1 u1", volley + QStringList{"No.wav/1"});
        row("three-headed cannon, press and move", 5, "d1 m1", volley);
        row("giant cannon", 6, stroke, {"Bomb.wav/1"});
        row("stamp", 7, stroke, {"To.wav/1"});
    }
    void eventsOverAWholeStroke() {
        const auto [tool, events, sounds, aim] = Strokes::fetch();
        Formula_Start& canvas = canvasWith(tool);
        const QImage before = canvas.image().image().copy();
        int x = 400, y = 300;
        for (const QString& e : events.split(' ')) {
            const int button = e.mid(1).toInt();
            if (e[0] == 'd') canvas.Form_MouseDown(button, 0, x, y);
            if (e[0] == 'm') canvas.Form_MouseMove(button, 0, x += 7, y += 3);
            if (e[0] == 'u') canvas.Form_MouseUp(button, 0, x, y);
        }
        QCOMPARE(m_app->fakes.sound->calls, sounds);
        QCOMPARE(QPoint(Formula::CannonX, Formula::CannonY), aim);
        if (!sounds.isEmpty()) return;
        QCOMPARE(changes(before, canvas.image().image()).box, QRect());
        QVERIFY(!canvas.splinters()->running());
        QVERIFY(!forms().isLoaded(FormId::FrmOption));
    }

    // A burst started while one flies restarts all 21 splinters from its own point; a press on
    // a flying splinter belongs to the splinter and strikes nothing, up to its release. A press
    // beside them carries out the tool selected by then, once: the burst's end carries out
    // nothing and leaves no timer running.
    void nestedBurstAndPressesDuringIt() {
        Formula_Start& canvas = canvasWith(2);
        SplinterAnimation& flying = *canvas.splinters();
        canvas.Form_MouseDown(1, 0, 400, 300);
        canvas.Form_MouseUp(1, 0, 400, 300);
        for (int i = 0; i < 5; ++i) flying.step();
        canvas.Form_MouseDown(1, 0, 900, 100);  // the splinters restart at (910, 200)
        QCOMPARE(flying.stepsTaken(), 0);       // and so does the count that ends a long flight
        canvasWith(3);
        m_app->fakes.sound->calls.clear();
        QImage before = canvas.image().image().copy();
        canvas.Form_MouseDown(1, 0, 915, 205);
        canvas.Form_MouseMove(1, 0, 700, 500);
        canvas.Form_MouseUp(1, 0, 700, 500);
        QCOMPARE(changes(before, canvas.image().image()).box, QRect());
        QCOMPARE(m_app->fakes.sound->calls, QStringList());
        canvas.Form_MouseDown(1, 0, 300, 300);
        canvas.Form_MouseUp(1, 0, 300, 300);
        QCOMPARE(changes(before, canvas.image().image()).box, QRect(280, 280, 41, 41));
        before = canvas.image().image().copy();
        QTRY_VERIFY_WITH_TIMEOUT(!flying.running(), 5000);
        QCOMPARE(changes(before, canvas.image().image()).box, QRect());  // splinters included
        QCOMPARE(m_app->fakes.sound->calls, (QStringList{"Circle.wav/9", "No.wav/1"}));
    }

    // The canvas goes with a burst in the air: no step reaches it, and it is the last window.
    // A new canvas starts from the layout's drawing state, with PenSize and BoxSize at 20;
    // the tool flags and the cannon's aim stay, so the tool works on at once.
    void unloadedMidBurstAndLoadedAgain() {
        Formula_Start& first = canvasWith(5);
        first.setForeColor(0x123456);
        Formula::CannonX = 7, Formula::CannonY = 8, Formula::CannonMode = 4;
        Formula::PenSize = 55, Formula::BoxSize = 44;
        first.splinterBurst(400, 300);
        forms().unload(FormId::Formula_Start);
        QVERIFY(!first.splinters()->running());  // deleted only later
        flushDeletes();
        QTest::qWait(3 * SplinterAnimation::kStepIntervalMs);
        Formula_Start& again = forms().get<Formula_Start>();
        QCOMPARE(QList<int>({again.DrawWidth(), int(again.ForeColor()), Formula::PenSize,
                             Formula::BoxSize, Formula::PropOn(5), Formula::CannonX,
                             Formula::CannonY, Formula::CannonMode}),
                 QList<int>({1, 0, 20, 20, -1, 7, 8, 4}));
        again.Form_MouseDown(1, 0, 500, 400);
        QCOMPARE(m_app->fakes.sound->calls.value(0), "Gun.wav/9");
    }

    // The canvas takes the screen's size and keeps what it shows at (0, 0): a snapshot as it
    // is, made opaque, over black where it is smaller; when the screen changed under the
    // canvas, the new pixels come from the screen or its background colour, and the palette
    // comes back onto the screen. A failed snapshot: tst_forms.
    void takesTheScreensSize_data() {
        // change: the picture's size less the screen's; gained 0: a snapshot, 1: the screen
        // changed, 2: unreadable
        const DataTable<QSize, int> row({"change", "gained"});
        row("snapshot of the screen's size", {0, 0}, 0);
        row("smaller snapshot", {-40, -40}, 0);
        row("grew, screen unreadable", {-300, -200}, 2);
        row("wider, lower", {-100, 50}, 1);
    }
    void takesTheScreensSize() {
        const auto [change, gained] = DataTable<QSize, int>::fetch();
        const QSize screen = QGuiApplication::primaryScreen()->size();
        QImage before(screen + change, QImage::Format_RGB32), desktop(screen, QImage::Format_RGB32);
        // No alpha, as some grabs deliver it: fill() and pixel() would add it themselves.
        std::fill_n(reinterpret_cast<QRgb*>(before.bits()), before.sizeInBytes() / 4, 0x112233u);
        desktop.fill(0xFF445566u);
        m_app->fakes.capture->next = before;
        m_app->fakes.capture->area = gained == 1 ? desktop : QImage();
        Formula_Start& canvas = forms().get<Formula_Start>();
        if (gained) {
            canvas.setScreenSize(before.size(), before);
            forms().get<FrmOption>().move(-5000, screen.height() + 10);
            canvas.followPrimaryScreen();
        }
        const QImage& image = canvas.image().image();
        const auto bits = [&](int x, int y) { return ((const QRgb*)image.constScanLine(y))[x]; };
        QCOMPARE(QList<QSize>({image.size(), canvas.client()->size()}), QList({screen, screen}));
        QCOMPARE(m_app->fakes.messages->only(), "0");
        const QSize kept = before.size().boundedTo(screen);
        QCOMPARE(bits(kept.width() - 1, kept.height() - 1), 0xFF112233u);
        const QRgb gains[] = {0xFF000000u, 0xFF445566u, toQColor(canvas.backColor()).rgb()};
        if (kept != screen) QCOMPARE(bits(screen.width() - 1, screen.height() - 1), gains[gained]);
        const QRect palette = forms().get<FrmOption>().frameGeometry();
        QVERIFY(QGuiApplication::primaryScreen()->availableGeometry().contains(palette));
    }

    // A second burst restarts every record from (X + 10, Y + 100), rounded half to even;
    // a row is X, Y, the random number and then left, top, clock and sideways speed. The
    // animation's own test sees the highest number.
    void burstStartsAllTwentyOneFromThePoint() {
        for (auto [x, y, random, start] :
             {std::tuple{401.5, 300.5, 0.5, QList<int>{412, 400, 16, -1}},
              std::tuple{400.0, 300.0, 0.0, QList<int>{410, 400, 1, -76}}}) {
            m_app->fakes.random->fallback = 0.7;
            Formula::SplinterBurst(10, 10);
            Formula::StepSplinters();
            m_app->fakes.random->fallback = random;
            Formula::SplinterBurst(x, y);
            for (const SplinterState& s : Formula::Splinters)
                QCOMPARE(QList<int>({s.Left, s.Top, s.Clock, s.SpeedX}), start);
        }
        QCOMPARE(m_app->fakes.random->seeds, std::vector<uint32_t>(4, m_app->fakes.clock->now));
        // Clock 1 rises 5 pixels and then falls 5, 15: the animation's own test sees only the rise.
        const SplinterState& s = Formula::Splinters[20];
        for (int top : {395, 400, 415}) {
            Formula::StepSplinters();
            QCOMPARE(QList<int>({s.Top, s.Left}), QList<int>({top, 410 - 76 * (1 - s.Clock)}));
        }
    }

    void animationRepaintsOldAndNewAndStopsWhenAllAreGone() {
        std::vector<QRegion> repaints;
        const QImage sprite = PersistentImage(QSize(17, 17), 0xFF00FF).image();  // magenta
        SplinterAnimation a(sprite, QPoint(16, 16), QSize(800, 600),
                            [&](const QRegion& r) { repaints.push_back(r); });
        m_app->fakes.random->fallback = 0.999999;  // clock 30, 73 pixels right per step
        a.start(400, 300);
        QCOMPARE(repaints.back(), QRegion(410, 400, 17, 17));  // shown at the start point
        a.step();
        QCOMPARE(repaints.back(), QRegion(410, 400, 17, 17) + QRegion(483, 105, 17, 17));
        QCOMPARE(qAlpha(a.sprite().pixel(0, 0)), 0);  // the key colour is see-through
        int steps = 1;
        while (a.running() && steps < 1000) a.step(), ++steps;
        QCOMPARE(steps, 6);  // 410 + 6 * 73 is past the right edge
        for (int i = 0; i < a.holderCount(); ++i) QVERIFY(!a.holderVisible(i));
        // Gone once it cannot be seen again: falling below the bottom, or past a side going
        // away. The fields: left, top, clock, next clock, rise, sideways speed.
        const QSize area(800, 600);
        QVERIFY(Formula::SplinterGone({300, 600, 0, 0, 0, 0}, area, sprite.size()));
        QVERIFY(!Formula::SplinterGone({300, 700, 5, 0, 0, 0}, area, sprite.size()));  // rising
        QVERIFY(Formula::SplinterGone({-17, 300, 9, 0, 0, -3}, area, sprite.size()));
        QVERIFY(!Formula::SplinterGone({-100, 300, 0, 0, 0, 5}, area, sprite.size()));  // back
        QVERIFY(Formula::SplinterGone({800, 300, 0, 0, 0, 0}, area, sprite.size()));
    }

    // The off-screen picture's own operations.
    void blitClipsAtEveryEdge_data() {
        const DataTable<QPoint, QRect> row({"dest", "touched"});
        // A 10 x 8 source onto a 100 x 50 image.
        row("inside", {20, 10}, {20, 10, 10, 8});
        row("left and top, one pixel", {-9, -7}, {0, 0, 1, 1});
        row("right and bottom", {95, 46}, {95, 46, 5, 4});
        row("just outside left", {-10, 10}, {});
        row("just outside right", {100, 10}, {});
        row("just outside top", {20, -8}, {});
        row("just outside bottom", {20, 50}, {});
    }
    void blitClipsAtEveryEdge() {
        QFETCH(QPoint, dest);
        PersistentImage img(QSize(100, 50), 0xFFFFFF);
        const QImage src = pattern(10, 8);  // no two pixels alike
        QTEST(img.blit(src, src.rect(), dest, RasterOp::Copy), "touched");
        // Clipped, not shifted: every pixel holds the part of the source that belongs there.
        QImage want = PersistentImage(QSize(100, 50), 0xFFFFFF).image().copy();
        QPainter(&want).drawImage(dest, src);
        QCOMPARE(img.image(), want);
    }

    // Dots are 11 pixels across, everything else 1.
    void primitives_data() {
        // b: line end, box corner, or (radius, 0)
        const Shapes row({"shape", "a", "b", "touched", "drawn", "clear"});
        row("11-pixel round dot", "point", {50, 40}, {}, {45, 35, 11, 11},
            {{45, 40}, {55, 40}, {50, 35}, {50, 45}}, {{44, 40}, {56, 40}, {45, 35}, {55, 45}});
        row("dot over the left edge", "point", {-3, 20}, {}, {0, 15, 3, 11}, {{0, 20}, {2, 20}},
            {});
        row("line, both ends", "line", {290, 300}, {330, 310}, {290, 300, 41, 11},
            {{290, 300}, {330, 310}}, {{289, 300}, {331, 310}});
        row("line up and left", "line", {30, 60}, {25, 5}, {25, 5, 6, 56}, {{30, 60}, {25, 5}}, {});
        row("box corners inside", "box", {30, 40}, {10, 20}, {10, 20, 21, 21},
            {{10, 20}, {30, 40}, {30, 20}, {10, 40}, {20, 20}}, {{20, 30}, {31, 40}, {9, 20}});
        row("circle", "circle", {150, 140}, {20, 0}, {130, 120, 41, 41},
            {{170, 140}, {130, 140}, {150, 160}, {150, 120}}, {{150, 140}, {171, 140}, {165, 125}});
        row("circle round the corner", "circle", {0, 0}, {20, 0}, {0, 0, 21, 21},
            {{20, 0}, {0, 20}}, {{0, 0}});
        row("circle far outside", "circle", {-500, 20}, {20, 0}, {}, {}, {});
    }
    void primitives() {
        const auto [shape, a, b, touched, drawn, clear] = Shapes::fetch();
        PersistentImage img(QSize(400, 400), 0xFFFFFF);
        img.setDrawWidth(shape == "point" ? 11 : 1);
        img.setForeColor(0x0000FF);  // red, as 0x00BBGGRR
        QRect got;
        if (shape == "point") got = img.point(a);
        if (shape == "line") img.setCurrentPos(a), got = img.lineTo(b);
        if (shape == "box") got = img.box(a, b);
        if (shape == "circle") got = img.circle(a, b.x());
        QCOMPARE(got, touched);
        for (const QPoint& p : drawn) QCOMPARE(img.image().pixel(p), qRgb(255, 0, 0));
        for (const QPoint& p : clear) QCOMPARE(img.image().pixel(p), 0xFFFFFFFFu);
        // Nothing outside the reported rectangle changed.
        const QImage blank = PersistentImage(QSize(400, 400), 0xFFFFFF).image();
        QCOMPARE(changes(blank, img.image()).box | touched, touched);
    }
};

QTEST_MAIN(TestCanvas)
#include "tst_canvas.moc"
