#pragma once

#include <QMouseEvent>

// Button codes of the handlers: 1 left, 2 right, 4 middle, summed for a set.
inline int pressedButton(const QMouseEvent* e) {
    return static_cast<int>(e->button()) & 0x7;
}
inline int heldButtons(const QMouseEvent* e) { return static_cast<int>(e->buttons()) & 0x7; }
inline int shiftState(const QMouseEvent* e) {
    int s = 0;
    if (e->modifiers() & Qt::ShiftModifier) s |= 1;
    if (e->modifiers() & Qt::ControlModifier) s |= 2;
    if (e->modifiers() & Qt::AltModifier) s |= 4;
    return s;
}
