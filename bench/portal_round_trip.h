#pragma once

// A bare D-Bus client's own Screenshot round trip through the desktop portal: the reference
// the enter benchmarks compare with.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QObject>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>

class PortalRoundTrip : public QObject {
    Q_OBJECT
  public:
    // Milliseconds from the call to the Response signal; negative when none came.
    double measure(int serial) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        const QString token = QStringLiteral("bench%1").arg(serial);
        const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                                 .arg(bus.baseService().mid(1).replace('.', '_'), token);
        bus.connect("org.freedesktop.portal.Desktop", path, "org.freedesktop.portal.Request",
                    "Response", this, SLOT(onResponse(uint, QVariantMap)));
        QDBusMessage call = QDBusMessage::createMethodCall(
            "org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
            "org.freedesktop.portal.Screenshot", "Screenshot");
        call << QString() << QVariantMap{{"handle_token", token}, {"interactive", false}};
        QElapsedTimer t;
        t.start();
        m_done = false;
        bus.asyncCall(call);
        QEventLoop loop;
        m_loop = &loop;
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        if (!m_done) loop.exec();
        const double ms = m_done ? t.nsecsElapsed() / 1e6 : -1;
        if (!m_file.isEmpty()) QFile::remove(m_file);
        return ms;
    }
  public Q_SLOTS:
    void onResponse(uint, const QVariantMap& results) {
        m_done = true;
        m_file = QUrl(results.value("uri").toString()).toLocalFile();
        if (m_loop) m_loop->quit();
    }

  private:
    bool m_done = false;
    QString m_file;
    QEventLoop* m_loop = nullptr;
};
