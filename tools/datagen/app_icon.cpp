#include <QPainter>
#include <QPainterPath>

#include "cracks.h"
#include "draw_util.h"
#include "pictures.h"

// A blue pane struck near its top left, drawn on a 64-unit grid and
// scaled to `size`. The colours sit close to the 16-colour palette so the small .ico keeps its
// look; small sizes get bolder cracks.
QImage appIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);

    const QColor frame(0, 0, 70);
    QPainterPath pane;
    pane.addRoundedRect(QRectF(4, 4, 56, 56), 7, 7);

    QLinearGradient glass(4, 4, 60, 60);
    glass.setColorAt(0, QColor(0, 230, 255));
    glass.setColorAt(0.5, QColor(0, 120, 200));
    glass.setColorAt(1, QColor(0, 20, 140));
    p.setPen(QPen(frame, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(glass);
    p.drawPath(pane);

    Rng rng(0x1C0);
    const QPointF impact(26, 24);
    CrackParams params;
    params.origin = impact;
    params.bounds = QRectF(7, 7, 50, 50);
    params.angles = spreadAngles(8, 0.25, rng);
    params.reach = 46;
    params.rayWidth = size < 48 ? 4.4 : 3.2;
    params.wobble = 0.15;
    params.rings = {12, 25};
    params.ringChance = size < 48 ? 0.4 : 0.75;
    params.branchChance = 0.05;
    p.setClipPath(pane);
    paintCracks(p, makeCracks(params, rng), Qt::white, QColor(200, 240, 255));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(impact, 4, 4);
    return image.convertToFormat(QImage::Format_ARGB32);
}
