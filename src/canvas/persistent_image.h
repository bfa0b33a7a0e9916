#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRegion>

#include "layouts/colour.h"

class ActionHistory;

enum class RasterOp { Copy, And, Xor };

// The canvas's off-screen picture: every strike draws here and the window repaints from it.
// Pixels are 32-bit RGB with the alpha byte kept at 0xFF; every operation returns the
// rectangle it touched (clipped to the image) so the caller can repaint just that.
class PersistentImage {
public:
    PersistentImage() = default;
    PersistentImage(QSize size, Colour background);

    void reset(QSize size, Colour background);
    // Takes a 32-bit RGB picture as the whole content without copying it: a 4K snapshot
    // would otherwise cost a fill and a copy of 33 MB.
    void adopt(QImage picture);
    // Replaces the whole content: the picture at (0, 0), the background colour elsewhere.
    void replace(const QImage& picture, Colour background);
    // Becomes size, keeping every pixel that lies within it; the pixels it gains come from
    // beyond (a picture of the new size, such as the screen as it looks now) or, without one,
    // are the background colour.
    void resize(QSize size, const QImage& beyond, Colour background);

    // Every change from now on is first told to history (none: nothing is kept). A load keeps
    // the whole picture as it was; following the screen's size is no action.
    void setHistory(ActionHistory* history) { m_history = history; }
    // The history's last action taken back, or done again; what changed.
    QRegion undo();
    QRegion redo();

    const QImage& image() const { return m_image; }
    QSize size() const { return m_image.size(); }
    QRect rect() const { return m_image.rect(); }

    // Bitwise block copy of src's srcRect to dest, on the 24 colour bits.
    QRect blit(const QImage& src, const QRect& srcRect, QPoint dest, RasterOp op);

    // The drawing state the tools set up.
    void setForeColor(Colour c);
    Colour foreColor() const { return m_fore; }
    void setDrawWidth(int width) { m_width = width < 1 ? 1 : width; }
    int drawWidth() const { return m_width; }
    QPoint currentPos() const { return m_pos; }
    void setCurrentPos(QPoint p) { m_pos = p; }

    // A round dot drawWidth across; the current position moves to p.
    QRect point(QPoint p);
    // A line from the current position to p, both ends drawn; the current position moves to p.
    QRect lineTo(QPoint p);
    // An unfilled box with corners a and b; the current position moves to b.
    QRect box(QPoint a, QPoint b);
    // An unfilled circle; the current position moves to the centre.
    QRect circle(QPoint centre, int radius);

private:
    QRect dot(QPoint p);
    QRect segment(QPoint a, QPoint b);

    QImage m_image;
    ActionHistory* m_history = nullptr;
    Colour m_fore = 0;
    uint32_t m_forePixel = 0xFF000000u;
    int m_width = 1;
    QPoint m_pos;
};
