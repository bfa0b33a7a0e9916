#include "shell/label.h"

#include <QPainter>

#include "shell/layout_style.h"
#include "shell/mouse_args.h"

Label::Label(const ControlLayout& layout, QWidget* parent)
    : QLabel(parent), m_autoSize(layout.autoSize) {
    setObjectName(layout.name);
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    setMouseTracking(true);
    setFont(layoutFont(layout.fontPoints));
    setAlignment(layout.centred ? Qt::AlignCenter : (Qt::AlignLeft | Qt::AlignTop));
    setWordWrap(false);
    m_designSize = QSize(twipsToPixels(layout.width), twipsToPixels(layout.height));
    setGeometry(twipsToPixels(layout.left), twipsToPixels(layout.top), m_designSize.width(),
                m_designSize.height());
    if (layout.hand) setCursor(handCursor());
    setForeColor(layout.foreColour.value_or(0));
    setCaption(layout.caption);
    setVisible(layout.visible);
}

void Label::setCaption(const QString& text) {
    setText(text);
    if (m_autoSize) {
        // Auto-size labels grow or shrink to show the whole caption on one line.
        resize(QSize(fontMetrics().horizontalAdvance(text), lineMetrics(font()).height())
                   .expandedTo(QSize(1, 1)));
    }
}

void Label::setForeColor(Colour colour) {
    m_fore = colour;
    QPalette p = palette();
    p.setColor(QPalette::WindowText, toQColor(colour));
    setPalette(p);
}

void Label::mousePressEvent(QMouseEvent* e) {
    Q_EMIT mouseDown(pressedButton(e), shiftState(e), e->position().x(), e->position().y());
}
void Label::mouseMoveEvent(QMouseEvent* e) {
    Q_EMIT mouseMove(heldButtons(e), shiftState(e), e->position().x(), e->position().y());
}
void Label::mouseReleaseEvent(QMouseEvent* e) {
    Q_EMIT mouseUp(pressedButton(e), shiftState(e), e->position().x(), e->position().y());
}
void Label::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) Q_EMIT dblClick();
}

void Label::paintEvent(QPaintEvent*) {
    // On the Ming face's baseline, so the Latin face's taller line does not push text down.
    QPainter p(this);
    p.setFont(font());
    p.setPen(palette().color(QPalette::WindowText));
    const int x = (alignment() & Qt::AlignHCenter)
                      ? (width() - fontMetrics().horizontalAdvance(text())) / 2
                      : 0;
    p.drawText(QPoint(x, lineMetrics(font()).ascent()), text());
}
