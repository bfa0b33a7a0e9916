#include "canvas/tools/square_tool.h"

#include "canvas/persistent_image.h"
#include "canvas/rounding.h"
#include "shell/formula.h"

QRect SquareTool::outline(PersistentImage& image, double X, double Y) const {
    const double b = Formula::BoxSize;
    return image.box(roundPx(X - b, Y - b), roundPx(X + b, Y + b));
}
