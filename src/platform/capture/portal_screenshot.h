#pragma once

#include <QDBusConnection>
#include <QDBusReply>
#include <QDateTime>
#include <QEventLoop>
#include <QImage>
#include <QObject>
#include <QRect>
#include <QUrl>
#include <QVariantMap>
#include <optional>

#include "platform/platform.h"

// A Wayland compositor lets no client read the screen; the desktop portal takes the picture
// for us, saves it as a PNG and answers with its address on a request object of its own.
class PortalScreenshot : public QObject {
    Q_OBJECT
  public:
    static constexpr int kTimeoutMs = 10000;
    // A person answers the desktop's own dialog, which takes longer than a machine.
    static constexpr int kInteractiveTimeoutMs = 60000;

    explicit PortalScreenshot(QDBusConnection bus, int timeoutMs = kTimeoutMs);

    // The whole desktop through the portal, cut to the primary screen. Lets window messages
    // run while it waits and never waits longer than the timeout.
    CaptureResult grabPrimaryScreen();

    // What one Response means: the picture's address, a reason to give up, or (code 2 to a
    // quiet request) that the desktop wants to ask the user first.
    struct Answer {
        QUrl uri;
        QString error;
        bool askUser = false;
    };
    static Answer parseResponse(uint code, const QVariantMap& results, bool interactive);

    // Whether a quiet request may wait on a person: until the portal has stored a grant for
    // the program (under one of ids), some desktops ask the user in a dialog of their own
    // first. lookupError is the permission store's error name, empty when it answered grants.
    static bool personMayBeAsked(const QString& lookupError,
                                 const QMap<QString, QStringList>& grants, const QStringList& ids);
    // Whether the store holds a refusal for the program (under one of ids).
    static bool refusedInStore(const QMap<QString, QStringList>& grants, const QStringList& ids);

    // Reads the picture behind uri and crops the screen's rectangle out of it (both rectangles
    // in logical coordinates, as the screens report them). The file is
    // removed afterwards when it is one the portal wrote to the temporary directory since
    // requestedAt, and kept anywhere else. A picture of the right size and format in into is
    // decoded into rather than allocated anew.
    static CaptureResult readPicture(const QUrl& uri, const QRect& desktop, const QRect& screen,
                                     const QDateTime& requestedAt, QImage into = {});

    // The primary screen's rectangle in the picture's device pixels: the picture covers the
    // desktop (every output, in logical coordinates) at the picture's own scale.
    static std::optional<QRect> screenInPicture(QSize picture, const QRect& desktop,
                                                const QRect& screen);

  private Q_SLOTS:
    void onResponse(uint code, const QVariantMap& results);

  private:
    Answer request(bool interactive, bool personMayAnswer);
    bool personMayBeAsked();
    bool refusedInStore();
    QDBusReply<QMap<QString, QStringList>> storedGrants();
    void prepareWhileWaiting();
    QString requestPath(const QString& token) const;

    QDBusConnection m_bus;
    int m_timeoutMs;
    std::optional<Answer> m_answer;
    bool m_interactive = false;
    QEventLoop* m_loop = nullptr;
    QSize m_expected;  // the whole desktop in device pixels, as the portal is likely to give it
    QImage m_prepared;
};
