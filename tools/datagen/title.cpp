#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <vector>

#include "cracks.h"
#include "draw_util.h"
#include "pictures.h"

namespace {
constexpr QSize kSize(303, 144);

// Block capitals on a 6 x 10 grid with cut corners, stroked later into solid letters.
using Strokes = std::vector<QPolygonF>;
const std::vector<Strokes>& letters() {
    static const std::vector<Strokes> shapes{
        // S
        {{{6, 1.2},
          {5, 0},
          {1, 0},
          {0, 1},
          {0, 4},
          {1, 5},
          {5, 5},
          {6, 6},
          {6, 9},
          {5, 10},
          {1, 10},
          {0, 8.8}}},
        // H
        {{{0, 0}, {0, 10}}, {{6, 0}, {6, 10}}, {{0, 5}, {6, 5}}},
        // A
        {{{0, 10}, {0, 2.5}, {2.5, 0}, {3.5, 0}, {6, 2.5}, {6, 10}}, {{0, 6}, {6, 6}}},
        // T
        {{{0, 0}, {6, 0}}, {{3, 0}, {3, 10}}},
        // T
        {{{0, 0}, {6, 0}}, {{3, 0}, {3, 10}}},
        // E
        {{{6, 0}, {0, 0}, {0, 10}, {6, 10}}, {{0, 5}, {4.6, 5}}},
        // R
        {{{0, 10}, {0, 0}, {5, 0}, {6, 1}, {6, 4}, {5, 5}, {0, 5}}, {{2.8, 5}, {6, 10}}},
    };
    return shapes;
}

QPainterPath lettering() {
    constexpr double kScale = 4.0;
    constexpr double kPitch = 9.0;
    constexpr double kStroke = 1.9;
    QPainterPathStroker stroker;
    stroker.setWidth(kStroke);
    stroker.setCapStyle(Qt::SquareCap);
    stroker.setJoinStyle(Qt::MiterJoin);
    QPainterPath path;
    for (size_t i = 0; i < letters().size(); ++i) {
        for (const QPolygonF& stroke : letters()[i]) {
            QPainterPath line;
            line.addPolygon(stroke.translated(i * kPitch, 0));
            path = path.united(stroker.createStroke(line));
        }
    }
    path = path.simplified();
    // Lean it forward a little and centre it in the upper part of the card.
    QTransform lean(1, 0, -0.16, 1, 0, 0);
    path = lean.map(path);
    const QRectF box = path.boundingRect();
    QTransform place;
    place.translate(kSize.width() / 2.0, 34);
    place.scale(kScale, kScale);
    place.translate(-box.center().x(), -box.center().y());
    return place.map(path);
}

// One shard of the card: the piece of a wedge around the impact between two radii.
QPainterPath shard(QPointF impact, double a0, double a1, double r0, double r1) {
    QPolygonF outline;
    constexpr int kSteps = 6;
    for (int i = 0; i <= kSteps; ++i) outline << impact + polar(a0 + (a1 - a0) * i / kSteps, r1);
    for (int i = kSteps; i >= 0; --i) outline << impact + polar(a0 + (a1 - a0) * i / kSteps, r0);
    QPainterPath path;
    path.addPolygon(outline);
    path.closeSubpath();
    return path;
}

QImage letterLayer(const QPainterPath& text) {
    QImage layer(kSize, QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    QPainter p(&layer);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box = text.boundingRect();
    p.setPen(QPen(QColor(0, 8, 22), 3.0, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawPath(text);
    QLinearGradient ice(box.topLeft(), box.bottomLeft());
    ice.setColorAt(0, QColor(240, 250, 255));
    ice.setColorAt(0.45, QColor(170, 215, 245));
    ice.setColorAt(0.55, QColor(120, 180, 230));
    ice.setColorAt(1, QColor(200, 235, 255));
    p.setPen(Qt::NoPen);
    p.setBrush(ice);
    p.drawPath(text);
    // A bright bevel along the top-left edges makes the letters read as glass.
    p.setClipPath(text);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 170), 1.2));
    p.drawPath(text.translated(1.2, 1.2));
    return layer;
}
}  // namespace

QImage titleCard() {
    Rng rng(0x5A77E4);
    const QPointF impact(146, 31);
    QImage card(kSize, QImage::Format_RGB32);
    QPainter p(&card);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient night(0, 0, 0, kSize.height());
    night.setColorAt(0, QColor(18, 28, 52));
    night.setColorAt(0.5, QColor(8, 12, 26));
    night.setColorAt(1, QColor(3, 4, 10));
    p.fillRect(card.rect(), night);
    QRadialGradient glow(impact, 130);
    glow.setColorAt(0, QColor(70, 125, 190, 140));
    glow.setColorAt(1, QColor(70, 125, 190, 0));
    p.fillRect(card.rect(), glow);

    // Cracks across the whole card, drawn opaque on a layer so crossings do not bead up.
    std::vector<double> angles = spreadAngles(11, 0.35, rng);
    CrackParams params;
    params.origin = impact;
    params.bounds = QRectF(-20, -20, kSize.width() + 40, kSize.height() + 40);
    params.angles = angles;
    params.reach = 260;
    params.rayWidth = 1.4;
    params.wobble = 0.12;
    params.rings = {20, 48, 85};
    params.ringChance = 0.6;
    params.branchChance = 0.06;
    QImage crackLayer(kSize, QImage::Format_ARGB32_Premultiplied);
    crackLayer.fill(Qt::transparent);
    {
        QPainter c(&crackLayer);
        c.setRenderHint(QPainter::Antialiasing);
        paintCracks(c, makeCracks(params, rng), QColor(200, 235, 255), QColor(90, 140, 190));
    }
    p.setOpacity(0.55);
    p.drawImage(0, 0, crackLayer);
    p.setOpacity(1);

    // The name, broken along the same rays into shards that have shifted apart.
    const QImage text = letterLayer(lettering());
    const std::vector<double> rings{0, rng.uniform(16, 24), rng.uniform(44, 58), 400};
    for (size_t i = 0; i < angles.size(); ++i) {
        const double a0 = angles[i];
        const double a1 = i + 1 < angles.size() ? angles[i + 1] : angles[0] + 2 * kPi;
        for (size_t ring = 0; ring + 1 < rings.size(); ++ring) {
            const QPointF shift = polar((a0 + a1) / 2, 0.8 + 1.5 * ring + rng.uniform(0, 0.8)) +
                                  QPointF(rng.uniform(-0.7, 0.7), rng.uniform(-0.7, 0.7));
            p.save();
            p.setClipPath(shard(impact, a0, a1, rings[ring], rings[ring + 1]).translated(shift));
            p.drawImage(shift, text);
            p.restore();
        }
    }
    QRadialGradient flash(impact, 9);
    flash.setColorAt(0, QColor(255, 255, 255, 230));
    flash.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(flash);
    p.drawEllipse(impact, 9, 9);

    // Commands, their key hints and the version are printed over the lower part: keep it dark
    // and quiet so white and green text stays legible there.
    QLinearGradient calm(0, 62, 0, 82);
    calm.setColorAt(0, QColor(2, 3, 8, 0));
    calm.setColorAt(1, QColor(2, 3, 8, 215));
    p.fillRect(QRectF(0, 62, kSize.width(), kSize.height() - 62), calm);
    QLinearGradient rule(20, 0, kSize.width() - 20, 0);
    rule.setColorAt(0, QColor(120, 190, 255, 0));
    rule.setColorAt(0.5, QColor(120, 190, 255, 160));
    rule.setColorAt(1, QColor(120, 190, 255, 0));
    p.fillRect(QRectF(20, 66, kSize.width() - 40, 1), rule);
    return card;
}
