#pragma once

#include "canvas/persistent_image.h"
#include "shell/form.h"

class PictureBox;

// The destruction canvas: a frameless window over the primary screen that shows its
// persistent image (the snapshot plus all damage).
class Formula_Start : public Form {
    Q_OBJECT
public:
    static constexpr FormId kId = FormId::Formula_Start;
    Formula_Start();

    PersistentImage& image() { return m_image; }
    // Puts a picture at (0, 0) over the background colour in place of everything shown.
    void loadPicture(const QImage& picture);
    // Repaints the touched rectangle now.
    void Refresh(const QRect& dirty);
    PictureBox* PicTo() const;

    void setForeColor(Colour colour) override;
    void setDrawWidth(int width) override;

protected:
    void paintClient(QPainter& p, const QRect& rect) override;

private:
    PersistentImage m_image;
};
