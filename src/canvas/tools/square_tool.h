#pragma once

#include "canvas/tools/shape_tool.h"

// A box outline 2 * BoxSize + 1 pixels across, centred on the pointer.
class SquareTool final : public ShapeTool {
  protected:
    QRect outline(PersistentImage& image, const DeviceScale& scale, double X,
                  double Y) const override;
    QString sound() const override { return QStringLiteral("Restenger.wav"); }
};
