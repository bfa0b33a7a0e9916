#pragma once

#include <linux/input-event-codes.h>
#include <wayland-client.h>

#include <QLatin1String>

#include "fake-input-client-protocol.h"

// The pointer through KWin's fake-input protocol, which KWin offers only to a program whose menu
// entry asks for it (X-KDE-Wayland-Interfaces): it reaches native Wayland and X clients alike.
// KWin handles each request as it reads it, so after a round trip the pointer is there.
class KWinFakeInput {
  public:
    KWinFakeInput() = default;
    KWinFakeInput(const KWinFakeInput&) = delete;
    KWinFakeInput& operator=(const KWinFakeInput&) = delete;
    ~KWinFakeInput() {
        if (m_display) wl_display_disconnect(m_display);
    }

    // False unless KWin offers its fake input to this program.
    bool connect() {
        m_display = wl_display_connect(nullptr);
        if (!m_display) return false;
        static const wl_registry_listener listener{
            [](void* self, wl_registry* r, uint32_t name, const char* iface, uint32_t) {
                if (QLatin1String(iface) == QLatin1String(org_kde_kwin_fake_input_interface.name))
                    static_cast<KWinFakeInput*>(self)->m_input =
                        static_cast<org_kde_kwin_fake_input*>(
                            wl_registry_bind(r, name, &org_kde_kwin_fake_input_interface, 4));
            },
            [](void*, wl_registry*, uint32_t) {}};
        wl_registry_add_listener(wl_display_get_registry(m_display), &listener, this);
        wl_display_roundtrip(m_display);
        if (m_input) org_kde_kwin_fake_input_authenticate(m_input, "Shatter tests", "driving");
        return m_input;
    }
    // In KWin's logical coordinates.
    void moveTo(double x, double y) {
        org_kde_kwin_fake_input_pointer_motion_absolute(m_input, wl_fixed_from_double(x),
                                                        wl_fixed_from_double(y));
        wl_display_roundtrip(m_display);
    }
    // 1 left, 3 right; returns once KWin has passed it on.
    void button(int which, bool down) {
        org_kde_kwin_fake_input_button(m_input, which == 3 ? BTN_RIGHT : BTN_LEFT, down);
        wl_display_roundtrip(m_display);
    }

  private:
    wl_display* m_display = nullptr;
    org_kde_kwin_fake_input* m_input = nullptr;
};
