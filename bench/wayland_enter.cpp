// Enter on a Wayland desktop: from the click on enter to sway showing the full-screen canvas
// (a Wayland window appears with its first painted frame), against a bare D-Bus client's own
// Screenshot round trip through the same portal, interleaved run by run. Enter is pressed
// through XTest on the Xvfb that sway runs in, timed from the press itself.
// Runs inside scripts/with-wayland.sh; prints one "ROW" line for scripts/run-bench.sh.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRect>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <vector>

#include "portal_round_trip.h"
#include "sample_stats.h"
#include "wayland_title.h"
#include "x_session.h"

namespace {

QByteArray run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(10000);
    return p.readAllStandardOutput();
}

// The outer rectangle of the process's visible window of the given size, from sway's tree.
std::optional<QRect> findWindow(qint64 pid, QSize size) {
    std::optional<QRect> found;
    std::function<void(const QJsonObject&)> walk = [&](const QJsonObject& n) {
        const QJsonObject r = n.value("rect").toObject();
        const QRect rect(r["x"].toInt(), r["y"].toInt(), r["width"].toInt(), r["height"].toInt());
        if (n.value("pid").toInteger() == pid && n.value("visible").toBool() && rect.size() == size)
            found = rect;
        for (const char* key : {"nodes", "floating_nodes"})
            for (const QJsonValue& child : n.value(QLatin1String(key)).toArray())
                walk(child.toObject());
    };
    walk(QJsonDocument::fromJson(run("swaymsg", {"-r", "-t", "get_tree"})).object());
    return found;
}

// Click on enter to the canvas appearing full screen; negative when it did not.
double enterOnce(const QString& shatter, QSize screen) {
    QProcess program;
    const auto enterLabel = startToEnterLabel(program, shatter, findWindow);
    if (!enterLabel) return -1;
    const QPoint come = *enterLabel;
    XSession x;
    if (!x.ok()) return -1;
    x.moveTo(come.x(), come.y());
    x.flush();
    QThread::msleep(100);

    QProcess events;
    events.start("swaymsg", {"-r", "-m", "-t", "subscribe", "[\"window\"]"});
    events.waitForStarted();
    QThread::msleep(100);
    QElapsedTimer t;
    t.start();
    // The press itself, from this process: a helper program's start-up is no part of enter.
    x.press(1);
    x.release(1);
    x.flush();
    double ms = -1;
    QByteArray pending;
    while (ms < 0 && t.elapsed() < 15000 && events.waitForReadyRead(15000)) {
        pending += events.readAll();
        // Events come one after another in the stream; take each whole one.
        for (;;) {
            QJsonParseError e;
            QJsonDocument doc = QJsonDocument::fromJson(pending, &e);
            int used = int(pending.size());
            if (e.error == QJsonParseError::GarbageAtEnd)
                used = e.offset, doc = QJsonDocument::fromJson(pending.left(used));
            else if (e.error != QJsonParseError::NoError)
                break;  // the rest is still on its way
            pending.remove(0, used);
            const QJsonObject c = doc.object().value("container").toObject();
            if (c.value("pid").toInteger() == program.processId() &&
                c.value("fullscreen_mode").toInt() == 1 &&
                c.value("rect").toObject()["width"].toInt() == screen.width())
                ms = t.nsecsElapsed() / 1e6;
            if (pending.trimmed().isEmpty() || ms >= 0) break;
        }
    }
    events.kill();
    events.waitForFinished();
    program.kill();
    program.waitForFinished();
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const auto [shatterPath, runs] = enterOptions(argc, argv);
    const QString shatter = QString::fromStdString(shatterPath);
    const QStringList size = QString::fromUtf8(run("swaymsg", {"-t", "get_outputs", "-p"}))
                                 .section("Current mode: ", 1)
                                 .section(" @", 0, 0)
                                 .split('x');
    const QSize screen(size.value(0).toInt(), size.value(1).toInt());
    if (shatter.isEmpty() || screen.isEmpty()) {
        std::fprintf(stderr, "usage: wayland_enter --shatter PATH [--runs N], inside sway\n");
        return 64;
    }
    PortalRoundTrip bare;
    const auto medians = alternatingMedians(
        "wayland_enter", runs, [&](int i) { return bare.measure(i); },
        [&](int) { return enterOnce(shatter, screen); });
    if (!medians) return 70;
    printRatioRow("enter -> canvas shown full screen, Wayland portal (ms)", screen.width(),
                  screen.height(), *medians, "portal round trip", 1.3);
    return 0;
}

