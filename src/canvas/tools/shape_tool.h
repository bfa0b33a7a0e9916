#pragma once

#include <QRect>
#include <QString>

#include "canvas/tools/tool.h"

class DeviceScale;
class PersistentImage;

// The circle and the square: an outline at the pointer on the press and on every move, and a
// repeating sound from the press until the release. They differ only by the outline.
class ShapeTool : public Tool {
  public:
    void press(CanvasSurface& canvas, double X, double Y) override;
    void move(CanvasSurface& canvas, double X, double Y) override;
    void release(CanvasSurface& canvas, double X, double Y) override;

  protected:
    virtual QRect outline(PersistentImage& image, const DeviceScale& scale, double X,
                          double Y) const = 0;
    virtual QString sound() const = 0;
};
