#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

// Mouse events delivered straight to a widget, with an explicit set of held buttons, so a
// test decides exactly what a handler sees (QTest's helpers track button state themselves).
inline void sendPress(QWidget* w, Qt::MouseButton button, QPoint at = QPoint(2, 2)) {
    QMouseEvent e(QEvent::MouseButtonPress, at, w->mapToGlobal(at), button, button, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

inline void sendMove(QWidget* w, Qt::MouseButtons held, QPoint at = QPoint(2, 2)) {
    QMouseEvent e(QEvent::MouseMove, at, w->mapToGlobal(at), Qt::NoButton, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}
