#pragma once

#include <QImage>
#include <QPoint>
#include <QRegion>
#include <QSize>
#include <QTimer>
#include <array>
#include <functional>

#include "canvas/splinter_burst.h"
#include "platform/device_scale.h"

class QPainter;

// The 21 splinter sprites of the canvas and the timer that moves them. The sprites are drawn
// over the canvas's image when it paints, never into it, so they are not part of a saved
// picture. Each step repaints only where a sprite was and where it is now; the timer runs
// only while a burst is in the air. The flight is worked out in logical pixels; sprites,
// positions and repaints are in device pixels.
class SplinterAnimation {
  public:
    static constexpr int kStepIntervalMs = 16;  // about 60 steps a second
    // A guard only: on any real canvas every splinter is gone long before this.
    static constexpr int kMaxSteps = 2000;
    static constexpr QRgb kKeyColour = 0xFFFF00FFu;  // pure magenta: "no pixel"

    using Invalidate = std::function<void(const QRegion&)>;

    // splinter: the sprite with its key colour; holder: where the hidden holders sit; area: the
    // canvas in logical pixels.
    SplinterAnimation(const QImage& splinter, QPoint holder, QSize area, Invalidate invalidate,
                      DeviceScale scale = DeviceScale());
    ~SplinterAnimation();
    SplinterAnimation(const SplinterAnimation&) = delete;
    SplinterAnimation& operator=(const SplinterAnimation&) = delete;

    // Restarts all 21 splinters from the point and keeps them flying until all are gone.
    void start(double X, double Y);
    // One step of every splinter; ends the burst once none can be seen again.
    void step();
    // Hides every splinter and stops the timer.
    void stop();

    bool running() const { return m_timer.isActive(); }
    int stepsTaken() const { return m_steps; }
    const QTimer& timer() const { return m_timer; }
    static constexpr int holderCount() { return Formula::kSplinterCount; }
    bool holderVisible(int i) const { return m_visible[i]; }
    QPoint holderPos(int i) const { return m_pos[i]; }  // device pixels
    QRect holderRect(int i) const { return QRect(m_pos[i], m_sprite.size()); }
    const QImage& sprite() const { return m_sprite; }

    // Draws the visible splinters that meet rect.
    void paint(QPainter& p, const QRect& rect) const;

    // The sprite as premultiplied ARGB, key colour fully transparent.
    static QImage keyedSprite(const QImage& picture);

  private:
    void addRect(QRegion& dirty, int i) const;
    void finish(QRegion& dirty);

    void place(int i, const Formula::SplinterState& s);

    DeviceScale m_scale;
    QSize m_logicalSprite;
    QSize m_deviceArea;
    QImage m_sprite;
    std::array<QPoint, Formula::kSplinterCount> m_pos;
    std::array<bool, Formula::kSplinterCount> m_visible{};
    QSize m_area;
    Invalidate m_invalidate;
    QTimer m_timer;
    int m_steps = 0;
};
