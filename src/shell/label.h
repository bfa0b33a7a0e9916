#pragma once

#include <QLabel>

#include "layouts/colour.h"
#include "layouts/layouts.h"

// A transparent text label that reports the mouse the way the windows' handlers expect:
// Button is the single button on a press, the set of held buttons on a move.
class Label : public QLabel {
    Q_OBJECT
public:
    Label(const ControlLayout& layout, QWidget* parent);

    void setCaption(const QString& text);
    QString caption() const { return text(); }
    void setForeColor(Colour colour);
    Colour foreColor() const { return m_fore; }
    bool autoSizes() const { return m_autoSize; }

Q_SIGNALS:
    void mouseDown(int button, int shift, double x, double y);
    void mouseMove(int button, int shift, double x, double y);
    void mouseUp(int button, int shift, double x, double y);
    void dblClick();

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

  private:
    Colour m_fore = 0;
    bool m_autoSize = false;
    QSize m_designSize;
};
