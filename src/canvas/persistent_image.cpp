#include "canvas/persistent_image.h"

#include "canvas/action_history.h"

#include <QPainter>
#include <algorithm>
#include <cstdlib>
#include <utility>

namespace {
constexpr uint32_t kOpaque = 0xFF000000u;
constexpr uint32_t kColourBits = 0x00FFFFFFu;
constexpr int kPrefetchRows = 8;

inline uint32_t toPixel(Colour c) {
    return kOpaque | ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}

// Plain loops over 32-bit words: the compiler vectorises them.
void copyRow(uint32_t* __restrict d, const uint32_t* __restrict s, int n) {
    for (int i = 0; i < n; ++i) d[i] = s[i] | kOpaque;
}
void andRow(uint32_t* __restrict d, const uint32_t* __restrict s, int n) {
    for (int i = 0; i < n; ++i) d[i] &= s[i] | kOpaque;
}
void xorRow(uint32_t* __restrict d, const uint32_t* __restrict s, int n) {
    for (int i = 0; i < n; ++i) d[i] ^= s[i] & kColourBits;
}
}  // namespace

PersistentImage::PersistentImage(QSize size, Colour background) { reset(size, background); }

void PersistentImage::reset(QSize size, Colour background) {
    m_image = QImage(size, QImage::Format_RGB32);
    m_image.fill(toPixel(background));
}

void PersistentImage::adopt(QImage picture) {
    Q_ASSERT(picture.format() == QImage::Format_RGB32);
    m_image = std::move(picture);
    // The alpha byte must read 0xFF, as every other way in makes sure. One pass over a
    // full-screen picture: no per-pixel calls.
    const int width = m_image.width();
    uchar* bits = m_image.bits();
    for (int y = 0; y < m_image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(bits + qsizetype(y) * m_image.bytesPerLine());
        for (QRgb* p = row; p != row + width; ++p) *p |= 0xFF000000u;
    }
}

void PersistentImage::replace(const QImage& picture, Colour background) {
    const QImage src = picture.convertToFormat(QImage::Format_RGB32);
    ActionHistory* const history = std::exchange(m_history, nullptr);
    if (history) {
        // The picture as it was goes to the history as it is, and a fresh one takes its place.
        QImage before = std::move(m_image);
        m_image = QImage(before.size(), QImage::Format_RGB32);
        history->replacingWhole(std::move(before));
    }
    m_image.fill(toPixel(background));
    blit(src, src.rect(), QPoint(0, 0), RasterOp::Copy);
    m_history = history;
}

QRegion PersistentImage::undo() {
    return m_history ? m_history->undo(m_image) : QRegion();
}

QRegion PersistentImage::redo() {
    return m_history ? m_history->redo(m_image) : QRegion();
}

void PersistentImage::resize(QSize size, const QImage& beyond, Colour background) {
    if (size == m_image.size()) return;
    const QImage kept = std::move(m_image);
    ActionHistory* const history = std::exchange(m_history, nullptr);
    if (beyond.size() == size) {
        QImage fresh = beyond.convertToFormat(QImage::Format_RGB32);
        fresh.setDevicePixelRatio(1);
        adopt(std::move(fresh));
    } else {
        reset(size, background);
    }
    blit(kept, kept.rect(), QPoint(0, 0), RasterOp::Copy);
    m_history = history;
}

void PersistentImage::setForeColor(Colour c) {
    m_fore = c & kColourBits;
    m_forePixel = toPixel(m_fore);
}

QRect PersistentImage::blit(const QImage& source, const QRect& srcRect, QPoint dest, RasterOp op) {
    if (source.isNull() || m_image.isNull()) return {};
    const QImage src = source.format() == QImage::Format_RGB32 ||
                               source.format() == QImage::Format_ARGB32
                           ? source
                           : source.convertToFormat(QImage::Format_RGB32);
    // Clip the source to itself, then the destination to the image, moving both together.
    QRect s = srcRect.intersected(src.rect());
    QPoint d = dest + (s.topLeft() - srcRect.topLeft());
    QRect target = QRect(d, s.size()).intersected(m_image.rect());
    if (target.isEmpty()) return {};
    s = QRect(s.topLeft() + (target.topLeft() - d), target.size());
    if (m_history) m_history->aboutToChange(m_image, target);
    const int n = target.width();
    const int rows = target.height();
    uchar* const first = m_image.bits() + qsizetype(target.top()) * m_image.bytesPerLine();
    auto prefetchRow = [&](int row) {
        const uchar* at =
            first + qsizetype(row) * m_image.bytesPerLine() + qsizetype(target.left()) * 4;
        for (int b = 0; b < n * 4; b += 64) __builtin_prefetch(at + b, 1);
    };
    for (int row = 0; row < rows && row < kPrefetchRows; ++row) prefetchRow(row);
    for (int row = 0; row < rows; ++row) {
        // Every row of a screen-sized image lies in another page, out of cache: ask for the
        // rows ahead now so their misses overlap instead of queueing one row at a time.
        if (row + kPrefetchRows < rows) prefetchRow(row + kPrefetchRows);
        auto* dp = reinterpret_cast<uint32_t*>(first + qsizetype(row) * m_image.bytesPerLine()) +
                   target.left();
        auto* sp = reinterpret_cast<const uint32_t*>(src.constScanLine(s.top() + row)) + s.left();
        switch (op) {
            case RasterOp::Copy: copyRow(dp, sp, n); break;
            case RasterOp::And: andRow(dp, sp, n); break;
            case RasterOp::Xor: xorRow(dp, sp, n); break;
        }
    }
    return target;
}

QRect PersistentImage::dot(QPoint p) {
    // Offsets lo..hi span exactly m_width pixels around p.
    const int lo = -(m_width - 1) / 2, hi = m_width / 2;
    const double c = (lo + hi) / 2.0, r2 = (m_width / 2.0) * (m_width / 2.0);
    const QRect bounds = QRect(QPoint(p.x() + lo, p.y() + lo), QPoint(p.x() + hi, p.y() + hi));
    const QRect clipped = bounds.intersected(m_image.rect());
    if (clipped.isEmpty()) return {};
    if (m_history) m_history->aboutToChange(m_image, clipped);
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        auto* line = reinterpret_cast<uint32_t*>(m_image.scanLine(y));
        const double dy = y - p.y() - c;
        for (int x = clipped.left(); x <= clipped.right(); ++x) {
            const double dx = x - p.x() - c;
            if (m_width <= 2 || dx * dx + dy * dy <= r2) line[x] = m_forePixel;
        }
    }
    return clipped;
}

QRect PersistentImage::point(QPoint p) {
    m_pos = p;
    return dot(p);
}

QRect PersistentImage::segment(QPoint a, QPoint b) {
    // Bresenham, with a dot of the pen width at every step.
    int x = a.x(), y = a.y();
    const int dx = std::abs(b.x() - x), dy = -std::abs(b.y() - y);
    const int sx = x < b.x() ? 1 : -1, sy = y < b.y() ? 1 : -1;
    int err = dx + dy;
    const int pad = m_width / 2 + 1;
    const QRect bounds = QRect(a, b).normalized().adjusted(-pad, -pad, pad, pad);
    if (!bounds.intersects(m_image.rect())) return {};
    QRect touched;
    for (;;) {
        touched |= dot(QPoint(x, y));
        if (x == b.x() && y == b.y()) break;
        const int e2 = 2 * err;
        if (e2 >= dy) err += dy, x += sx;
        if (e2 <= dx) err += dx, y += sy;
    }
    return touched;
}

QRect PersistentImage::lineTo(QPoint p) {
    const QRect touched = segment(m_pos, p);
    m_pos = p;
    return touched;
}

QRect PersistentImage::box(QPoint a, QPoint b) {
    QRect touched = segment(a, QPoint(b.x(), a.y()));
    touched |= segment(QPoint(b.x(), a.y()), b);
    touched |= segment(b, QPoint(a.x(), b.y()));
    touched |= segment(QPoint(a.x(), b.y()), a);
    m_pos = b;
    return touched;
}

QRect PersistentImage::circle(QPoint centre, int radius) {
    m_pos = centre;
    if (radius < 0) radius = -radius;
    const int pad = radius + m_width / 2 + 1;
    if (!QRect(centre - QPoint(pad, pad), centre + QPoint(pad, pad)).intersects(m_image.rect()))
        return {};
    // Midpoint circle: eight symmetric points per step.
    QRect touched;
    int x = radius, y = 0, err = 1 - radius;
    while (x >= y) {
        const QPoint pts[8] = {{x, y}, {y, x}, {-y, x}, {-x, y}, {-x, -y}, {-y, -x}, {y, -x}, {x, -y}};
        for (const QPoint& d : pts) touched |= dot(centre + d);
        ++y;
        if (err < 0) {
            err += 2 * y + 1;
        } else {
            --x;
            err += 2 * (y - x) + 1;
        }
    }
    return touched;
}
