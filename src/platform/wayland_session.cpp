#include "platform/wayland_session.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>
#include <QWindow>

namespace WaylandSession {

namespace {

// Shows a window once more as soon as its parent has been mapped. On Wayland a window's parent
// goes out with the window's first surface only, and a compositor treats a parent that has not
// yet committed a frame as no parent at all, which leaves the child behind the full-screen one.
// A widget paints while its expose event is handled, so the frame is out once that returns.
class ShowAgainOnceMapped final : public QObject {
  public:
    ShowAgainOnceMapped(QWindow* child, QWindow* parent) : QObject(child), m_child(child) {
        parent->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        auto* parent = qobject_cast<QWindow*>(watched);
        if (e->type() != QEvent::Expose || !parent || !parent->isExposed()) return false;
        parent->removeEventFilter(this);
        QTimer::singleShot(0, m_child, [child = m_child, parent = QPointer<QWindow>(parent)] {
            // A modal dialog is left alone: hiding it would end its event loop.
            if (child && parent && child->isVisible() && child->transientParent() == parent &&
                child->modality() == Qt::NonModal) {
                child->hide();
                child->show();
            }
        });
        deleteLater();
        return false;
    }

  private:
    QPointer<QWindow> m_child;
};

}  // namespace

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

bool nativeWayland() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

bool fadesHiddenWindows(const QString& currentDesktop) {
    return currentDesktop.split(':').contains(QLatin1String("GNOME"), Qt::CaseInsensitive);
}

void keepAboveFullScreen(QWindow* window) {
    if (!window || !current() || window->transientParent()) return;
    for (QWindow* w : QGuiApplication::topLevelWindows()) {
        if (w == window || !w->isVisible() || !(w->windowStates() & Qt::WindowFullScreen)) continue;
        window->setTransientParent(w);
        // Through XWayland the parent is a property the compositor reads whenever it changes.
        if (nativeWayland() && !w->isExposed()) new ShowAgainOnceMapped(window, w);
        return;
    }
}

}  // namespace WaylandSession
