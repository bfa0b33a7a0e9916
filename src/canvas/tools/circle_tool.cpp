#include "canvas/tools/circle_tool.h"

#include "canvas/persistent_image.h"
#include "canvas/rounding.h"
#include "shell/formula.h"

QRect CircleTool::outline(PersistentImage& image, double X, double Y) const {
    return image.circle(roundPx(X, Y), Formula::PenSize);
}
