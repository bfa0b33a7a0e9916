#include <QtTest>

#include "platform/portal_screenshot.h"
#include "platform/wayland_session.h"
#include "support/private_bus.h"

namespace {
// A picture of the whole desktop: each output its own colour.
QImage desktopPicture(QSize size, const QRect& primary) {
    QImage img(size, QImage::Format_ARGB32);
    img.fill(0xFF2040A0u);
    for (int y = primary.top(); y <= primary.bottom(); ++y)
        for (int x = primary.left(); x <= primary.right(); ++x)
            img.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, 0x80));
    return img;
}
}  // namespace

class TestPortalScreenshot : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() { QVERIFY2(!m_bus.address.isEmpty(), "dbus-daemon did not start"); }

    void sessionChoosesThePortal_data() {
        QTest::addColumn<QString>("qpa");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("wayland");
        const struct {
            const char *row, *qpa, *display, *type;
            bool wayland;
        } rows[] = {{"native", "wayland", "", "", true},
                    {"XWayland by display", "xcb", "wayland-1", "x11", true},
                    {"XWayland by session", "xcb", "", "Wayland", true},
                    {"X11", "xcb", "", "x11", false},
                    {"offscreen", "offscreen", "wayland-0", "wayland", false}};
        for (const auto& r : rows)
            QTest::newRow(r.row) << QString(r.qpa) << QString(r.display) << QString(r.type)
                                 << r.wayland;
    }
    void sessionChoosesThePortal() {
        QFETCH(QString, qpa);
        QFETCH(QString, display);
        QFETCH(QString, type);
        QTEST(WaylandSession::isWaylandSession(qpa, display, type), "wayland");
    }

    void parseResponse_data() {
        QTest::addColumn<uint>("code");
        QTest::addColumn<QString>("uri");
        QTest::addColumn<bool>("interactive");
        QTest::addColumn<QString>("error");  // a part of it
        QTest::addColumn<bool>("askUser");
        const QString file = "file:///tmp/shot.png";
        QTest::newRow("taken") << 0u << file << false << "" << false;
        QTest::newRow("taken, no uri") << 0u << "" << false << "沒有給出圖片" << false;
        QTest::newRow("refused") << 1u << file << false << "拒絕" << false;
        QTest::newRow("no permission yet") << 2u << "" << false << "" << true;
        QTest::newRow("failed when asked") << 2u << "" << true << "回應代碼 2" << false;
    }
    void parseResponse() {
        QFETCH(uint, code);
        QFETCH(QString, uri);
        QFETCH(bool, interactive);
        QFETCH(QString, error);
        QVariantMap results;
        if (!uri.isEmpty()) results["uri"] = uri;
        const auto a = PortalScreenshot::parseResponse(code, results, interactive);
        QVERIFY2(error.isEmpty() ? a.error.isEmpty() : a.error.contains(error),
                 qPrintable(a.error));
        QCOMPARE(a.uri, error.isEmpty() && !uri.isEmpty() ? QUrl(uri) : QUrl());
        QTEST(a.askUser, "askUser");
    }

    // The first quiet request may wait on the desktop's own question to the user.
    void personMayBeAsked_data() {
        QTest::addColumn<QString>("error");
        QTest::addColumn<QStringList>("granted");  // ids the store holds an answer for
        QTest::addColumn<bool>("asked");
        QTest::newRow("no store") << "org.freedesktop.DBus.Error.ServiceUnknown" << QStringList()
                                  << false;
        QTest::newRow("nothing stored")
            << "org.freedesktop.portal.Error.NotFound" << QStringList() << true;
        QTest::newRow("answered") << "" << QStringList{""} << false;
        QTest::newRow("answered by name") << "" << QStringList{"shatter"} << false;
        QTest::newRow("another program") << "" << QStringList{"org.other"} << true;
    }
    void personMayBeAsked() {
        QFETCH(QString, error);
        QFETCH(QStringList, granted);
        QMap<QString, QStringList> grants;
        for (const QString& id : granted) grants[id] = {"yes"};
        QTEST(PortalScreenshot::personMayBeAsked(error, grants, {"", "shatter"}), "asked");
    }

    // Several outputs, in logical coordinates, in one picture at the picture's scale.
    void screenInPicture_data() {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QRect>("desktop");
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QRect>("expected");  // null: not in the picture
        const QRect two(0, 0, 144, 48), right(64, 0, 80, 40);
        QTest::newRow("one output")
            << QSize(64, 48) << QRect(0, 0, 64, 48) << QRect(0, 0, 64, 48) << QRect(0, 0, 64, 48);
        QTest::newRow("right of two") << QSize(144, 48) << two << right << QRect(64, 0, 80, 40);
        QTest::newRow("scale 2") << QSize(288, 96) << two << right << QRect(128, 0, 160, 80);
        QTest::newRow("left of origin") << QSize(144, 48) << QRect(-64, 0, 144, 48)
                                        << QRect(0, 0, 80, 40) << QRect(64, 0, 80, 40);
        QTest::newRow("outside") << QSize(144, 48) << two << QRect(100, 0, 80, 40) << QRect();
    }
    void screenInPicture() {
        QFETCH(QSize, picture);
        QFETCH(QRect, desktop);
        QFETCH(QRect, screen);
        QTEST(PortalScreenshot::screenInPicture(picture, desktop, screen).value_or(QRect()),
              "expected");
    }

    // The screen's part of the picture comes back; a fresh file in the temporary directory
    // goes, anything else stays.
    void readPicture_data() {
        QTest::addColumn<QString>("where");  // temp, old, build, garbage
        QTest::addColumn<bool>("read");
        QTest::addColumn<bool>("kept");
        QTest::newRow("fresh temporary") << "temp" << true << false;
        QTest::newRow("old temporary") << "old" << true << true;
        QTest::newRow("user's folder") << "build" << true << true;
        QTest::newRow("not a picture") << "garbage" << false << false;
    }
    void readPicture() {
        QFETCH(QString, where);
        QFETCH(bool, read);
        const QRect desktop(0, 0, 144, 48), screen(64, 0, 80, 40);
        const QImage whole = desktopPicture(desktop.size(), screen);
        const QString dir = where == "build" ? SHATTER_BUILD_DIR : m_dir.path();
        const QString path = dir + "/portal-" + where + ".png";
        if (where == "garbage") {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write("not a PNG") > 0);
        } else {
            QVERIFY(whole.save(path));
        }
        const QDateTime asked = QDateTime::currentDateTime().addSecs(where == "old" ? 60 : 0);
        const CaptureResult r =
            PortalScreenshot::readPicture(QUrl::fromLocalFile(path), desktop, screen, asked);
        if (read) {
            QCOMPARE(r.image,
                     whole.copy(QRect(64, 0, 80, 40)).convertToFormat(QImage::Format_RGB32));
        } else {
            QVERIFY2(r.image.isNull() && r.error.contains(path), qPrintable(r.error));
        }
        QTEST(QFile::exists(path), "kept");
        QFile::remove(path);
    }

    void conversation_data() {
        QTest::addColumn<bool>("portal");
        QTest::addColumn<QList<uint>>("codes");  // the portal's answers in turn
        QTest::addColumn<QList<bool>>("asked");  // interactive, per request it saw
        QTest::addColumn<QString>("error");      // a part of it; empty: the picture
        QTest::newRow("taken") << true << QList<uint>{0} << QList<bool>{false} << "";
        QTest::newRow("asks the user first")
            << true << QList<uint>{2, 0} << QList<bool>{false, true} << "";
        QTest::newRow("refused") << true << QList<uint>{1} << QList<bool>{false} << "拒絕";
        QTest::newRow("never answers") << true << QList<uint>{} << QList<bool>{false} << "秒內";
        QTest::newRow("no portal")
            << false << QList<uint>{} << QList<bool>{} << "xdg-desktop-portal";
    }
    void conversation() {
        QFETCH(bool, portal);
        QFETCH(QList<uint>, codes);
        QDBusConnection service = m_bus.connect("portal");
        QDBusConnection client = m_bus.connect("client");
        QVERIFY(service.isConnected() && client.isConnected());
        StubPortal stub;
        QScreen* screen = QGuiApplication::primaryScreen();
        const QString file = m_dir.filePath("desktop.png");
        QVERIFY(desktopPicture(screen->virtualGeometry().size(), screen->geometry()).save(file));
        for (uint code : codes)
            stub.answers.push_back({code, {{"uri", QUrl::fromLocalFile(file).toString()}}});
        if (portal) QVERIFY(stub.serveOn(service));
        const CaptureResult r = PortalScreenshot(client, 300).grabPrimaryScreen();
        service.unregisterObject(StubPortal::kObject);
        service.unregisterService(StubPortal::kService);
        QTEST(stub.asked, "asked");
        QFETCH(QString, error);
        if (error.isEmpty()) {
            QCOMPARE(r.image.size(), screen->geometry().size());
            QVERIFY(!QFile::exists(file));  // the portal's file, in the temporary directory
        } else {
            QVERIFY2(r.image.isNull() && r.error.contains(error), qPrintable(r.error));
        }
    }

  private:
    QTemporaryDir m_dir;
    PrivateBus m_bus;
};

QTEST_MAIN(TestPortalScreenshot)
#include "tst_portal_screenshot.moc"
