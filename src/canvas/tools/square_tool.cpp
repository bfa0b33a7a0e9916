#include "canvas/tools/square_tool.h"

#include "canvas/persistent_image.h"
#include "platform/device_scale.h"
#include "shell/formula.h"

QRect SquareTool::outline(PersistentImage& image, const DeviceScale& scale, double X,
                          double Y) const {
    const double b = Formula::BoxSize;
    return image.box(scale.point(X - b, Y - b), scale.point(X + b, Y + b));
}
