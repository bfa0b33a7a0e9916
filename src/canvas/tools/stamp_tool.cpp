#include "canvas/tools/stamp_tool.h"

#include "canvas/canvas_surface.h"
#include "canvas/persistent_image.h"

void StampTool::press(CanvasSurface& canvas, double X, double Y) {
    canvas.playSound(QStringLiteral("To.wav"), 1);
    // W x H logical pixels, centred as on an unscaled screen; the copy is the picture scaled.
    const QImage& picture = canvas.sprite(SpriteSet::To, 0);
    const int W = picture.width(), H = picture.height();
    const QPoint at = canvas.scale().point(X - W / 2, Y - H / 2);
    const QImage& scaled = canvas.deviceSprite(SpriteSet::To, 0);
    canvas.Refresh(canvas.image().blit(scaled, scaled.rect(), at, RasterOp::Copy));
}
