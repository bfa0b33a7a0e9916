#include "platform/capture/kwin_screenshot.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <cstring>

#include "platform/primary_screen.h"

namespace {
const QString kService = QStringLiteral("org.kde.KWin");
const QString kObject = QStringLiteral("/org/kde/KWin/ScreenShot2");
const QString kInterface = QStringLiteral("org.kde.KWin.ScreenShot2");
const QString kInvalidScreen = QStringLiteral("org.kde.KWin.ScreenShot2.Error.InvalidScreen");
const QString kNoAuthorized = QStringLiteral("org.kde.KWin.ScreenShot2.Error.NoAuthorized");
// CaptureWorkspace came with version 3 of the interface.
constexpr uint kWorkspaceVersion = 3;
// Larger than any screen; a description past it is garbage, not a picture to allocate.
constexpr qint64 kMostBytes = qint64(1) << 31;

QString timedOut(int timeoutMs) {
    return QStringLiteral("KWin 在 %1 秒內沒有回應，螢幕沒有擷取成功").arg(timeoutMs / 1000);
}

QString refused(const QDBusError& e, int timeoutMs) {
    if (e.type() == QDBusError::NoReply || e.type() == QDBusError::Timeout)
        return timedOut(timeoutMs);
    if (e.name() == kNoAuthorized)
        return QStringLiteral("KWin 只讓安裝好、以選單項目登記了擷取權限的 Shatter 擷取螢幕");
    return QStringLiteral("KWin 的螢幕擷取服務回報錯誤：%1").arg(e.message());
}

// Reads from fd until size bytes came, the writer closed its end or the deadline passed;
// window messages run meanwhile. The count read.
qint64 readPipe(int fd, uchar* to, qint64 size, const QDeadlineTimer& deadline) {
    qint64 got = 0;
    bool closed = false;
    QEventLoop loop;
    const auto drain = [&] {
        while (got < size) {
            const ssize_t n = ::read(fd, to + got, size_t(size - got));
            if (n > 0) {
                got += n;
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else {
                closed = n == 0 || errno != EAGAIN;
                break;
            }
        }
        if (closed || got == size) loop.quit();
    };
    QSocketNotifier notifier(fd, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &loop, drain);
    QTimer::singleShot(std::max<qint64>(0, deadline.remainingTime()), Qt::PreciseTimer, &loop,
                       &QEventLoop::quit);
    drain();
    if (!closed && got < size) loop.exec();
    return got;
}
}  // namespace

KWinScreenshot::KWinScreenshot(QDBusConnection bus, int timeoutMs)
    : m_bus(std::move(bus)), m_timeoutMs(timeoutMs) {}

QDBusMessage KWinScreenshot::call(const QDBusMessage& message, const QDeadlineTimer& deadline) {
    QDBusPendingCallWatcher watcher(
        m_bus.asyncCall(message, int(std::max<qint64>(1, deadline.remainingTime()))));
    QEventLoop loop;
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
    if (!watcher.isFinished()) loop.exec();
    return watcher.reply();
}

KWinScreenshot::Shot KWinScreenshot::describe(const QVariantMap& results) {
    const QString type = results.value(QStringLiteral("type")).toString();
    const qint64 width = results.value(QStringLiteral("width")).toLongLong();
    const qint64 height = results.value(QStringLiteral("height")).toLongLong();
    const qint64 stride = results.value(QStringLiteral("stride")).toLongLong();
    const int format = results.value(QStringLiteral("format")).toInt();
    const auto bad = [&] {
        return Shot{{},
                    {},
                    QStringLiteral("KWin 送來的畫面格式不明（%1，%2 × %3，每列 %4 位元組，"
                                   "格式 %5）")
                        .arg(type)
                        .arg(width)
                        .arg(height)
                        .arg(stride)
                        .arg(format)};
    };
    if (type != QLatin1String("raw") || format <= QImage::Format_Invalid ||
        format >= QImage::NImageFormats || width <= 0 || height <= 0 || width > 0x7fff ||
        height > 0x7fff)
        return bad();
    const auto qformat = QImage::Format(format);
    // Pixels of at least a byte: the indexed and one-bit formats need more than raw bytes.
    const int bits = QImage::toPixelFormat(qformat).bitsPerPixel();
    if (bits < 8 || qformat == QImage::Format_Indexed8 || stride < (width * bits + 7) / 8 ||
        stride * height > kMostBytes)
        return bad();
    QImage image(int(width), int(height), qformat);
    if (image.isNull()) return bad();
    return {std::move(image), {}, {}};
}

KWinScreenshot::Shot KWinScreenshot::capture(const QString& method, const QVariantList& args,
                                             const QDeadlineTimer& deadline) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return {{}, {}, QStringLiteral("無法建立接收畫面的管道：%1").arg(strerror(errno))};
    const int readEnd = fds[0];
    QDBusMessage reply;
    {
        QDBusMessage message =
            QDBusMessage::createMethodCall(kService, kObject, kInterface, method);
        message.setArguments(args);
        message << QVariant::fromValue(QDBusUnixFileDescriptor(fds[1]));
        ::close(fds[1]);
        // KWin closes its end once all is written: ours, and every copy of it in the message,
        // are gone before the reading starts.
        reply = call(message, deadline);
    }
    fcntl(readEnd, F_SETFL, fcntl(readEnd, F_GETFL) | O_NONBLOCK);
    Shot shot;
    if (reply.type() == QDBusMessage::ErrorMessage) {
        shot.error = QDBusError(reply);
        shot.why = refused(shot.error, m_timeoutMs);
    } else {
        const QVariantMap results = qdbus_cast<QVariantMap>(reply.arguments().value(0));
        shot = describe(results);
        if (!shot.image.isNull()) {
            const qint64 stride = results.value(QStringLiteral("stride")).toLongLong();
            const qint64 size = stride * shot.image.height();
            // Straight into the picture when KWin's rows are laid out as ours.
            QByteArray rows;
            const bool direct = stride == shot.image.bytesPerLine();
            if (!direct) rows.resize(size);
            uchar* to = direct ? shot.image.bits() : reinterpret_cast<uchar*>(rows.data());
            if (const qint64 got = readPipe(readEnd, to, size, deadline); got < size) {
                shot.image = QImage();
                shot.why =
                    deadline.hasExpired()
                        ? timedOut(m_timeoutMs)
                        : QStringLiteral("KWin 送來的畫面不完整：只收到 %1 位元組，應有 %2 位元組")
                              .arg(got)
                              .arg(size);
            } else if (!direct) {
                shot.image =
                    QImage(reinterpret_cast<const uchar*>(rows.constData()), shot.image.width(),
                           shot.image.height(), int(stride), shot.image.format())
                        .copy();
            }
        }
    }
    ::close(readEnd);
    return shot;
}

std::optional<CaptureResult> KWinScreenshot::grabPrimaryScreen() {
    if (!m_bus.isConnected() ||
        !(m_bus.connectionCapabilities() & QDBusConnection::UnixFileDescriptorPassing))
        return std::nullopt;
    const QDeadlineTimer deadline(m_timeoutMs);
    QDBusMessage get = QDBusMessage::createMethodCall(
        kService, kObject, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << kInterface << QStringLiteral("Version");
    const QDBusMessage version = call(get, deadline);
    if (version.type() == QDBusMessage::ErrorMessage) {
        const QDBusError e(version);
        if (e.type() == QDBusError::NoReply || e.type() == QDBusError::Timeout)
            return CaptureResult{{}, timedOut(m_timeoutMs)};
        return std::nullopt;  // no KWin, or one that offers no screenshots (no OpenGL)
    }
    // Each wait below runs the event loop, during which a monitor may go and its screen with
    // it: the primary is looked up afresh after every one.
    const QScreen* screen = PrimaryScreen::current();
    if (!screen) return CaptureResult{{}, QStringLiteral("找不到螢幕")};

    const QVariantMap options{{QStringLiteral("native-resolution"), true},
                              {QStringLiteral("include-cursor"), false}};
    Shot shot = capture(QStringLiteral("CaptureScreen"), {screen->name(), options}, deadline);
    // Through XWayland the screen has the X server's name for it, which KWin does not know.
    const auto unknownScreen = [&] {
        return shot.error.type() == QDBusError::UnknownMethod ||
               shot.error.name() == kInvalidScreen;
    };
    // KWin's only output, whatever the X server calls it: its frame is read quicker than the
    // whole workspace is drawn anew.
    if (unknownScreen() && QGuiApplication::screens().size() == 1)
        shot = capture(QStringLiteral("CaptureActiveScreen"), {options}, deadline);
    const uint v = version.arguments().value(0).value<QDBusVariant>().variant().toUInt();
    if (unknownScreen() && v >= kWorkspaceVersion) {
        shot = capture(QStringLiteral("CaptureWorkspace"), {options}, deadline);
        screen = PrimaryScreen::current();
        if (!screen) return CaptureResult{{}, QStringLiteral("找不到螢幕")};
        if (!shot.image.isNull()) {
            const auto crop = PortalScreenshot::screenInPicture(
                shot.image.size(), screen->virtualGeometry(), screen->geometry());
            if (!crop)
                return CaptureResult{{},
                                     QStringLiteral("KWin 的桌面畫面（%1 × %2）不含整個主螢幕")
                                         .arg(shot.image.width())
                                         .arg(shot.image.height())};
            if (*crop != shot.image.rect()) shot.image = shot.image.copy(*crop);
        }
    }
    if (shot.image.isNull()) return CaptureResult{{}, shot.why};
    // Same depth: converted in place, no second copy of a large picture.
    if (shot.image.format() != QImage::Format_RGB32) shot.image.convertTo(QImage::Format_RGB32);
    shot.image.setDevicePixelRatio(1);
    return CaptureResult{std::move(shot.image), {}};
}

CaptureResult grabWaylandDesktop(QDBusConnection bus, int timeoutMs) {
    std::optional<CaptureResult> kwin = KWinScreenshot(bus, timeoutMs).grabPrimaryScreen();
    if (kwin && !kwin->image.isNull()) return std::move(*kwin);
    CaptureResult portal = PortalScreenshot(bus, timeoutMs).grabPrimaryScreen();
    if (kwin && portal.image.isNull())
        portal.error =
            QStringLiteral("先試了 KWin：%1；再試桌面入口：%2").arg(kwin->error, portal.error);
    return portal;
}
