#pragma once

#include <QObject>

class Formula_Start;

// Keeps the open canvas over the primary screen when that screen changes its size or place, or
// another screen becomes the primary: the canvas keeps its pixels and takes what it gains from
// the screen as it looks now, and the small windows are moved back onto the screen.
class ScreenFollower : public QObject {
    Q_OBJECT
  public:
    explicit ScreenFollower(Formula_Start& canvas);

    // Follows the primary screen as it is now. Runs once for a burst of changes.
    void follow();

  private:
    void watchPrimaryScreen();
    void primaryScreenChanged();
    // False when the canvas was unloaded while it waited for the desktop.
    bool coverChangedScreen();

    Formula_Start& m_canvas;
    QMetaObject::Connection m_geometryWatch;
    bool m_pending = false, m_following = false, m_again = false;
};
