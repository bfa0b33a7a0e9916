#include <QPainter>
#include <QPainterPath>

#include "draw_util.h"
#include "pictures.h"

namespace {
// Dark rims keep each part apart on a busy screen; the fills are bright enough to read on the
// black tool palette.
const QColor kInk(14, 14, 20);

QImage canvas() {
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void begin(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
}

void rimmedLine(QPainter& p, QPointF a, QPointF b, double width, const QColor& fill,
                Qt::PenCapStyle cap = Qt::RoundCap) {
    p.setPen(QPen(kInk, width + 2, Qt::SolidLine, cap, Qt::RoundJoin));
    p.drawLine(a, b);
    p.setPen(QPen(fill, width, Qt::SolidLine, cap, Qt::RoundJoin));
    p.drawLine(a, b);
}

void rimmedShape(QPainter& p, const QPainterPath& shape, const QBrush& fill, double rim = 1.6) {
    p.setPen(QPen(kInk, rim, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(fill);
    p.drawPath(shape);
}

QPainterPath rotatedRect(QPointF centre, double angle, QRectF rect, double radius = 0) {
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    QTransform t;
    t.translate(centre.x(), centre.y());
    t.rotate(angle);
    return t.map(path);
}

// A small crosshair at the centre pixel (15, 15) for the outline tools.
void crosshair(QPainter& p) {
    const QPointF c(15.5, 15.5);
    const QLineF arms[2] = {{c - QPointF(4, 0), c + QPointF(4, 0)},
                            {c - QPointF(0, 4), c + QPointF(0, 4)}};
    p.setPen(QPen(kInk, 3.2, Qt::SolidLine, Qt::FlatCap));
    for (const QLineF& arm : arms) p.drawLine(arm);
    p.setPen(QPen(Qt::white, 1.2, Qt::SolidLine, Qt::FlatCap));
    for (const QLineF& arm : arms) p.drawLine(arm);
}

ToolCursor chainsaw() {
    QImage image = canvas();
    QPainter p(&image);
    begin(p);
    // Guide bar with the tip at the top left; the chain runs round its edge.
    rimmedLine(p, {5.5, 5.5}, {19, 19}, 6.5, QColor(200, 206, 218));
    p.setPen(QPen(QColor(70, 74, 86), 1.3, Qt::DotLine, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(4.2, 7.8), QPointF(16, 19.6));
    p.drawLine(QPointF(7.8, 4.2), QPointF(19.6, 16));
    rimmedLine(p, {7, 7}, {17, 17}, 1.0, QColor(150, 156, 170), Qt::FlatCap);
    // Engine, top handle and rear handle.
    rimmedShape(p, rotatedRect({22, 22}, 45, QRectF(-6.5, -5, 13, 10), 2.5), QColor(255, 128, 0));
    rimmedShape(p, rotatedRect({23.2, 20.8}, 45, QRectF(-3, -1.2, 6, 2.4), 1), QColor(255, 200, 60),
                1.0);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kInk, 3.6, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(22, 22, 9, 9), 200 * 16, 220 * 16);
    p.setPen(QPen(QColor(60, 60, 70), 1.8, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(22, 22, 9, 9), 200 * 16, 220 * 16);
    return {image, {3, 3}};
}

ToolCursor hammer() {
    QImage image = canvas();
    QPainter p(&image);
    begin(p);
    rimmedLine(p, {11, 12}, {26.5, 28.5}, 4, QColor(190, 120, 55));
    rimmedLine(p, {20.5, 22.2}, {26.5, 28.5}, 4, QColor(200, 40, 40));  // grip
    // Head with the striking face on the left and the claw on the right.
    QPainterPath head;
    head.moveTo(3, 4.5);
    head.lineTo(14, 4.5);
    head.lineTo(20, 3);
    head.lineTo(22, 6);
    head.lineTo(16, 9);
    head.lineTo(16, 12.5);
    head.lineTo(3, 12.5);
    head.closeSubpath();
    QLinearGradient steel(0, 4, 0, 12.5);
    steel.setColorAt(0, QColor(235, 240, 250));
    steel.setColorAt(1, QColor(120, 130, 150));
    rimmedShape(p, head, steel);
    rimmedShape(p, rotatedRect({3.5, 8.5}, 0, QRectF(-1.5, -4.5, 3, 9), 0.8), QColor(255, 230, 120),
                1.2);
    return {image, {2, 8}};
}

ToolCursor circle() {
    QImage image = canvas();
    QPainter p(&image);
    begin(p);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kInk, 4.6));
    p.drawEllipse(QPointF(15.5, 15.5), 12, 12);
    p.setPen(QPen(QColor(40, 220, 255), 2.4));
    p.drawEllipse(QPointF(15.5, 15.5), 12, 12);
    crosshair(p);
    return {image, {15, 15}};
}

ToolCursor square() {
    QImage image = canvas();
    QPainter p(&image);
    begin(p);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kInk, 4.6, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawRect(QRectF(4, 4, 23, 23));
    p.setPen(QPen(QColor(170, 255, 40), 2.4, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawRect(QRectF(4, 4, 23, 23));
    crosshair(p);
    return {image, {15, 15}};
}

// Carriage with a wheel at the bottom right; barrels point up-left towards the hot spot.
void carriage(QPainter& p, QPointF pivot, double wheelRadius) {
    rimmedShape(p, rotatedRect(pivot + QPointF(1.5, 1.5), 45, QRectF(-7, -3.5, 14, 7), 1.5),
                QColor(170, 40, 40));
    p.setPen(QPen(kInk, 1.6));
    p.setBrush(QColor(120, 80, 40));
    const QPointF hub = pivot + QPointF(2.5, 3);
    p.drawEllipse(hub, wheelRadius, wheelRadius);
    p.setPen(QPen(QColor(230, 190, 110), 1.0));
    for (int i = 0; i < 4; ++i)
        p.drawLine(hub - polar(i * kPi / 4, wheelRadius - 1),
                   hub + polar(i * kPi / 4, wheelRadius - 1));
}

void barrel(QPainter& p, QPointF pivot, double angle, double length, double width) {
    const QPointF muzzle = pivot + polar(angle, length);
    QLinearGradient bronze(pivot + polar(angle + kPi / 2, width / 2),
                           pivot + polar(angle - kPi / 2, width / 2));
    bronze.setColorAt(0, QColor(150, 95, 20));
    bronze.setColorAt(0.4, QColor(255, 215, 110));
    bronze.setColorAt(1, QColor(170, 110, 30));
    p.setPen(QPen(kInk, width + 2, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(pivot, muzzle);
    p.setPen(QPen(QBrush(bronze), width, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(pivot, muzzle);
    // Muzzle ring.
    rimmedLine(p, muzzle - polar(angle, 1.5), muzzle, width + 1.0, QColor(255, 180, 60),
               Qt::FlatCap);
}

ToolCursor tripleCannon() {
    QImage image = canvas();
    QPainter p(&image);
    begin(p);
    const QPointF pivot(23, 23);
    const double up = -3 * kPi / 4;
    carriage(p, pivot, 4.5);
    barrel(p, pivot, up - 0.55, 15, 3.6);
    barrel(p, pivot, up + 0.55, 15, 3.6);
    barrel(p, pivot, up, 18, 3.8);
    return {image, {10, 10}};
}

ToolCursor giantCannon() {
    QImage image = canvas();
    QPainter p(&image);
    begin(p);
    const QPointF pivot(21, 21);
    const double up = -3 * kPi / 4;
    barrel(p, pivot, up, 19, 9);
    carriage(p, pivot + QPointF(1, 1), 6);
    // The bore, dark in the middle of the muzzle.
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawEllipse(pivot + polar(up, 18.2), 2.6, 2.6);
    return {image, {7, 7}};
}

ToolCursor stamp() {
    QImage image = canvas();
    QPainter p(&image);
    begin(p);
    QRadialGradient knob(QPointF(14, 4.5), 6);
    knob.setColorAt(0, QColor(255, 150, 150));
    knob.setColorAt(1, QColor(220, 20, 30));
    QPainterPath top;
    top.addEllipse(QPointF(15.5, 6.5), 5.5, 4.5);
    rimmedShape(p, top, knob);
    QPainterPath neck;
    neck.addRect(QRectF(13, 10.5, 5, 6));
    rimmedShape(p, neck, QColor(200, 30, 40));
    QPainterPath block;
    block.addRoundedRect(QRectF(6, 16, 19, 8), 1.5, 1.5);
    QLinearGradient wood(0, 16, 0, 24);
    wood.setColorAt(0, QColor(240, 180, 100));
    wood.setColorAt(1, QColor(170, 105, 45));
    rimmedShape(p, block, wood);
    QPainterPath face;
    face.addRect(QRectF(5, 24, 21, 4.5));
    rimmedShape(p, face, QColor(150, 20, 60));
    return {image, {15, 28}};
}
}  // namespace

ToolCursor toolCursor(int n) {
    ToolCursor cursor;
    switch (n) {
        case 1:
            cursor = chainsaw();
            break;
        case 2:
            cursor = hammer();
            break;
        case 3:
            cursor = circle();
            break;
        case 4:
            cursor = square();
            break;
        case 5:
            cursor = tripleCannon();
            break;
        case 6:
            cursor = giantCannon();
            break;
        default:
            cursor = stamp();
            break;
    }
    cursor.image = cursor.image.convertToFormat(QImage::Format_ARGB32);
    return cursor;
}
