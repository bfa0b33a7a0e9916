#include "platform/capture/qt_screen_capture.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include "platform/capture/kwin_screenshot.h"
#include "platform/capture/x11_repaint_watch.h"
#include "platform/capture/x11_shm_grab.h"
#include "platform/device_scale.h"
#include "platform/primary_screen.h"
#include "platform/wayland_session.h"

namespace {

class QtScreenCapture final : public ScreenCapture {
  public:
    CaptureResult grabPrimaryScreen() override {
        // Under Wayland the X screen of XWayland holds only X clients: ask the compositor.
        if (WaylandSession::current()) return grabWaylandDesktop(QDBusConnection::sessionBus());
        QScreen* screen = PrimaryScreen::current();
        if (!screen) return {{}, QStringLiteral("找不到螢幕")};
        // Qt keeps a screen's top-left corner in device pixels when it scales.
        const QRect device(screen->geometry().topLeft(), DeviceScale::primaryScreenSize());
        if (QImage fast = grabX11RootThroughSharedMemory(device); !fast.isNull())
            return {std::move(fast), {}};
        // Qt's grab is in device pixels already, whatever the scale factor.
        const QPixmap shot = screen->grabWindow(0);
        if (shot.isNull()) return {{}, QStringLiteral("視窗系統拒絕擷取螢幕")};
        QImage image = shot.toImage().convertToFormat(QImage::Format_RGB32);
        image.setDevicePixelRatio(1);
        return {std::move(image), {}};
    }
    QImage grabArea(const QRect& area) override {
        QScreen* screen = screenOf(area);
        if (!screen) return {};
        if (QImage fast = grabX11RootThroughSharedMemory(inDevicePixels(*screen, area));
            !fast.isNull())
            return fast;
        // The grab counts from the screen's own corner and adds its offset itself.
        const QPoint at = area.topLeft() - screen->geometry().topLeft();
        return screen->grabWindow(0, at.x(), at.y(), area.width(), area.height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }
    std::unique_ptr<QObject> watchRepaints(const QRect& area,
                                           std::function<void()> repainted) override {
        QScreen* screen = screenOf(area);
        if (!screen) return {};
        return watchX11RootRepaints(inDevicePixels(*screen, area), std::move(repainted));
    }

  private:
    static QScreen* screenOf(const QRect& area) {
        QScreen* screen = QGuiApplication::screenAt(area.center());
        if (!screen) screen = PrimaryScreen::current();
        return WaylandSession::current() ? nullptr : screen;
    }
    // Qt keeps a screen's corner in device pixels and scales only what lies within it.
    static QRect inDevicePixels(const QScreen& screen, const QRect& area) {
        const QPoint corner = screen.geometry().topLeft();
        const DeviceScale scale(screen.devicePixelRatio());
        const QPoint from = area.topLeft() - corner;
        return QRect(corner + scale.point(from.x(), from.y()), scale.screenSize(area.size()));
    }
};

}  // namespace

std::unique_ptr<ScreenCapture> makeQtScreenCapture() {
    return std::make_unique<QtScreenCapture>();
}
