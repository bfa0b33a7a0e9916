#include "canvas/tools/circle_tool.h"

#include "canvas/canvas_surface.h"
#include "canvas/persistent_image.h"
#include "canvas/rounding.h"
#include "shell/formula.h"

namespace {
void drawCircle(CanvasSurface& canvas, double X, double Y) {
    canvas.invalidate(canvas.image().circle(roundPx(X, Y), Formula::PenSize));
}
}  // namespace

void CircleTool::press(CanvasSurface& canvas, double X, double Y) {
    drawCircle(canvas, X, Y);
    canvas.playSound(QStringLiteral("Circle.wav"), 9);
}

void CircleTool::move(CanvasSurface& canvas, double X, double Y) {
    drawCircle(canvas, X, Y);
}

void CircleTool::release(CanvasSurface& canvas, double, double) {
    canvas.playNoSound();
}
