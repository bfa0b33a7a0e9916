#include "canvas/capture_screen.h"

#include <QGuiApplication>
#include <QObject>
#include <QScreen>
#include <algorithm>
#include <cmath>
#include <limits>

#include "canvas/formula_start.h"
#include "canvas/snapshot_scale.h"
#include "layouts/layouts.h"
#include "platform/platform.h"
#include "platform/primary_screen.h"
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

namespace {
// Where the picture covers the screen at a factor of its own (a fractional scale Qt rounded),
// the canvas takes that factor and the picture's size: the desktop 1:1 on the output's pixels.
void takeSnapshotScale(Formula_Start& canvas, QSize picture) {
    const QScreen* screen = PrimaryScreen::current();
    const auto s =
        screen ? snapshotScale(picture, screen->geometry().size(), screen->devicePixelRatio())
               : std::nullopt;
    if (!s || picture.height() > std::numeric_limits<int16_t>::max()) return;
    canvas.setScale(DeviceScale(*s));
    ScreenWidthPx = picture.width();
    ScreenHeightPx = static_cast<int16_t>(picture.height());
}
}  // namespace

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
    if (shot.image.size() != size && shot.image.format() == QImage::Format_RGB32)
        takeSnapshotScale(canvas, shot.image.size());
    const QSize taken(ScreenWidthPx, ScreenHeightPx);
    if (shot.image.size() == taken && shot.image.format() == QImage::Format_RGB32) {
        canvas.setScreenSize(taken, std::move(shot.image));
        return true;
    }
    canvas.setScreenSize(taken);
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
