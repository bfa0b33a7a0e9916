#include <QDBusUnixFileDescriptor>
#include <QtTest>
#include <csignal>
#include <thread>

#include "platform/capture/kwin_screenshot.h"
#include "support/private_bus.h"
#include "support/sample_pictures.h"

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
        calls << name + (options["native-resolution"].toBool() ? " native" : "") +
                     (options["include-cursor"].toBool() ? " cursor" : "");
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

class TestKWinScreenshot : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(!m_bus.address.isEmpty(), "dbus-daemon did not start");
        std::signal(SIGPIPE, SIG_IGN);  // a writer whose reader gave up
    }

    // The primary screen through KWin, the portal where KWin is missing, refuses or fails.
    void capture_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("padding");
        QTest::addColumn<int>("missing");
        QTest::addColumn<QString>("error");     // CaptureScreen's; "absent": no KWin at all
        QTest::addColumn<bool>("portal");       // whether a portal answers with the picture
        QTest::addColumn<QString>("expected");  // a part of the message; empty: the picture
        const int pm = QImage::Format_ARGB32_Premultiplied, rgb = QImage::Format_RGB32;
        const QString refused = "org.kde.KWin.ScreenShot2.Error.NoAuthorized";
        QTest::newRow("premultiplied") << pm << 0 << 0 << "" << false << "";
        QTest::newRow("RGB888") << int(QImage::Format_RGB888) << 0 << 0 << "" << false << "";
        QTest::newRow("wide rows") << pm << 12 << 0 << "" << false << "";
        QTest::newRow("closes early") << rgb << 0 << 1 << "" << false << "畫面不完整";
        QTest::newRow("refused, portal") << rgb << 0 << 0 << refused << true << "";
        QTest::newRow("refused, no portal") << rgb << 0 << 0 << refused << false << "只讓安裝好";
        QTest::newRow("never answers") << rgb << 0 << 0 << "never" << false << "KWin 在";
        QTest::newRow("no KWin") << rgb << 0 << 0 << "absent" << true << "";
        QTest::newRow("RGB32, no CaptureScreen")
            << rgb << 0 << 0 << "org.freedesktop.DBus.Error.UnknownMethod" << false << "";
    }
    void capture() {
        QFETCH(int, format);
        QFETCH(bool, portal);
        QFETCH(QString, expected);
        StubKWin stub;
        QFETCH(int, padding);
        QFETCH(int, missing);
        QFETCH(QString, error);
        stub.padding = padding, stub.missing = missing, stub.error = error;
        const QSize size = QGuiApplication::primaryScreen()->size();
        const QImage pattern = SamplePictures::pattern(size.width(), size.height());
        stub.picture = pattern.convertToFormat(QImage::Format(format));
        QDBusConnection service = m_bus.connect("kwin"), client = m_bus.connect("client");
        if (error != "absent")
            QVERIFY(service.registerService("org.kde.KWin") &&
                    service.registerObject("/org/kde/KWin/ScreenShot2", &stub,
                                           QDBusConnection::ExportAllContents));
        StubPortal stubPortal;
        const QString file = m_dir.filePath("desktop.png");
        QVERIFY(pattern.save(file));
        stubPortal.answers.push_back({0, {{"uri", QUrl::fromLocalFile(file).toString()}}});
        if (portal) QVERIFY(stubPortal.serveOn(service));
        const CaptureResult r = grabWaylandDesktop(client, 300);
        service.unregisterService("org.kde.KWin");
        service.unregisterService(StubPortal::kService);
        if (error != "absent")
            QCOMPARE(stub.calls.value(0), QGuiApplication::primaryScreen()->name() + " native");
        QCOMPARE(stub.calls.contains("workspace"), error.endsWith("UnknownMethod"));
        if (expected.isEmpty())
            QCOMPARE(r.image, pattern.convertToFormat(QImage::Format_RGB32));
        else
            QVERIFY2(r.image.isNull() && r.error.contains(expected) &&
                         r.error.contains("xdg-desktop-portal"),
                     qPrintable(r.error));
    }

  private:
    QTemporaryDir m_dir;
    PrivateBus m_bus;
};

QTEST_MAIN(TestKWinScreenshot)
#include "tst_kwin_screenshot.moc"
