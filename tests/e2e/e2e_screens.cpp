#include "e2e/harness.h"

using namespace e2e;

// Screens that are not one monitor at the origin, and a screen that changes under the open
// canvas. The screen is read as the whole X root, whatever monitors Qt makes of it.
namespace {
QImage rootImage() {
    auto* c = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    const WId root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    return QGuiApplication::primaryScreen()->grabWindow(root).toImage().convertToFormat(
        QImage::Format_RGB32);
}
void xrandr(const QStringList& args) {
    run(QStringLiteral("xrandr"), args);
}
}  // namespace

class E2eScreens : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("SHATTER_SCREENS"))
            QSKIP("needs its own displays; run through scripts/test-screens.sh");
        screenshot = rootImage;
    }
    void cleanup() {
        m_stage.end();
        for (const char* name : {"L", "R", "P", "N"}) xrandr({"--delmonitor", name});
    }

    // The canvas covers the primary monitor with that monitor's pixels, and a strike lands
    // under the pointer (Xvfb of 3200x1080).
    void monitorLayouts_data() {
        QTest::addColumn<QStringList>("monitors");
        QTest::addColumn<QRect>("primary");
        const QString left = "1920/508x1080/286+0+0", right = "1280/338x1024/270+1920+0";
        QTest::newRow("primary on the right")
            << QStringList{"L", left, "screen", "*R", right, "none"} << QRect(1920, 0, 1280, 1024);
        QTest::newRow("primary at the origin")
            << QStringList{"*L", left, "screen", "R", right, "none"} << QRect(0, 0, 1920, 1080);
        QTest::newRow("a monitor at a negative position")
            << QStringList{"*P", "1280/338x1024/270+0+0",     "screen",
                           "N",  "1920/508x1080/286+-1920+0", "none"}
            << QRect(0, 0, 1280, 1024);
    }
    void monitorLayouts() {
        QFETCH(QStringList, monitors);
        QFETCH(QRect, primary);
        for (int i = 0; i < monitors.size(); i += 3)
            xrandr({"--setmonitor", monitors[i], monitors[i + 1], monitors[i + 2]});
        QVERIFY(showPattern(primary));
        const auto palette = enter();
        QVERIFY(palette);
        QVERIFY(m_stage.waitFor([&](const XWindow& w) { return w.geometry == primary; }));
        // The canvas's copy, not what lies beneath it now.
        m_stage.background->setPixmap(QPixmap());
        QTest::qWait(200);
        QImage shot = screenshot();
        QCOMPARE(changes(shot.copy(primary), m_stage.pattern.copy(primary),
                         palette->geometry.translated(-primary.topLeft()))
                     .box,
                 QRect());
        const QPoint at = primary.topLeft() + QPoint(primary.width() * 3 / 4, primary.height() / 2);
        const auto after = strike(*palette, 2, at);
        QVERIFY(after && crackedOnlyThere(shot, *after, at, palette->geometry));
    }

    // xrandr -s while the canvas is open (Xephyr nested in the Xvfb offers the modes): the
    // canvas covers the new screen, keeps its damage, shows the desktop where it grew, and
    // strikes land up to the new corner.
    void screenChangesSize_data() {
        QTest::addColumn<QSize>("from");
        QTest::addColumn<QSize>("to");
        QTest::newRow("grows") << QSize(1024, 768) << QSize(1600, 1200);
        QTest::newRow("shrinks") << QSize(1600, 1200) << QSize(1024, 768);
    }
    void screenChangesSize() {
        QFETCH(QSize, from);
        QFETCH(QSize, to);
        const auto mode = [](QSize s) { return QString("%1x%2").arg(s.width()).arg(s.height()); };
        xrandr({"-s", mode(from)});
        QVERIFY(waitUntil([&] { return rootImage().size() == from; }));
        QVERIFY(showPattern(QRect({}, from.expandedTo(to))));
        const auto palette = enter();
        QVERIFY(palette);
        const QPoint first(from.width() / 6, from.height() * 3 / 4);  // clear of the palette
        const auto struck = strike(*palette, 2, first);
        xrandr({"-s", mode(to)});
        QVERIFY(m_stage.waitFor([&](const XWindow& w) { return w.geometry == QRect({}, to); }));
        const auto moved = m_stage.waitFor(sized(kPaletteSize));
        QVERIFY(moved && QRect({}, to).contains(moved->geometry));
        const auto shot = waitForStillScreen();
        QVERIFY(struck && shot && shot->size() == to);
        QImage expected = m_stage.pattern.copy(QRect({}, to));
        for (int y = 0; y < qMin(from.height(), to.height()); ++y)
            for (int x = 0; x < qMin(from.width(), to.width()); ++x)
                if (!palette->geometry.contains(x, y)) expected.setPixel(x, y, struck->pixel(x, y));
        QCOMPARE(changes(*shot, expected, moved->geometry).box, QRect());
        const QPoint corner(60, to.height() - 60);  // new, and clear of the palette
        const auto after = strike(*moved, 2, corner);
        QVERIFY(after && crackedOnlyThere(*shot, *after, corner, moved->geometry));
    }

  private:
    // The test pattern of the whole root as the desktop, shown over area (a window manager
    // keeps a window to the monitors).
    bool showPattern(const QRect& area) {
        m_stage.begin(false);
        m_stage.pattern = testPattern(rootImage().size().expandedTo(area.size()));
        m_stage.background = std::make_unique<QLabel>();
        m_stage.background->setWindowFlags(Qt::Window | Qt::FramelessWindowHint |
                                           Qt::WindowStaysOnBottomHint |
                                           Qt::WindowDoesNotAcceptFocus);
        m_stage.background->setPixmap(QPixmap::fromImage(m_stage.pattern.copy(area)));
        m_stage.background->setGeometry(area);
        m_stage.background->show();
        const QRect watched = area.intersected(rootImage().rect());
        return waitUntil([&] {
            return changes(screenshot().copy(watched), m_stage.pattern.copy(watched)).count == 0;
        });
    }
    std::optional<XWindow> enter() {
        const auto title = m_stage.startTitle();
        if (!title) return std::nullopt;
        click(controlCentre(*title, FormId::FrmMain, "Come"));
        const auto palette = m_stage.waitFor(sized(kPaletteSize));
        if (!palette || !m_stage.waitGone(sized(kTitleSize)) || !waitForStillScreen(20000, 300))
            return std::nullopt;
        return palette;
    }
    Stage m_stage;
};

SHATTER_E2E_MAIN(E2eScreens)
#include "e2e_screens.moc"
