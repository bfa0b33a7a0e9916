#include <QDBusUnixFileDescriptor>
#include <QtTest>
#include <csignal>
#include <thread>

#include "platform/capture/kwin_screenshot.h"
#include "support/private_bus.h"
#include "support/sample_pictures.h"

// KWin's side: describes the picture in the reply, then writes its rows down the pipe from a
// thread of its own, as KWin does; or refuses, or never answers.
class StubKWin : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.KWin.ScreenShot2")
    Q_PROPERTY(uint Version MEMBER version)
  public:
    ~StubKWin() override {
        if (m_writer.joinable()) m_writer.join();
    }
    uint version = 4;
    QImage picture;
    int padding = 0, missing = 0;  // bytes past each row; bytes left out at the end
    QString error, withoutScreen;  // a D-Bus error to answer, "never" not to answer
    QStringList calls;

  public Q_SLOTS:
    QVariantMap CaptureScreen(const QString& name, const QVariantMap& options,
                              const QDBusUnixFileDescriptor& pipe) {
        calls << "screen " + name + (options["native-resolution"].toBool() ? " native" : "") +
                     (options["include-cursor"].toBool() ? " cursor" : "");
        return withoutScreen.isEmpty() ? serve(pipe) : fail(withoutScreen);
    }
    QVariantMap CaptureWorkspace(const QVariantMap&, const QDBusUnixFileDescriptor& pipe) {
        calls << "workspace";
        return serve(pipe);
    }

  private:
    QVariantMap fail(const QString& name) {
        setDelayedReply(true);
        if (name != "never") sendErrorReply(name, "no");
        return {};
    }
    QVariantMap serve(const QDBusUnixFileDescriptor& pipe) {
        if (!error.isEmpty()) return fail(error);
        const int stride = int(picture.bytesPerLine()) + padding;
        QByteArray bytes;
        for (int y = 0; y < picture.height(); ++y)
            bytes += QByteArray(reinterpret_cast<const char*>(picture.constScanLine(y)),
                                picture.bytesPerLine()) +
                     QByteArray(padding, '\x5a');
        bytes.chop(missing);
        m_writer = std::thread([fd = ::dup(pipe.fileDescriptor()), bytes] {
            for (qsizetype at = 0, n = 0; at < bytes.size() && n >= 0; at += n)
                n = ::write(fd, bytes.constData() + at, size_t(bytes.size() - at));
            ::close(fd);
        });
        return {{"type", "raw"},
                {"width", uint(picture.width())},
                {"height", uint(picture.height())},
                {"stride", uint(stride)},
                {"format", uint(picture.format())},
                {"scale", 1.0}};
    }
    std::thread m_writer;
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
        QTest::addColumn<bool>("kwin");  // whether the bus has KWin's service
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("padding");
        QTest::addColumn<int>("missing");
        QTest::addColumn<QString>("error");  // KWin's answer to each capture
        QTest::addColumn<QString>("withoutScreen");
        QTest::addColumn<bool>("portal");       // whether a portal answers with the picture
        QTest::addColumn<QString>("expected");  // a part of the message; empty: the picture
        const int pm = QImage::Format_ARGB32_Premultiplied, rgb = QImage::Format_RGB32;
        const QString refused = "org.kde.KWin.ScreenShot2.Error.NoAuthorized";
        QTest::newRow("premultiplied") << true << pm << 0 << 0 << ""
                                       << "" << false << "";
        QTest::newRow("RGB32") << true << rgb << 0 << 0 << ""
                               << "" << false << "";
        QTest::newRow("RGB888") << true << int(QImage::Format_RGB888) << 0 << 0 << ""
                                << "" << false << "";
        QTest::newRow("wide rows") << true << pm << 12 << 0 << ""
                                   << "" << false << "";
        QTest::newRow("closes early") << true << rgb << 0 << 1 << ""
                                      << "" << false << "畫面不完整";
        QTest::newRow("refused, portal") << true << rgb << 0 << 0 << refused << "" << true << "";
        QTest::newRow("refused, no portal")
            << true << rgb << 0 << 0 << refused << "" << false << "KWin 只讓安裝好";
        QTest::newRow("never answers") << true << rgb << 0 << 0 << "never"
                                       << "" << false << "KWin 在";
        QTest::newRow("no KWin") << false << rgb << 0 << 0 << ""
                                 << "" << true << "";
        QTest::newRow("no CaptureScreen")
            << true << rgb << 0 << 0 << ""
            << "org.freedesktop.DBus.Error.UnknownMethod" << false << "";
    }
    void capture() {
        QFETCH(bool, kwin);
        QFETCH(int, format);
        QFETCH(QString, withoutScreen);
        QFETCH(bool, portal);
        QFETCH(QString, expected);
        QDBusConnection service = m_bus.connect("kwin"), client = m_bus.connect("client");
        QScreen* screen = QGuiApplication::primaryScreen();
        const QImage pattern =
            SamplePictures::pattern(screen->size().width(), screen->size().height());
        StubKWin stub;
        stub.picture = pattern.convertToFormat(QImage::Format(format));
        QFETCH(int, padding);
        QFETCH(int, missing);
        QFETCH(QString, error);
        stub.padding = padding, stub.missing = missing, stub.error = error;
        stub.withoutScreen = withoutScreen;
        if (kwin)
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
        if (kwin) QCOMPARE(stub.calls.value(0), "screen " + screen->name() + " native");
        if (!withoutScreen.isEmpty()) QCOMPARE(stub.calls.value(1), "workspace");
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
