#pragma once

#include <array>
#include <memory>

#include "canvas/canvas_surface.h"
#include "canvas/persistent_image.h"
#include "shell/form.h"
#include "shell/formula.h"

class PictureBox;
class SplinterAnimation;
class Tool;

// The destruction canvas: a frameless window over the primary screen that shows its
// persistent image (the snapshot plus all damage) and carries out the selected tool.
class Formula_Start : public Form, public CanvasSurface {
    Q_OBJECT
  public:
    static constexpr FormId kId = FormId::Formula_Start;
    Formula_Start();
    ~Formula_Start() override;

    void Form_Load() override;
    void Form_QueryUnload() override;
    void Form_MouseDown(int Button, int Shift, double X, double Y) override;
    void Form_MouseMove(int Button, int Shift, double X, double Y) override;
    void Form_MouseUp(int Button, int Shift, double X, double Y) override;
    // Covers the primary screen.
    void showForm() override;

    PersistentImage& image() override { return m_image; }
    // False when the latest load could not photograph the screen.
    bool hasSnapshot() const { return m_hasSnapshot; }
    // Puts a picture at (0, 0) over the background colour in place of everything shown.
    void loadPicture(const QImage& picture);
    // Repaints the touched rectangle now.
    void Refresh(const QRect& dirty) override;
    PictureBox* PicTo() const;

    void setForeColor(Colour colour) override;
    void setDrawWidth(int width) override;

    // The window and its image become the screen's size: the snapshot, a 32-bit picture of
    // exactly that size, when there is one, else all background colour.
    void setScreenSize(QSize size, QImage snapshot = {});

    // The splinter sprites; none before the canvas has loaded.
    SplinterAnimation* splinters() const { return m_splinters.get(); }
    // PicSplinter(0) is in the layout; loading adds 1 to 20.
    int splinterHolderCount() const;

    const QImage& sprite(SpriteSet set, int index) const override;
    void invalidate(const QRect& dirty) override;
    void playSound(const QString& name, int16_t flags) override;
    void playNoSound() override;
    void showPalette() override;
    void splinterBurst(double X, double Y) override;

  protected:
    void paintClient(QPainter& p, const QRect& rect) override;

  private:
    using ToolFlags = std::array<bool, Formula::kToolCount>;
    static ToolFlags selectedTools();

    PersistentImage m_image;
    std::array<std::unique_ptr<Tool>, Formula::kToolCount> m_tools;
    std::unique_ptr<SplinterAnimation> m_splinters;
    bool m_hasSnapshot = false;
};
