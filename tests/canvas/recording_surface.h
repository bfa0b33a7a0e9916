#pragma once

#include <QStringList>
#include <map>

#include "canvas/canvas_surface.h"
#include "canvas/persistent_image.h"
#include "platform/platform.h"

// A canvas for one tool alone: a white image, plain sprites of the sizes the tools copy, and a log
// of what the tool asked for. "R x,y wxh" a refresh ("R-" of nothing), "I" the same for a
// repaint later, "S file/flags" a sound, "N" silence, "B x,y" a burst, "+ms" time passing.
class RecordingSurface final : public CanvasSurface {
  public:
    RecordingSurface() : img(QSize(1024, 768), 0xFFFFFF) {
        const std::pair<SpriteSet, QSize> sizes[] = {{SpriteSet::Glass, {178, 155}},
                                                     {SpriteSet::Bomb, {14, 13}},
                                                     {SpriteSet::Bomb2, {20, 19}},
                                                     {SpriteSet::Bomb3, {60, 60}},
                                                     {SpriteSet::To, {101, 50}}};
        for (const auto& [set, size] : sizes)
            for (int n = 0; n <= 3; ++n) {
                QImage i(size, QImage::Format_RGB32);
                i.fill(n == 2 ? qRgb(0, 0, 0) : qRgb(40 * n, 200, 40 * n));  // 2: the masks
                sprites[{set, n}] = i;
            }
        m_time = platform().clock->tickCount();
    }

    PersistentImage& image() override { return img; }
    const QImage& sprite(SpriteSet set, int index) const override {
        return sprites.at({set, set == SpriteSet::To ? 0 : index});
    }
    void Refresh(const QRect& r) override { log(QStringLiteral("R") + text(r)); }
    void invalidate(const QRect& r) override { log(QStringLiteral("I") + text(r)); }
    void playSound(const QString& name, int16_t flags) override {
        log(QStringLiteral("S%1/%2").arg(name).arg(flags));
    }
    void playNoSound() override { log(QStringLiteral("N")); }
    void showPalette() override { log(QStringLiteral("P")); }
    void splinterBurst(double X, double Y) override { log(QStringLiteral("B%1,%2").arg(X).arg(Y)); }

    PersistentImage img;
    std::map<std::pair<SpriteSet, int>, QImage> sprites;
    QStringList calls;

  private:
    static QString text(const QRect& r) {
        if (r.isEmpty()) return QStringLiteral("-");
        return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    }
    void log(const QString& call) {
        const uint32_t now = platform().clock->tickCount();
        if (now != m_time) calls << QStringLiteral("+%1").arg(now - m_time);
        m_time = now;
        calls << call;
    }
    uint32_t m_time = 0;
};
