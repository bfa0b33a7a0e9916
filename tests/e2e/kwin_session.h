#pragma once

#include "e2e/harness.h"
#include "kwin_fake_input.h"
#include "kwin_windows.h"

namespace e2e {

// The desktop as KWin itself has it, for a test that KWin trusts through its menu entry
// (scripts/with-kwin.sh): the pointer through KWin's fake-input protocol, so that it reaches
// native Wayland clients and X clients alike, and the windows as a KWin script lists them.
// Positions are in the outputs' pixels.
class KWinSession {
  public:
    // False unless KWin offers its fake input to this program.
    bool connect() {
        if (!m_input.connect() || !m_windows.connect()) return false;
        moveTo = [this](QPoint p) { m_input.moveTo(p.x() / scale, p.y() / scale); };
        pressButton = [this](bool down, int which) { return m_input.button(which, down), nowMs(); };
        windowsOf = [this](qint64 pid, bool) {
            std::vector<XWindow> found;
            for (const KWinWindows::Window& w : m_windows.list())
                if (w.pid == pid)
                    found.push_back({w.id, QRectF(w.geometry.topLeft() * scale,
                                                  w.geometry.size() * scale).toRect()});
            return found;
        };
        return true;
    }

  private:
    KWinFakeInput m_input;
    KWinWindows m_windows;
};

}  // namespace e2e
