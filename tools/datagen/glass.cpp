#include <QPainter>

#include "cracks.h"
#include "draw_util.h"
#include "pictures.h"

namespace {
struct GlassRecipe {
    QPointF origin;
    int rays;
    std::vector<double> rings;
    double branchChance;
    uint64_t seed;
};

const GlassRecipe& recipe(int n) {
    static const GlassRecipe recipes[3] = {
        {{105, 60}, 9, {12, 27, 46}, 0.10, 0x61A55001},
        {{80, 80}, 12, {9, 21, 38, 58}, 0.05, 0x61A55002},
        {{105, 60}, 7, {17, 40}, 0.16, 0x61A55003},
    };
    return recipes[std::clamp(n, 1, 3) - 1];
}

// A crushed spot where the blow landed: a dark chip and short splits around it.
void paintImpact(QPainter& painter, QPointF origin, Rng& rng) {
    QPolygonF chip;
    for (int i = 0; i < 7; ++i) chip << origin + polar(2 * kPi * i / 7, rng.uniform(1.5, 3.2));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(30, 30, 30));
    painter.drawPolygon(chip);
    for (int i = 0; i < 12; ++i) {
        const double angle = rng.uniform(0, 2 * kPi);
        const QPointF a = origin + polar(angle, rng.uniform(2, 4));
        const QPointF b = a + polar(angle + rng.uniform(-0.7, 0.7), rng.uniform(2, 6));
        painter.setPen(QPen(QColor(60, 60, 60), 0.8, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(a, b);
    }
}
}  // namespace

QImage glassPicture(int n) {
    const GlassRecipe& r = recipe(n);
    Rng rng(r.seed);
    QImage image(178, 155, QImage::Format_RGB32);
    image.fill(Qt::white);

    CrackParams params;
    params.origin = r.origin;
    // Cracks keep 10 px off the border, so the JPEG blocks along it hold nothing but white and
    // decode to exactly 255: the picture is ANDed onto the screen and must not tint it there.
    params.bounds = QRectF(10, 10, image.width() - 20, image.height() - 20);
    params.angles = spreadAngles(r.rays, 0.3, rng);
    params.reach = 120;
    params.rings = r.rings;
    params.branchChance = r.branchChance;
    const std::vector<Crack> cracks = makeCracks(params, rng);

    // Only greys: neutral pixels keep the JPEG colour planes flat, so no tint creeps in.
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(1, 1);  // the broken edge catching light beside each crack
    paintCracks(painter, cracks, QColor(160, 160, 160), QColor(220, 220, 220));
    painter.translate(-1, -1);
    paintCracks(painter, cracks, QColor(20, 20, 20), QColor(110, 110, 110));
    paintImpact(painter, r.origin, rng);
    return image;
}
