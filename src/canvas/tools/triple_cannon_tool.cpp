#include "canvas/tools/triple_cannon_tool.h"

#include "canvas/canvas_surface.h"
#include "canvas/persistent_image.h"
#include "canvas/rounding.h"
#include "platform/platform.h"
#include "shell/formula.h"

void TripleCannonTool::volley(CanvasSurface& canvas, double X, double Y, bool fromPress) {
    using namespace Formula;
    PersistentImage& image = canvas.image();
    for (CannonMode = 1; CannonMode <= 3; ++CannonMode) {
        const QPoint centre = roundPx(X + CannonX, Y + CannonY);
        // Rounded once, after the offset: a fractional pointer must not move the sprite twice.
        const QPoint at = roundPx(X + CannonX - kShotCentre.x(), Y + CannonY - kShotCentre.y());
        // Mask first, then the picture: together they draw the shot's shape only.
        QRect touched = image.blit(canvas.sprite(SpriteSet::Bomb, 2), kShot, at, RasterOp::And);
        touched |= image.blit(canvas.sprite(SpriteSet::Bomb, 1), kShot, at, RasterOp::Xor);
        canvas.Refresh(touched);
        // The muzzle flash stays on screen a moment before the hole is punched into it.
        if (fromPress) platform().clock->sleepMs(kShotPauseMs);
        canvas.invalidate(image.point(centre));
        if (fromPress) canvas.playSound(QStringLiteral("Gun.wav"), 9);
        CannonX = static_cast<int16_t>(CannonX + kAimStep);
        CannonY = static_cast<int16_t>(CannonY - kAimStep);
    }
}

void TripleCannonTool::press(CanvasSurface& canvas, double X, double Y) {
    // The aim is left where the volley ended: the first move goes on from there.
    volley(canvas, X, Y, true);
}

void TripleCannonTool::move(CanvasSurface& canvas, double X, double Y) {
    volley(canvas, X, Y, false);
    Formula::CannonX = kAimX, Formula::CannonY = kAimY;
}

void TripleCannonTool::release(CanvasSurface& canvas, double, double) {
    canvas.playNoSound();
    Formula::CannonX = kAimX, Formula::CannonY = kAimY;
}
