#include "canvas/formula_start.h"

#include <QPainter>

#include "shell/picture_box.h"

Formula_Start::Formula_Start() : Form(kId) {}

void Formula_Start::loadPicture(const QImage& picture) {
    m_image.replace(picture, backColor());
    client()->update();
}

void Formula_Start::Refresh(const QRect& dirty) { client()->repaint(dirty); }

PictureBox* Formula_Start::PicTo() const { return picture(QStringLiteral("PicTo")); }

void Formula_Start::setForeColor(Colour colour) {
    Form::setForeColor(colour);
    m_image.setForeColor(colour);
}

void Formula_Start::setDrawWidth(int width) {
    Form::setDrawWidth(width);
    m_image.setDrawWidth(width);
}

void Formula_Start::paintClient(QPainter& p, const QRect& rect) {
    p.drawImage(rect, m_image.image(), rect);
}
