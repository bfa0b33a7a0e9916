#include "platform/primary_screen.h"

#include <poll.h>
#include <wayland-client.h>

#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QScreen>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>

#include "kde-output-order-v1-client-protocol.h"
#include "platform/wayland_session.h"

namespace PrimaryScreen {

namespace {

// Enough for a compositor that answers at all; one that does not leaves Qt's primary in place
// rather than holding up the program's start.
constexpr int kWaitMs = 500;

struct OrderReader {
    kde_output_order_v1* order = nullptr;
    QStringList pending;
    std::optional<QStringList> names;  // set by the first complete list
    bool synced = false;
};

void onOutput(void* data, kde_output_order_v1*, const char* name) {
    static_cast<OrderReader*>(data)->pending << QString::fromUtf8(name);
}
void onDone(void* data, kde_output_order_v1*) {
    auto* reader = static_cast<OrderReader*>(data);
    reader->names = std::exchange(reader->pending, {});
}
const kde_output_order_v1_listener kOrderListener{onOutput, onDone};

void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
              uint32_t) {
    auto* reader = static_cast<OrderReader*>(data);
    if (reader->order || std::strcmp(interface, kde_output_order_v1_interface.name) != 0) return;
    reader->order = static_cast<kde_output_order_v1*>(
        wl_registry_bind(registry, name, &kde_output_order_v1_interface, 1));
    kde_output_order_v1_add_listener(reader->order, &kOrderListener, reader);
}
void onGlobalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistryListener{onGlobal, onGlobalRemove};

void onSynced(void* data, wl_callback* callback, uint32_t) {
    wl_callback_destroy(callback);
    static_cast<OrderReader*>(data)->synced = true;
}
const wl_callback_listener kSyncListener{onSynced};

// Dispatches the connection's events until `reached` holds, at most until the deadline:
// wl_display_roundtrip would wait for ever on a compositor that stopped answering.
template <typename Reached>
bool dispatchUntil(wl_display* display, Reached reached, QDeadlineTimer deadline) {
    while (!reached()) {
        if (wl_display_dispatch_pending(display) < 0) return false;
        if (reached()) return true;
        while (wl_display_prepare_read(display) != 0)
            if (wl_display_dispatch_pending(display) < 0) return false;
        if (wl_display_flush(display) < 0 && errno != EAGAIN) {
            wl_display_cancel_read(display);
            return false;
        }
        pollfd fd{wl_display_get_fd(display), POLLIN, 0};
        const int ready = poll(&fd, 1, int(deadline.remainingTime()));
        if (ready <= 0) {
            wl_display_cancel_read(display);
            if (ready < 0 && errno == EINTR) continue;
            return false;
        }
        if (wl_display_read_events(display) < 0) return false;
    }
    return true;
}

}  // namespace

// A connection of its own: Qt's would need its private headers, and this one is closed again
// once the order is known.
QStringList readCompositorOrder() {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) return {};
    OrderReader reader;
    const QDeadlineTimer deadline(kWaitMs);
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, &reader);
    wl_callback* sync = wl_display_sync(display);
    wl_callback_add_listener(sync, &kSyncListener, &reader);
    bool answered = dispatchUntil(display, [&] { return reader.synced; }, deadline);
    // The compositor sends the whole list, and "done", as soon as the order is bound.
    if (answered && reader.order)
        answered = dispatchUntil(display, [&] { return reader.names.has_value(); }, deadline);
    if (!answered)
        std::fprintf(stderr, "shatter: %s\n",
                     "混成器未及時告知輸出順序，改用 Qt 的主螢幕。");
    if (reader.order) kde_output_order_v1_destroy(reader.order);
    if (!reader.synced) wl_callback_destroy(sync);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return reader.names.value_or(QStringList());
}

QScreen* choose(const QStringList& order, const QList<QScreen*>& screens, QScreen* fallback) {
    for (const QString& name : order)
        for (QScreen* screen : screens)
            if (screen && screen->name() == name) return screen;
    return fallback;
}

QStringList compositorOrder() {
    if (!qGuiApp || !WaylandSession::nativeWayland()) return {};
    static const QStringList order = readCompositorOrder();
    return order;
}

QScreen* current() {
    if (!qGuiApp) return nullptr;
    return choose(compositorOrder(), QGuiApplication::screens(),
                  QGuiApplication::primaryScreen());
}

}  // namespace PrimaryScreen
