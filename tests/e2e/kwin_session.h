#pragma once

#include <QtDBus>

#include "e2e/harness.h"
#include "kwin_fake_input.h"

namespace e2e {

// The desktop as KWin itself has it, for a test that KWin trusts through its menu entry
// (scripts/with-kwin.sh): the pointer through KWin's fake-input protocol, so that it reaches
// native Wayland clients and X clients alike, and the windows as a KWin script lists them,
// reported back over the session bus. Positions are in the outputs' pixels.
class KWinSession : public QObject {
    Q_OBJECT
  public:
    // False unless KWin offers its fake input to this program.
    bool connect() {
        if (!m_input.connect()) return false;
        QDBusConnection::sessionBus().registerObject("/windows", this, QDBusConnection::ExportAllSlots);
        moveTo = [this](QPoint p) { m_input.moveTo(p.x() / scale, p.y() / scale); };
        pressButton = [this](bool down, int which) { return m_input.button(which, down), nowMs(); };
        windowsOf = [this](qint64 pid, bool) { return list(pid); };
        return true;
    }

  public Q_SLOTS:
    void report(const QString& json) {
        m_report = QJsonDocument::fromJson(json.toUtf8()).array(), m_reported = true;
    }

  private:
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

    KWinFakeInput m_input;
    QJsonArray m_report;
    bool m_reported = false;
};

}  // namespace e2e
