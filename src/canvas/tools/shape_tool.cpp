#include "canvas/tools/shape_tool.h"

#include "canvas/canvas_surface.h"
#include "canvas/persistent_image.h"

void ShapeTool::press(CanvasSurface& canvas, double X, double Y) {
    canvas.invalidate(outline(canvas.image(), canvas.scale(), X, Y));
    canvas.playSound(sound(), 9);
}

void ShapeTool::move(CanvasSurface& canvas, double X, double Y) {
    canvas.invalidate(outline(canvas.image(), canvas.scale(), X, Y));
}

void ShapeTool::release(CanvasSurface& canvas, double, double) {
    canvas.playNoSound();
}
