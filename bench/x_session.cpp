#include "x_session.h"

#include <poll.h>
#include <time.h>
#include <xcb/damage.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

double XSession::nowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

XSession::XSession() {
    int screenNumber = 0;
    m_conn = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(m_conn)) {
        xcb_disconnect(m_conn);
        m_conn = nullptr;
        return;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(m_conn));
    for (int i = 0; i < screenNumber; ++i) xcb_screen_next(&it);
    m_root = it.data->root;
    m_screenW = it.data->width_in_pixels;
    m_screenH = it.data->height_in_pixels;

    const xcb_query_extension_reply_t* damage = xcb_get_extension_data(m_conn, &xcb_damage_id);
    if (damage && damage->present) {
        m_damageEvent = damage->first_event + XCB_DAMAGE_NOTIFY;
        free(xcb_damage_query_version_reply(m_conn, xcb_damage_query_version(m_conn, 1, 1),
                                            nullptr));
    }
    // New top-levels, and every frame the window manager maps, are children of the root.
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_conn, m_root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(m_conn);
}

XSession::~XSession() {
    if (m_conn) xcb_disconnect(m_conn);
}

void XSession::watchPaints(xcb_window_t window) {
    if (!m_damageEvent || m_watched.count(window)) return;
    m_watched.insert(window);
    xcb_damage_create(m_conn, xcb_generate_id(m_conn), window,
                      XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
    xcb_flush(m_conn);
}

void XSession::handle(xcb_generic_event_t* e, double atMs) {
    const uint8_t type = e->response_type & 0x7F;
    if (type == XCB_CREATE_NOTIFY) {
        // Watching every new top-level from its creation on misses no paint; which one is
        // the canvas shows when one of them is painted over the whole screen.
        watchPaints(reinterpret_cast<xcb_create_notify_event_t*>(e)->window);
    } else if (type == XCB_MAP_NOTIFY) {
        auto* m = reinterpret_cast<xcb_map_notify_event_t*>(e);
        if (m->event != m_root) return;
        auto* g = xcb_get_geometry_reply(m_conn, xcb_get_geometry(m_conn, m->window), nullptr);
        if (!g) return;
        m_mapped.push_back({m->window, g->x, g->y, g->width, g->height, atMs});
        free(g);
    } else if (type == XCB_CONFIGURE_NOTIFY) {
        // Some managers (KWin) map a frame first and give it the client's size afterwards.
        auto* c = reinterpret_cast<xcb_configure_notify_event_t*>(e);
        for (Window& w : m_mapped)
            if (c->event == m_root && w.id == c->window)
                w.x = c->x, w.y = c->y, w.width = c->width, w.height = c->height;
    } else if (m_damageEvent && type == m_damageEvent) {
        auto* d = reinterpret_cast<xcb_damage_notify_event_t*>(e);
        const MoveLatency::Rect r{d->area.x, d->area.y, d->area.width, d->area.height};
        const long area = long(r.width) * r.height;
        if (!m_canvas) {
            if ((m_areaOf[d->drawable] += area) >= (long long)m_screenW * m_screenH)
                m_canvas = d->drawable;
            return;
        }
        if (d->drawable != m_canvas) return;
        ++m_paints;
        m_largestPaint = std::max(m_largestPaint, area);
        if (m_sink) m_sink(r, atMs);
    }
}

bool XSession::waitForEvent(double untilMs) {
    xcb_flush(m_conn);
    for (;;) {
        if (xcb_generic_event_t* e = xcb_poll_for_event(m_conn)) {
            handle(e, nowMs());
            free(e);
            return true;
        }
        if (xcb_connection_has_error(m_conn)) return false;
        const double left = untilMs - nowMs();
        if (left <= 0) return false;
        // Sub-millisecond waits: the chainsaw drag sends a move every millisecond.
        pollfd p{xcb_get_file_descriptor(m_conn), POLLIN, 0};
        const double wait = std::min(left, 1000.0);
        const timespec t{time_t(wait / 1e3), long(std::fmod(wait, 1e3) * 1e6)};
        ppoll(&p, 1, &t, nullptr);
    }
}

void XSession::drain() {
    while (xcb_generic_event_t* e = xcb_poll_for_event(m_conn)) {
        handle(e, nowMs());
        free(e);
    }
}

std::optional<XSession::Window> XSession::waitForMap(int width, int height, double timeoutMs) {
    const double until = nowMs() + timeoutMs;
    for (;;) {
        for (const Window& w : m_mapped)
            if (w.width == width && w.height == height) return w;
        if (!waitForEvent(until)) return std::nullopt;
    }
}

std::optional<double> XSession::waitForFullPaint(double timeoutMs) {
    const double until = nowMs() + timeoutMs;
    m_canvas = 0;
    m_areaOf.clear();
    while (!m_canvas)
        if (!waitForEvent(until)) return std::nullopt;
    return nowMs();
}

void XSession::pump(double forMs) {
    const double until = nowMs() + forMs;
    while (waitForEvent(until)) {
    }
}

void XSession::forgetWindows() {
    drain();
    m_mapped.clear();
}

void XSession::moveTo(int x, int y) {
    xcb_test_fake_input(m_conn, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, m_root, int16_t(x),
                        int16_t(y), 0);
}

void XSession::press(int button) {
    xcb_test_fake_input(m_conn, XCB_BUTTON_PRESS, uint8_t(button), XCB_CURRENT_TIME, XCB_NONE, 0, 0,
                        0);
}

void XSession::release(int button) {
    xcb_test_fake_input(m_conn, XCB_BUTTON_RELEASE, uint8_t(button), XCB_CURRENT_TIME, XCB_NONE, 0,
                        0, 0);
}

void XSession::click(int x, int y, int button) {
    moveTo(x, y);
    press(button);
    release(button);
    flush();
}

void XSession::flush() {
    xcb_flush(m_conn);
}
