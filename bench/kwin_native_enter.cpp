// Enter inside KWin with Shatter on Qt's Wayland platform: from the press on enter (sent through
// KWin's fake input) to the full-screen canvas's first frame, both read from Shatter's own
// protocol trace (WAYLAND_DEBUG: the press as it arrives, the first buffer committed to the
// canvas's surface), against a bare client's own CaptureScreen round trip for the same screen,
// interleaved run by run. KWin's report of the windows it shows, through a script of its own,
// tells when the title is up and when the canvas and the palette are. Both this program and
// Shatter must be trusted by KWin through their menu entries (scripts/kwin-apps.sh).
// Runs inside scripts/with-kwin.sh; prints one "ROW" line for scripts/run-bench.sh.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QRegularExpression>
#include <QThread>
#include <cstdio>
#include <optional>

#include "child_process.h"
#include "kwin_fake_input.h"
#include "kwin_windows.h"
#include "platform/capture/kwin_screenshot.h"
#include "sample_stats.h"

namespace {

constexpr int kTitleW = 309, kTitleH = 150, kPaletteW = 360, kPaletteH = 262;
constexpr double kTimeoutMs = 15000;

// The program's window of that size once KWin shows it, from KWin's list.
std::optional<QRectF> waitFor(KWinWindows& windows, qint64 pid, int w, int h) {
    for (QDeadlineTimer deadline{qint64(kTimeoutMs)}; !deadline.hasExpired();) {
        for (const KWinWindows::Window& s : windows.list())
            if (s.pid == pid && s.geometry.size() == QSizeF(w, h)) return s.geometry;
        QThread::msleep(5);
    }
    return std::nullopt;
}

double bareRoundTrip(const QString& screen, QSize* size) {
    const QVariantMap options{{"native-resolution", true}, {"include-cursor", false}};
    QElapsedTimer t;
    t.start();
    const auto shot = KWinScreenshot(QDBusConnection::sessionBus())
                          .capture("CaptureScreen", {screen, options}, QDeadlineTimer(10000));
    *size = shot.image.size();
    return shot.image.isNull() ? -1 : t.nsecsElapsed() / 1e6;
}

// In Shatter's trace: from the last press before the canvas to the canvas's first frame, the
// surface whose toplevel KWin configured at the screen's size; negative when not found.
double pressToFirstFrame(const QString& tracePath, QSize screen) {
    QFile file(tracePath);
    if (!file.open(QIODevice::ReadOnly)) return -1;
    static const QRegularExpression line(R"(^\[\s*(\d+\.\d+)\]\s+(?:-> )?(\S+)\((.*)\)$)");
    double press = -1;
    QHash<QString, QString> surfaceOf;  // xdg_surface or xdg_toplevel -> wl_surface
    QString canvas;
    bool attached = false;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const auto m = line.match(QString::fromUtf8(raw));
        if (!m.hasMatch()) continue;
        const double at = m.captured(1).toDouble();
        const QString call = m.captured(2).section('.', 1), object = m.captured(2).section('.', 0, 0);
        const QStringList args = m.captured(3).split(", ");
        if (call == "button" && args.size() == 4 && args[3] == "1" && canvas.isEmpty()) press = at;
        if (call == "get_xdg_surface" && args.size() == 2)
            surfaceOf[args[0].section(' ', -1)] = args[1];
        if (call == "get_toplevel") surfaceOf[args[0].section(' ', -1)] = surfaceOf.value(object);
        if (call == "configure" && object.startsWith("xdg_toplevel") && args.size() >= 2 &&
            args[0].toInt() == screen.width() && args[1].toInt() == screen.height())
            canvas = surfaceOf.value(object);
        if (!canvas.isEmpty() && object == canvas && call == "attach") attached = true;
        if (attached && object == canvas && call == "commit") return press < 0 ? -1 : at - press;
    }
    return -1;
}

double enterOnce(KWinWindows& windows, KWinFakeInput& input, const std::string& shatter, QSize screen) {
    const QString trace = qEnvironmentVariable("SHATTER_KWIN_SHARED") + "/shatter-trace.log";
    QFile::remove(trace);
    ChildProcess child;
    if (!child.start({"/bin/sh", "-c", "WAYLAND_DEBUG=client exec \"$0\" 2>\"$1\"", shatter,
                      trace.toStdString()}))
        return -1;
    const auto title = waitFor(windows, child.pid(), kTitleW, kTitleH);
    if (!title) return -1;
    QThread::msleep(400);  // painted and idle, as a user would find it
    const QPoint come = title->topLeft().toPoint() + QPoint(3 + 40 + 24, 3 + 88 + 12);
    input.moveTo(come.x() + 1, come.y());
    input.moveTo(come.x(), come.y());
    QThread::msleep(100);
    input.button(1, true);
    input.button(1, false);
    const auto canvas = waitFor(windows, child.pid(), screen.width(), screen.height());
    const bool palette = canvas && waitFor(windows, child.pid(), kPaletteW, kPaletteH);
    child.stop();
    return palette ? pressToFirstFrame(trace, screen) : -1;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "wayland");
    QGuiApplication app(argc, argv);
    qputenv("QT_LOGGING_RULES", "qt.multimedia*=false");
    const auto [shatter, runs] = enterOptions(argc, argv);
    KWinWindows windows;
    KWinFakeInput input;
    if (shatter.empty() || !input.connect() || !windows.connect()) {
        std::fprintf(stderr,
                     "usage: kwin_native_enter --shatter PATH [--runs N], inside KWin, with "
                     "KWin's fake input and scripting for this program\n");
        return 64;
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    QSize size;
    const auto medians = alternatingMedians(
        "kwin_native_enter", runs, [&](int) { return bareRoundTrip(screen->name(), &size); },
        [&](int) { return enterOnce(windows, input, shatter, screen->geometry().size()); });
    if (!medians) return 70;
    printRatioRow("enter -> canvas's first frame, KWin, Shatter native (ms)", size.width(),
                  size.height(), *medians, "CaptureScreen round trip", 1.3);
    return 0;
}

