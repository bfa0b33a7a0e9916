#include "canvas/splinter_animation.h"

#include <QPainter>

SplinterAnimation::SplinterAnimation(const QImage& splinter, QPoint holder, QSize area,
                                     Invalidate invalidate, DeviceScale scale)
    : m_scale(scale),
      m_logicalSprite(splinter.size()),
      m_deviceArea(scale.size(area)),
      m_sprite(keyedSprite(scale.sprite(splinter))),
      m_area(area),
      m_invalidate(std::move(invalidate)) {
    m_pos.fill(scale.point(holder.x(), holder.y()));
    m_timer.setInterval(kStepIntervalMs);
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { step(); });
}

SplinterAnimation::~SplinterAnimation() {
    m_timer.stop();
}

QImage SplinterAnimation::keyedSprite(const QImage& picture) {
    QImage out = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if ((line[x] | 0xFF000000u) == kKeyColour) line[x] = 0;
    }
    return out;
}

void SplinterAnimation::addRect(QRegion& dirty, int i) const {
    const QRect r = holderRect(i).intersected(QRect(QPoint(0, 0), m_deviceArea));
    if (!r.isEmpty()) dirty += r;
}

void SplinterAnimation::start(double X, double Y) {
    Formula::SplinterBurst(X, Y);
    QRegion dirty;
    for (int i = 0; i < holderCount(); ++i) {
        if (m_visible[i]) addRect(dirty, i);
        place(i, Formula::Splinters[i]);
        m_visible[i] = true;
        addRect(dirty, i);
    }
    m_steps = 0;
    if (m_invalidate && !dirty.isEmpty()) m_invalidate(dirty);
    m_timer.start();
}

void SplinterAnimation::place(int i, const Formula::SplinterState& s) {
    // s times the logical step, rounded once from the logical position so no error adds up.
    m_pos[i] = m_scale.point(s.Left, s.Top);
}

void SplinterAnimation::step() {
    if (!m_timer.isActive()) return;
    QRegion dirty;
    Formula::StepSplinters();
    bool anyLeft = false;
    for (int i = 0; i < holderCount(); ++i) {
        addRect(dirty, i);
        const Formula::SplinterState& s = Formula::Splinters[i];
        place(i, s);
        addRect(dirty, i);
        anyLeft = anyLeft || !Formula::SplinterGone(s, m_area, m_logicalSprite);
    }
    ++m_steps;
    if (!anyLeft || m_steps >= kMaxSteps) finish(dirty);
    if (m_invalidate && !dirty.isEmpty()) m_invalidate(dirty);
}

void SplinterAnimation::finish(QRegion& dirty) {
    m_timer.stop();
    for (int i = 0; i < holderCount(); ++i) {
        if (m_visible[i]) addRect(dirty, i);
        m_visible[i] = false;
    }
}

void SplinterAnimation::stop() {
    QRegion dirty;
    finish(dirty);
    if (m_invalidate && !dirty.isEmpty()) m_invalidate(dirty);
}

void SplinterAnimation::paint(QPainter& p, const QRect& rect) const {
    for (int i = 0; i < holderCount(); ++i)
        if (m_visible[i] && holderRect(i).intersects(rect)) p.drawImage(m_pos[i], m_sprite);
}
