#include "canvas/tools/circle_tool.h"

#include "canvas/persistent_image.h"
#include "platform/device_scale.h"
#include "shell/formula.h"

QRect CircleTool::outline(PersistentImage& image, const DeviceScale& scale, double X,
                          double Y) const {
    return image.circle(scale.point(X, Y), scale.length(Formula::PenSize));
}
