#pragma once

#include <QString>

class QWindow;

// Which desktop the program runs on decides how the screen is read and how windows behave.
namespace WaylandSession {

// The desktop is a Wayland compositor, whether Qt talks to it natively or through XWayland,
// where the X screen holds only the X clients' pixels.
bool isWaylandSession(const QString& qtPlatform, const QString& waylandDisplay,
                      const QString& sessionType);
bool current();
// Qt talks to the compositor itself, not through XWayland.
bool nativeWayland();

// Whether the desktop (XDG_CURRENT_DESKTOP, such as "ubuntu:GNOME") fades a hidden window out
// while its screenshots still show it: GNOME Shell does, for 150 ms.
bool fadesHiddenWindows(const QString& currentDesktop);

// A compositor hides floating windows behind a full-screen one unless they belong to it,
// also through XWayland: makes the window a child of the program's full-screen window, if one
// is showing. On Wayland, where that parent counts only once it is mapped, a window shown
// before then is shown again when it is.
void keepAboveFullScreen(QWindow* window);

}  // namespace WaylandSession
