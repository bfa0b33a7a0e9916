#pragma once

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRectF>
#include <vector>

// The windows KWin shows, as a KWin script lists them and reports back over the session bus,
// for the KWin scenario and the KWin enter benchmark (KWin runs scripts for whoever asks).
// Places are KWin's, in logical coordinates.
class KWinWindows : public QObject {
    Q_OBJECT
  public:
    struct Window {
        qint64 pid;
        QString id;
        QRectF geometry;
    };
    // False when the bus does not take the object the script reports to.
    bool connect() {
        return QDBusConnection::sessionBus().registerObject("/windows", this,
                                                            QDBusConnection::ExportAllSlots);
    }
    // Every window not minimised; empty when KWin did not answer within 3 s.
    std::vector<Window> list() {
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
            for (QDeadlineTimer deadline(3000); !m_reported && !deadline.hasExpired();)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
        bus.call(kwin("/Scripting", "org.kde.kwin.Scripting", "unloadScript") << "windows");
        std::vector<Window> found;
        for (const QJsonValue& w : std::as_const(m_report))
            found.push_back({w["pid"].toInteger(), w["id"].toString(),
                             QRectF(w["x"].toDouble(), w["y"].toDouble(), w["w"].toDouble(),
                                    w["h"].toDouble())});
        return found;
    }

  public Q_SLOTS:
    void report(const QString& json) {
        m_report = QJsonDocument::fromJson(json.toUtf8()).array(), m_reported = true;
    }

  private:
    QJsonArray m_report;
    bool m_reported = false;
};
