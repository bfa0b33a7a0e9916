#include "e2e/harness.h"
#include "support/data_table.h"
#include "support/private_bus.h"

using namespace e2e;

namespace {
bool near(const XWindow& a, const XWindow& b) {
    return (a.geometry.topLeft() - b.geometry.topLeft()).manhattanLength() <= 2;
}
QByteArray xprop(const QString& windowId, const char* name) {
    return run(QStringLiteral("xprop"), {"-id", windowId, QLatin1String(name)});
}
}  // namespace

class E2eTitle : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void cleanup() { m_stage.end(); }

    // The title window comes back where it was from the About window, closed by a right
    // click on its bare background (not on a label) or by the window manager, and from the
    // task list once minimised, still above other windows and fully working: the exit
    // command ends it.
    void titleComesBackFromAboutAndMinimised() {
        const auto title = m_stage.startTitle();
        QVERIFY2(title, "no title window appeared");
        click(controlCentre(*title, FormId::FrmMain, "About"));
        const auto about = m_stage.waitFor(sized(QSize(264, 185)));
        QVERIFY2(about, "no About window");
        QVERIFY(m_stage.waitGone(sized(kTitleSize)) && m_stage.painted(*about));
        click(controlCentre(*about, FormId::FrmAbout, "Label1"), 3);
        QVERIFY(m_stage.waitFor(withId(about->id), 500));
        click(clientToScreen(*about, {10, 170}), 3);
        QVERIFY(m_stage.waitGone(withId(about->id)));
        auto back = m_stage.waitFor(sized(kTitleSize));
        QVERIFY2(back && near(*back, *title), "the title window did not come back in place");

        // Closed by the window manager (its Alt+F4), the About window goes as by the
        // right-click: the program is not left running without a window.
        click(controlCentre(*back, FormId::FrmMain, "About"));
        const auto again = m_stage.waitFor(sized(QSize(264, 185)));
        QVERIFY2(again, "no About window the second time");
        // Twice at most: under load the window manager may see the keys before its focus change.
        const auto closed = [&] {
            return focus(again->id) && (keys("alt+F4"), m_stage.waitGone(withId(again->id), 3000));
        };
        QVERIFY(closed() || closed());
        back = m_stage.waitFor(sized(kTitleSize));
        QVERIFY2(back && near(*back, *title), "the title window did not come back in place");

        click(controlCentre(*back, FormId::FrmMain, "MostS"));
        QVERIFY(m_stage.waitGone(sized(kTitleSize)));
        // Iconified, so that a task list can offer it back to the user.
        const auto iconic = m_stage.waitFor(
            [](auto& w) { return xprop(w.id, "WM_STATE").contains("Iconic"); }, 5000, false);
        QVERIFY(iconic);
        // Not focus(): the window may be re-created on activation.
        xdo({"windowactivate", iconic->id});
        back = m_stage.waitFor(sized(kTitleSize));
        QVERIFY2(back && near(*back, *title), "the title window did not come back in place");
        QVERIFY(xprop(back->id, "_NET_WM_STATE").contains("_NET_WM_STATE_ABOVE"));
        QVERIFY(m_stage.exitBy(*back, FormId::FrmMain, "Quit"));
    }

    // Under XWayland the snapshot comes from the desktop portal; here the X display stands in
    // for the Wayland desktop, and a bus of the test's own for the session's. When it fails
    // the user is told, no canvas opens, and the title comes back to try again or leave.
    void failedSnapshotReturnsToTitle_data() {
        // portal: a portal that never answers, or none at all
        const DataTable<bool, int> row({"portal", "waitsMs"});
        row("no portal", false, 0);
        row("no answer", true, 10000);
    }
    void failedSnapshotReturnsToTitle() {
        const auto [portal, waitsMs] = DataTable<bool, int>::fetch();
        PrivateBus bus;
        QVERIFY2(!bus.address.isEmpty(), "dbus-daemon did not start");
        StubPortal stub;
        if (portal) QVERIFY(stub.serveOn(bus.connect("portal")));
        m_stage.environment.insert("XDG_SESSION_TYPE", "wayland");
        m_stage.environment.insert("DBUS_SESSION_BUS_ADDRESS", bus.address);
        const auto title = m_stage.startTitle();
        QVERIFY2(title, "no title window");
        // From the press: the program's wait starts with it.
        const double asked = click(controlCentre(*title, FormId::FrmMain, "Come"));
        const auto message =
            m_stage.waitFor([](auto& w) { return !sized(kTitleSize)(w); }, waitsMs + 5000);
        QVERIFY2(message, "no message about the failed snapshot");
        QCOMPARE_GE(nowMs() - asked, waitsMs);
        QVERIFY(std::ranges::none_of(m_stage.windows(), sized(screenSize())));
        QVERIFY(focus(message->id));
        keys("Return");
        const auto back = m_stage.waitFor(sized(kTitleSize));
        QVERIFY2(back, "the title window did not come back");
        QVERIFY(m_stage.exitBy(*back, FormId::FrmMain, "Quit"));
    }

  private:
    Stage m_stage;
};

SHATTER_E2E_MAIN(E2eTitle)
#include "e2e_title.moc"
