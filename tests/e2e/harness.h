#pragma once

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <QtTest>
#include <QtWidgets>
#include <functional>

#include "layouts/layouts.h"
#include "support/sample_pictures.h"

// End-to-end scenarios: the real program on a real display, driven through the X server and
// watched through screenshots taken by the test process itself.
namespace e2e {

using SamplePictures::Changes;
using SamplePictures::changes;

constexpr QSize kTitleSize(309, 150);
constexpr QSize kPaletteSize(360, 262);
// The program's device pixel ratio in the scenario at hand; the test itself runs unscaled.
inline double scale = 1;

inline double nowMs() {
    return QDeadlineTimer::current(Qt::PreciseTimer).deadlineNSecs() / 1e6;
}

// Polls until done() holds; false when the time ran out first.
inline bool waitUntil(const std::function<bool()>& done, int timeoutMs = 10000, int stepMs = 50) {
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QTest::qWait(stepMs);
    }
    return true;
}

// Runs a helper program to the end; its standard output.
inline QByteArray run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(10000)) p.kill(), p.waitForFinished(1000);
    return p.readAllStandardOutput();
}
inline QString xdo(const QStringList& args) {
    return QString::fromLocal8Bit(run(QStringLiteral("xdotool"), args)).trimmed();
}

// A top-level window of the program under test, in root coordinates (frame included).
struct XWindow {
    QString id;
    QRect geometry;
};
using Match = std::function<bool(const XWindow&)>;
// A window of that size times s; at a fractional factor it may round either way.
inline Match sized(QSizeF size, double s = scale) {
    const double slack = s == std::floor(s) ? 0 : 1;
    return [size = size * s, slack](const XWindow& w) {
        return qAbs(w.geometry.width() - size.width()) <= slack &&
               qAbs(w.geometry.height() - size.height()) <= slack;
    };
}
inline Match withId(const QString& id) {
    return [id](const XWindow& w) { return w.id == id; };
}
inline Match titled(const QString& title, const QString& excludedId = {}) {
    return [=](const XWindow& w) {
        return w.id != excludedId && xdo({"getwindowname", w.id}) == title;
    };
}

// A point of a window's client area, in logical pixels, on the screen: inside the 3-pixel
// frame.
inline QPoint clientToScreen(const XWindow& w, QPointF inClient) {
    return w.geometry.topLeft() + ((inClient + QPointF(3, 3)) * scale).toPoint();
}
inline QPoint controlCentre(const XWindow& w, FormId form, const char* name) {
    const ControlLayout* c = findControl(layoutOf(form), QLatin1String(name));
    if (!c) qFatal("no control %s in the layout", name);
    return clientToScreen(w, QPointF(twipsToPixels(c->left) + twipsToPixels(c->width) / 2.0,
                                     twipsToPixels(c->top) + twipsToPixels(c->height) / 2.0));
}

// The test's own connection: SHATTER_E2E_MAIN runs it on X.
inline xcb_connection_t* xConnection() {
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}
inline xcb_window_t rootWindow() {
    return xcb_setup_roots_iterator(xcb_get_setup(xConnection())).data->root;
}
// The pointer, sent from here through the X server's test extension: no helper's start-up
// blurs the moment. Returns once the server has passed the event on; the program gets its
// events in that order, so what waits for its reaction waits for what it shows.
inline double fakeInput(uint8_t type, uint8_t detail, QPoint to = {}) {
    xcb_connection_t* c = xConnection();
    xcb_test_fake_input(c, type, detail, XCB_CURRENT_TIME, XCB_NONE, qint16(to.x()), qint16(to.y()),
                        0);
    // The reply to a later request means the server has handled the event.
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    return nowMs();
}
// Returns once the pointer is there: while the window manager holds a click for itself, the
// server queues what follows, and a press sent meanwhile may land anywhere.
inline void xMoveTo(QPoint p) {
    fakeInput(XCB_MOTION_NOTIFY, 0, p);
    const auto at = [&] {
        xcb_connection_t* c = xConnection();
        auto* r = xcb_query_pointer_reply(c, xcb_query_pointer(c, rootWindow()), nullptr);
        const bool there = r && QPoint(r->root_x, r->root_y) == p;
        return free(r), there;
    };
    if (!waitUntil(at, 3000, 10)) qWarning("the pointer did not reach %d,%d", p.x(), p.y());
}
// How input reaches the program: through the X server unless a scenario says otherwise (a
// compositor's own input service). moveTo returns once the pointer is there; button takes 1
// for left, 3 for right, and returns the moment the press or release was passed on; keys
// sends key names as xdotool spells them ("ctrl+shift+z"), or types text with how "type".
inline std::function<void(QPoint)> moveTo = xMoveTo;
inline std::function<double(bool down, int which)> pressButton = [](bool down, int which) {
    return fakeInput(down ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE, uint8_t(which));
};
inline std::function<void(const QString& keySyms, const char* how)> sendKeys =
    [](const QString& keySyms, const char* how) { xdo({how, "--delay", "20", keySyms}); };

inline double button(bool down, int which = 1) { return pressButton(down, which); }
inline double click(QPoint p, int which = 1) {
    moveTo(p);
    const double at = button(true, which);
    button(false, which);
    return at;
}
// Gives the window the keyboard, then sends keys or types text into its focused field.
inline bool focus(const QString& windowId) {
    // No --sync: a window that re-creates itself on activation would keep it waiting.
    xdo({"windowactivate", windowId});
    return waitUntil([&] { return xdo({"getactivewindow"}) == windowId; }, 3000);
}
inline void keys(const QString& keySyms, const char* how = "key") { sendKeys(keySyms, how); }

inline QSize screenSize() {
    return QGuiApplication::primaryScreen()->geometry().size();
}
// How the screen is seen and the program's windows are found and moved: through X unless a
// scenario says otherwise. The screen is the whole X root, whatever monitors Qt makes of it.
inline std::function<QImage()> screenshot = [] {
    return QGuiApplication::primaryScreen()
        ->grabWindow(rootWindow())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
};
inline std::function<void(const XWindow&, QPoint)> moveWindow = [](const XWindow& w, QPoint to) {
    xdo({"windowmove", w.id, QString::number(to.x()), QString::number(to.y())});
};
inline std::function<std::vector<XWindow>(qint64 pid, bool visibleOnly)> windowsOf =
    [](qint64 pid, bool visibleOnly) {
        std::vector<XWindow> found;
        QStringList search{"search", "--pid", QString::number(pid)};
        if (visibleOnly) search << "--onlyvisible";
        for (const QString& id : xdo(search).split('\n', Qt::SkipEmptyParts)) {
            QHash<QString, int> value;
            for (const QString& line : xdo({"getwindowgeometry", "--shell", id}).split('\n'))
                value[line.section('=', 0, 0)] = line.section('=', 1).toInt();
            found.push_back({id, QRect(value["X"], value["Y"], value["WIDTH"], value["HEIGHT"])});
        }
        return found;
    };

// The screen once it stayed the same for quietMs (the splinters have gone); nothing when it
// still moves at the deadline.
inline std::optional<QImage> waitForStillScreen(int timeoutMs = 15000, int quietMs = 400) {
    QImage last = screenshot();
    QDeadlineTimer quiet(quietMs);
    const bool still = waitUntil(
        [&] {
            if (QImage now = screenshot(); now != last) last = now, quiet.setRemainingTime(quietMs);
            return quiet.hasExpired();
        },
        timeoutMs);
    return still ? std::optional(last) : std::nullopt;
}

inline double selectTool(const XWindow& palette, int tool) {
    const QByteArray name = QStringLiteral("Prop%1_1").arg(tool).toLatin1();
    const double at = click(controlCentre(palette, FormId::FrmOption, name.constData()));
    moveTo(QPoint(2, 2));
    return at;
}
// Strikes with the tool at the point; the screen once the strike showed, however late a busy
// program is, and its splinters have gone.
inline std::optional<QImage> strike(const XWindow& palette, int tool, QPoint at,
                                    int showsWithinMs = 20000) {
    selectTool(palette, tool);
    const QImage before = screenshot();
    click(at);
    moveTo(QPoint(2, 2));
    if (!waitUntil([&] { return changes(screenshot(), before, palette.geometry).count > 0; },
                   showsWithinMs))
        return std::nullopt;
    // A still screen for 1.5 s means no splinter is left: a visible one moves every step, and
    // one thrown high may stay above the screen for about a second.
    return waitForStillScreen(20000, 1500);
}

// A hammer's crack at the point: one of three pictures, each with its own point of impact,
// copied with AND, so that it only clears bits. At a fractional scale its edge may round out.
inline bool crackedOnlyThere(const QImage& before, const QImage& after, QPoint at,
                             const QRect& palette) {
    const Changes hit = changes(before, after, palette);
    const QPointF p = QPointF(at) / scale;
    const int slack = scale == std::floor(scale) ? 0 : 1;
    const auto holds = [&](QPointF impact) {
        const QRectF r((p - impact) * scale, QSizeF(178, 155) * scale);
        return r.toAlignedRect().adjusted(-slack, -slack, slack, slack).contains(hit.box);
    };
    if (hit.count < 200 || !(holds({105, 60}) || holds({80, 80}))) {
        qWarning("%d pixels changed in %s", hit.count, qPrintable(QDebug::toString(hit.box)));
        return false;
    }
    for (int y = hit.box.top(); y <= hit.box.bottom(); ++y)
        for (int x = hit.box.left(); x <= hit.box.right(); ++x)
            if ((after.pixel(x, y) & before.pixel(x, y)) != after.pixel(x, y)) return false;
    return true;
}

// At a fractional scale the compositor resamples the desktop's background: the desktop is then
// what the screen shows once the background is up (pixel 9,9 no longer of the colour BEFORE).
inline bool takeDesktopOnceUp(QImage& desktop, QRgb before) {
    const auto up = [&] { return (screenshot().pixel(9, 9) & 0xFFFFFF) != before; };
    const auto still = waitUntil(up) ? waitForStillScreen() : std::nullopt;
    if (still) desktop = *still;
    return bool(still);
}
// Once entered at a fractional scale: Qt 6.4 draws at the next whole factor and the compositor
// scales that down with a linear filter, so in the screenshots SHOT gives a pixel within 40
// steps of the desktop's shows the desktop, and the filtered edge of a crack only darkens it
// (the crack's place is still checked).
inline std::function<QImage()> seenThroughResampling(const std::function<QImage()>& shot,
                                                     const QImage& desktop) {
    return [shot, desktop] {
        const auto near = [](QRgb a, QRgb b) {
            return qAbs(qRed(a) - qRed(b)) <= 40 && qAbs(qGreen(a) - qGreen(b)) <= 40 &&
                   qAbs(qBlue(a) - qBlue(b)) <= 40;
        };
        QImage s = shot();
        for (int y = 0; y < qMin(s.height(), desktop.height()); ++y)
            for (int x = 0; x < qMin(s.width(), desktop.width()); ++x)
                s.setPixel(x, y, near(s.pixel(x, y), desktop.pixel(x, y))
                                     ? desktop.pixel(x, y)
                                     : s.pixel(x, y) & desktop.pixel(x, y));
        return s;
    };
}

// A deterministic, colourful full-screen picture: pale hues (never dark in all three
// channels, so darkening always shows) under grey lines every 32 pixels, so that a shift by
// one pixel anywhere cannot pass unnoticed.
inline QImage testPattern(QSize size) {
    QImage img(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            img.setPixel(
                x, y,
                x % 32 == 16 || y % 32 == 16
                    ? 0x808080
                    : QColor::fromHsv((x + 2 * y) * 360 / size.width() % 360, 130, 255).rgb());
    return img;
}

// What a user's program gets: the desktop's scaling, and none of the tests' own settings.
inline QProcessEnvironment userEnvironment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_ENABLE_HIGHDPI_SCALING", "QT_LOGGING_RULES"}) env.remove(name);
    return env;
}

// What a scenario starts from and the program it runs: optionally the test pattern as the
// desktop, below the program's windows.
class Stage {
  public:
    QImage pattern;
    std::unique_ptr<QLabel> background;
    XWindow palette;                                      // once enterCanvas() succeeded
    QProcessEnvironment environment = userEnvironment();  // the program's
    QStringList launcher;  // a command that runs the program in the same process, as setpriv
    QProcess process;

    // The test pattern, as big as the screen and area, on a window over area (a window manager
    // keeps a window to the monitors), by default the whole screen.
    bool showPattern(QRect area = {}) {
        const QRect screen({}, screenshot().size());
        if (area.isNull()) area = screen;
        pattern = testPattern(screen.size().expandedTo(area.size()));
        background = std::make_unique<QLabel>();
        // Like a desktop background: below every window of the program and never focused, or
        // the window manager would lift a focused screen-sized window above the canvas.
        background->setWindowFlags(Qt::Window | Qt::FramelessWindowHint |
                                   Qt::WindowStaysOnBottomHint | Qt::WindowDoesNotAcceptFocus);
        background->setPixmap(QPixmap::fromImage(pattern.copy(area)));
        background->setGeometry(area);
        background->show();
        // Exposed is not yet painted: wait until the screen shows the picture.
        const QRect watched = area & screen;
        return waitUntil(
            [&] { return changes(screenshot().copy(watched), pattern.copy(watched)).count == 0; });
    }
    // Keeps the screen of a failed scenario and prints what the program wrote to its error
    // output; ends the program if it still runs.
    void end() {
        if (QTest::currentTestFailed()) {
            const QString path = QCoreApplication::applicationDirPath() + "/FAILED-" +
                                 QTest::currentTestFunction() + ".png";
            qWarning("screen of the failure: %s; the program's error output:\n%s", qPrintable(path),
                     process.readAllStandardError().constData());
            screenshot().save(path);
        }
        if (process.state() != QProcess::NotRunning) process.kill(), process.waitForFinished();
        background.reset();
        environment = userEnvironment();
        scale = 1;
    }

    std::optional<XWindow> startTitle() {
        moveTo(QPoint(2, 2));
        process.setProcessEnvironment(environment);
        // SHATTER_E2E_PROGRAM: another way to start the same program, such as an installed one.
        const QString program = qEnvironmentVariable("SHATTER_E2E_PROGRAM", SHATTER_BINARY);
        if (launcher.isEmpty()) process.start(program, {});
        else process.start(launcher[0], launcher.mid(1) << program);
        const auto title = process.waitForStarted() ? waitFor(sized(kTitleSize)) : std::nullopt;
        return title && painted(*title) ? title : std::nullopt;
    }
    // Whether the window's client area shows more than one colour before the timeout: it has
    // been painted.
    static bool painted(const XWindow& w) {
        const int frame = qRound(3 * scale);
        return waitUntil([&] {
            const QImage shot =
                screenshot().copy(w.geometry.adjusted(frame, frame, -frame, -frame));
            QImage plain = shot.copy();
            plain.fill(shot.pixel(0, 0));
            return changes(shot, plain).count > 0;
        });
    }
    // Enters through the title window, on X first moved aside so that the canvas's copy of the
    // screen shows where it was; the palette, once it and the full-screen canvas are shown.
    // The canvas covers CANVAS where given, else a whole screen.
    std::optional<XWindow> enterCanvas(bool moveTitle = true, QRect canvas = {}) {
        auto title = startTitle();
        if (title && moveTitle) {
            moveWindow(*title, QPoint(40, 40));
            title =
                waitFor([](const XWindow& w) { return w.geometry.topLeft() == QPoint(40, 40); });
        }
        if (!title || !pointedAt(*title, FormId::FrmMain, "Come")) return std::nullopt;
        click(controlCentre(*title, FormId::FrmMain, "Come"));
        const auto found = waitFor(sized(kPaletteSize));
        const Match covers = canvas.isNull()
                                 ? sized(screenSize(), 1)
                                 : Match([&](const XWindow& w) { return w.geometry == canvas; });
        if (!found || !waitFor(covers) || !waitForStillScreen(20000, 300)) return std::nullopt;
        return palette = *found;
    }
    // Puts the pointer on a command and waits until the program lights it: then it takes the
    // pointer (a Wayland compositor hands it over some time after the window shows).
    static bool pointedAt(const XWindow& w, FormId form, const char* command) {
        const QPoint at = controlCentre(w, form, command);
        int n = 0;
        return waitUntil([&] {
            moveTo(at + QPoint(n++ % 2, 0));  // a motion that came too early is not seen again
            const QImage label = screenshot().copy(QRect(at - QPoint(15, 6), QSize(30, 12)));
            for (int i = 0; i < label.width() * label.height(); ++i)
                if (const QColor c = label.pixel(i % label.width(), i / label.width());
                    qAbs(c.hsvHue() - 240) < 15 && c.hsvSaturation() > 200 && c.value() > 200)
                    return true;  // the title's blue
            return false;
        });
    }
    // Clicks the control that ends the program; whether it ended well.
    bool exitBy(const XWindow& window, FormId form, const char* control) {
        click(controlCentre(window, form, control));
        return waitForExit() == 0;
    }

    std::vector<XWindow> windows(bool visibleOnly = true) const {
        if (process.state() == QProcess::NotRunning) return {};
        return windowsOf(process.processId(), visibleOnly);
    }
    std::optional<XWindow> waitFor(const Match& match, int timeoutMs = 10000,
                                   bool visibleOnly = true) const {
        std::optional<XWindow> found;
        const auto seen = [&](const XWindow& w) { return match(w) && (found = w); };
        waitUntil([&] { return std::ranges::any_of(windows(visibleOnly), seen); }, timeoutMs);
        return found;
    }
    bool waitGone(const Match& match, int timeoutMs = 10000) const {
        return waitUntil([&] { return std::ranges::none_of(windows(), match); }, timeoutMs);
    }
    // The exit code, or nothing when the program still runs after the timeout.
    std::optional<int> waitForExit(int timeoutMs = 10000) {
        if (process.state() != QProcess::NotRunning && !process.waitForFinished(timeoutMs))
            return std::nullopt;
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
};

// Once the desktop shows pattern: enter shows it outside the palette, a hammer darkens only
// its crack, and the palette's exit ends the program well. Only the primary screen, where the
// canvas goes, is looked at: the desktop may show anything on the others. With a paste command,
// after Ctrl+C on the palette the command prints the canvas's picture as a PNG, Ctrl+Z on the
// canvas alone brings the desktop back and Ctrl+Shift+Z on the palette the crack. hideDesktop,
// given, takes the pattern off the desktop right after enter: before any input the screen must
// still show it, from the canvas's own copy, not from a desktop seen through a canvas not yet
// drawn.
inline void enterStrikeAndExit(Stage& stage, const QImage& pattern, bool moveTitle,
                               QRect primary = {}, const QStringList& paste = {},
                               const std::function<void()>& hideDesktop = {}) {
    const QRect seen = primary.isNull() ? pattern.rect() : primary;
    // hideDesktop may swap the screenshots for the scenario's rest.
    const auto restore = qScopeGuard([shot = screenshot] { screenshot = shot; });
    const auto shows = [&](const QImage& shot, const QRect& palette) {
        const QRect ignored = palette.translated(-seen.topLeft());
        return changes(shot.copy(seen), pattern.copy(seen), ignored).count == 0;
    };
    QVERIFY2(waitUntil([&] { return shows(screenshot(), {}); }),
             "the pattern did not become the desktop");
    const auto palette = stage.enterCanvas(moveTitle, primary);
    QVERIFY2(palette, "no canvas over the primary screen and palette");
    if (hideDesktop) hideDesktop(), QTest::qWait(500);  // the compositor's next frames
    const QImage before = screenshot();
    QVERIFY2(shows(before, palette->geometry), "the canvas does not show the desktop");
    const QPoint at = seen.topLeft() + QPoint(seen.width() / 4, seen.height() * 3 / 4);
    const auto shot = strike(*palette, 2, at);
    QVERIFY(shot && crackedOnlyThere(before, *shot, at, palette->geometry));
    if (!paste.isEmpty()) {
        const auto screenIs = [&](const QImage& want) {
            return waitUntil(
                [&] { return changes(screenshot(), want, palette->geometry).count == 0; });
        };
        keys("ctrl+c");
        QImage png;
        QVERIFY2(waitUntil([&] { return png.loadFromData(run(paste[0], paste.mid(1)), "PNG"); }),
                 "no PNG on the clipboard");
        png = png.convertToFormat(QImage::Format_RGB32);
        const QRect onCanvas = palette->geometry.translated(-seen.topLeft());
        QCOMPARE(changes(png, shot->copy(seen), onCanvas).count, 0);
        QCOMPARE(png.copy(onCanvas), pattern.copy(palette->geometry));
        // Alone, the canvas takes the keys; the palette it brings back is above it again.
        click(clientToScreen(*palette, {340, 150}), 3);
        QVERIFY(stage.waitGone(sized(kPaletteSize)));
        keys("ctrl+z");
        QVERIFY2(screenIs(before), "Ctrl+Z on the canvas alone did nothing");
        click(at, 3);
        QVERIFY(stage.waitFor(sized(kPaletteSize)));
        keys("ctrl+shift+z");
        QVERIFY2(screenIs(*shot), "Ctrl+Shift+Z on the palette did nothing");
    }
    QVERIFY(stage.exitBy(*palette, FormId::FrmOption, "LabExit"));
}

}  // namespace e2e

// Scenarios need a real display; without one the program says so and reports nothing run.
// They grab the real screen, so neither they nor the program may use the offscreen platform.
#define SHATTER_E2E_MAIN(TestObject)                                                    \
    int main(int argc, char** argv) {                                                   \
        if (qEnvironmentVariableIsEmpty("DISPLAY"))                                     \
            return qInfo("SKIP: no X display; run through scripts/with-display.sh"), 0; \
        qputenv("QT_QPA_PLATFORM", "xcb");                                              \
        qputenv("QT_LOGGING_RULES", "qt.multimedia*=false");                            \
        QApplication app(argc, argv);                                                   \
        TestObject tc;                                                                  \
        return QTest::qExec(&tc, argc, argv);                                           \
    }
