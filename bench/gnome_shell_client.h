#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPoint>
#include <QRect>
#include <QThread>
#include <utility>
#include <vector>

// A client of GNOME Shell in unsafe mode (scripts/with-gnome.sh), for the GNOME scenario and the
// GNOME enter benchmark: JavaScript run inside the shell, and the pointer through Mutter's
// remote desktop service, which reaches Wayland and X clients alike.
namespace GnomeShell {

inline QDBusMessage call(const QString& service, const QString& path, const QString& interface,
                         const QString& method, const QVariantList& args = {}) {
    QDBusMessage m = QDBusMessage::createMethodCall(service, path, interface, method);
    m.setArguments(args);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(m, QDBus::Block, 10000);
    if (reply.type() != QDBusMessage::ReplyMessage)
        qWarning("%s: %s", qPrintable(method), qPrintable(reply.errorMessage()));
    return reply;
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

// A rectangle the shell's JavaScript gave as x, y, width and height, from that index on.
inline QRect rectOf(const QJsonValue& r, int from = 0) {
    return QRect(r[from].toInt(), r[from + 1].toInt(), r[from + 2].toInt(), r[from + 3].toInt());
}
// The program's top-level windows, the visible ones or all: the shell's id and frame rectangle
// in the screen's pixels (the shell's are logical: fewer at a fractional scale).
inline std::vector<std::pair<QString, QRect>> windowsOf(qint64 pid, bool visibleOnly) {
    const QJsonValue found = eval(
        QStringLiteral("const k = global.display.get_monitor_scale(0);"
                       "global.get_window_actors().filter(a => a.meta_window.get_pid() == %1 && "
                       "(a.visible || !%2)).map(a => [a.meta_window.get_id(), "
                       "a.meta_window.get_frame_rect()]).map(([id, r]) => [id, Math.floor(r.x "
                       "* k), Math.floor(r.y * k), Math.round(r.width * k), Math.round(r.height "
                       "* k)])")
            .arg(pid)
            .arg(visibleOnly));
    std::vector<std::pair<QString, QRect>> windows;
    for (const QJsonValue w : found.toArray())
        windows.emplace_back(QString::number(w[0].toInteger()), rectOf(w, 1));
    return windows;
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
        // The shell makes its virtual keyboard on the first key and drops that key: a Shift
        // makes it now.
        key(0xffe1, true), key(0xffe1, false);
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
    // Keys named as xdotool names them ("ctrl+a", "Return"), or text typed a character at a
    // time; the shell adds Shift where a character needs it.
    void keys(const QString& names, bool type) const {
        static const QHash<QString, uint> named{
            {"ctrl", 0xffe3}, {"shift", 0xffe1}, {"alt", 0xffe9}, {"Return", 0xff0d}};
        QList<uint> chord;
        for (const QString& name : type ? QStringList() : names.split('+'))
            chord << named.value(name, name.size() == 1 ? name[0].unicode() : 0);
        if (type)
            for (const QChar c : names) key(c.unicode(), true), key(c.unicode(), false);
        for (const uint sym : chord) key(sym, true);
        for (auto sym = chord.crbegin(); sym != chord.crend(); ++sym) key(*sym, false);
    }

  private:
    void key(uint keysym, bool down) const {
        send("NotifyKeyboardKeysym", {keysym, down});
        QThread::msleep(20);
    }
    void send(const char* method, const QVariantList& args = {}) const {
        call("org.gnome.Mutter.RemoteDesktop", m_session, "org.gnome.Mutter.RemoteDesktop.Session",
             method, args);
    }
    QString m_session;
};

}  // namespace GnomeShell
