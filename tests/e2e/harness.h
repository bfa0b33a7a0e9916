#pragma once

#include <QtTest>
#include <QtWidgets>
#include <functional>

#include "layouts/layouts.h"

// End-to-end scenarios: the real program on the real X display, driven by xdotool and
// watched through screenshots taken by the test process itself.
namespace e2e {

constexpr QSize kTitleSize(309, 150);
constexpr QSize kPaletteSize(360, 262);
// Each pointer step gets this long for the program and the window manager to react.
constexpr int kSettleMs = 60;
// A still screen for this long means no splinter is left: a visible one moves every step,
// and one thrown high may stay above the screen for about a second.
constexpr int kSplintersGoneMs = 1500;

// Polls until done() holds; false when the time ran out first.
inline bool waitUntil(const std::function<bool()>& done, int timeoutMs = 10000, int stepMs = 50) {
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QTest::qWait(stepMs);
    }
    return true;
}

// Runs a helper program to the end; its standard output, trimmed.
inline QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(10000)) p.kill(), p.waitForFinished(1000);
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}
inline QString xdo(const QStringList& args) {
    return run(QStringLiteral("xdotool"), args);
}

// A top-level X window of the program under test, in root coordinates (frame included).
struct XWindow {
    QString id;
    QRect geometry;
};
using Match = std::function<bool(const XWindow&)>;
inline Match sized(QSize size) {
    return [size](const XWindow& w) { return w.geometry.size() == size; };
}
inline Match withId(const QString& id) {
    return [id](const XWindow& w) { return w.id == id; };
}
inline Match titled(const QString& title, const QString& excludedId = {}) {
    return [=](const XWindow& w) {
        return w.id != excludedId && xdo({"getwindowname", w.id}) == title;
    };
}

inline QPoint clientToScreen(const XWindow& w, QPoint inClient) {
    return w.geometry.topLeft() + QPoint(3, 3) + inClient;  // inside the 3-pixel frame
}
inline QPoint controlCentre(const XWindow& w, FormId form, const char* name) {
    const ControlLayout* c = findControl(layoutOf(form), QLatin1String(name));
    if (!c) qFatal("no control %s in the layout", name);
    return clientToScreen(w, QRect(twipsToPixels(c->left), twipsToPixels(c->top),
                                   twipsToPixels(c->width), twipsToPixels(c->height))
                                 .center());
}

// The pointer, in root coordinates; button 1 left, 3 right.
inline void moveTo(QPoint p) {
    // Not "mousemove --sync": it waits forever when the pointer is already there.
    xdo({"mousemove", QString::number(p.x()), QString::number(p.y())});
    const QString at = QStringLiteral("X=%1\nY=%2\n").arg(p.x()).arg(p.y());
    waitUntil([&] { return xdo({"getmouselocation", "--shell"}).startsWith(at); }, 2000, 10);
    QTest::qWait(kSettleMs);
}
inline void button(bool down, int button = 1) {
    xdo({down ? "mousedown" : "mouseup", QString::number(button)});
    QTest::qWait(kSettleMs);
}
inline void click(QPoint p, int which = 1) {
    moveTo(p);
    // As long as a person holds it: the program may act on the press before the release.
    button(true, which);
    QTest::qWait(20);
    button(false, which);
}
// Gives the window the keyboard, then sends keys or types text into its focused field.
inline bool focus(const QString& windowId) {
    // No --sync: a window that re-creates itself on activation would keep it waiting.
    xdo({"windowactivate", windowId});
    const bool active = waitUntil([&] { return xdo({"getactivewindow"}) == windowId; }, 3000);
    QTest::qWait(100);  // a dialog puts the focus into its field
    return active;
}
inline void keys(const QString& keySyms) {
    xdo({"key", "--delay", "40", keySyms});
    QTest::qWait(100);
}
inline void type(const QString& text) {
    xdo({"type", "--delay", "8", text});
    QTest::qWait(150);
}

inline QSize screenSize() {
    return QGuiApplication::primaryScreen()->geometry().size();
}
inline QImage screenshot() {
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(
        QImage::Format_RGB32);
}
// The screen once it stayed the same for quietMs (the splinters have gone); nothing when it
// still moves at the deadline. grab takes the picture: the X screen unless told otherwise.
inline std::optional<QImage> waitForStillScreen(int timeoutMs = 15000, int quietMs = 400,
                                                const std::function<QImage()>& grab = screenshot) {
    QImage last = grab();
    QDeadlineTimer quiet(quietMs);
    const bool still = waitUntil(
        [&] {
            if (QImage now = grab(); now != last) last = now, quiet.setRemainingTime(quietMs);
            return quiet.hasExpired();
        },
        timeoutMs);
    return still ? std::optional(last) : std::nullopt;
}

inline void selectTool(const XWindow& palette, int tool) {
    const QByteArray name = QStringLiteral("Prop%1_1").arg(tool).toLatin1();
    click(controlCentre(palette, FormId::FrmOption, name.constData()));
    moveTo(QPoint(2, 2));
}
// Strikes with the tool at the point; the screen once the splinters have gone.
inline std::optional<QImage> strike(const XWindow& palette, int tool, QPoint at) {
    selectTool(palette, tool);
    click(at);
    moveTo(QPoint(2, 2));
    return waitForStillScreen(20000, kSplintersGoneMs);
}

// The pixels that differ between two screens, leaving out those inside ignore.
struct Changes {
    QRect box;  // empty when nothing differs
    int count = 0;
    QPointF centre;
};
inline Changes changes(const QImage& a, const QImage& b, const QRect& ignore = {}) {
    Changes c;
    QPointF sum;
    for (int y = 0; y < qMin(a.height(), b.height()); ++y)
        for (int x = 0; x < qMin(a.width(), b.width()); ++x)
            if (((a.pixel(x, y) ^ b.pixel(x, y)) & 0xFFFFFFu) && !ignore.contains(x, y))
                c.box |= QRect(x, y, 1, 1), sum += QPointF(x, y), ++c.count;
    c.centre = c.count ? sum / c.count : QPointF(-1, -1);
    return c;
}

// A deterministic, colourful full-screen picture: bright bars with fine grid lines over a
// gradient. Every region a tool strikes holds bright colours, so darkening always shows.
inline QImage testPattern(QSize size) {
    QImage img(size, QImage::Format_RGB32);
    const int w = size.width(), h = size.height(), barsBottom = h * 6 / 10;
    QPainter p(&img);
    QLinearGradient across(0, barsBottom, w / 2, h);
    across.setStops(
        {{0, QColor(255, 60, 60)}, {0.5, QColor(60, 255, 60)}, {1, QColor(60, 60, 255)}});
    p.fillRect(img.rect(), across);
    for (int i = 0; i < 8; ++i)  // pale hues: no bar is dark in all three channels
        p.fillRect(QRect(i * w / 8, 0, (i + 1) * w / 8 - i * w / 8, barsBottom),
                   QColor::fromHsv(i * 45, i == 0 ? 0 : 130, 255));
    // Fine lines every 32 pixels: a shift by one pixel anywhere cannot pass unnoticed.
    p.setPen(QColor(128, 128, 128));
    for (int x = 16; x < w; x += 32) p.drawLine(x, 0, x, barsBottom - 1);
    for (int y = 16; y < barsBottom; y += 32) p.drawLine(0, y, w - 1, y);
    return img;
}

// What a scenario starts from and the program it runs: optionally the test pattern on a
// window covering the screen below the program's.
class Stage {
  public:
    QImage pattern;
    std::unique_ptr<QLabel> background;
    XWindow palette;  // once enterCanvas() succeeded
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();  // the program's
    QProcess& process() { return m_process; }

    bool begin(bool withPattern) {
        moveTo(QPoint(2, 2));
        if (!withPattern) return true;
        pattern = testPattern(screenSize());
        background = std::make_unique<QLabel>();
        // Like a desktop background: below every window of the program and never focused, or
        // the window manager would lift a focused screen-sized window above the canvas.
        background->setWindowFlags(Qt::Window | Qt::FramelessWindowHint |
                                   Qt::WindowStaysOnBottomHint | Qt::WindowDoesNotAcceptFocus);
        background->setPixmap(QPixmap::fromImage(pattern));
        background->setGeometry(QRect(QPoint(0, 0), pattern.size()));
        background->show();
        // Exposed is not yet painted: wait until the screen shows the picture.
        return waitUntil([&] { return changes(screenshot(), pattern).count == 0; }, 5000);
    }
    // Keeps the screen of a failed scenario and prints what the program wrote to its error
    // output; ends the program if it still runs.
    void end() {
        const QByteArray err = m_process.readAllStandardError().trimmed();
        if (QTest::currentTestFailed()) {
            const QString path = QStringLiteral("%1/FAILED-%2.png")
                                     .arg(QCoreApplication::applicationDirPath(),
                                          QLatin1String(QTest::currentTestFunction()));
            if (screenshot().save(path)) qWarning("screen of the failure: %s", qPrintable(path));
            if (!err.isEmpty()) qWarning("the program's error output:\n%s", err.constData());
        }
        if (m_process.state() != QProcess::NotRunning)
            m_process.kill(), m_process.waitForFinished();
        background.reset();
    }

    std::optional<XWindow> startTitle(const Match& shape = sized(kTitleSize)) {
        m_process.setProcessEnvironment(environment);
        m_process.start(QStringLiteral(SHATTER_BINARY), {});
        const auto title = m_process.waitForStarted() ? waitFor(shape) : std::nullopt;
        QTest::qWait(200);  // its first paint
        return title;
    }
    // Enters through the title window, first moved aside so that the canvas's copy of the
    // screen shows where it was; the palette, once it and the full-screen canvas are shown.
    std::optional<XWindow> enterCanvas() {
        auto title = startTitle();
        if (title) xdo({"windowmove", title->id, "40", "40"});
        auto moved = [](const XWindow& w) { return w.geometry.topLeft() == QPoint(40, 40); };
        if (!title || !(title = waitFor(moved))) return std::nullopt;
        click(controlCentre(*title, FormId::FrmMain, "Come"));
        const auto found = waitFor(sized(kPaletteSize));
        if (!found || !waitFor(sized(screenSize())) || !waitForStillScreen(5000, 200))
            return std::nullopt;
        return palette = *found;
    }

    std::vector<XWindow> windows(bool visibleOnly = true) const {
        std::vector<XWindow> found;
        if (m_process.state() == QProcess::NotRunning) return found;
        QStringList search{"search", "--pid", QString::number(m_process.processId())};
        if (visibleOnly) search << "--onlyvisible";
        for (const QString& id : xdo(search).split('\n', Qt::SkipEmptyParts)) {
            QHash<QString, int> value;
            for (const QString& line : xdo({"getwindowgeometry", "--shell", id}).split('\n'))
                value[line.section('=', 0, 0)] = line.section('=', 1).toInt();
            found.push_back({id, QRect(value["X"], value["Y"], value["WIDTH"], value["HEIGHT"])});
        }
        return found;
    }
    std::optional<XWindow> waitFor(const Match& match, int timeoutMs = 10000) const {
        std::optional<XWindow> found;
        waitUntil(
            [&] {
                for (const XWindow& w : windows())
                    if (match(w)) return found = w, true;
                return false;
            },
            timeoutMs);
        return found;
    }
    bool waitGone(const Match& match, int timeoutMs = 10000) const {
        return waitUntil([&] { return std::ranges::none_of(windows(), match); }, timeoutMs);
    }
    // The exit code, or nothing when the program still runs after the timeout.
    std::optional<int> waitForExit(int timeoutMs = 10000) {
        if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(timeoutMs))
            return std::nullopt;
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }

  private:
    QProcess m_process;
};

}  // namespace e2e

// Scenarios need a real display; without one the program says so and reports nothing run.
// They grab the real screen, so neither they nor the program may use the offscreen platform.
#define SHATTER_E2E_MAIN(TestObject)                                                    \
    int main(int argc, char** argv) {                                                   \
        if (qEnvironmentVariableIsEmpty("DISPLAY"))                                     \
            return qInfo("SKIP: no X display; run through scripts/with-display.sh"), 0; \
        qputenv("QT_QPA_PLATFORM", "xcb");                                              \
        qputenv("QT_LOGGING_RULES", "qt.multimedia*=false");                            \
        for (const char* tool : {"xdotool", "xprop"})                                   \
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())          \
                qFatal("the end-to-end tests need %s", tool);                           \
        QApplication app(argc, argv);                                                   \
        QTEST_SET_MAIN_SOURCE_PATH TestObject tc;                                       \
        return QTest::qExec(&tc, argc, argv);                                           \
    }
