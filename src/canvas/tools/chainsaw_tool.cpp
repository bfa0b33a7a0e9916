#include "canvas/tools/chainsaw_tool.h"

#include "canvas/canvas_surface.h"
#include "canvas/persistent_image.h"

void ChainsawTool::press(CanvasSurface& canvas, double X, double Y) {
    canvas.playSound(QStringLiteral("Prop1_2.wav"), 9);
    canvas.invalidate(canvas.image().point(canvas.scale().point(X - kOffsetX, Y)));
}

void ChainsawTool::move(CanvasSurface& canvas, double X, double Y) {
    // The cutting sound of the press keeps repeating.
    canvas.invalidate(canvas.image().lineTo(canvas.scale().point(X - kOffsetX, Y)));
}

void ChainsawTool::release(CanvasSurface& canvas, double X, double Y) {
    canvas.playSound(QStringLiteral("Prop1_1.wav"), 9);
    canvas.splinterBurst(X, Y);
}
