#include "canvas/tools/hammer_tool.h"

#include "canvas/canvas_surface.h"
#include "canvas/persistent_image.h"
#include "canvas/tools/random_pick.h"

void HammerTool::press(CanvasSurface& canvas, double X, double Y) {
    using namespace Formula;
    GlassIndex = seededOneToThree();
    // Each picture has its point of impact in a different place.
    if (GlassIndex == 2) {
        GlassOffsetX = 80, GlassOffsetY = 80;
    } else {
        GlassOffsetX = 105, GlassOffsetY = 60;
    }
    const DeviceScale scale = canvas.scale();
    const QPoint at = scale.point(X - GlassOffsetX, Y - GlassOffsetY);
    canvas.Refresh(canvas.image().blit(canvas.deviceSprite(SpriteSet::Glass, GlassIndex),
                                       scale.sourceRect(kCrack), at, RasterOp::And));
    canvas.playSound(QStringLiteral("Glass.wav"), 1);
    canvas.splinterBurst(X, Y);
}
