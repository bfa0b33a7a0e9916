#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QtTest>

#include "platform/device_scale.h"
#include "platform/primary_screen.h"

// Two offscreen screens, "left" (Qt's primary, 640 x 480) and "right" (800 x 600), and the
// output orders a compositor may announce.
class TestPrimaryScreen : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() { QCOMPARE(QGuiApplication::screens().size(), 2); }
    void choose_data() {
        QTest::addColumn<QStringList>("order");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("no order") << QStringList() << "left";
        QTest::newRow("first not known yet") << QStringList{"gone", "right", "left"} << "right";
        QTest::newRow("none known") << QStringList{"gone"} << "left";
    }
    void choose() {
        QFETCH(QStringList, order);
        QFETCH(QString, chosen);
        const QScreen* screen = PrimaryScreen::choose(order, QGuiApplication::screens(),
                                                      QGuiApplication::primaryScreen());
        QVERIFY(screen);
        QCOMPARE(screen->name(), chosen);
    }
    // Off Wayland nothing is asked of a compositor, and the sizes are Qt's primary's.
    void elsewhereQtsPrimary() {
        QVERIFY(PrimaryScreen::compositorOrder().isEmpty());
        QCOMPARE(PrimaryScreen::current(), QGuiApplication::primaryScreen());
        QCOMPARE(DeviceScale::primaryScreenSize(), QSize(640, 480));
    }
    // A compositor that never answers, and none at all, leave the order empty: no hang.
    void silentCompositor() {
        QTemporaryDir dir;
        const QByteArray path = dir.filePath("wayland-silent").toLocal8Bit();
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, path.constData(), sizeof address.sun_path);
        const int silent = socket(AF_UNIX, SOCK_STREAM, 0);  // listens and never reads
        QVERIFY(bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
        QVERIFY(listen(silent, 1) == 0);
        for (const QByteArray& display : {path, dir.filePath("none").toLocal8Bit()}) {
            qputenv("WAYLAND_DISPLAY", display);
            QVERIFY(PrimaryScreen::readCompositorOrder().isEmpty());
        }
        close(silent);
    }
};

QTEST_MAIN(TestPrimaryScreen)
#include "tst_primary_screen.moc"
