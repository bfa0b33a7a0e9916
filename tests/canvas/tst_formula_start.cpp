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

// What selecting tool n leaves behind (0: nothing selected).
void select(Formula_Start& canvas, int n) {
    for (int k = 1; k <= Formula::kToolCount; ++k) Formula::PropOn(k) = k == n ? -1 : 0;
    canvas.setDrawWidth(n == 5 ? 11 : 1);
    Formula::CannonX = -80, Formula::CannonY = -50;
}

QStringList sounds(const FakeSound& sound) {
    QStringList out;
    for (const SoundCall& c : sound.calls) out << QStringLiteral("%1/%2").arg(c.file).arg(c.flags);
    return out;
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
        QTest::newRow("rounded, then truncated") << 15374.6 << 15.0 << 1025;
        QTest::newRow("per pixel rounds half to even") << 12000.0 << 14.5 << 857;
        QTest::newRow("no whole twip per pixel") << 12000.0 << 0.4 << 0;
    }
    void screenPixelsFromTwips() {
        QFETCH(double, twips);
        QFETCH(double, perPixel);
        QFETCH(int, pixels);
        QCOMPARE(Formula::ScreenPixels(twips, perPixel), pixels);
    }

    void loadReadsEachPictureIntoItsHolder_data() {
        QTest::addColumn<QString>("holder");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("file");
        QTest::newRow("splinter") << "PicSplinter" << 0 << "Splinter.bmp";
        for (int i = 1; i <= 3; ++i)
            QTest::addRow("glass %d", i) << "PicGlass" << i << DataFiles::glass(i);
        for (int i = 1; i <= 2; ++i)
            QTest::addRow("shot %d", i) << "PicBomb" << i << DataFiles::bomb1(i);
        for (int i = 1; i <= 2; ++i)
            QTest::addRow("muzzle %d", i) << "PicBomb2" << i << DataFiles::bomb2(i);
        for (int i = 1; i <= 3; ++i)
            QTest::addRow("crater %d", i) << "PicBomb3" << i << DataFiles::bomb2(i + 2);
        QTest::newRow("stamp") << "PicTo" << -1 << "Tittle.jpg";
    }
    void loadReadsEachPictureIntoItsHolder() {
        QFETCH(QString, holder);
        QFETCH(int, index);
        QFETCH(QString, file);
        Formula_Start& canvas = forms().get<Formula_Start>();
        PictureBox* box = canvas.picture(holder, index);
        QVERIFY(box && !box->isVisibleTo(&canvas));
        QCOMPARE(box->picture(), loadFixedPicture(file));
    }

    void loadPreparesTheCanvas() {
        QCOMPARE(Formula_Start().splinterHolderCount(), 1);  // the layout has holder 0 only
        m_app->fakes.capture->next = filled(QSize(300, 200), qRgb(10, 20, 30));
        Formula::PenSize = 50, Formula::BoxSize = 30;
        Formula_Start& canvas = forms().get<Formula_Start>();
        QCOMPARE(m_app->fakes.capture->grabs, 1);
        QVERIFY(m_app->fakes.messages->shown.empty());
        QCOMPARE(canvas.image().size(), screenSize());
        QCOMPARE(canvas.client()->size(), screenSize());
        // The snapshot at (0, 0), the background colour beyond it.
        QCOMPARE(canvas.image().image().pixel(299, 199), qRgb(10, 20, 30));
        QCOMPARE(canvas.image().image().pixel(300, 199), qRgb(0, 0, 0));
        QCOMPARE(canvas.splinterHolderCount(), 21);
        for (int i = 0; i < 21; ++i) QVERIFY(!canvas.splinters()->holderVisible(i));
        QVERIFY(!canvas.splinters()->running());
        QCOMPARE(QPoint(Formula::PenSize, Formula::BoxSize), QPoint(20, 20));
    }

    void captureFailureTellsWhyAndStartsBlank() {
        m_app->fakes.capture->next = QImage();
        m_app->fakes.capture->error =
            QStringLiteral("this session does not let programs read the screen");
        Formula_Start& canvas = forms().get<Formula_Start>();
        QCOMPARE(m_app->fakes.messages->shown.size(), size_t(1));
        const ShownMessage& m = m_app->fakes.messages->shown.front();
        QCOMPARE(m.title, QStringLiteral("Shatter"));
        QVERIFY2(m.text.contains("snapshot could not be taken") &&
                     m.text.contains(m_app->fakes.capture->error),
                 qPrintable(m.text));
        QCOMPARE(changedBounds(canvas.image().image(), filled(screenSize(), qRgb(0, 0, 0))),
                 QRect());
        QCOMPARE(canvas.splinterHolderCount(), 21);  // the rest of the start-up still runs
    }

    void reloadTakesAFreshSnapshotAndKeepsTheTool() {
        Formula_Start* canvas = &forms().get<Formula_Start>();
        select(*canvas, 5);
        canvas->Form_MouseDown(1, 0, 500, 400);
        Formula::PenSize = 60;
        canvas->close();  // by the window manager
        flushDeletes();
        m_app->fakes.capture->next = filled(screenSize(), qRgb(0, 0, 255));
        canvas = &forms().get<Formula_Start>();
        QCOMPARE(canvas->image().image().pixel(420, 350), qRgb(0, 0, 255));  // no old damage
        QCOMPARE(Formula::PenSize, int16_t(20));
        QCOMPARE(canvas->image().drawWidth(), 1);
        QCOMPARE(Formula::Prop5On, int16_t(-1));
        QCOMPARE(QPoint(Formula::CannonX, Formula::CannonY), QPoint(-35, -95));
    }

    void eventsThatDrawNothing_data() {
        QTest::addColumn<int>("tool");
        QTest::addColumn<QStringList>("events");  // d/m/u with the Button value
        QTest::addColumn<bool>("palette");
        QTest::newRow("no tool selected") << 0 << QStringList{"d1", "m1", "u1"} << false;
        for (int n : {1, 3, 5})
            QTest::addRow("tool %d, left and right held", n) << n << QStringList{"m3"} << false;
        for (int n : {2, 4, 6, 7})
            QTest::addRow("tool %d, middle", n) << n << QStringList{"d4", "m4", "u4"} << false;
        QTest::newRow("circle, right held or released") << 3 << QStringList{"m2", "u2"} << false;
        QTest::newRow("hammer released") << 2 << QStringList{"u1"} << false;
        for (int n : {0, 1, 7})
            QTest::addRow("tool %d, right press", n) << n << QStringList{"d2"} << true;
    }
    void eventsThatDrawNothing() {
        QFETCH(int, tool);
        QFETCH(QStringList, events);
        QFETCH(bool, palette);
        Formula_Start& canvas = forms().get<Formula_Start>();
        select(canvas, tool);
        const QImage before = canvas.image().image().copy();
        for (const QString& e : events) {
            const int button = e.mid(1).toInt();
            if (e[0] == 'd') canvas.Form_MouseDown(button, 0, 400, 300);
            if (e[0] == 'm') canvas.Form_MouseMove(button, 0, 400, 300);
            if (e[0] == 'u') canvas.Form_MouseUp(button, 0, 400, 300);
        }
        QCOMPARE(changedBounds(before, canvas.image().image()), QRect());
        QCOMPARE(sounds(*m_app->fakes.sound), QStringList());
        QVERIFY(!canvas.splinters()->running());
        QCOMPARE(forms().isLoaded(FormId::FrmOption), palette);
        if (palette) QVERIFY(forms().ifLoaded(FormId::FrmOption)->isVisible());
    }

    void soundsOverAWholeStroke_data() {
        QTest::addColumn<int>("tool");
        QTest::addColumn<QStringList>("expected");  // press, moves, release
        QTest::newRow("chainsaw") << 1 << QStringList{"Prop1_2.wav/9", "Prop1_1.wav/9"};
        QTest::newRow("hammer") << 2 << QStringList{"Glass.wav/1"};
        QTest::newRow("circle") << 3 << QStringList{"Circle.wav/9", "No.wav/1"};
        QTest::newRow("square") << 4 << QStringList{"Restenger.wav/9", "No.wav/1"};
        QTest::newRow("three-headed cannon")
            << 5 << QStringList{"Gun.wav/9", "Gun.wav/9", "Gun.wav/9", "No.wav/1"};
        QTest::newRow("giant cannon") << 6 << QStringList{"Bomb.wav/1"};
        QTest::newRow("stamp") << 7 << QStringList{"To.wav/1"};
    }
    void soundsOverAWholeStroke() {
        QFETCH(int, tool);
        QFETCH(QStringList, expected);
        Formula_Start& canvas = forms().get<Formula_Start>();
        select(canvas, tool);
        canvas.Form_MouseDown(1, 0, 400, 300);
        for (int i = 1; i <= 5; ++i) canvas.Form_MouseMove(1, 0, 400 + 7 * i, 300 + 3 * i);
        canvas.Form_MouseUp(1, 0, 435, 315);
        QCOMPARE(sounds(*m_app->fakes.sound), expected);
    }

    // A press while splinters fly carries out the tool selected when it arrives, once; the
    // burst's end carries out nothing and leaves no timer running.
    void pressDuringABurstRunsOnlyTheNewTool() {
        Formula_Start& canvas = forms().get<Formula_Start>();
        for (int i = 1; i <= 3; ++i)
            canvas.picture("PicGlass", i)->setPicture(filled({178, 155}, qRgb(90, 90, 90)));
        select(canvas, 2);
        const QImage snapshot = canvas.image().image().copy();
        canvas.Form_MouseDown(1, 0, 400, 300);
        canvas.Form_MouseUp(1, 0, 400, 300);
        QVERIFY(canvas.splinters()->running());
        QCOMPARE(changedBounds(snapshot, canvas.image().image()), QRect(295, 240, 178, 155));

        select(canvas, 3);
        Formula::PenSize = 20;
        const QImage cracked = canvas.image().image().copy();
        canvas.Form_MouseDown(1, 0, 650, 480);
        canvas.Form_MouseUp(1, 0, 650, 480);
        QCOMPARE(changedBounds(cracked, canvas.image().image()), QRect(630, 460, 41, 41));

        const QImage circled = canvas.image().image().copy();
        QTRY_VERIFY_WITH_TIMEOUT(!canvas.splinters()->running(), 5000);
        QVERIFY(!canvas.splinters()->timer().isActive());
        QCOMPARE(changedBounds(circled, canvas.image().image()), QRect());  // splinters included
        QCOMPARE(sounds(*m_app->fakes.sound),
                 (QStringList{"Glass.wav/1", "Circle.wav/9", "No.wav/1"}));
    }

    void exitDuringABurstEndsCleanly() {
        Formula_Start& canvas = forms().get<Formula_Start>();
        select(canvas, 2);
        canvas.Form_MouseDown(1, 0, 400, 300);
        QPointer<Formula_Start> watch(&canvas);
        forms().unload(FormId::Formula_Start);
        QVERIFY(!watch->splinters()->running());
        QCOMPARE(m_app->programEnds, 1);
        flushDeletes();
        QVERIFY(watch.isNull());
        QTest::qWait(3 * SplinterAnimation::kStepIntervalMs);  // no step reaches a dead canvas
    }

    void coversTheScreenAndRepaintsOnlyWhatAStrikeTouched() {
        Formula_Start& canvas = forms().get<Formula_Start>();
        canvas.showForm();
        QVERIFY(QTest::qWaitForWindowExposed(&canvas));
        QCOMPARE(canvas.geometry(), QGuiApplication::primaryScreen()->geometry());
        QTest::qWait(20);
        PaintRecorder recorder;
        canvas.client()->installEventFilter(&recorder);
        select(canvas, 6);
        for (int i = 1; i <= 3; ++i)
            canvas.picture("PicBomb3", i)->setPicture(filled({60, 60}, qRgb(90, 90, 90)));
        canvas.Form_MouseDown(1, 0, 500, 400);
        // Both were painted before the handler returned, each just its own rectangle.
        QCOMPARE(recorder.rects,
                 (std::vector<QRect>{QRect(420, 320, 20, 19), QRect(400, 300, 60, 60)}));
        canvas.client()->removeEventFilter(&recorder);
    }

  private:
    std::unique_ptr<AppFixture> m_app;
};

QTEST_MAIN(TestFormulaStart)
#include "tst_formula_start.moc"
