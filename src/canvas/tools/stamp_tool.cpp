#include "canvas/tools/stamp_tool.h"

#include "canvas/canvas_surface.h"
#include "canvas/persistent_image.h"
#include "canvas/rounding.h"

void StampTool::press(CanvasSurface& canvas, double X, double Y) {
    canvas.playSound(QStringLiteral("To.wav"), 1);
    const QImage& picture = canvas.sprite(SpriteSet::To, 0);
    const int W = picture.width(), H = picture.height();
    const QPoint at = roundPx(X - W / 2, Y - H / 2);
    canvas.Refresh(canvas.image().blit(picture, QRect(0, 0, W, H), at, RasterOp::Copy));
}
