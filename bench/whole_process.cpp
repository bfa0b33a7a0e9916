// Drives the real program from outside on an X display: start-up, entering the canvas,
// a chainsaw drag, splinter bursts, idling and memory, each against its reference.
// Prints one tab-separated "ROW" line per table row for scripts/run-bench.sh.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "move_latency.h"
#include "proc_stats.h"
#include "sample_stats.h"
#include "x_session.h"

namespace {

constexpr int kFramePx = 3;                  // the raised frame of the title and palette
constexpr int kTitleW = 309, kTitleH = 150;  // outer size of the title window
constexpr int kPaletteW = 360, kPaletteH = 262;
constexpr double kFrameMs = 1000.0 / 60;
constexpr int kSawOffsetPx = 10;
constexpr double kTimeoutMs = 20000;

struct Options {
    std::string shatter, bare, xwd = "/usr/bin/xwd", xrandr = "/usr/bin/xrandr", scratch = "/tmp",
                xsetroot = "/usr/bin/xsetroot";
    int runs = 10;
    // The scale factor the program runs at (QT_SCALE_FACTOR in its environment): windows and
    // the pointer are measured in device pixels, the layouts in logical ones.
    double scale = 1;
    // One measurement by name while working on it: startup, enter or chainsaw; or monitors
    // and follow, which are measured only when asked for.
    std::string only;
};

double gScale = 1;

int px(double logical) {
    return int(std::lround(logical * gScale));
}

std::string screenName(const XSession& x) {
    std::string name = std::to_string(x.screenWidth()) + "x" + std::to_string(x.screenHeight());
    if (gScale != 1) name += " at scale " + std::to_string(gScale).substr(0, 3);
    return name;
}

void row(const XSession& x, const std::string& what, const std::string& ours,
         const std::string& reference, const std::string& ratio, const std::string& target,
         bool met) {
    std::printf("ROW\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n", what.c_str(), screenName(x).c_str(),
                ours.c_str(), reference.c_str(), ratio.c_str(), target.c_str(), met ? "yes" : "NO");
    std::fflush(stdout);
}

std::string fmt(const char* format, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

void fail(const char* what) {
    std::fprintf(stderr, "whole_process: %s\n", what);
    std::exit(1);
}

// Start to the title window's frame being mapped, against the bare window; interleaved so
// both see the same machine load.
void startup(XSession& x, const Options& o) {
    std::vector<double> ours, bare;
    for (int i = 0; i < o.runs; ++i) {
        for (const std::string* program : {&o.bare, &o.shatter}) {
            x.forgetWindows();
            ChildProcess child;
            if (!child.start({*program})) fail("cannot start a program");
            const auto w = x.waitForMap(kTitleW, kTitleH, kTimeoutMs);
            if (!w) fail("no 309x150 window appeared");
            (program == &o.bare ? bare : ours).push_back(w->mappedAtMs - child.startedAtMs());
            child.stop();
            x.pump(100);
        }
    }
    const double a = SampleStats(ours).median(), b = SampleStats(bare).median();
    row(x, "start -> title window mapped (ms)", fmt("%.1f", a), fmt("%.1f bare window", b),
        fmt("%.2f", a / b), "<= 1.15", a / b <= 1.15);
}

struct Entered {
    XSession::Window palette;
    double mappedMs = 0, paintedMs = 0;
};

// Starts the program, clicks the title's enter label and waits until the canvas has
// painted all of its area and the palette is up.
Entered enter(XSession& x, ChildProcess& child, const Options& o) {
    x.forgetWindows();
    if (!child.start({o.shatter})) fail("cannot start shatter");
    const auto title = x.waitForMap(px(kTitleW), px(kTitleH), kTimeoutMs);
    if (!title) fail("the title window did not appear");
    x.pump(400);  // painted and idle, as a user would find it
    x.moveTo(title->x + px(kFramePx + 40 + 24), title->y + px(kFramePx + 88 + 12));
    x.flush();
    x.pump(100);
    x.forgetWindows();
    x.resetPaintCounters();
    const double t0 = XSession::nowMs();
    x.press(1);
    x.release(1);
    x.flush();
    const auto canvas = x.waitForMap(x.screenWidth(), x.screenHeight(), kTimeoutMs);
    if (!canvas) fail("the canvas did not appear");
    const auto painted = x.waitForFullPaint(kTimeoutMs);
    if (!painted) fail("the canvas never painted its whole area");
    const auto palette = x.waitForMap(px(kPaletteW), px(kPaletteH), kTimeoutMs);
    if (!palette) fail("the palette did not appear");
    return {*palette, canvas->mappedAtMs - t0, *painted - t0};
}

void enterCanvas(XSession& x, const Options& o) {
    std::vector<double> painted, mapped, xwd;
    const std::string out = o.scratch + "/root.xwd";
    for (int i = 0; i < o.runs; ++i) {
        ChildProcess child;
        const Entered e = enter(x, child, o);
        painted.push_back(e.paintedMs);
        mapped.push_back(e.mappedMs);
        child.stop();
        x.pump(200);
        ChildProcess shot;
        if (!shot.start({o.xwd, "-root", "-silent", "-out", out})) fail("cannot start xwd");
        if (shot.wait() != 0) fail("xwd failed");
        xwd.push_back(XSession::nowMs() - shot.startedAtMs());
    }
    std::remove(out.c_str());
    const double a = SampleStats(painted).median(), b = SampleStats(xwd).median();
    row(x, "enter -> canvas painted with the snapshot (ms)",
        fmt("%.1f", a) + fmt(" (mapped %.1f)", SampleStats(mapped).median()),
        fmt("%.1f xwd -root", b), fmt("%.2f", a / b), "<= 1.3", a / b <= 1.3);
}

// The same two monitors side by side (RandR monitors of a 3200x1080 root), once with the
// primary 1280x1024 one at the origin and once at +1920+0, alternating run by run.
void enterOnMonitors(XSession& x, const Options& o) {
    const std::vector<std::vector<std::string>> layouts[2] = {
        {{"*R", "1280/338x1024/270+0+0", "screen"}, {"L", "1920/508x1080/286+1280+0", "none"}},
        {{"L", "1920/508x1080/286+0+0", "screen"}, {"*R", "1280/338x1024/270+1920+0", "none"}}};
    std::vector<double> painted[2];
    x.setScreenSize(1280, 1024);
    for (int i = 0; i < o.runs; ++i) {
        for (int l = 0; l < 2; ++l) {
            for (const char* name : {"L", "R"}) {
                ChildProcess del;
                if (del.start({o.xrandr, "--delmonitor", name})) del.wait();
            }
            for (const auto& monitor : layouts[l]) {
                ChildProcess set;
                if (!set.start({o.xrandr, "--setmonitor", monitor[0], monitor[1], monitor[2]}) ||
                    set.wait() != 0)
                    fail("xrandr --setmonitor failed");
            }
            ChildProcess child;
            painted[l].push_back(enter(x, child, o).paintedMs);
            child.stop();
            x.pump(200);
        }
    }
    const double a = SampleStats(painted[1]).median(), b = SampleStats(painted[0]).median();
    row(x, "enter -> canvas painted, primary monitor at +1920+0 (ms)", fmt("%.1f", a),
        fmt("%.1f at +0+0", b), fmt("%.2f", a / b), "<= 1.2", a / b <= 1.2);
}

// The primary RandR monitor of the root grows from 1920x1080 to the whole root under the open
// canvas (its monitor is removed, so the root's own output is the primary). The root's
// background is grey, as a desktop's would not be black. From xrandr's return, when the server
// has made the change, to the canvas painted over the grown screen.
void followGrowth(XSession& x, const Options& o) {
    const int w = x.screenWidth(), h = x.screenHeight();
    const auto xrandr = [&](const std::vector<std::string>& args) {
        ChildProcess p;
        std::vector<std::string> argv{o.xrandr};
        argv.insert(argv.end(), args.begin(), args.end());
        return p.start(argv) && p.wait() == 0;
    };
    ChildProcess grey;
    if (!grey.start({o.xsetroot, "-solid", "grey"}) || grey.wait() != 0) fail("xsetroot failed");
    std::vector<double> covered;
    for (int i = 0; i < o.runs; ++i) {
        xrandr({"--delmonitor", "S"});
        if (!xrandr({"--setmonitor", "*S", "1920/508x1080/286+0+0", "screen"}))
            fail("xrandr --setmonitor failed");
        x.setScreenSize(1920, 1080);
        ChildProcess child;
        enter(x, child, o);
        x.pump(300);
        x.setScreenSize(w, h);
        if (!xrandr({"--delmonitor", "S"})) fail("xrandr --delmonitor failed");
        const double t0 = XSession::nowMs();
        const auto painted = x.waitForFullPaint(kTimeoutMs);
        if (!painted) fail("the canvas never covered the grown screen");
        covered.push_back(*painted - t0);
        child.stop();
        x.pump(200);
    }
    const double a = SampleStats(covered).median();
    row(x, "screen grows from 1920x1080: change -> canvas painted over it (ms)", fmt("%.1f", a),
        "-", "-", "<= 150", a <= 150);
}

struct Load {
    double cpuShare = 0;  // of one core
    double ms = 0;
};

Load measure(XSession& x, const ProcStats& p, double forMs) {
    const double c0 = p.cpuSeconds().value_or(0), t0 = XSession::nowMs();
    x.pump(forMs);
    const double c1 = p.cpuSeconds().value_or(0), t1 = XSession::nowMs();
    return {(c1 - c0) * 1e3 / (t1 - t0), t1 - t0};
}

// Clicks the centre of a tool picture (33 x 33) on the palette.
void selectTool(XSession& x, const XSession::Window& palette, int left, int top) {
    x.click(palette.x + px(kFramePx + left + 16), palette.y + px(kFramePx + top + 16));
    x.pump(300);
}

void chainsaw(XSession& x, const ProcStats& p, const XSession::Window& palette, int runs) {
    selectTool(x, palette, 40, 24);
    constexpr int kMoves = 1000;
    std::vector<double> cpu, lag;
    size_t unhandled = 0;
    for (int s = 0; s < runs; ++s) {
        const int y = x.screenHeight() / 8 + s * (x.screenHeight() / 40);
        const int x0 = 100;
        x.moveTo(x0, y);
        x.press(1);
        x.flush();
        x.pump(100);
        MoveLatency tracker;
        x.setDamageSink([&](const MoveLatency::Rect& r, double at) { tracker.damaged(r, at); });
        const double c0 = p.cpuSeconds().value_or(0), t0 = XSession::nowMs();
        for (int i = 0; i < kMoves; ++i) {
            const double due = t0 + i;  // one move a millisecond
            x.pump(due - XSession::nowMs());
            x.moveTo(x0 + 1 + i, y);
            x.flush();
            // The saw cuts 10 px left of the pointer: that is where a move shows.
            tracker.sent(x0 + 1 + i - px(kSawOffsetPx), y, XSession::nowMs());
        }
        x.pump(2 * kFrameMs);
        const double c1 = p.cpuSeconds().value_or(0), t1 = XSession::nowMs();
        x.setDamageSink({});
        cpu.push_back((c1 - c0) * 1e3 / (t1 - t0));
        lag.insert(lag.end(), tracker.latencies().begin(), tracker.latencies().end());
        unhandled += tracker.pending();
        x.release(1);
        x.flush();
        x.pump(2500);  // the release throws splinters; let them land
    }
    const SampleStats c(cpu), l(lag);
    row(x, "chainsaw drag 1000 moves/s: CPU (% of a core)", fmt("%.1f", 100 * c.median()), "-", "-",
        "<= 30", c.median() <= 0.30);
    row(x, "chainsaw drag: move -> on screen (ms, p99 / max)",
        fmt("%.1f", l.quantile(0.99)) + fmt(" / %.1f", l.max()), fmt("%.1f frame", kFrameMs),
        fmt("%.0f%% within a frame", 100 * l.shareAtMost(kFrameMs)) +
            (unhandled ? ", " + std::to_string(unhandled) + " never shown" : ""),
        "every move", l.shareAtMost(kFrameMs) == 1.0 && unhandled == 0);
}

void splinters(XSession& x, const ProcStats& p, const XSession::Window& palette, int runs,
               double idleShare) {
    selectTool(x, palette, 120, 24);
    std::vector<double> above;
    long largest = 0, paints = 0;
    double flightMs = 0;
    for (int s = 0; s < runs; ++s) {
        x.click(x.screenWidth() / 5 + s * (x.screenWidth() / 20), x.screenHeight() * 4 / 5);
        x.pump(100);  // the crack itself is the strike's cost, not the flight's
        x.resetPaintCounters();
        const Load flight = measure(x, p, 1000);
        above.push_back(flight.cpuShare - idleShare);
        largest = std::max(largest, x.largestPaintArea());
        paints += x.paintCount();
        flightMs += flight.ms;
        x.pump(1500);
    }
    const SampleStats a(above);
    const long full = long(x.screenWidth()) * x.screenHeight();
    row(x, "splinter burst in flight: CPU above idle (% of a core)", fmt("%.2f", 100 * a.median()),
        fmt("idle %.2f", 100 * idleShare), "-", "<= 3", a.median() <= 0.03);
    row(x, "splinter burst: largest repaint (px) / repaints per s",
        std::to_string(largest) + fmt(" / %.0f", paints * 1e3 / flightMs),
        std::to_string(full) + " full screen",
        fmt("%.4f of the screen", double(largest) / double(full)), "no full-screen repaint",
        largest < full / 4);
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i], value = argv[i + 1];
        if (key == "--shatter")
            o.shatter = value;
        else if (key == "--bare")
            o.bare = value;
        else if (key == "--xwd")
            o.xwd = value;
        else if (key == "--xrandr")
            o.xrandr = value;
        else if (key == "--xsetroot")
            o.xsetroot = value;
        else if (key == "--scratch")
            o.scratch = value;
        else if (key == "--only")
            o.only = value;
        else if (key == "--scale")
            o.scale = std::max(1.0, std::atof(value.c_str()));
        else if (key == "--runs")
            o.runs = std::max(1, std::atoi(value.c_str()));
    }
    if (o.shatter.empty() || o.bare.empty())
        fail(
            "usage: whole_process --shatter PATH --bare PATH [--runs N] [--scratch DIR] [--only "
            "WHAT]");
    gScale = o.scale;
    XSession x;
    if (!x.ok()) fail("no X display");

    if ((o.only.empty() && o.scale == 1) || o.only == "startup") startup(x, o);
    if (o.only == "monitors") return enterOnMonitors(x, o), 0;
    if (o.only == "follow") return followGrowth(x, o), 0;
    if (o.only.empty() || o.only == "enter") enterCanvas(x, o);
    if (!o.only.empty() && o.only != "chainsaw") return 0;

    ChildProcess child;
    const Entered e = enter(x, child, o);
    const ProcStats p(child.pid());
    x.pump(1000);

    // Idle first: nothing selected, nothing flying.
    const long s0 = p.mainThreadSwitches().value_or(0);
    x.resetPaintCounters();
    const Load idle = measure(x, p, 3000);
    const long wakeups = p.mainThreadSwitches().value_or(0) - s0;
    const long idlePaints = x.paintCount();
    row(x, "idle with canvas open: CPU (% of a core) / GUI wake-ups per s",
        fmt("%.2f", 100 * idle.cpuShare) + fmt(" / %.1f", wakeups * 1e3 / idle.ms), "-",
        std::to_string(idlePaints) + " repaints", "0 % CPU, no timers",
        idle.cpuShare < 0.005 && wakeups == 0 && idlePaints == 0);

    chainsaw(x, p, e.palette, o.runs);
    if (!o.only.empty()) return 0;
    if (o.scale == 1) splinters(x, p, e.palette, o.runs, idle.cpuShare);

    const long rss = p.residentKb().value_or(0);
    const bool fourK = x.screenWidth() >= 3840;
    const double limit = fourK ? 120 : 70;
    row(x, "resident memory with canvas open (MB)", fmt("%.1f", rss / 1024.0), "-", "-",
        fmt("<= %.0f", limit), rss / 1024.0 <= limit);
    child.stop();
    return 0;
}
