#include "canvas/tools/giant_cannon_tool.h"

#include "canvas/canvas_surface.h"
#include "canvas/persistent_image.h"
#include "canvas/rounding.h"
#include "canvas/tools/random_pick.h"

void GiantCannonTool::press(CanvasSurface& canvas, double X, double Y) {
    PersistentImage& image = canvas.image();
    const QPoint muzzle = roundPx(X - kMuzzleOffset.x(), Y - kMuzzleOffset.y());
    QRect touched = image.blit(canvas.sprite(SpriteSet::Bomb2, 2), kMuzzle, muzzle, RasterOp::And);
    touched |= image.blit(canvas.sprite(SpriteSet::Bomb2, 1), kMuzzle, muzzle, RasterOp::Xor);
    canvas.Refresh(touched);
    platform().clock->sleepMs(kPauseMs);
    canvas.playSound(QStringLiteral("Bomb.wav"), 1);
    Formula::CraterIndex = seededOneToThree();
    const QPoint crater = roundPx(X - kCraterOffset.x(), Y - kCraterOffset.y());
    canvas.Refresh(image.blit(canvas.sprite(SpriteSet::Bomb3, Formula::CraterIndex), kCrater,
                              crater, RasterOp::And));
}
