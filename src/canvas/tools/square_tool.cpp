#include "canvas/tools/square_tool.h"

#include "canvas/canvas_surface.h"
#include "canvas/persistent_image.h"
#include "canvas/rounding.h"
#include "shell/formula.h"

namespace {
void drawSquare(CanvasSurface& canvas, double X, double Y) {
    const double b = Formula::BoxSize;
    canvas.invalidate(canvas.image().box(roundPx(X - b, Y - b), roundPx(X + b, Y + b)));
}
}  // namespace

void SquareTool::press(CanvasSurface& canvas, double X, double Y) {
    drawSquare(canvas, X, Y);
    canvas.playSound(QStringLiteral("Restenger.wav"), 9);
}

void SquareTool::move(CanvasSurface& canvas, double X, double Y) {
    drawSquare(canvas, X, Y);
}

void SquareTool::release(CanvasSurface& canvas, double, double) {
    canvas.playNoSound();
}
