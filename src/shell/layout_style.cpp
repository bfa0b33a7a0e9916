#include "shell/layout_style.h"

#include <QBitmap>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "platform/device_scale.h"
namespace {
const QStringList& mingFaces() {
    static const QStringList faces{
        QStringLiteral("PMingLiU"),          QStringLiteral("AR PL UMing TW"),
        QStringLiteral("AR PL UMing HK"),    QStringLiteral("AR PL UMing CN"),
        QStringLiteral("Noto Serif CJK TC"), QStringLiteral("Noto Sans CJK TC"),
        QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("DejaVu Sans")};
    return faces;
}
}  // namespace

QFont layoutFont(double points) {
    if (points <= 0) points = 9;
    QFont f;
    // The free Ming faces have half-em spaces and wide Latin letters; a face with the classic
    // serif metrics (quarter-em space) sets Latin text and spaces, the Ming face the rest.
    QStringList faces = mingFaces();
    faces.insert(1, QStringLiteral("Nimbus Roman"));
    f.setFamilies(faces);
    f.setPixelSize(static_cast<int>(std::lround(points * 96.0 / 72.0)));
    f.setWeight(QFont::Normal);
    f.setStyleHint(QFont::Serif);
    return f;
}

QFontMetrics lineMetrics(const QFont& font) {
    QFont ming = font;
    ming.setFamilies(mingFaces());
    return QFontMetrics(ming);
}

QImage handCursorImage() {
    QImage img(32, 32, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, false);
    // Index finger up from the hot spot, three folded fingers and the thumb to the left.
    QPainterPath hand;
    hand.addRoundedRect(QRectF(3, 0, 5, 16), 2.5, 2.5);     // index finger
    hand.addRoundedRect(QRectF(7, 8, 5, 10), 2.5, 2.5);     // middle finger
    hand.addRoundedRect(QRectF(11, 9, 5, 9), 2.5, 2.5);     // ring finger
    hand.addRoundedRect(QRectF(15, 10, 4, 8), 2, 2);        // little finger
    hand.addRoundedRect(QRectF(3, 13, 16, 11), 3, 3);       // palm
    hand.addRoundedRect(QRectF(0, 11, 5, 7), 2, 2);         // thumb
    hand.setFillRule(Qt::WindingFill);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawPath(hand.simplified());
    p.end();
    return img;
}

const QCursor& handCursor() {
    // Scaled like the windows it points at; the factor does not change while the program runs.
    static const QCursor cursor = [] {
        const DeviceScale scale = DeviceScale::ofPrimaryScreen();
        const QPoint hot = scale.hotSpot(QPoint(5, 0));
        return QCursor(QPixmap::fromImage(scale.sprite(handCursorImage())), hot.x(), hot.y());
    }();
    return cursor;
}
