#pragma once

#include <QImage>
#include <QRect>

// Hiding a window does not take it off the screen at once: the window manager removes its
// frame and the windows beneath repaint, each in its own time. A snapshot taken too early
// still shows the window.
namespace ScreenSettle {

// Where the screen tells when it is drawn on, the area counts as settled once nothing has been
// drawn there for kQuietMs; elsewhere it is read every kPollMs and must stay the same for
// kStableMs.
constexpr int kQuietMs = 10;
constexpr int kPollMs = 15;
constexpr int kStableMs = 30;
constexpr int kTimeoutMs = 1000;

// True while the area still looks like the window that covered it: at least 90 % of the
// pixels within a small tolerance, covered stretched to the size of now first (a picture in
// logical pixels against one in device pixels).
bool stillShows(const QImage& now, const QImage& covered);

// Lets window messages run until the area no longer shows covered and has settled, or the
// timeout has passed, and returns the area as it was read last (device pixels). Returns at
// once, null, when the screen cannot be read.
QImage waitUntilUncovered(const QRect& area, const QImage& covered, int timeoutMs = kTimeoutMs);

}  // namespace ScreenSettle
