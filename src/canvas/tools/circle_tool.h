#pragma once

#include "canvas/tools/shape_tool.h"

// An outline of radius PenSize centred on the pointer.
class CircleTool final : public ShapeTool {
  protected:
    QRect outline(PersistentImage& image, const DeviceScale& scale, double X,
                  double Y) const override;
    QString sound() const override { return QStringLiteral("Circle.wav"); }
};
