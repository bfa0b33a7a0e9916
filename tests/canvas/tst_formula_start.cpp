#include <QGuiApplication>
#include <QPaintEvent>
#include <QScreen>
#include <QtTest>

#include "canvas/capture_screen.h"
#include "canvas/formula_start.h"
#include "canvas/splinter_animation.h"
#include "shell/forms.h"
#include "shell/picture_box.h"
#include "stand_in_data.h"
#include "support/app_fixture.h"

namespace {

QSize screenSize() {
    return QGuiApplication::primaryScreen()->geometry().size();
}

QImage filled(QSize size, QRgb c) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

// What tool selection leaves behind for tool n; 0 selects nothing.
void select(Formula_Start& canvas, int n) {
    for (int k = 1; k <= Formula::kToolCount; ++k) Formula::PropOn(k) = k == n ? -1 : 0;
    if (n == 1 || n == 3 || n == 4) canvas.setDrawWidth(1), canvas.setForeColor(0);
    if (n == 1 || n == 3) Formula::PenSize = 20;
    if (n == 4) Formula::BoxSize = 10;
    if (n == 5) {
        canvas.setDrawWidth(11), canvas.setForeColor(0);
        Formula::CannonX = -80, Formula::CannonY = -50, Formula::CannonMode = 0;
    }
}

QStringList soundLog(const FakeSound& sound, size_t from = 0) {
    QStringList out;
    for (size_t i = from; i < sound.calls.size(); ++i)
        out << QStringLiteral("%1/%2").arg(sound.calls[i].file).arg(sound.calls[i].flags);
    return out;
}

// Button events as "d1" (down, left), "m3" (move, left and right), "u2" (up, right).
void play(Formula_Start& canvas, const QStringList& events, QPointF at) {
    for (const QString& e : events) {
        const int button = e.mid(1).toInt();
        if (e[0] == 'd') canvas.Form_MouseDown(button, 0, at.x(), at.y());
        if (e[0] == 'm') canvas.Form_MouseMove(button, 0, at.x(), at.y());
        if (e[0] == 'u') canvas.Form_MouseUp(button, 0, at.x(), at.y());
    }
}

class PaintRecorder : public QObject {
  public:
    std::vector<QRect> rects;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) rects.push_back(static_cast<QPaintEvent*>(e)->rect());
        return false;
    }
};

}  // namespace

class TestFormulaStart : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() {
        m_app = std::make_unique<AppFixture>();
        useCanvasPictures();
        m_app->fakes.capture->next = filled(screenSize(), qRgb(255, 255, 255));
    }
    void cleanup() { m_app.reset(); }

    void screenPixelsFromTwips_data() {
        QTest::addColumn<double>("twips");
        QTest::addColumn<double>("perPixel");
        QTest::addColumn<int>("pixels");
        QTest::newRow("width at 96 dpi") << 15360.0 << 15.0 << 1024;
        QTest::newRow("height at 96 dpi") << 11520.0 << 15.0 << 768;
        QTest::newRow("twips rounded first") << 15359.6 << 15.0 << 1024;
        QTest::newRow("integer division truncates") << 15374.0 << 15.0 << 1024;
        QTest::newRow("per pixel half to even, down") << 12000.0 << 14.5 << 857;
        QTest::newRow("per pixel half to even, up") << 12000.0 << 15.5 << 750;
        QTest::newRow("no whole twip per pixel") << 12000.0 << 0.4 << 0;
        QTest::newRow("negative size") << -15.0 << 15.0 << 0;
    }
    void screenPixelsFromTwips() {
        QFETCH(double, twips);
        QFETCH(double, perPixel);
        QFETCH(int, pixels);
        QCOMPARE(Formula::ScreenPixels(twips, perPixel), pixels);
    }

    void loadReadsEveryPictureIntoItsHolder_data() {
        QTest::addColumn<QString>("holder");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("file");
        QTest::newRow("splinter") << "PicSplinter" << 0 << "Splinter.bmp";
        for (int i = 1; i <= 3; ++i)
            QTest::addRow("glass %d", i) << "PicGlass" << i << QStringLiteral("Glass%1.jpg").arg(i);
        for (int i = 1; i <= 2; ++i)
            QTest::addRow("bomb %d", i) << "PicBomb" << i << QStringLiteral("Bomb1_%1.bmp").arg(i);
        for (int i = 1; i <= 2; ++i)
            QTest::addRow("muzzle %d", i)
                << "PicBomb2" << i << QStringLiteral("Bomb2_%1.bmp").arg(i);
        for (int i = 1; i <= 3; ++i)
            QTest::addRow("crater %d", i)
                << "PicBomb3" << i << QStringLiteral("Bomb2_%1.bmp").arg(i + 2);
        QTest::newRow("stamp") << "PicTo" << -1 << "Tittle.jpg";
    }
    void loadReadsEveryPictureIntoItsHolder() {
        QFETCH(QString, holder);
        QFETCH(int, index);
        QFETCH(QString, file);
        Formula_Start& canvas = forms().get<Formula_Start>();
        PictureBox* box = canvas.picture(holder, index);
        QVERIFY(box);
        QVERIFY(!box->isVisibleTo(&canvas));
        QCOMPARE(box->picture(), loadFixedPicture(file));
        QCOMPARE(box->size(), box->picture().size());
    }

    void loadPreparesTheCanvas() {
        {
            Formula_Start unloaded;  // the layout alone has one splinter holder
            QCOMPARE(unloaded.splinterHolderCount(), 1);
        }
        m_app->fakes.capture->next = filled(QSize(300, 200), qRgb(10, 20, 30));
        Formula::PenSize = 50, Formula::BoxSize = 30;
        Formula_Start& canvas = forms().get<Formula_Start>();
        QCOMPARE(m_app->fakes.capture->grabs, 1);
        QVERIFY(m_app->fakes.messages->shown.empty());
        QCOMPARE(canvas.image().size(), screenSize());
        QCOMPARE(canvas.client()->size(), screenSize());
        QCOMPARE(QSize(Formula::ScreenWidthPx, Formula::ScreenHeightPx), screenSize());
        // The snapshot at (0, 0), the background colour beyond it, alpha opaque everywhere.
        QCOMPARE(canvas.image().image().pixel(299, 199), qRgb(10, 20, 30));
        QCOMPARE(canvas.image().image().pixel(300, 199), qRgb(0, 0, 0));
        QCOMPARE(canvas.image().image().format(), QImage::Format_RGB32);
        QCOMPARE(canvas.splinterHolderCount(), 21);
        QVERIFY(canvas.splinters());
        for (int i = 0; i < 21; ++i) QVERIFY(!canvas.splinters()->holderVisible(i));
        QVERIFY(!canvas.splinters()->running());
        QCOMPARE(canvas.splinters()->sprite().size(), QSize(17, 17));
        QCOMPARE(Formula::PenSize, int16_t(20));
        QCOMPARE(Formula::BoxSize, int16_t(20));
        QVERIFY(!canvas.isVisible());
    }

    void captureFailureTellsWhyAndStartsBlank() {
        m_app->fakes.capture->next = QImage();
        m_app->fakes.capture->error =
            QStringLiteral("this Wayland session does not let programs read the screen");
        Formula_Start& canvas = forms().get<Formula_Start>();
        QCOMPARE(m_app->fakes.messages->shown.size(), size_t(1));
        const ShownMessage& m = m_app->fakes.messages->shown.front();
        QCOMPARE(m.title, QStringLiteral("Shatter"));
        QVERIFY2(m.text.contains(QLatin1String("snapshot could not be taken")), qPrintable(m.text));
        QVERIFY2(m.text.contains(m_app->fakes.capture->error), qPrintable(m.text));
        QCOMPARE(canvas.image().size(), screenSize());
        QCOMPARE(changedBounds(canvas.image().image(), filled(screenSize(), qRgb(0, 0, 0))),
                 QRect());
        QCOMPARE(canvas.splinterHolderCount(), 21);  // the rest of the start-up still runs
    }

    void reloadTakesAFreshSnapshotAndKeepsTheTool() {
        Formula_Start* canvas = &forms().get<Formula_Start>();
        select(*canvas, 5);
        canvas->Form_MouseDown(1, 0, 500, 400);
        Formula::PenSize = 60, Formula::BoxSize = 30;
        canvas->setDrawWidth(4);
        canvas->close();  // the window manager closes it
        flushDeletes();
        QVERIFY(!forms().isLoaded(FormId::Formula_Start));
        m_app->fakes.capture->next = filled(screenSize(), qRgb(0, 0, 255));
        canvas = &forms().get<Formula_Start>();
        QCOMPARE(m_app->fakes.capture->grabs, 2);
        QCOMPARE(canvas->image().image().pixel(500, 400), qRgb(0, 0, 255));  // no old damage
        QCOMPARE(Formula::PenSize, int16_t(20));
        QCOMPARE(Formula::BoxSize, int16_t(20));
        QCOMPARE(canvas->image().drawWidth(), 1);
        QCOMPARE(Formula::Prop5On, int16_t(-1));
        QCOMPARE(QPoint(Formula::CannonX, Formula::CannonY), QPoint(-35, -95));
    }

    void eventsThatDoNothing_data() {
        QTest::addColumn<int>("tool");
        QTest::addColumn<QStringList>("events");
        QTest::newRow("no tool selected") << 0 << QStringList{"d1", "m1", "u1"};
        for (int n = 1; n <= 7; ++n) {
            QTest::addRow("tool %d, middle button", n) << n << QStringList{"d4", "m4", "u4"};
            QTest::addRow("tool %d, left and right held", n) << n << QStringList{"m3"};
            QTest::addRow("tool %d, right held", n) << n << QStringList{"m2"};
            QTest::addRow("tool %d, moving without a button", n) << n << QStringList{"m0"};
            QTest::addRow("tool %d, right released", n) << n << QStringList{"u2"};
        }
        QTest::newRow("hammer released") << 2 << QStringList{"u1"};
        QTest::newRow("giant cannon released") << 6 << QStringList{"u1", "m1"};
        QTest::newRow("stamp released") << 7 << QStringList{"u1", "m1"};
    }
    void eventsThatDoNothing() {
        QFETCH(int, tool);
        QFETCH(QStringList, events);
        Formula_Start& canvas = forms().get<Formula_Start>();
        select(canvas, tool);
        const QImage before = canvas.image().image().copy();
        play(canvas, events, QPointF(400, 300));
        QCOMPARE(changedBounds(before, canvas.image().image()), QRect());
        QCOMPARE(soundLog(*m_app->fakes.sound), QStringList());
        QVERIFY(!forms().isLoaded(FormId::FrmOption));
        QVERIFY(!canvas.splinters()->running());
        QVERIFY(m_app->fakes.clock->sleeps.empty());
    }

    void rightPressShowsThePaletteOnly_data() {
        QTest::addColumn<int>("tool");
        for (int n = 0; n <= 7; ++n) QTest::addRow("tool %d", n) << n;
    }
    void rightPressShowsThePaletteOnly() {
        QFETCH(int, tool);
        Formula_Start& canvas = forms().get<Formula_Start>();
        select(canvas, tool);
        const QImage before = canvas.image().image().copy();
        canvas.Form_MouseDown(2, 0, 400, 300);
        QCOMPARE(changedBounds(before, canvas.image().image()), QRect());
        QCOMPARE(soundLog(*m_app->fakes.sound), QStringList());
        QVERIFY(forms().isLoaded(FormId::FrmOption));
        QVERIFY(forms().ifLoaded(FormId::FrmOption)->isVisible());
    }

    void soundsOverAWholeStroke_data() {
        QTest::addColumn<int>("tool");
        QTest::addColumn<QStringList>("press");
        QTest::addColumn<QStringList>("release");
        QTest::newRow("chainsaw") << 1 << QStringList{"Prop1_2.wav/9"}
                                  << QStringList{"Prop1_1.wav/9"};
        QTest::newRow("hammer") << 2 << QStringList{"Glass.wav/1"} << QStringList{};
        QTest::newRow("circle") << 3 << QStringList{"Circle.wav/9"} << QStringList{"No.wav/1"};
        QTest::newRow("square") << 4 << QStringList{"Restenger.wav/9"} << QStringList{"No.wav/1"};
        QTest::newRow("three-headed cannon")
            << 5 << QStringList{"Gun.wav/9", "Gun.wav/9", "Gun.wav/9"} << QStringList{"No.wav/1"};
        QTest::newRow("giant cannon") << 6 << QStringList{"Bomb.wav/1"} << QStringList{};
        QTest::newRow("stamp") << 7 << QStringList{"To.wav/1"} << QStringList{};
    }
    void soundsOverAWholeStroke() {
        QFETCH(int, tool);
        QFETCH(QStringList, press);
        QFETCH(QStringList, release);
        Formula_Start& canvas = forms().get<Formula_Start>();
        select(canvas, tool);
        FakeSound& sound = *m_app->fakes.sound;
        canvas.Form_MouseDown(1, 0, 400, 300);
        QCOMPARE(soundLog(sound), press);
        const size_t pressed = sound.calls.size();
        for (int i = 0; i < 5; ++i) canvas.Form_MouseMove(1, 0, 400 + 7 * i, 300 + 3 * i);
        QCOMPARE(soundLog(sound, pressed), QStringList());  // the press's sound keeps going
        canvas.Form_MouseUp(1, 0, 430, 312);
        QCOMPARE(soundLog(sound, pressed), release);
    }

    // A press during a burst carries out the tool selected when it arrives, once, and the
    // burst never carries out anything when it ends.
    void pressDuringABurstRunsOnlyTheNewTool() {
        Formula_Start& canvas = forms().get<Formula_Start>();
        for (int i = 1; i <= 3; ++i)
            canvas.picture(QStringLiteral("PicGlass"), i)
                ->setPicture(filled({178, 155}, qRgb(90, 90, 90)));
        m_app->fakes.random->fallback = 0.0;  // crack 1, slow splinters
        select(canvas, 2);
        const QImage snapshot = canvas.image().image().copy();
        canvas.Form_MouseDown(1, 0, 400, 300);
        canvas.Form_MouseUp(1, 0, 400, 300);
        QVERIFY(canvas.splinters()->running());
        QCOMPARE(changedBounds(snapshot, canvas.image().image()), QRect(295, 240, 178, 155));

        select(canvas, 3);
        const QImage cracked = canvas.image().image().copy();
        canvas.Form_MouseDown(1, 0, 650, 480);
        canvas.Form_MouseUp(1, 0, 650, 480);
        QCOMPARE(changedBounds(cracked, canvas.image().image()), QRect(630, 460, 41, 41));
        QCOMPARE(soundLog(*m_app->fakes.sound),
                 (QStringList{"Glass.wav/1", "Circle.wav/9", "No.wav/1"}));

        const QImage afterCircle = canvas.image().image().copy();
        int steps = 0;
        while (canvas.splinters()->running() && steps < 1000) canvas.splinters()->step(), ++steps;
        QVERIFY(!canvas.splinters()->running());
        QVERIFY(!canvas.splinters()->timer().isActive());
        // Neither the circle at the hammer's point nor splinters ever reach the image.
        QCOMPARE(changedBounds(afterCircle, canvas.image().image()), QRect());
        QCOMPARE(soundLog(*m_app->fakes.sound).size(), 3);
    }

    void releaseDuringABurstRunsOnlyTheNewTool() {
        Formula_Start& canvas = forms().get<Formula_Start>();
        m_app->fakes.random->fallback = 0.9;
        select(canvas, 1);
        play(canvas, {"d1", "m1", "u1"}, QPointF(300, 300));
        QVERIFY(canvas.splinters()->running());
        select(canvas, 4);
        const QImage before = canvas.image().image().copy();
        canvas.Form_MouseUp(1, 0, 500, 200);  // a stray release: the square only silences
        QCOMPARE(changedBounds(before, canvas.image().image()), QRect());
        QCOMPARE(soundLog(*m_app->fakes.sound),
                 (QStringList{"Prop1_2.wav/9", "Prop1_1.wav/9", "No.wav/1"}));
        QTRY_VERIFY_WITH_TIMEOUT(!canvas.splinters()->running(), 5000);
        QCOMPARE(soundLog(*m_app->fakes.sound).size(), 3);
    }

    void exitDuringABurstEndsCleanly() {
        Formula_Start& canvas = forms().get<Formula_Start>();
        select(canvas, 2);
        canvas.Form_MouseDown(1, 0, 400, 300);
        QVERIFY(canvas.splinters()->running());
        QPointer<Formula_Start> watch(&canvas);
        forms().unload(FormId::Formula_Start);
        QVERIFY(!watch->splinters()->running());
        QCOMPARE(m_app->programEnds, 1);
        flushDeletes();
        QVERIFY(watch.isNull());
        QTest::qWait(3 * SplinterAnimation::kStepIntervalMs);  // no step may reach a dead canvas
        QCOMPARE(m_app->programEnds, 1);
    }

    void coversTheScreenAndRepaintsOnlyWhatAStrikeTouched() {
        Formula_Start& canvas = forms().get<Formula_Start>();
        canvas.showForm();
        QVERIFY(QTest::qWaitForWindowExposed(&canvas));
        QCOMPARE(canvas.geometry(), QGuiApplication::primaryScreen()->geometry());
        QVERIFY(canvas.windowFlags() & Qt::FramelessWindowHint);
        QTest::qWait(20);
        PaintRecorder recorder;
        canvas.client()->installEventFilter(&recorder);
        select(canvas, 6);
        m_app->fakes.random->fallback = 0.0;
        canvas.Form_MouseDown(1, 0, 500, 400);
        // Both repaints happened before the handler returned, each of its own rectangle.
        QCOMPARE(recorder.rects,
                 (std::vector<QRect>{QRect(420, 320, 20, 19), QRect(400, 300, 60, 60)}));
        canvas.client()->removeEventFilter(&recorder);
    }

  private:
    std::unique_ptr<AppFixture> m_app;
};

QTEST_MAIN(TestFormulaStart)
#include "tst_formula_start.moc"
