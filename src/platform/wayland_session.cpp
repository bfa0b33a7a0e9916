#include "platform/wayland_session.h"

#include <QGuiApplication>
#include <QWindow>

namespace WaylandSession {

bool isWaylandSession(const QString& qtPlatform, const QString& waylandDisplay,
                      const QString& sessionType) {
    if (qtPlatform.startsWith(QLatin1String("wayland"))) return true;
    if (!qtPlatform.startsWith(QLatin1String("xcb"))) return false;
    return !waylandDisplay.isEmpty() ||
           sessionType.compare(QLatin1String("wayland"), Qt::CaseInsensitive) == 0;
}

bool current() {
    return isWaylandSession(QGuiApplication::platformName(),
                            qEnvironmentVariable("WAYLAND_DISPLAY"),
                            qEnvironmentVariable("XDG_SESSION_TYPE"));
}

void keepAboveFullScreen(QWindow* window) {
    if (!window || !current() || window->transientParent()) return;
    for (QWindow* w : QGuiApplication::topLevelWindows())
        if (w != window && w->isVisible() && (w->windowStates() & Qt::WindowFullScreen))
            return window->setTransientParent(w);
}

}  // namespace WaylandSession
