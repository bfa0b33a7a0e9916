#include "platform/capture/portal_screenshot.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace {
const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kObject = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kScreenshot = QStringLiteral("org.freedesktop.portal.Screenshot");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");
const QString kStore = QStringLiteral("org.freedesktop.impl.portal.PermissionStore");
const QString kStorePath = QStringLiteral("/org/freedesktop/impl/portal/PermissionStore");
constexpr char kNotFound[] = "org.freedesktop.portal.Error.NotFound";

const QString kInstallHint = QStringLiteral(
    "請安裝 xdg-desktop-portal 以及您桌面所用的後端（GNOME 用 xdg-desktop-portal-gnome，"
    "KDE Plasma 用 xdg-desktop-portal-kde，sway 等用 xdg-desktop-portal-wlr），"
    "重新登入後再試");

QString noPortal() {
    return QStringLiteral("這個 Wayland 桌面沒有提供擷取螢幕的桌面入口服務。") + kInstallHint;
}

QString callFailed(const QDBusError& e) {
    switch (e.type()) {
        case QDBusError::ServiceUnknown:
            return noPortal();
        case QDBusError::UnknownObject:
        case QDBusError::UnknownInterface:
        case QDBusError::UnknownMethod:
            return QStringLiteral("桌面入口服務沒有擷取螢幕的功能。") + kInstallHint;
        case QDBusError::NoReply:
        case QDBusError::Timeout:
            return QString();  // told as a timeout by the caller
        default:
            if (e.name().startsWith(QLatin1String("org.freedesktop.DBus.Error.Spawn")))
                return noPortal();
            return QStringLiteral("桌面入口服務回報錯誤：%1").arg(e.message());
    }
}

// The portal writes a fresh file for each picture into the temporary directory on some
// desktops; others keep every picture in the user's folders on purpose.
bool madeForThisRequest(const QFileInfo& file, const QDateTime& requestedAt) {
    const QString temp = QFileInfo(QDir::tempPath()).canonicalFilePath();
    const QString dir = QFileInfo(file.canonicalFilePath()).absolutePath();
    const bool inTemp = !temp.isEmpty() && (dir == temp || dir.startsWith(temp + '/'));
    // File times may be rounded to the second.
    return inTemp && file.isFile() && !file.isSymLink() &&
           file.lastModified() >= requestedAt.addSecs(-1);
}
}  // namespace

PortalScreenshot::PortalScreenshot(QDBusConnection bus, int timeoutMs)
    : m_bus(std::move(bus)), m_timeoutMs(timeoutMs) {}

CaptureResult PortalScreenshot::grabPrimaryScreen() {
    const QDateTime requestedAt = QDateTime::currentDateTime();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSizeF desktop =
            QSizeF(screen->virtualGeometry().size()) * screen->devicePixelRatio();
        m_expected = QSize(int(std::lround(desktop.width())), int(std::lround(desktop.height())));
    }
    const bool mayAsk = personMayBeAsked();
    Answer answer = request(false, mayAsk);
    // A person's "Deny" comes back as a request that needs a dialog would, and is stored:
    // another dialog straight after it would ask the same person again.
    if (answer.askUser && mayAsk && refusedInStore()) answer = parseResponse(1, {}, false);
    if (answer.askUser) answer = request(true, true);
    if (!answer.error.isEmpty()) return {{}, answer.error};
    // A monitor may have gone during the wait (undocked, a lid closed), and its screen with
    // it: the picture is of the desktop as it is now, so the primary is the one of now.
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return {{}, QStringLiteral("找不到螢幕")};
    return readPicture(answer.uri, screen->virtualGeometry(), screen->geometry(), requestedAt,
                       std::move(m_prepared));
}

void PortalScreenshot::prepareWhileWaiting() {
    // The first picture read in a process loads the reader's plugins, and a fresh picture's
    // memory is touched page by page as it is decoded: tens of milliseconds each on a busy
    // machine, spent here while the portal works rather than after it answers.
    if (m_expected.isEmpty() || !m_prepared.isNull()) return;
    QBuffer nothing;
    QImageReader(&nothing, "png").canRead();
    m_prepared = QImage(m_expected, QImage::Format_RGB32);
    m_prepared.fill(0);
}

PortalScreenshot::Answer PortalScreenshot::parseResponse(uint code, const QVariantMap& results,
                                                         bool interactive) {
    switch (code) {
        case 0: {
            const QUrl uri(results.value(QStringLiteral("uri")).toString());
            if (uri.isEmpty())
                return {{}, QStringLiteral("桌面入口說已擷取螢幕，卻沒有給出圖片的位置"), false};
            return {uri, {}, false};
        }
        case 1:
            return {{},
                    QStringLiteral("擷取螢幕的要求被拒絕了。要讓 Shatter 看到您的桌面，"
                                   "請在桌面詢問時允許它擷取螢幕"),
                    false};
        default:
            if (!interactive) return {{}, {}, true};
            return {{},
                    QStringLiteral("桌面入口無法擷取螢幕（回應代碼 %1）。"
                                   "請確認桌面入口的後端正在執行")
                        .arg(code),
                    false};
    }
}

bool PortalScreenshot::personMayBeAsked(const QString& lookupError,
                                        const QMap<QString, QStringList>& grants,
                                        const QStringList& ids) {
    // Nothing stored yet: the table itself is missing.
    if (!lookupError.isEmpty()) return lookupError == QLatin1String(kNotFound);
    return std::ranges::none_of(ids, [&](const QString& id) { return grants.contains(id); });
}

bool PortalScreenshot::refusedInStore(const QMap<QString, QStringList>& grants,
                                      const QStringList& ids) {
    return std::ranges::any_of(
        ids, [&](const QString& id) { return grants.value(id).value(0) == QLatin1String("no"); });
}

QDBusReply<QMap<QString, QStringList>> PortalScreenshot::storedGrants() {
    QDBusMessage lookup =
        QDBusMessage::createMethodCall(kStore, kStorePath, kStore, QStringLiteral("Lookup"));
    lookup << QStringLiteral("screenshot") << QStringLiteral("screenshot");
    qDBusRegisterMetaType<QMap<QString, QStringList>>();
    return m_bus.call(lookup, QDBus::Block, 2000);
}

// The portal files every program outside a sandbox under the empty id.
static QStringList programIds() {
    return {QString(), QGuiApplication::desktopFileName()};
}

bool PortalScreenshot::personMayBeAsked() {
    const auto reply = storedGrants();
    return personMayBeAsked(reply.isValid() ? QString() : reply.error().name(), reply.value(),
                            programIds());
}

bool PortalScreenshot::refusedInStore() {
    const auto reply = storedGrants();
    return reply.isValid() && refusedInStore(reply.value(), programIds());
}

std::optional<QRect> PortalScreenshot::screenInPicture(QSize picture, const QRect& desktop,
                                                       const QRect& screen) {
    if (picture.isEmpty() || desktop.isEmpty() || !desktop.contains(screen)) return std::nullopt;
    const double kx = double(picture.width()) / desktop.width();
    const double ky = double(picture.height()) / desktop.height();
    auto at = [](double v, double k) { return int(std::lround(v * k)); };
    const QPoint from = screen.topLeft() - desktop.topLeft();
    const QRect r(
        QPoint(at(from.x(), kx), at(from.y(), ky)),
        QPoint(at(from.x() + screen.width(), kx) - 1, at(from.y() + screen.height(), ky) - 1));
    if (r.isEmpty() || !QRect(QPoint(0, 0), picture).contains(r)) return std::nullopt;
    return r;
}

CaptureResult PortalScreenshot::readPicture(const QUrl& uri, const QRect& desktop,
                                            const QRect& screen, const QDateTime& requestedAt,
                                            QImage into) {
    if (!uri.isLocalFile())
        return {{}, QStringLiteral("桌面入口給的圖片不是本機檔案：%1").arg(uri.toString())};
    const QString path = uri.toLocalFile();
    QImageReader reader(path);
    // A whole desktop of several scaled outputs is larger than the reader allows by default.
    const QSize size = reader.size();
    const int needMb = int(qint64(size.width()) * size.height() * 4 / (1024 * 1024)) + 1;
    if (size.isValid() && needMb > QImageReader::allocationLimit())
        QImageReader::setAllocationLimit(needMb);
    QImage picture = std::move(into);
    if (!reader.read(&picture)) picture = QImage();
    const QFileInfo file(path);
    if (madeForThisRequest(file, requestedAt)) QFile::remove(path);
    if (picture.isNull())
        return {{},
                QStringLiteral("無法讀取桌面入口存下的圖片 %1：%2")
                    .arg(QDir::toNativeSeparators(path), reader.errorString())};
    const auto crop = screenInPicture(picture.size(), desktop, screen);
    if (!crop)
        return {{},
                QStringLiteral("桌面入口的圖片（%1 × %2）不含整個主螢幕")
                    .arg(picture.width())
                    .arg(picture.height())};
    if (*crop != picture.rect()) picture = picture.copy(*crop);
    // Same depth: converted in place, no second copy of a large picture.
    if (picture.format() != QImage::Format_RGB32) picture.convertTo(QImage::Format_RGB32);
    return {std::move(picture), {}};
}

QString PortalScreenshot::requestPath(const QString& token) const {
    QString sender = m_bus.baseService();
    if (sender.startsWith(':')) sender.remove(0, 1);
    sender.replace('.', '_');
    return kObject + QStringLiteral("/request/") + sender + '/' + token;
}

PortalScreenshot::Answer PortalScreenshot::request(bool interactive, bool personMayAnswer) {
    if (!m_bus.isConnected())
        return {{},
                QStringLiteral("沒有連上工作階段的 D-Bus，無法請桌面入口擷取螢幕。"
                               "請在桌面的工作階段裡啟動 Shatter"),
                false};
    static int serial = 0;
    const QString token =
        QStringLiteral("shatter%1_%2").arg(QCoreApplication::applicationPid()).arg(++serial);
    const int timeoutMs = personMayAnswer ? kInteractiveTimeoutMs : m_timeoutMs;
    const QDeadlineTimer deadline(timeoutMs);
    m_answer.reset();
    m_interactive = interactive;

    // Subscribed before the call, so an answer that comes at once is not missed.
    QString path = requestPath(token);
    const char* slot = SLOT(onResponse(uint, QVariantMap));
    m_bus.connect(kService, path, kRequest, QStringLiteral("Response"), this, slot);

    QDBusMessage call = QDBusMessage::createMethodCall(kService, kObject, kScreenshot,
                                                       QStringLiteral("Screenshot"));
    call << QString()
         << QVariantMap{{QStringLiteral("handle_token"), token},
                        {QStringLiteral("interactive"), interactive}};
    QEventLoop loop;
    m_loop = &loop;
    QDBusPendingCallWatcher watcher(m_bus.asyncCall(call, int(deadline.remainingTime())));
    connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, [&] {
        const QDBusPendingReply<QDBusObjectPath> reply = watcher;
        if (reply.isError()) {
            // No reply in time is told below, as every timeout.
            if (const QString why = callFailed(reply.error()); !why.isEmpty())
                m_answer = Answer{{}, why, false};
            loop.quit();
        } else if (const QString handle = reply.value().path(); handle != path) {
            // An older portal names the request itself.
            m_bus.disconnect(kService, path, kRequest, QStringLiteral("Response"), this, slot);
            path = handle;
            m_bus.connect(kService, path, kRequest, QStringLiteral("Response"), this, slot);
        }
    });
    prepareWhileWaiting();
    // A coarse timer may fire up to 5 % early: the portal gets its full time.
    QTimer::singleShot(std::max<qint64>(0, deadline.remainingTime()), Qt::PreciseTimer, &loop,
                       &QEventLoop::quit);
    if (!m_answer) loop.exec();
    m_loop = nullptr;
    m_bus.disconnect(kService, path, kRequest, QStringLiteral("Response"), this, slot);

    if (m_answer) return *m_answer;
    QString why = QStringLiteral(
                      "桌面入口在 %1 秒內沒有回應，螢幕沒有擷取成功。"
                      "請確認 xdg-desktop-portal 和您桌面的後端正在執行")
                      .arg(timeoutMs / 1000);
    if (personMayAnswer && !interactive)
        why += QStringLiteral("；桌面若詢問是否允許擷取螢幕，請選「允許」後再按進入");
    return {{}, why, false};
}

void PortalScreenshot::onResponse(uint code, const QVariantMap& results) {
    if (m_answer) return;
    m_answer = parseResponse(code, results, m_interactive);
    if (m_loop) m_loop->quit();
}
