#pragma once

#include <QImage>
#include <QRect>
#include <QString>
#include <cstdint>

#include "platform/device_scale.h"

class PersistentImage;

// The sprite holders the tools copy from (the splinter is not one: it is only shown).
enum class SpriteSet { Glass, Bomb, Bomb2, Bomb3, To };

// All a tool may touch on the canvas. The canvas implements it; tests and benchmarks use
// their own so a tool can run without a window.
class CanvasSurface {
  public:
    virtual ~CanvasSurface() = default;

    // The persistent image, in device pixels, with the drawing colour and the pen width (already
    // scaled) the tools draw in.
    virtual PersistentImage& image() = 0;
    // How the tools' logical positions and sizes map onto the image.
    virtual DeviceScale scale() const { return DeviceScale(); }
    // Holder `index` of a set (PicGlass(1..3), PicBomb(1, 2), ...); To has no index.
    virtual const QImage& sprite(SpriteSet set, int index) const = 0;
    // The same picture scaled to device pixels, the one the tools copy.
    virtual const QImage& deviceSprite(SpriteSet set, int index) const {
        return sprite(set, index);
    }
    // Shows the touched rectangle now, before the handler goes on.
    virtual void Refresh(const QRect& dirty) = 0;
    // Shows the touched rectangle at the next repaint.
    virtual void invalidate(const QRect& dirty) = 0;
    virtual void playSound(const QString& name, int16_t flags) = 0;
    virtual void playNoSound() = 0;
    virtual void showPalette() = 0;
    virtual void splinterBurst(double X, double Y) = 0;
};
