
#include "e2e/harness.h"

using namespace e2e;

namespace {
constexpr QSize kAboutSize(264, 185);
bool near(const XWindow& a, const XWindow& b) {
    return (a.geometry.topLeft() - b.geometry.topLeft()).manhattanLength() <= 2;
}
QString xprop(const QString& windowId, const char* name) {
    return run(QStringLiteral("xprop"), {"-id", windowId, QLatin1String(name)});
}
}  // namespace

class E2eTitle : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() { QVERIFY(m_stage.begin(false)); }
    void cleanup() { m_stage.end(); }

    void aboutComesAndGoesByRightClickExitEnds() {
        const auto title = m_stage.startTitle();
        QVERIFY2(title, "no title window appeared");
        click(controlCentre(*title, FormId::FrmMain, "About"));
        const auto about = m_stage.waitFor(sized(kAboutSize));
        QVERIFY2(about, "no About window");
        QVERIFY(m_stage.waitGone(sized(kTitleSize)));
        QTest::qWait(200);  // first paint
        // Right-clicking a label leaves the window; the bare background closes it.
        click(controlCentre(*about, FormId::FrmAbout, "Label1"), 3);
        QVERIFY(m_stage.waitFor(sized(kAboutSize), 500));
        click(clientToScreen(*about, {10, 170}), 3);
        QVERIFY(m_stage.waitGone(sized(kAboutSize)));
        const auto back = m_stage.waitFor(sized(kTitleSize));
        QVERIFY2(back, "the title window did not come back");
        QVERIFY(near(*back, *title));
        click(controlCentre(*back, FormId::FrmMain, "Quit"));
        QCOMPARE(m_stage.waitForExit().value_or(-99), 0);
    }

    void minimisedTitleCanBeRestored() {
        const auto title = m_stage.startTitle();
        QVERIFY2(title, "no title window appeared");
        click(controlCentre(*title, FormId::FrmMain, "MostS"));
        QVERIFY(m_stage.waitGone(sized(kTitleSize)));
        // Iconified, so that a task list can offer it back to the user.
        QString iconic;
        QTRY_VERIFY_WITH_TIMEOUT(!(iconic = iconicWindow()).isEmpty(), 5000);
        // Not focus(): the window may be re-created on activation.
        xdo({"windowactivate", iconic});
        const auto back = m_stage.waitFor(sized(kTitleSize));
        QVERIFY2(back, "the title window did not come back");
        QVERIFY(near(*back, *title));
        QVERIFY(xprop(back->id, "_NET_WM_STATE").contains("_NET_WM_STATE_ABOVE"));
        // Still fully working: the exit command ends it.
        click(controlCentre(*back, FormId::FrmMain, "Quit"));
        QCOMPARE(m_stage.waitForExit().value_or(-99), 0);
    }

  private:
    QString iconicWindow() const {
        for (const XWindow& w : m_stage.windows(false))
            if (xprop(w.id, "WM_STATE").contains("Iconic")) return w.id;
        return {};
    }

    Stage m_stage;
};

SHATTER_E2E_MAIN(E2eTitle)
#include "e2e_title.moc"
