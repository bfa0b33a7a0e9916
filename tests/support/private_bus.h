#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include "support/sample_pictures.h"

// A session bus of the test's own that can start no service: no real portal may answer.
class PrivateBus {
  public:
    PrivateBus() {
        const QString config = m_dir.filePath("bus.conf");
        const QString text = QStringLiteral(
            "<busconfig><type>session</type><listen>unix:dir=%1</listen>"
            "<policy context=\"default\"><allow send_destination=\"*\"/>"
            "<allow receive_sender=\"*\"/><allow own=\"*\"/></policy></busconfig>");
        if (!SamplePictures::writeFile(config, text.arg(m_dir.path()).toUtf8())) return;
        m_daemon.start("dbus-daemon", {"--nofork", "--print-address", "--config-file=" + config});
        if (m_daemon.waitForReadyRead(5000))
            address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    ~PrivateBus() {
        for (const QString& name : m_names) QDBusConnection::disconnectFromBus(name);
        m_daemon.terminate();
        m_daemon.waitForFinished();
    }
    QDBusConnection connect(const QString& name) {
        m_names << name;
        return QDBusConnection::connectToBus(address, name);
    }
    QString address;  // empty when the daemon did not start

  private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QStringList m_names;
};

// The desktop portal's side of a screenshot: answers each request from a queue, or never.
class StubPortal : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")
  public:
    static constexpr const char* kService = "org.freedesktop.portal.Desktop";
    static constexpr const char* kObject = "/org/freedesktop/portal/desktop";

    bool serveOn(QDBusConnection bus) {
        return bus.registerService(kService) &&
               bus.registerObject(kObject, this, QDBusConnection::ExportAllSlots);
    }
    QList<std::pair<uint, QVariantMap>> answers;
    QList<bool> asked;  // interactive, per request
    int delayMs = 20;   // from the reply to the answer

  public Q_SLOTS:
    QDBusObjectPath Screenshot(const QString&, const QVariantMap& options) {
        asked << options.value("interactive").toBool();
        const QString sender = message().service().mid(1).replace('.', '_');
        const QString path = QStringLiteral("%1/request/%2/%3")
                                 .arg(kObject, sender, options.value("handle_token").toString());
        if (!answers.empty()) {
            auto [code, results] = answers.takeFirst();
            QDBusMessage signal =
                QDBusMessage::createSignal(path, "org.freedesktop.portal.Request", "Response");
            signal << code << results;
            // As a portal does: the answer follows the reply.
            QTimer::singleShot(delayMs, this,
                               [bus = connection(), signal]() mutable { bus.send(signal); });
        }
        return QDBusObjectPath(path);
    }
};
