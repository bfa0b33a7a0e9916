#pragma once

#include <array>
#include <map>
#include <memory>

#include "canvas/action_history.h"
#include "canvas/canvas_surface.h"
#include "canvas/persistent_image.h"
#include "shell/form.h"
#include "shell/formula.h"

class PictureBox;
class ScreenFollower;
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
    // As the palette's exit command: without the canvas the palette would float over the real
    // desktop with nothing to act on.
    void closedByWindowManager() override;

    PersistentImage& image() override { return m_image; }
    DeviceScale scale() const override { return m_scale; }
    // The factor the next snapshot is taken at; the pen width follows it.
    void setScale(DeviceScale scale);
    // False when the latest load could not photograph the screen.
    bool hasSnapshot() const { return m_hasSnapshot; }
    // Puts a picture at (0, 0), 1:1 in device pixels, over the background colour in place of
    // everything shown.
    void loadPicture(const QImage& picture);
    // Takes back the last action on the picture (a press up to its release, or a load), or does
    // the last one taken back again; false when there was none or a press is still held.
    bool undo();
    bool redo();
    const ActionHistory& history() const { return m_history; }
    // While the canvas is the only window shown it takes the keyboard, so the keys still reach
    // Shatter; with the palette up it takes none, or a window manager would raise it over it.
    void takeKeyboard(bool take);
    // Repaints the touched rectangle now.
    void Refresh(const QRect& dirty) override;
    PictureBox* PicTo() const;

    void setForeColor(Colour colour) override;
    void setDrawWidth(int width) override;

    // The image becomes the screen's size in device pixels and the window covers it: the
    // snapshot, a 32-bit picture of exactly that size, when there is one, else all background
    // colour.
    void setScreenSize(QSize size, QImage snapshot = {});
    // After the primary screen changed its size or place, or another screen became the
    // primary: the window covers it again, the image keeps its pixels and takes what it gains
    // from the screen as it looks now (the background colour where the screen cannot be
    // read), and the small windows are moved back onto it. Runs once for a burst of changes.
    void followPrimaryScreen();
    // The image becomes size device pixels at scale, keeping its pixels; gained, the screen's
    // picture, fills what it gains (the background colour where it is null).
    void takeScreen(QSize size, DeviceScale scale, const QImage& gained);
    // Moves the window over the primary screen (full screen there under Wayland).
    void coverPrimaryScreen();

    // The splinter sprites; none before the canvas has loaded.
    SplinterAnimation* splinters() const { return m_splinters.get(); }
    // PicSplinter(0) is in the layout; loading adds 1 to 20.
    int splinterHolderCount() const;

    const QImage& sprite(SpriteSet set, int index) const override;
    const QImage& deviceSprite(SpriteSet set, int index) const override;
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

    // A scaled copy of a holder's picture, made again when the holder's picture changes.
    struct ScaledSprite {
        qint64 source = 0;
        QImage image;
    };

    DeviceScale m_scale;
    PersistentImage m_image;
    ActionHistory m_history;
    mutable std::map<std::pair<SpriteSet, int>, ScaledSprite> m_deviceSprites;
    std::array<std::unique_ptr<Tool>, Formula::kToolCount> m_tools;
    std::unique_ptr<SplinterAnimation> m_splinters;
    // A press that landed on a flying splinter belongs to it, up to its release.
    bool m_pressOnSplinter = false;
    bool splinterAt(double X, double Y) const;
    bool m_hasSnapshot = false;
    void makeSplinters();
    std::unique_ptr<ScreenFollower> m_follower;
};
