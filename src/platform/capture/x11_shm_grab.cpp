#include "platform/capture/x11_shm_grab.h"

#ifdef SHATTER_HAVE_XCB_SHM

#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <QtGui/qguiapplication_platform.h>
#include <QGuiApplication>
#include <cstdlib>
#include <memory>

namespace {

// 32 bits a pixel, blue first in memory: exactly what Format_RGB32 holds on this machine.
bool layoutMatches(const xcb_setup_t* setup, const xcb_screen_t* screen) {
    if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST) return false;
    if (screen->root_depth != 24 && screen->root_depth != 32) return false;
    bool fourBytes = false;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f))
        if (f.data->depth == screen->root_depth) fourBytes = f.data->bits_per_pixel == 32;
    if (!fourBytes) return false;
    for (auto d = xcb_screen_allowed_depths_iterator(screen); d.rem; xcb_depth_next(&d)) {
        if (d.data->depth != screen->root_depth) continue;
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v))
            if (v.data->visual_id == screen->root_visual)
                return v.data->red_mask == 0xFF0000 && v.data->green_mask == 0xFF00 &&
                       v.data->blue_mask == 0xFF;
    }
    return false;
}

void detachSegment(void* address) {
    shmdt(address);
}

}  // namespace

QImage grabX11RootThroughSharedMemory(const QRect& area) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c || area.isEmpty()) return {};
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_shm_id);
    if (!ext || !ext->present) return {};
    const xcb_setup_t* setup = xcb_get_setup(c);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(setup).data;
    if (!screen || !layoutMatches(setup, screen)) return {};
    // The root's size as it is now: the one in the connection's setup is that of when the
    // program started, and RandR changes it. A monitor may also lie partly or wholly outside
    // the root (xrandr --setmonitor allows it): there is nothing to read there.
    std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> root(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, screen->root), nullptr), &std::free);
    if (!root || !QRect(0, 0, root->width, root->height).contains(area)) return {};

    const size_t bytes = size_t(area.width()) * size_t(area.height()) * 4;
    const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (id < 0) return {};
    void* address = shmat(id, nullptr, 0);
    // Marked for removal at once: it goes with the last detach, even if we crash.
    shmctl(id, IPC_RMID, nullptr);
    if (address == reinterpret_cast<void*>(-1)) return {};

    const xcb_shm_seg_t segment = xcb_generate_id(c);
    // Checked, so that a server on another machine, which cannot reach our memory, answers
    // here instead of in the toolkit's error log.
    if (xcb_generic_error_t* refused =
            xcb_request_check(c, xcb_shm_attach_checked(c, segment, uint32_t(id), 0))) {
        std::free(refused);
        shmdt(address);
        return {};
    }
    xcb_generic_error_t* error = nullptr;
    std::unique_ptr<xcb_shm_get_image_reply_t, decltype(&std::free)> reply(
        xcb_shm_get_image_reply(
            c,
            xcb_shm_get_image(c, screen->root, int16_t(area.x()), int16_t(area.y()),
                              uint16_t(area.width()), uint16_t(area.height()), ~0u,
                              XCB_IMAGE_FORMAT_Z_PIXMAP, segment, 0),
            &error),
        &std::free);
    xcb_shm_detach(c, segment);
    xcb_flush(c);
    std::free(error);
    if (!reply || error) {
        shmdt(address);
        return {};
    }
    // The image owns the segment from here on and detaches it when the last copy goes.
    return QImage(static_cast<uchar*>(address), area.width(), area.height(), area.width() * 4,
                  QImage::Format_RGB32, detachSegment, address);
}

#else

QImage grabX11RootThroughSharedMemory(const QRect&) {
    return {};
}

#endif
