#include "cracks.h"

#include <QPainter>
#include <optional>

#include "draw_util.h"

namespace {
QPolygonF walk(QPointF start, double angle, double length, double wobble, const QRectF& bounds,
               Rng& rng) {
    QPolygonF line{start};
    double heading = angle;
    double travelled = 0;
    while (travelled < length) {
        heading =
            std::clamp(heading + rng.uniform(-0.6, 0.6) * wobble, angle - wobble, angle + wobble);
        const double step = std::min(rng.uniform(3.5, 7.0), length - travelled);
        const QPointF next = line.back() + polar(heading, step);
        if (!bounds.contains(next)) break;
        line << next;
        travelled += step;
    }
    return line;
}

std::optional<QPointF> pointAtRadius(const QPolygonF& ray, QPointF origin, double radius) {
    for (QPointF p : ray) {
        if (distance(p, origin) >= radius) return p;
    }
    return std::nullopt;
}

// Rings between rays run nearly straight, bowing a little either way.
QPolygonF ringStrand(QPointF a, QPointF b, QPointF origin, Rng& rng) {
    constexpr int kPieces = 4;
    QPolygonF strand{a};
    const double bow = rng.uniform(-0.06, 0.05);
    for (int i = 1; i < kPieces; ++i) {
        const double t = double(i) / kPieces;
        QPointF p = a + (b - a) * t;
        p += (origin - p) * (bow * std::sin(kPi * t));
        p += QPointF(rng.uniform(-0.8, 0.8), rng.uniform(-0.8, 0.8));
        strand << p;
    }
    strand << b;
    return strand;
}
}  // namespace

std::vector<double> spreadAngles(int count, double jitter, Rng& rng) {
    const double start = rng.uniform(0, 2 * kPi);
    std::vector<double> angles;
    for (int i = 0; i < count; ++i)
        angles.push_back(start + 2 * kPi * (i + rng.uniform(-jitter, jitter)) / count);
    return angles;
}

std::vector<Crack> makeCracks(const CrackParams& params, Rng& rng) {
    std::vector<Crack> cracks;
    std::vector<QPolygonF> rays;
    for (double angle : params.angles) {
        const QPolygonF ray = walk(params.origin, angle, params.reach * rng.uniform(0.6, 1.0),
                                   params.wobble, params.bounds, rng);
        rays.push_back(ray);
        cracks.push_back({ray, params.rayWidth});
        for (int i = 3; i + 1 < ray.size(); ++i) {
            if (rng.uniform() >= params.branchChance) continue;
            const double heading = angle + rng.sign() * rng.uniform(0.35, 0.8);
            const QPolygonF branch =
                walk(ray[i], heading, rng.uniform(8, 24), params.wobble, params.bounds, rng);
            if (branch.size() > 1) cracks.push_back({branch, params.rayWidth * 0.6});
        }
    }
    for (double radius : params.rings) {
        for (size_t i = 0; i < rays.size(); ++i) {
            if (rng.uniform() >= params.ringChance) continue;
            const auto a = pointAtRadius(rays[i], params.origin, radius * rng.uniform(0.9, 1.1));
            const auto b = pointAtRadius(rays[(i + 1) % rays.size()], params.origin,
                                         radius * rng.uniform(0.9, 1.1));
            if (a && b)
                cracks.push_back({ringStrand(*a, *b, params.origin, rng), params.rayWidth * 0.55});
        }
    }
    return cracks;
}

void paintCracks(QPainter& painter, const std::vector<Crack>& cracks, const QColor& root,
                 const QColor& tip) {
    for (const Crack& crack : cracks) {
        const int segments = int(crack.points.size()) - 1;
        for (int i = 0; i < segments; ++i) {
            const double t = double(i) / std::max(1, segments - 1);
            painter.setPen(QPen(mix(root, tip, t), crack.width * (1.0 - 0.65 * t), Qt::SolidLine,
                                Qt::RoundCap, Qt::RoundJoin));
            painter.drawLine(crack.points[i], crack.points[i + 1]);
        }
    }
}
