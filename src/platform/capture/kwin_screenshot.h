#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QImage>
#include <QVariantMap>
#include <optional>

#include "platform/capture/portal_screenshot.h"
#include "platform/platform.h"

// KWin takes the picture itself for programs whose installed menu entry asks for it, and
// sends the raw pixels down a pipe: no portal, no dialog, no file.
class KWinScreenshot {
  public:
    static constexpr int kTimeoutMs = PortalScreenshot::kTimeoutMs;

    explicit KWinScreenshot(QDBusConnection bus, int timeoutMs = kTimeoutMs);

    // The primary screen's own pixels; nothing when the session has no KWin screenshot
    // service at all. Lets window messages run while it waits, never longer than the timeout.
    std::optional<CaptureResult> grabPrimaryScreen();

    // One capture call (CaptureScreen, CaptureWorkspace) with a pipe appended to args; the
    // reply's error, or the picture in its own format.
    struct Shot {
        QImage image;
        QDBusError error;
        QString why;  // for the user, when it failed
    };
    Shot capture(const QString& method, const QVariantList& args, const QDeadlineTimer& deadline);

    // The picture behind KWin's description of the raw pixels, or why they do not add up.
    static Shot describe(const QVariantMap& results);

  private:
    QDBusMessage call(const QDBusMessage& message, const QDeadlineTimer& deadline);

    QDBusConnection m_bus;
    int m_timeoutMs;
};

// Where the desktop lets no program read the screen: KWin's own service where the session has
// it, the portal where it has not or where KWin refuses or fails.
CaptureResult grabWaylandDesktop(QDBusConnection bus, int timeoutMs = KWinScreenshot::kTimeoutMs);
