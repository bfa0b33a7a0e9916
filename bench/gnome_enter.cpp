// Enter inside GNOME Shell, Shatter on Qt's Wayland platform: from the press on enter to the
// shell's first frame of the full-screen canvas, against a bare D-Bus client's own Screenshot
// round trip through the same portal, interleaved run by run. The press goes through Mutter's
// remote desktop service; the shell itself (in unsafe mode) notes when each window's first
// frame was drawn, on the same monotonic clock.
// Runs inside scripts/with-gnome.sh as the shell's user; prints one "ROW" line for
// scripts/run-bench.sh.
#include <QCoreApplication>
#include <QDBusObjectPath>
#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRect>
#include <QThread>
#include <cstdio>
#include <ctime>
#include <optional>

#include "gnome_shell_client.h"
#include "portal_round_trip.h"
#include "sample_stats.h"
#include "wayland_title.h"

namespace {

using GnomeShell::RemoteInput;
const auto shell = GnomeShell::eval;

double monotonicMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// The program's visible window of that size, from the shell.
std::optional<QRect> findWindow(qint64 pid, QSize size) {
    for (const auto& [id, rect] : GnomeShell::windowsOf(pid, true))
        if (rect.size() == size) return rect;
    return std::nullopt;
}

// Press on enter to the canvas's first frame; negative when it did not come.
double enterOnce(const QString& shatter, QSize screen, const RemoteInput& input) {
    QProcess program;
    const auto enterLabel = startToEnterLabel(program, shatter, findWindow);
    if (!enterLabel) return -1;
    const QPoint come = *enterLabel;
    // GNOME 48 may not pass on a motion that comes right after the window appeared: the
    // pointer arrives from beside the label, so that the last motion is seen.
    if (!input.moveTo(come + QPoint(1, 0)) || !input.moveTo(come)) return -1;
    QThread::msleep(100);
    shell("globalThis.shatterFrames = []; true");
    const double pressed = monotonicMs();
    input.button(true);
    input.button(false);
    double ms = -1;
    const QString firstFrame =
        QStringLiteral(
            "globalThis.shatterFrames.filter(f => f[0] == %1 && f[1] == %2 && f[2] == "
            "%3).map(f => f[3] / 1000)[0] ?? -1")
            .arg(program.processId())
            .arg(screen.width())
            .arg(screen.height());
    for (QDeadlineTimer deadline(15000);
         !deadline.hasExpired() && (ms = shell(firstFrame).toDouble(-1)) < 0;)
        QThread::msleep(20);
    program.kill();
    program.waitForFinished();
    return ms < 0 ? -1 : ms - pressed;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const auto [shatterPath, runs] = enterOptions(argc, argv);
    const QString shatter = QString::fromStdString(shatterPath);
    const QJsonValue size = shell("global.display.get_size()");
    const QSize screen(size[0].toInt(), size[1].toInt());
    if (shatter.isEmpty() || screen.isEmpty()) {
        std::fprintf(stderr, "usage: gnome_enter --shatter PATH [--runs N], inside GNOME Shell\n");
        return 64;
    }
    // Every window's first frame: its program, its size, and when (microseconds, monotonic).
    shell(
        "globalThis.shatterFrames = []; global.display.connect('window-created', (d, w) => "
        "w.get_compositor_private().connect('first-frame', () => { const r = "
        "w.get_frame_rect(); globalThis.shatterFrames.push([w.get_pid(), r.width, r.height, "
        "GLib.get_monotonic_time()]); })); true");
    RemoteInput input;
    if (!input.ok()) return std::fprintf(stderr, "gnome_enter: no remote desktop session\n"), 70;
    PortalRoundTrip bare;
    const auto medians = alternatingMedians(
        "gnome_enter", runs, [&](int i) { return bare.measure(i); },
        [&](int) { return enterOnce(shatter, screen, input); });
    if (!medians) return 70;
    printRatioRow("enter -> canvas's first frame, GNOME Shell portal (ms)", screen.width(),
                  screen.height(), *medians, "portal round trip", 1.3);
    return 0;
}
