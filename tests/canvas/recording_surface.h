#pragma once

#include <QPointF>
#include <QStringList>
#include <map>
#include <vector>

#include "canvas/canvas_surface.h"
#include "canvas/persistent_image.h"
#include "platform/platform.h"

// A canvas for running one tool alone: a white image and plain sprites of the design's sizes,
// and a log of everything the tool asked for, stamped with the (fake) clock.
class RecordingSurface final : public CanvasSurface {
  public:
    struct Call {
        QString what;  // "refresh", "invalidate", "sound", "nosound", "palette", "burst"
        QRect rect;
        QString sound;
        int flags = 0;
        QPointF at;
        uint32_t time = 0;
    };

    explicit RecordingSurface(QSize size = QSize(1024, 768)) : img(size, 0xFFFFFF) {
        auto solid = [](QSize s, QRgb c) {
            QImage i(s, QImage::Format_RGB32);
            i.fill(c);
            return i;
        };
        for (int n = 1; n <= 3; ++n)
            sprites[{SpriteSet::Glass, n}] = solid(QSize(178, 155), qRgb(40 * n, 40 * n, 40 * n));
        sprites[{SpriteSet::Bomb, 1}] = solid(QSize(14, 13), qRgb(0, 200, 0));  // on black
        sprites[{SpriteSet::Bomb, 2}] = solid(QSize(14, 13), qRgb(0, 0, 0));    // mask
        sprites[{SpriteSet::Bomb2, 1}] = solid(QSize(20, 19), qRgb(200, 0, 0));
        sprites[{SpriteSet::Bomb2, 2}] = solid(QSize(20, 19), qRgb(0, 0, 0));
        for (int n = 1; n <= 3; ++n)
            sprites[{SpriteSet::Bomb3, n}] = solid(QSize(60, 60), qRgb(50 * n, 50 * n, 50 * n));
        sprites[{SpriteSet::To, 0}] = solid(QSize(101, 50), qRgb(1, 2, 3));
    }

    PersistentImage& image() override { return img; }
    const QImage& sprite(SpriteSet set, int index) const override {
        static const QImage none;
        auto it = sprites.find({set, set == SpriteSet::To ? 0 : index});
        return it == sprites.end() ? none : it->second;
    }
    void Refresh(const QRect& dirty) override { log(QStringLiteral("refresh"), dirty); }
    void invalidate(const QRect& dirty) override { log(QStringLiteral("invalidate"), dirty); }
    void playSound(const QString& name, int16_t flags) override {
        log(QStringLiteral("sound"), {}, name, flags);
    }
    void playNoSound() override { log(QStringLiteral("nosound")); }
    void showPalette() override { log(QStringLiteral("palette")); }
    void splinterBurst(double X, double Y) override {
        log(QStringLiteral("burst"), {}, {}, 0, QPointF(X, Y));
    }

    std::vector<QRect> rects(const QString& what) const {
        std::vector<QRect> out;
        for (const Call& c : calls)
            if (c.what == what) out.push_back(c.rect);
        return out;
    }
    QStringList kinds() const {
        QStringList out;
        for (const Call& c : calls) out << c.what;
        return out;
    }

    PersistentImage img;
    std::map<std::pair<SpriteSet, int>, QImage> sprites;
    std::vector<Call> calls;

  private:
    void log(const QString& what, QRect rect = {}, QString sound = {}, int flags = 0,
             QPointF at = {}) {
        const uint32_t time = platform().clock ? platform().clock->tickCount() : 0;
        calls.push_back(Call{what, rect, std::move(sound), flags, at, time});
    }
};
