
#include "e2e/harness.h"
#include "support/private_bus.h"

using namespace e2e;

// A program on XWayland asks the desktop portal for its snapshot; here the X display stands
// in for the Wayland desktop, and a bus of the test's own for the session's.
class E2ePortalFailures : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() { QVERIFY2(m_stage.begin(false), "no screen"); }
    void cleanup() { m_stage.end(); }

    // The user is told, no canvas opens, and the title comes back to try again or leave.
    void failedSnapshotReturnsToTitle_data() {
        QTest::addColumn<bool>("portal");  // a portal that never answers, or none at all
        QTest::addColumn<int>("waitsMs");
        QTest::newRow("no portal") << false << 0;
        QTest::newRow("no answer") << true << 10000;
    }
    void failedSnapshotReturnsToTitle() {
        QFETCH(bool, portal);
        QFETCH(int, waitsMs);
        PrivateBus bus;
        QVERIFY2(!bus.address.isEmpty(), "dbus-daemon did not start");
        StubPortal stub;
        if (portal) QVERIFY(stub.serveOn(bus.connect("portal")));
        m_stage.environment.insert("XDG_SESSION_TYPE", "wayland");
        m_stage.environment.insert("DBUS_SESSION_BUS_ADDRESS", bus.address);
        const auto title = m_stage.startTitle();
        QVERIFY2(title, "no title window");
        QElapsedTimer asked;  // from before the press: the program's wait starts with it
        asked.start();
        click(controlCentre(*title, FormId::FrmMain, "Come"));
        auto isMessage = [&](const XWindow& w) { return !sized(kTitleSize)(w); };
        const auto message = m_stage.waitFor(isMessage, waitsMs + 5000);
        QVERIFY2(message, "no message about the failed snapshot");
        QVERIFY2(asked.elapsed() >= waitsMs, qPrintable(QString::number(asked.elapsed())));
        QCOMPARE(stub.asked, portal ? QList<bool>{false} : QList<bool>{});
        QVERIFY(std::ranges::none_of(m_stage.windows(), sized(screenSize())));
        QVERIFY(focus(message->id));
        keys("Return");
        const auto back = m_stage.waitFor(sized(kTitleSize));
        QVERIFY2(back, "the title window did not come back");
        QVERIFY(std::ranges::none_of(m_stage.windows(), sized(screenSize())));
        click(controlCentre(*back, FormId::FrmMain, "Quit"));
        const auto code = m_stage.waitForExit();
        QVERIFY2(code, "the program still runs after the exit command");
        QCOMPARE(*code, 0);
    }

  private:
    Stage m_stage;
};

SHATTER_E2E_MAIN(E2ePortalFailures)
#include "e2e_portal_failures.moc"
