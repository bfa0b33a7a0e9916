#pragma once

#include <QImage>
#include <QWidget>

#include "layouts/colour.h"
#include "layouts/layouts.h"

// A picture holder: shows its picture from the top-left corner and, when it auto-sizes, takes
// the picture's size. Holders on the canvas are never shown; they only keep their picture.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    PictureBox(const ControlLayout& layout, QWidget* parent);

    void setPicture(const QImage& picture);
    const QImage& picture() const { return m_picture; }
    int index() const { return m_index; }

Q_SIGNALS:
    void mouseDown(int button, int shift, double x, double y);
    void mouseMove(int button, int shift, double x, double y);
    void dblClick();

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    QImage m_picture;
    int m_index = -1;
    bool m_autoSize = false;
    std::optional<Colour> m_back;
};
