#include "canvas/tools/giant_cannon_tool.h"

#include "canvas/canvas_surface.h"
#include "canvas/persistent_image.h"
#include "canvas/tools/random_pick.h"

void GiantCannonTool::press(CanvasSurface& canvas, double X, double Y) {
    PersistentImage& image = canvas.image();
    const DeviceScale scale = canvas.scale();
    const QPoint muzzle = scale.point(X - kMuzzleOffset.x(), Y - kMuzzleOffset.y());
    const QRect muzzleRect = scale.sourceRect(kMuzzle);
    QRect touched =
        image.blit(canvas.deviceSprite(SpriteSet::Bomb2, 2), muzzleRect, muzzle, RasterOp::And);
    touched |=
        image.blit(canvas.deviceSprite(SpriteSet::Bomb2, 1), muzzleRect, muzzle, RasterOp::Xor);
    canvas.Refresh(touched);
    platform().clock->sleepMs(kPauseMs);
    canvas.playSound(QStringLiteral("Bomb.wav"), 1);
    Formula::CraterIndex = seededOneToThree();
    const QPoint crater = scale.point(X - kCraterOffset.x(), Y - kCraterOffset.y());
    canvas.Refresh(image.blit(canvas.deviceSprite(SpriteSet::Bomb3, Formula::CraterIndex),
                              scale.sourceRect(kCrater), crater, RasterOp::And));
}
