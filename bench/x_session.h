#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "move_latency.h"

// One connection to the X display that watches what other programs map and paint, and
// injects pointer input through XTest. Times are CLOCK_MONOTONIC milliseconds, taken as each
// event is read, so they are as close to the server as a client can be.
class XSession {
  public:
    struct Window {
        xcb_window_t id = 0;  // the top-level as mapped on the root (the manager's frame)
        int x = 0, y = 0, width = 0, height = 0;
        double mappedAtMs = 0;
    };
    using DamageSink = std::function<void(const MoveLatency::Rect&, double atMs)>;

    XSession();
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    bool ok() const { return m_conn != nullptr; }
    int screenWidth() const { return m_screenW; }
    int screenHeight() const { return m_screenH; }
    // The canvas covers this rather than the root: the primary monitor of a wider root.
    void setScreenSize(int width, int height) { m_screenW = width, m_screenH = height; }

    // Waits for a root child of that size to be mapped since the last forgetWindows();
    // nothing on timeout.
    std::optional<Window> waitForMap(int width, int height, double timeoutMs);
    // Handles events until one window has been painted over an area of the whole screen:
    // that is the canvas from then on. The time that happened.
    std::optional<double> waitForFullPaint(double timeoutMs);
    // Handles events for that long, passing the canvas's paints to the sink.
    void pump(double forMs);
    // Handles whatever events are queued, without waiting.
    void drain();
    void setDamageSink(DamageSink sink) { m_sink = std::move(sink); }
    // Paint rectangles of the canvas seen so far, and their largest area.
    long paintCount() const { return m_paints; }
    long largestPaintArea() const { return m_largestPaint; }
    void resetPaintCounters() { m_paints = 0, m_largestPaint = 0; }
    // Forgets windows mapped so far, so waitForMap only sees new ones.
    void forgetWindows();

    void moveTo(int x, int y);
    void press(int button);
    void release(int button);
    void click(int x, int y, int button = 1);
    void flush();

    static double nowMs();

  private:
    void handle(xcb_generic_event_t* e, double atMs);
    bool waitForEvent(double untilMs);
    void watchPaints(xcb_window_t window);

    xcb_connection_t* m_conn = nullptr;
    xcb_window_t m_root = 0;
    int m_screenW = 0, m_screenH = 0;
    uint8_t m_damageEvent = 0;
    std::vector<Window> m_mapped;
    std::set<xcb_window_t> m_watched;
    long m_paints = 0, m_largestPaint = 0;
    std::map<xcb_window_t, long long> m_areaOf;  // painted so far, until the canvas is known
    xcb_window_t m_canvas = 0;
    DamageSink m_sink;
};
