#pragma once

#include <QCursor>
#include <QFont>

// The layouts' font mapped to an installed Ming-style face, sized in pixels because the
// layouts are drawn for 96 dpi whatever the display reports. 0 points: the 9-point default.
QFont layoutFont(double points);

// The pointing hand over every clickable control: 32 x 32, hot spot at the fingertip (5, 0),
// both times the scale factor.
const QCursor& handCursor();
QImage handCursorImage();
