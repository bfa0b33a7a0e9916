#include "canvas/capture_screen.h"

#include <QObject>
#include <algorithm>
#include <cmath>
#include <limits>

#include "canvas/formula_start.h"
#include "layouts/layouts.h"
#include "platform/platform.h"
#include "shell/forms.h"

namespace Formula {

int32_t ScreenPixels(double twips, double twipsPerPixel) {
    constexpr double limit = std::numeric_limits<int32_t>::max();
    if (!std::isfinite(twips) || !std::isfinite(twipsPerPixel)) return 0;
    const double t = std::nearbyint(std::clamp(twips, 0.0, limit));
    const double per = std::nearbyint(std::clamp(twipsPerPixel, 0.0, limit));
    if (per < 1) return 0;
    return static_cast<int32_t>(t) / static_cast<int32_t>(per);
}

bool CaptureScreen() {
    Formula_Start& canvas = forms().get<Formula_Start>();
    // Under Wayland the capture waits for the desktop, and the screen may change meanwhile:
    // the canvas takes the screen as it is once the picture has come.
    CaptureResult shot = platform().capture->grabPrimaryScreen();
    // The layouts count 15 twips to the pixel whatever the display reports, so the snapshot
    // is exactly the screen in device pixels and a saved picture has no margin.
    const DeviceScale scale = DeviceScale::ofPrimaryScreen();
    canvas.setScale(scale);
    QSize screen = DeviceScale::primaryScreenSize();
    if (screen.isEmpty()) screen = scale.size(canvas.size());
    ScreenWidthPx = ScreenPixels(double(screen.width()) * kTwipsPerPixel, kTwipsPerPixel);
    ScreenHeightPx = static_cast<int16_t>(
        std::min<int32_t>(ScreenPixels(double(screen.height()) * kTwipsPerPixel, kTwipsPerPixel),
                          std::numeric_limits<int16_t>::max()));
    const QSize size(ScreenWidthPx, ScreenHeightPx);
    if (shot.image.size() == size && shot.image.format() == QImage::Format_RGB32) {
        canvas.setScreenSize(size, std::move(shot.image));
        return true;
    }
    canvas.setScreenSize(size);
    if (shot.image.isNull()) {
        const QString why = shot.error.isEmpty() ? QStringLiteral("系統沒有給出畫面") : shot.error;
        platform().messages->error(nullptr, QStringLiteral("Shatter"),
                                   QStringLiteral("無法拍下螢幕畫面：%1。").arg(why));
        return false;
    }
    canvas.image().blit(shot.image, QRect(0, 0, ScreenWidthPx, ScreenHeightPx), QPoint(0, 0),
                        RasterOp::Copy);
    return true;
}

}  // namespace Formula
