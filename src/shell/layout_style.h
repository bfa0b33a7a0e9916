#pragma once

#include <QCursor>
#include <QFont>
#include <QFontMetrics>

// The layouts' font mapped to an installed Ming-style face, sized in pixels because the
// layouts are drawn for 96 dpi whatever the display reports. 0 points: the 9-point default.
QFont layoutFont(double points);
// The line box of text in that font: the Ming face's, one em high, whatever face sets the Latin.
QFontMetrics lineMetrics(const QFont& font);

// The pointing hand over every clickable control: 32 x 32, hot spot at the fingertip (5, 0),
// both times the scale factor.
const QCursor& handCursor();
QImage handCursorImage();
