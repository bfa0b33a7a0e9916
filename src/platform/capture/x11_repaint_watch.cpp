#include "platform/capture/x11_repaint_watch.h"

#ifdef SHATTER_HAVE_XCB_DAMAGE

#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QtGui/qguiapplication_platform.h>
#include <QGuiApplication>

namespace {

// Events arrive on the toolkit's own connection, so they are seen in order with its others
// and need no thread or socket of their own.
class RootRepaintWatch final : public QObject, public QAbstractNativeEventFilter {
  public:
    RootRepaintWatch(xcb_connection_t* c, xcb_window_t root, uint8_t firstEvent, QRect area,
                     std::function<void()> repainted)
        : m_c(c),
          m_notify(uint8_t(firstEvent + XCB_DAMAGE_NOTIFY)),
          m_area(area),
          m_repainted(std::move(repainted)),
          m_damage(xcb_generate_id(c)) {
        // Every rectangle as it is drawn: nothing to acknowledge between two reports.
        xcb_damage_create(c, m_damage, root, XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
        xcb_flush(c);
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~RootRepaintWatch() override {
        QCoreApplication::instance()->removeNativeEventFilter(this);
        xcb_damage_destroy(m_c, m_damage);
        xcb_flush(m_c);
    }
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7F) != m_notify) return false;
        const auto* notify = reinterpret_cast<const xcb_damage_notify_event_t*>(event);
        if (notify->damage != m_damage) return false;
        const QRect drawn(notify->geometry.x + notify->area.x, notify->geometry.y + notify->area.y,
                          notify->area.width, notify->area.height);
        if (drawn.intersects(m_area)) m_repainted();
        return true;
    }

  private:
    xcb_connection_t* m_c;
    uint8_t m_notify;
    QRect m_area;
    std::function<void()> m_repainted;
    xcb_damage_damage_t m_damage;
};

}  // namespace

std::unique_ptr<QObject> watchX11RootRepaints(const QRect& area, std::function<void()> repainted) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c || area.isEmpty()) return {};
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_damage_id);
    if (!ext || !ext->present) return {};
    // The version must be agreed before the first request of the extension.
    static bool agreed = false;
    if (!agreed) {
        auto* version = xcb_damage_query_version_reply(
            c, xcb_damage_query_version(c, XCB_DAMAGE_MAJOR_VERSION, XCB_DAMAGE_MINOR_VERSION),
            nullptr);
        agreed = version != nullptr;
        std::free(version);
        if (!agreed) return {};
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    return std::make_unique<RootRepaintWatch>(c, root, ext->first_event, area,
                                              std::move(repainted));
}

#else

std::unique_ptr<QObject> watchX11RootRepaints(const QRect&, std::function<void()>) {
    return {};
}

#endif
