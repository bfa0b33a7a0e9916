#include "e2e/harness.h"
#include "platform/capture/portal_screenshot.h"
#include "platform/capture/x11_shm_grab.h"
#include "support/app_fixture.h"
#include "support/data_table.h"
#include "support/private_bus.h"

using namespace e2e;

// Screens that are not one monitor at the origin, and a screen that changes under the open
// canvas.

class E2eScreens : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("SHATTER_SCREENS"))
            QSKIP("needs its own displays; run through scripts/test-screens.sh");
    }
    void cleanup() {
        m_stage.end();
        for (const char* name : {"L", "R", "P", "N"}) run("xrandr", {"--delmonitor", name});
    }

    // The canvas covers the primary monitor with that monitor's pixels, a strike lands under
    // the pointer and the exit ends the program (Xvfb of 3200x1200).
    void monitorLayouts_data() {
        const DataTable<QStringList, QRect> row({"monitors", "primary"});
        const QString left = "1920/508x1080/286+0+0", right = "1280/338x1024/270+1920+0";
        row("primary on the right", {"L", left, "screen", "*R", right, "none"},
            {1920, 0, 1280, 1024});
        row("primary at the origin", {"*L", left, "screen", "R", right, "none"},
            {0, 0, 1920, 1080});
        row("a monitor at a negative position",
            {"*P", "1280/338x1024/270+0+0", "screen", "N", "1920/508x1080/286+-1920+0", "none"},
            {0, 0, 1280, 1024});
    }
    void monitorLayouts() {
        const auto [monitors, primary] = DataTable<QStringList, QRect>::fetch();
        for (int i = 0; i < monitors.size(); i += 3)
            run("xrandr", {"--setmonitor", monitors[i], monitors[i + 1], monitors[i + 2]});
        // The test's own Qt sees the same monitors: the canvas is its primary screen's size.
        QVERIFY(m_stage.showPattern(primary));
        enterStrikeAndExit(m_stage, m_stage.pattern, false, primary);
    }

    // xrandr -s while the canvas is open (Xephyr nested in the Xvfb offers the modes): the
    // canvas covers the new screen, keeps its damage, shows the desktop where it grew, and
    // strikes land up to the new corner.
    void screenChangesSize_data() {
        const DataTable<QSize, QSize> row({"from", "to"});
        row("grows", {1024, 768}, {1600, 1200});
        row("shrinks", {1600, 1200}, {1024, 768});
    }
    void screenChangesSize() {
        const auto [from, to] = DataTable<QSize, QSize>::fetch();
        const auto mode = [](QSize s) { return QString("%1x%2").arg(s.width()).arg(s.height()); };
        run("xrandr", {"-s", mode(from)});
        QVERIFY(m_stage.showPattern(QRect({}, from.expandedTo(to))));
        const auto palette = m_stage.enterCanvas(false);
        QVERIFY(palette);
        // Clear of the palette, and off a smaller screen.
        const auto struck = strike(*palette, 2, QPoint(from.width() / 6, from.height() * 3 / 4));
        run("xrandr", {"-s", mode(to)});
        QVERIFY(m_stage.waitFor([&](const XWindow& w) { return w.geometry == QRect({}, to); }));
        // This process met the root at its former size: it is read at its size of now.
        QVERIFY(!grabX11RootThroughSharedMemory(QRect({}, to)).isNull());
        const auto moved = m_stage.waitFor(sized(kPaletteSize));
        QVERIFY(moved && QRect({}, to).contains(moved->geometry));
        const auto shot = waitForStillScreen();
        QVERIFY(struck && shot && shot->size() == to);
        // The palette stays where it was in both rows, so its area is left out on both sides.
        QImage expected = m_stage.pattern.copy(QRect({}, to));
        QPainter(&expected).drawImage(0, 0, *struck);
        QCOMPARE(changes(*shot, expected, moved->geometry).box, QRect());
        const QPoint corner(60, to.height() - 60);  // new, and clear of the palette
        const auto after = strike(*moved, 2, corner);
        QVERIFY(after && crackedOnlyThere(*shot, *after, corner, moved->geometry));
    }

    // The primary monitor goes while the desktop portal takes its time: the picture is cut to
    // the primary as it is once the portal answers, the one left.
    void screenGoesDuringCapture() {
        run("xrandr", {"--setmonitor", "*L", "1920/508x1080/286+0+0", "screen"});
        run("xrandr", {"--setmonitor", "R", "1280/338x1024/270+1920+0", "none"});
        QTRY_COMPARE(QGuiApplication::screens().size(), 2);
        PrivateBus bus;
        StubPortal portal;
        QDBusConnection service = bus.connect("service");
        QVERIFY(portal.serveOn(service));
        // The portal's picture is of the whole root, which the X server keeps.
        const QImage desktop = SamplePictures::pattern(3200, 1200);
        const QString file = QDir::temp().filePath("shatter-screen-gone.png");
        QVERIFY(desktop.save(file));
        portal.answers = {{0, {{"uri", QUrl::fromLocalFile(file).toString()}}}};
        portal.delayMs = 1500;
        QTimer::singleShot(200, [] { run("xrandr", {"--delmonitor", "L"}); });
        const CaptureResult r = PortalScreenshot(bus.connect("client")).grabPrimaryScreen();
        QFile::remove(file);
        const QRect right(1920, 0, 1280, 1024);
        QCOMPARE(QGuiApplication::primaryScreen()->geometry(), right);
        QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
        QCOMPARE(r.image, desktop.copy(right));
    }

    // The primary monitor grows while the capture waits for the desktop: the canvas takes
    // the screen as it is once the picture came, and the picture.
    void screenGrowsDuringCapture() {
        run("xrandr", {"--setmonitor", "*P", "1280/338x1024/270+0+0", "screen"});
        QTRY_COMPARE(QGuiApplication::primaryScreen()->size(), QSize(1280, 1024));
        AppFixture app;
        const QSize grown(1600, 1200);
        app.fakes.capture->next = SamplePictures::pattern(grown.width(), grown.height());
        app.fakes.capture->during = [&] {
            run("xrandr", {"--delmonitor", "P"});
            run("xrandr", {"--setmonitor", "*N", "1600/423x1200/317+0+0", "screen"});
            QTRY_COMPARE(QGuiApplication::primaryScreen()->size(), grown);
        };
        Formula_Start& canvas = forms().get<Formula_Start>();
        QCoreApplication::processEvents();  // whatever followed the change has run
        QCOMPARE(canvas.client()->size(), grown);
        QCOMPARE(canvas.image().image(), app.fakes.capture->next);
    }

  private:
    Stage m_stage;
};

SHATTER_E2E_MAIN(E2eScreens)
#include "e2e_screens.moc"
