#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPoint>
#include <QThread>

// A client of GNOME Shell in unsafe mode (scripts/with-gnome.sh), for the GNOME scenario and the
// GNOME enter benchmark: JavaScript run inside the shell, and the pointer through Mutter's
// remote desktop service, which reaches Wayland and X clients alike.
namespace GnomeShell {

inline QDBusMessage call(const QString& service, const QString& path, const QString& interface,
                         const QString& method, const QVariantList& args = {}) {
    QDBusMessage m = QDBusMessage::createMethodCall(service, path, interface, method);
    m.setArguments(args);
    return QDBusConnection::sessionBus().call(m, QDBus::Block, 10000);
}
// What the JavaScript returned; null when it failed, with the shell's words on stderr.
inline QJsonValue eval(const QString& js) {
    const QVariantList answer =
        call("org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell", "Eval", {js}).arguments();
    if (!answer.value(0).toBool()) {
        qWarning("the shell said %s", qPrintable(answer.value(1).toString()));
        return {};
    }
    return QJsonDocument::fromJson("[" + answer.value(1).toString().toUtf8() + "]")[0];
}

class RemoteInput {
  public:
    RemoteInput() {
        const QString service = "org.gnome.Mutter.RemoteDesktop";
        m_session = call(service, "/org/gnome/Mutter/RemoteDesktop", service, "CreateSession")
                        .arguments()
                        .value(0)
                        .value<QDBusObjectPath>()
                        .path();
        send("Start");
    }
    bool ok() const { return !m_session.isEmpty(); }
    // Relative motion from where the shell has the pointer, until it is there.
    bool moveTo(QPoint to) const {
        for (int i = 0; i < 100; ++i) {
            const QJsonValue at = eval("global.get_pointer()");
            const QPoint by = to - QPoint(at[0].toInt(), at[1].toInt());
            if (by.isNull()) return true;
            send("NotifyPointerMotionRelative", {double(by.x()), double(by.y())});
            QThread::msleep(20);
        }
        return false;
    }
    // Button 1 left, 3 right, as X numbers them.
    void button(bool down, int which = 1) const {
        send("NotifyPointerButton", {which == 3 ? 0x111 : 0x110, down});  // evdev's codes
    }

  private:
    void send(const char* method, const QVariantList& args = {}) const {
        call("org.gnome.Mutter.RemoteDesktop", m_session, "org.gnome.Mutter.RemoteDesktop.Session",
             method, args);
    }
    QString m_session;
};

}  // namespace GnomeShell
