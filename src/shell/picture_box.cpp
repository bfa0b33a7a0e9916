#include "shell/picture_box.h"

#include <QPainter>
#include <QPaintEvent>

#include "shell/layout_style.h"
#include "shell/mouse_args.h"

PictureBox::PictureBox(const ControlLayout& layout, QWidget* parent)
    : QWidget(parent), m_index(layout.index), m_autoSize(layout.autoSize), m_back(layout.backColour) {
    setObjectName(layout.index < 0 ? layout.name
                                   : QStringLiteral("%1(%2)").arg(layout.name).arg(layout.index));
    setMouseTracking(true);
    setGeometry(twipsToPixels(layout.left), twipsToPixels(layout.top), twipsToPixels(layout.width),
                twipsToPixels(layout.height));
    if (layout.hand) setCursor(handCursor());
    setVisible(layout.visible);
}

void PictureBox::setPicture(const QImage& picture) {
    m_picture = picture;
    if (m_autoSize) resize(picture.isNull() ? QSize(0, 0) : picture.size());
    update();
}

void PictureBox::paintEvent(QPaintEvent* e) {
    QPainter p(this);
    if (m_back) p.fillRect(e->rect(), toQColor(*m_back));
    if (!m_picture.isNull()) p.drawImage(QPoint(0, 0), m_picture);
}

void PictureBox::mousePressEvent(QMouseEvent* e) {
    Q_EMIT mouseDown(pressedButton(e), shiftState(e), e->position().x(), e->position().y());
}
void PictureBox::mouseMoveEvent(QMouseEvent* e) {
    Q_EMIT mouseMove(heldButtons(e), shiftState(e), e->position().x(), e->position().y());
}
void PictureBox::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) Q_EMIT dblClick();
}
