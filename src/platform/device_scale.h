#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>

// The two units of a scaled screen: logical pixels, in which the layouts, the tools' offsets and
// sizes and the mouse are measured, and device pixels, those of the screen, the snapshot and the
// canvas's image. The factor is the primary screen's device pixel ratio as Qt reports it (from
// Xft.dpi, QT_SCALE_FACTOR and the like); at 1 the two units are the same.
class DeviceScale {
  public:
    explicit DeviceScale(double factor = 1);
    static DeviceScale ofPrimaryScreen();
    // The primary screen's size in device pixels; empty without a screen.
    static QSize primaryScreenSize();

    double factor() const { return m_s; }
    bool isIdentity() const { return m_s == 1; }

    // A logical position that the caller worked out in floating point, rounded once.
    QPoint point(double x, double y) const;
    // A logical length (pen width, radius) in device pixels.
    int length(double v) const;
    QSize size(QSize logical) const;
    // The device size of a screen, or of a part of one, of that logical size.
    QSize screenSize(QSize logical) const;
    // A source rectangle from (0, 0) of a sprite that was scaled by sprite().
    QRect sourceRect(const QRect& logical) const;
    // The logical pixels that cover a device rectangle, and the other way round: repaints must
    // not leave a fractional edge behind.
    QRect logicalCover(const QRect& device) const;
    QRect deviceCover(const QRect& logical) const;

    // Sprites keep hard pixel edges (exact doubling at 2); pictures such as the stamp are
    // scaled smoothly. At 1 both return the picture itself.
    QImage sprite(const QImage& picture) const;
    QImage picture(const QImage& picture) const;
    // A cursor's hot spot in its scaled picture.
    QPoint hotSpot(QPoint logical) const;

  private:
    double m_s;
};
