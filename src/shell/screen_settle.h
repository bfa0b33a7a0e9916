#pragma once

#include <QImage>
#include <QRect>

// Hiding a window does not take it off the screen at once: the window manager removes its
// frame and the windows beneath repaint, each in its own time. A snapshot taken too early
// still shows the window.
namespace ScreenSettle {

constexpr int kPollMs = 15;
constexpr int kStableMs = 30;
constexpr int kTimeoutMs = 1000;

// True while the area still looks like the window that covered it: at least 90 % of the
// pixels within a small tolerance. Pictures of different sizes never match.
bool stillShows(const QImage& now, const QImage& covered);

// Lets window messages run until the area no longer shows covered and has stayed the same
// for kStableMs, or the timeout has passed. Returns at once when the screen cannot be read.
void waitUntilUncovered(const QRect& area, const QImage& covered, int timeoutMs = kTimeoutMs);

}  // namespace ScreenSettle
