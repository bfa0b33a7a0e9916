// Enter inside KWin: from the click on enter to the full-screen canvas having painted its whole
// area (Shatter runs through XWayland, watched through the X server's damage reports), against
// a bare client's own CaptureScreen round trip for the same screen (call to the last byte of
// the picture), interleaved run by run.
// Runs inside scripts/with-kwin.sh; prints one "ROW" line for scripts/run-bench.sh.
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "child_process.h"
#include "platform/capture/kwin_screenshot.h"
#include "sample_stats.h"
#include "x_session.h"

namespace {

constexpr int kTitleW = 309, kTitleH = 150, kPaletteW = 360, kPaletteH = 262;
constexpr double kTimeoutMs = 15000;

// The screen by KWin's own name for it, as a Wayland client sees it; negative on failure.
double bareRoundTrip(QSize* size) {
    const QVariantMap options{{"native-resolution", true}, {"include-cursor", false}};
    QElapsedTimer t;
    t.start();
    const auto shot =
        KWinScreenshot(QDBusConnection::sessionBus())
            .capture("CaptureScreen", {QGuiApplication::primaryScreen()->name(), options},
                     QDeadlineTimer(10000));
    *size = shot.image.size();
    return shot.image.isNull() ? -1 : t.nsecsElapsed() / 1e6;
}

double enterOnce(XSession& x, const std::string& shatter) {
    x.forgetWindows();
    ChildProcess child;
    if (!child.start({shatter})) return -1;
    const auto title = x.waitForMap(kTitleW, kTitleH, kTimeoutMs);
    if (!title) return -1;
    x.pump(400);  // painted and idle, as a user would find it
    x.moveTo(title->x + 3 + 40 + 24, title->y + 3 + 88 + 12);
    x.flush();
    x.pump(100);
    x.forgetWindows();
    const double t0 = XSession::nowMs();
    x.press(1);
    x.release(1);
    x.flush();
    const auto canvas = x.waitForMap(x.screenWidth(), x.screenHeight(), kTimeoutMs);
    const auto painted = canvas ? x.waitForFullPaint(kTimeoutMs) : std::nullopt;
    const bool palette = painted && x.waitForMap(kPaletteW, kPaletteH, kTimeoutMs);
    child.stop();
    x.pump(200);
    return palette ? *painted - t0 : -1;
}

}  // namespace

int main(int argc, char** argv) {
    // A Wayland client itself, for KWin's name of the screen; Shatter goes through XWayland.
    qputenv("QT_QPA_PLATFORM", "wayland");
    QGuiApplication app(argc, argv);
    qputenv("QT_QPA_PLATFORM", "xcb");
    qputenv("QT_LOGGING_RULES", "qt.multimedia*=false");
    const auto [shatter, runs] = enterOptions(argc, argv);
    XSession x;
    if (shatter.empty() || !x.ok()) {
        std::fprintf(stderr, "usage: kwin_enter --shatter PATH [--runs N], inside KWin\n");
        return 64;
    }
    QSize size;
    const auto medians = alternatingMedians(
        "kwin_enter", runs, [&](int) { return bareRoundTrip(&size); },
        [&](int) { return enterOnce(x, shatter); });
    if (!medians) return 70;
    printRatioRow("enter -> canvas painted full screen, KWin (ms)", size.width(), size.height(),
                  *medians, "CaptureScreen round trip", 1.3);
    return 0;
}
