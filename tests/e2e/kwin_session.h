#pragma once

#include <linux/input-event-codes.h>
#include <wayland-client.h>

#include <QtDBus>

#include "e2e/harness.h"
#include "fake-input-client-protocol.h"

namespace e2e {

// The desktop as KWin itself has it, for a test that KWin trusts through its menu entry
// (scripts/with-kwin.sh): the pointer through KWin's fake-input protocol, so that it reaches
// native Wayland clients and X clients alike, and the windows as a KWin script lists them,
// reported back over the session bus. Positions are in the outputs' pixels.
class KWinSession : public QObject {
    Q_OBJECT
  public:
    ~KWinSession() override {
        if (m_display) wl_display_disconnect(m_display);
    }
    // False unless KWin offers its fake input to this program.
    bool connect() {
        m_display = wl_display_connect(nullptr);
        if (!m_display) return false;
        static const wl_registry_listener listener{
            [](void* self, wl_registry* r, uint32_t name, const char* iface, uint32_t) {
                if (QLatin1String(iface) == QLatin1String(org_kde_kwin_fake_input_interface.name))
                    static_cast<KWinSession*>(self)->m_input = static_cast<org_kde_kwin_fake_input*>(
                        wl_registry_bind(r, name, &org_kde_kwin_fake_input_interface, 4));
            },
            [](void*, wl_registry*, uint32_t) {}};
        wl_registry_add_listener(wl_display_get_registry(m_display), &listener, this);
        wl_display_roundtrip(m_display);
        if (!m_input) return false;
        org_kde_kwin_fake_input_authenticate(m_input, "Shatter tests", "drives the program");
        QDBusConnection::sessionBus().registerObject("/windows", this, QDBusConnection::ExportAllSlots);
        moveTo = [this](QPoint p) { move(p); };
        pressButton = [this](bool down, int which) {
            org_kde_kwin_fake_input_button(m_input, which == 3 ? BTN_RIGHT : BTN_LEFT, down);
            return wl_display_roundtrip(m_display), nowMs();
        };
        windowsOf = [this](qint64 pid, bool) { return list(pid); };
        return true;
    }

  public Q_SLOTS:
    void report(const QString& json) {
        m_report = QJsonDocument::fromJson(json.toUtf8()).array(), m_reported = true;
    }

  private:
    // KWin handles a request as it reads it: after the round trip the pointer is there.
    void move(QPoint p) {
        const QPointF logical = QPointF(p) / scale;
        org_kde_kwin_fake_input_pointer_motion_absolute(m_input, wl_fixed_from_double(logical.x()),
                                                        wl_fixed_from_double(logical.y()));
        wl_display_roundtrip(m_display);
    }
    std::vector<XWindow> list(qint64 pid) {
        const QString script = qEnvironmentVariable("SHATTER_KWIN_SHARED") + "/windows.js";
        QFile f(script);
        if (!f.exists() && f.open(QIODevice::WriteOnly))
            f.write(QStringLiteral(
                        "var found = [], all = workspace.clientList();\n"
                        "for (var i = 0; i < all.length; ++i) if (!all[i].minimized) {\n"
                        "  var g = all[i].frameGeometry;\n"
                        "  found.push({pid: all[i].pid, id: all[i].internalId.toString(),\n"
                        "              x: g.x, y: g.y, w: g.width, h: g.height}); }\n"
                        "callDBus('%1', '/windows', '', 'report', JSON.stringify(found));\n")
                        .arg(QDBusConnection::sessionBus().baseService())
                        .toUtf8());
        f.close();
        const auto kwin = [](const QString& path, const QString& iface, const QString& method) {
            return QDBusMessage::createMethodCall("org.kde.KWin", path, iface, method);
        };
        QDBusConnection bus = QDBusConnection::sessionBus();
        const QDBusReply<int> id = bus.call(
            kwin("/Scripting", "org.kde.kwin.Scripting", "loadScript") << script << "windows");
        m_report = {}, m_reported = false;
        if (id.isValid() && id >= 0) {
            bus.call(kwin(QStringLiteral("/%1").arg(id.value()), "org.kde.kwin.Script", "run"));
            waitUntil([&] { return m_reported; }, 3000, 5);
        }
        bus.call(kwin("/Scripting", "org.kde.kwin.Scripting", "unloadScript") << "windows");
        std::vector<XWindow> found;
        for (const QJsonValue& w : std::as_const(m_report))
            if (w["pid"].toInteger() == pid)
                found.push_back({w["id"].toString(),
                                 QRectF(QPointF(w["x"].toDouble(), w["y"].toDouble()) * scale,
                                        QSizeF(w["w"].toDouble(), w["h"].toDouble()) * scale)
                                     .toRect()});
        return found;
    }

    wl_display* m_display = nullptr;
    org_kde_kwin_fake_input* m_input = nullptr;
    QJsonArray m_report;
    bool m_reported = false;
};

}  // namespace e2e
