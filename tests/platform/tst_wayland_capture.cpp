#include <QDBusUnixFileDescriptor>
#include <QtTest>
#include <csignal>
#include <thread>

#include "platform/capture/kwin_screenshot.h"
#include "platform/capture/portal_screenshot.h"
#include "platform/wayland_session.h"
#include "support/data_table.h"
#include "support/private_bus.h"
#include "support/sample_pictures.h"

using SamplePictures::pattern;
using Captures = DataTable<QString, QList<int>, QList<uint>, QList<bool>, QString, bool>;

// KWin's side: describes the picture in the reply, then writes its rows down the pipe from a
// thread of its own, as KWin does. CaptureScreen may instead answer an error, or never.
class StubKWin : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.KWin.ScreenShot2")
    Q_PROPERTY(uint Version MEMBER version)
  public:
    uint version = 4;
    QImage picture;
    int padding = 0, missing = 0;  // bytes past each row; bytes left out at the end
    QString error;
    QStringList calls;

  public Q_SLOTS:
    QVariantMap CaptureScreen(const QString& name, const QVariantMap& options,
                              const QDBusUnixFileDescriptor& pipe) {
        calls << name + (options["include-cursor"].toBool() ? " cursor" : "");
        if (error.isEmpty()) return serve(pipe);
        setDelayedReply(true);
        if (error != "never") sendErrorReply(error, "no");
        return {};
    }
    QVariantMap CaptureWorkspace(const QVariantMap&, const QDBusUnixFileDescriptor& pipe) {
        calls << "workspace";
        return serve(pipe);
    }

  private:
    QVariantMap serve(const QDBusUnixFileDescriptor& pipe) {
        QByteArray bytes;
        for (int y = 0; y < picture.height(); ++y)
            bytes += QByteArray(reinterpret_cast<const char*>(picture.constScanLine(y)),
                                picture.bytesPerLine()) +
                     QByteArray(padding, '\x5a');
        bytes.chop(missing);
        m_writer = std::jthread([fd = ::dup(pipe.fileDescriptor()), bytes] {
            for (qsizetype at = 0, n = 0; at < bytes.size() && n >= 0; at += n)
                n = ::write(fd, bytes.constData() + at, size_t(bytes.size() - at));
            ::close(fd);
        });
        return {{"type", "raw"},
                {"width", uint(picture.width())},
                {"height", uint(picture.height())},
                {"stride", uint(picture.bytesPerLine() + padding)},
                {"format", uint(picture.format())},
                {"scale", 1.0}};
    }
    std::jthread m_writer;  // joined when the stub goes
};

class TestWaylandCapture : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(!m_bus.address.isEmpty(), "dbus-daemon did not start");
        std::signal(SIGPIPE, SIG_IGN);  // a KWin writer whose reader gave up
        // A home and a temporary directory of the test's own side by side, so that the user's
        // folder is never below the temporary directory, wherever the checkout lies.
        const QDir root(m_root.path());
        QVERIFY(root.mkpath("home/Pictures") && root.mkpath("tmp"));
        qputenv("HOME", QFile::encodeName(root.filePath("home")));
        qputenv("TMPDIR", QFile::encodeName(root.filePath("tmp")));
    }

    // GNOME Shell fades hidden windows, under any of its sessions' names.
    void fadesHiddenWindows() {
        for (const char* d : {"GNOME", "ubuntu:GNOME"}) QVERIFY(WaylandSession::fadesHiddenWindows(d));
        for (const char* d : {"KDE", "", "GNOME-Flashback"})
            QVERIFY(!WaylandSession::fadesHiddenWindows(d));
    }

    void sessionChoosesThePortal_data() {
        // env: platform plugin, WAYLAND_DISPLAY, session type
        const DataTable<QStringList, bool> row({"env", "wayland"});
        row("XWayland by display", {"xcb", "wayland-1", "x11"}, true);
        row("XWayland by session", {"xcb", "", "Wayland"}, true);
        row("offscreen", {"offscreen", "wayland-0", "wayland"}, false);
    }
    void sessionChoosesThePortal() {
        QFETCH(QStringList, env);
        QTEST(WaylandSession::isWaylandSession(env[0], env[1], env[2]), "wayland");
    }

    // The first quiet request may wait on the desktop's own question to the user.
    void personMayBeAsked_data() {
        // granted: ids the store holds an answer for
        const DataTable<QString, QStringList, bool> row({"error", "granted", "asked"});
        row("no store", "org.freedesktop.DBus.Error.ServiceUnknown", {}, false);
        row("nothing stored", "org.freedesktop.portal.Error.NotFound", {}, true);
        row("answered", "", {""}, false);
        row("answered by name", "", {"shatter"}, false);
        row("another program", "", {"org.other"}, true);
    }
    void personMayBeAsked() {
        const auto [error, granted, asked] = DataTable<QString, QStringList, bool>::fetch();
        QMap<QString, QStringList> grants;
        for (const QString& id : granted) grants[id] = {"yes"};
        QCOMPARE(PortalScreenshot::personMayBeAsked(error, grants, {"", "shatter"}), asked);
        // A refusal, stored under the program's id, is told from a grant and another's.
        for (const QString& id : granted) grants[id] = {"no"};
        QCOMPARE(PortalScreenshot::refusedInStore(grants, {"", "shatter"}),
                 !granted.isEmpty() && granted[0] != "org.other");
    }

    // Several outputs, in logical coordinates, in one picture at the picture's scale.
    void screenInPicture_data() {
        // expected: null when not in the picture
        const DataTable<QSize, QRect, QRect, QRect> row(
            {"picture", "desktop", "screen", "expected"});
        const QRect two(0, 0, 144, 48), right(64, 0, 80, 40);
        row("left of origin", {144, 48}, {-64, 0, 144, 48}, {0, 0, 80, 40}, right);
        row("outside", {144, 48}, two, {100, 0, 80, 40}, {});
    }
    void screenInPicture() {
        const auto [picture, desktop, screen, expected] =
            DataTable<QSize, QRect, QRect, QRect>::fetch();
        QCOMPARE(PortalScreenshot::screenInPicture(picture, desktop, screen).value_or(QRect()),
                 expected);
    }

    // The screen's part of the picture comes back; a file the portal did not just write to the
    // temporary directory stays (a fresh one decoded into a prepared picture, and removed:
    // capture).
    void readPicture_data() {
        // where: old, home, garbage; prepared: a picture made ready to decode into, or none
        const DataTable<QString, bool, QImage> row({"where", "kept", "prepared"});
        row("old temporary", "old", true, {});
        row("user's folder", "home", true, {});
        row("not a picture", "garbage", false, {});
        // The prepared picture must never pass for the desktop.
        row("not a picture, prepared", "garbage", false, pattern(144, 48, 5));
    }
    void readPicture() {
        const auto [where, kept, prepared] = DataTable<QString, bool, QImage>::fetch();
        const QRect desktop(0, 0, 144, 48), screen(64, 0, 80, 40);
        const QImage whole = pattern(144, 48);
        const QString path = (where == "home" ? QDir::homePath() + "/Pictures" : QDir::tempPath()) +
                             "/p-" + where + ".png";
        QVERIFY(where == "garbage" ? SamplePictures::writeFile(path, "not a PNG")
                                   : whole.save(path, "png"));
        const QDateTime asked = QDateTime::currentDateTime().addSecs(where == "old" ? 60 : 0);
        // Decoded into in place: a copy of its own.
        const CaptureResult r = PortalScreenshot::readPicture(QUrl::fromLocalFile(path), desktop,
                                                              screen, asked, prepared.copy());
        if (where == "garbage")
            QVERIFY2(r.image.isNull() && r.error.contains(path), qPrintable(r.error));
        else
            QCOMPARE(r.image, whole.copy(screen));
        QCOMPARE(QFile::exists(path), kept);
        QFile::remove(path);
    }

    // The primary screen through KWin, or through the portal where KWin is missing, refuses or
    // fails: the whole conversation on a private bus, the answers decoded at each step.
    void capture_data() {
        // kwin: CaptureScreen's error, "absent" for no KWin; picture: KWin's format, row
        // padding, bytes cut off; codes: the portal's answers in turn; asked: interactive, per
        // request, none for no portal; expected: a part of the message, empty for the picture;
        // uri: whether the portal's answers carry one
        const Captures row({"kwin", "picture", "codes", "asked", "expected", "uri"});
        const int pm = QImage::Format_ARGB32_Premultiplied;
        const QList<int> plain{QImage::Format_RGB32, 0, 0};
        const QString absent = "absent", refused = "org.kde.KWin.ScreenShot2.Error.NoAuthorized";
        row("RGB888", "", {QImage::Format_RGB888, 0, 0}, {}, {}, "", true);
        row("wide rows", "", {pm, 12, 0}, {}, {}, "", true);
        row("closes early", "", {QImage::Format_RGB32, 0, 1}, {}, {}, "畫面不完整", true);
        row("refused, portal", refused, plain, {0}, {false}, "", true);
        row("refused, no portal", refused, plain, {}, {}, "只讓安裝好", true);
        row("KWin never answers", "never", plain, {}, {}, "KWin 在", true);
        row("RGB32, no CaptureScreen", "org.freedesktop.DBus.Error.UnknownMethod", plain, {}, {},
            "", true);
        row("portal, no uri", absent, plain, {0}, {false}, "沒有給出圖片", false);
        row("portal asks the user first", absent, plain, {2, 0}, {false, true}, "", true);
        row("portal failed when asked", absent, plain, {2, 2}, {false, true}, "回應代碼 2", true);
        row("portal never answers", absent, plain, {}, {false}, "秒內", true);
        row("no portal", absent, plain, {}, {}, "xdg-desktop-portal", true);
    }
    void capture() {
        const auto [kwin, picture, codes, asked, expected, uri] = Captures::fetch();
        // One screen: KWin's picture of it and the portal's of the whole desktop are the same.
        const QSize size = QGuiApplication::primaryScreen()->size();
        const QImage desktop = pattern(size.width(), size.height());
        const QString file = QDir::temp().filePath("desktop.png");
        QVERIFY(desktop.save(file));
        QDBusConnection service = m_bus.connect("service");
        StubKWin stub;
        stub.padding = picture[1], stub.missing = picture[2], stub.error = kwin;
        stub.picture = desktop.convertToFormat(QImage::Format(picture[0]));
        if (kwin != "absent")
            QVERIFY(service.registerService("org.kde.KWin") &&
                    service.registerObject("/org/kde/KWin/ScreenShot2", &stub,
                                           QDBusConnection::ExportAllContents));
        StubPortal portal;
        const QVariantMap results{{"uri", QUrl::fromLocalFile(file).toString()}};
        for (uint code : codes) portal.answers.push_back({code, uri ? results : QVariantMap()});
        if (!asked.isEmpty()) QVERIFY(portal.serveOn(service));
        const CaptureResult r = grabWaylandDesktop(m_bus.connect("client"), 300);
        // Whatever the checks find, the next row finds the names free.
        for (const char* name : {"org.kde.KWin", StubPortal::kService})
            service.unregisterService(name);
        QCOMPARE(portal.asked, asked);
        const QString screen = QGuiApplication::primaryScreen()->name();
        QCOMPARE(stub.calls.value(0), kwin == "absent" ? QString() : screen);
        QCOMPARE(stub.calls.contains("workspace"), kwin.endsWith("UnknownMethod"));
        if (expected.isEmpty()) {
            QCOMPARE(r.image, desktop);
            // The portal's file, in the temporary directory, goes once read.
            QCOMPARE(QFile::exists(file), asked.isEmpty());
        } else {
            // Where KWin failed, the message tells both stories.
            QVERIFY2(r.image.isNull() && r.error.contains(expected) &&
                         (kwin == "absent" || r.error.contains("xdg-desktop-portal")),
                     qPrintable(r.error));
        }
    }

  private:
    QTemporaryDir m_root;
    PrivateBus m_bus;
};

QTEST_MAIN(TestWaylandCapture)
#include "tst_wayland_capture.moc"
