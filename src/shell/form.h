#pragma once

#include <QCursor>
#include <QImage>
#include <QPoint>
#include <QWidget>
#include <map>

#include "layouts/colour.h"
#include "layouts/layouts.h"
#include "platform/common_dialog.h"

class Label;
class PictureBox;

// One window, created from its layout. Subclasses add the window's handlers; the runtime
// (Forms) decides when a window is loaded, shown, hidden and unloaded.
class Form : public QWidget {
    Q_OBJECT
public:
    explicit Form(FormId id);
    ~Form() override;

    FormId id() const { return m_layout.id; }
    const WindowLayout& layout() const { return m_layout; }

    // Handlers every window may have. Mouse positions arrive in the window's own unit.
    virtual void Form_Load() {}
    virtual void Form_QueryUnload() {}
    // The window manager closed the window (its close button, Alt+F4). By default that unloads
    // just this window; a window whose unloading would leave nothing on the screen to go on
    // from does what its own way of closing does instead.
    virtual void closedByWindowManager();
    virtual void Form_MouseDown(int Button, int Shift, double X, double Y);
    virtual void Form_MouseMove(int Button, int Shift, double X, double Y);
    virtual void Form_MouseUp(int Button, int Shift, double X, double Y);

    Label* label(const QString& name) const;
    PictureBox* picture(const QString& name, int index = -1) const;
    CommonDialog& dialog(const QString& name);
    QWidget* client() const { return m_client; }

    Colour backColor() const { return m_back; }
    void setBackColor(Colour colour);
    void setBackgroundPicture(const QImage& picture);
    Colour ForeColor() const { return m_fore; }
    virtual void setForeColor(Colour colour) { m_fore = colour; }
    int DrawWidth() const { return m_drawWidth; }
    virtual void setDrawWidth(int width) { m_drawWidth = width; }
    // The custom pointer shown over the window's background (pointer kind 99).
    void setMouseIcon(const QCursor& cursor);
    const QCursor& mouseIcon() const { return m_mouseIcon; }

    // The window's own drawing: clearing, and an unfilled box whose corners are both inside.
    virtual void Cls();
    virtual void drawBox(QPoint a, QPoint b);
    QPoint currentPos() const { return m_currentPos; }

    // Shows (first time: centred on the primary screen) and brings to the front.
    virtual void showForm();
    void hideForm();
    // Moves the window, frame and all, as little as needed to lie within area (its top-left
    // corner when it is larger).
    void keepWithin(const QRect& area);
    // Lets the user move a window that has no caption, while the left button stays down.
    void startDrag();

    double unitsPerPixel() const { return m_layout.scale == Scale::Twips ? kTwipsPerPixel : 1; }

protected:
    // Paints the client area: background colour, background picture, then the drawing.
    virtual void paintClient(QPainter& p, const QRect& rect);
    void paintEvent(QPaintEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void setClientGeometry(const QRect& clientRect);

private:
    class ClientSurface;
    friend class ClientSurface;
    void clientMouse(QMouseEvent* e, int kind);
    QImage& drawingLayer();

    const WindowLayout& m_layout;
    QWidget* m_client = nullptr;
    std::map<QString, Label*> m_labels;
    std::map<std::pair<QString, int>, PictureBox*> m_pictures;
    std::map<QString, CommonDialog> m_dialogs;
    Colour m_back = 0;
    Colour m_fore = 0;
    int m_drawWidth = 1;
    QImage m_backgroundPicture;
    QImage m_drawing;
    QPoint m_currentPos;
    QCursor m_mouseIcon;
    bool m_shownOnce = false;
    bool m_manualDrag = false;
    QPoint m_dragOffset;
};
