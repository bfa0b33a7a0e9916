#include <QtTest>

#include "platform/capture/portal_screenshot.h"
#include "platform/wayland_session.h"
#include "support/private_bus.h"
#include "support/sample_pictures.h"

using SamplePictures::pattern;

class TestPortalScreenshot : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(!m_bus.address.isEmpty(), "dbus-daemon did not start");
        // A home and a temporary directory of the test's own side by side, so that the user's
        // folder is never below the temporary directory, wherever the checkout lies.
        const QDir root(m_root.path());
        QVERIFY(root.mkpath("home/Pictures") && root.mkpath("tmp"));
        qputenv("HOME", QFile::encodeName(root.filePath("home")));
        qputenv("TMPDIR", QFile::encodeName(root.filePath("tmp")));
    }

    void sessionChoosesThePortal_data() {
        QTest::addColumn<QStringList>("env");  // platform plugin, WAYLAND_DISPLAY, session type
        QTest::addColumn<bool>("wayland");
        QTest::newRow("native") << QStringList{"wayland", "", ""} << true;
        QTest::newRow("XWayland by display") << QStringList{"xcb", "wayland-1", "x11"} << true;
        QTest::newRow("XWayland by session") << QStringList{"xcb", "", "Wayland"} << true;
        QTest::newRow("X11") << QStringList{"xcb", "", "x11"} << false;
        QTest::newRow("offscreen") << QStringList{"offscreen", "wayland-0", "wayland"} << false;
    }
    void sessionChoosesThePortal() {
        QFETCH(QStringList, env);
        QTEST(WaylandSession::isWaylandSession(env[0], env[1], env[2]), "wayland");
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
        QTest::newRow("right of two") << QSize(144, 48) << two << right << right;
        QTest::newRow("scale 2") << QSize(288, 96) << two << right << QRect(128, 0, 160, 80);
        QTest::newRow("left of origin")
            << QSize(144, 48) << QRect(-64, 0, 144, 48) << QRect(0, 0, 80, 40) << right;
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
        QTest::addColumn<QString>("where");  // temp, old, home, garbage
        QTest::addColumn<bool>("kept");
        QTest::addColumn<QSize>("prepared");  // a picture made ready to decode into
        QTest::newRow("fresh temporary") << "temp" << false << QSize();
        QTest::newRow("old temporary") << "old" << true << QSize();
        QTest::newRow("user's folder") << "home" << true << QSize();
        QTest::newRow("not a picture") << "garbage" << false << QSize();
        QTest::newRow("into a prepared picture") << "temp" << false << QSize(144, 48);
        // The prepared picture must never pass for the desktop.
        QTest::newRow("not a picture, prepared") << "garbage" << false << QSize(144, 48);
    }
    void readPicture() {
        QFETCH(QString, where);
        const QRect desktop(0, 0, 144, 48), screen(64, 0, 80, 40);
        const QImage whole = pattern(144, 48);
        const QString path = (where == "home" ? QDir::homePath() + "/Pictures" : QDir::tempPath()) +
                             "/p-" + where + ".png";
        QVERIFY(where == "garbage" ? SamplePictures::writeFile(path, "not a PNG")
                                   : whole.save(path, "png"));
        const QDateTime asked = QDateTime::currentDateTime().addSecs(where == "old" ? 60 : 0);
        QFETCH(QSize, prepared);
        QImage into;
        if (prepared.isValid()) {
            into = QImage(prepared, QImage::Format_RGB32);
            into.fill(Qt::red);
        }
        const CaptureResult r = PortalScreenshot::readPicture(QUrl::fromLocalFile(path), desktop,
                                                              screen, asked, std::move(into));
        if (where == "garbage")
            QVERIFY2(r.image.isNull() && r.error.contains(path), qPrintable(r.error));
        else
            QCOMPARE(r.image, whole.copy(screen));
        QTEST(QFile::exists(path), "kept");
        QFile::remove(path);
    }

    // The whole conversation on a private bus, the portal's answer decoded at each step.
    void conversation_data() {
        QTest::addColumn<bool>("uri");           // whether the answers carry one
        QTest::addColumn<QList<uint>>("codes");  // the portal's answers in turn
        QTest::addColumn<QList<bool>>("asked");  // interactive, per request; none: no portal
        QTest::addColumn<QString>("error");      // a part of it; empty: the picture
        QTest::newRow("taken") << true << QList<uint>{0} << QList<bool>{false} << "";
        QTest::newRow("taken, no uri")
            << false << QList<uint>{0} << QList<bool>{false} << "沒有給出圖片";
        QTest::newRow("asks the user first")
            << true << QList<uint>{2, 0} << QList<bool>{false, true} << "";
        QTest::newRow("failed when asked")
            << true << QList<uint>{2, 2} << QList<bool>{false, true} << "回應代碼 2";
        QTest::newRow("refused") << true << QList<uint>{1} << QList<bool>{false} << "拒絕";
        QTest::newRow("never answers") << true << QList<uint>{} << QList<bool>{false} << "秒內";
        QTest::newRow("no portal")
            << true << QList<uint>{} << QList<bool>{} << "xdg-desktop-portal";
    }
    void conversation() {
        QFETCH(bool, uri);
        QFETCH(QList<uint>, codes);
        QFETCH(QList<bool>, asked);
        QFETCH(QString, error);
        QDBusConnection service = m_bus.connect("portal"), client = m_bus.connect("client");
        QVERIFY(service.isConnected() && client.isConnected());
        StubPortal stub;
        QScreen* screen = QGuiApplication::primaryScreen();
        const QString file = QDir::temp().filePath("desktop.png");
        const QSize desktop = screen->virtualGeometry().size();
        QVERIFY(pattern(desktop.width(), desktop.height()).save(file));
        const QVariantMap results{{"uri", QUrl::fromLocalFile(file).toString()}};
        for (uint code : codes) stub.answers.push_back({code, uri ? results : QVariantMap()});
        if (!asked.isEmpty()) QVERIFY(stub.serveOn(service));
        const CaptureResult r = PortalScreenshot(client, 300).grabPrimaryScreen();
        service.unregisterObject(StubPortal::kObject);
        service.unregisterService(StubPortal::kService);
        QCOMPARE(stub.asked, asked);
        if (error.isEmpty()) {
            QCOMPARE(r.image.size(), screen->geometry().size());
            QVERIFY(!QFile::exists(file));  // the portal's file, in the temporary directory
        } else {
            QVERIFY2(r.image.isNull() && r.error.contains(error), qPrintable(r.error));
        }
    }

  private:
    QTemporaryDir m_root;
    PrivateBus m_bus;
};

QTEST_MAIN(TestPortalScreenshot)
#include "tst_portal_screenshot.moc"
