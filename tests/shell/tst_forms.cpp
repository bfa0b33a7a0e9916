#include <QtTest>

#include "about/frm_about.h"
#include "settings/frm_option2.h"
#include "shell/forms.h"
#include "shell/frm_main.h"
#include "shell/label.h"
#include "support/app_fixture.h"

// A window that counts its handlers, to watch the runtime's rules.
class ProbeForm : public Form {
public:
    static constexpr FormId kId = FormId::FrmAbout;
    ProbeForm() : Form(kId) {}
    void Form_Load() override { ++loads; }
    void Form_QueryUnload() override { ++queryUnloads; }
    static inline int loads = 0, queryUnloads = 0;
};

class TestForms : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() {
        m_app = std::make_unique<AppFixture>();
        ProbeForm::loads = ProbeForm::queryUnloads = 0;
    }
    void cleanup() { m_app.reset(); }

    void touchingLoadsHiddenOnce() {
        QVERIFY(!forms().isLoaded(FormId::FrmAbout));
        ProbeForm& f = forms().get<ProbeForm>();
        QCOMPARE(ProbeForm::loads, 1);
        QVERIFY(!f.isVisible());
        QCOMPARE(&forms().get<ProbeForm>(), &f);
        QCOMPARE(ProbeForm::loads, 1);
    }

    void unloadRunsQueryUnloadAndNextTouchRebuilds() {
        ProbeForm& f = forms().get<ProbeForm>();
        f.label(QStringLiteral("Label3"))->setForeColor(0x123456);
        forms().unload(FormId::FrmAbout);
        QCOMPARE(ProbeForm::queryUnloads, 1);
        QVERIFY(!forms().isLoaded(FormId::FrmAbout));
        flushDeletes();
        ProbeForm& again = forms().get<ProbeForm>();
        QCOMPARE(ProbeForm::loads, 2);
        QCOMPARE(again.label(QStringLiteral("Label3"))->foreColor(), Colour(0xFFFFFF));
    }

    void programEndsWhenLastLoadedWindowUnloads() {
        forms().get<ProbeForm>();
        FrmOption2& hidden = forms().get<FrmOption2>();
        hidden.hideForm();
        forms().unload(FormId::FrmAbout);
        QCOMPARE(m_app->programEnds, 0);  // a hidden window keeps the program alive
        forms().unload(FormId::FrmOption2);
        QCOMPARE(m_app->programEnds, 1);
    }

    void unloadingAnUnloadedWindowDoesNothing() {
        forms().unload(FormId::FrmOption2);
        QCOMPARE(m_app->programEnds, 0);
    }

    void windowManagerCloseUnloadsJustThatWindow() {
        ProbeForm& f = forms().get<ProbeForm>();
        forms().get<FrmOption2>();
        f.showForm();
        f.close();
        QVERIFY(!forms().isLoaded(FormId::FrmAbout));
        QVERIFY(forms().isLoaded(FormId::FrmOption2));
        QCOMPARE(m_app->programEnds, 0);
    }

    void smallWindowsHaveDialogFrameAroundClient_data() {
        QTest::addColumn<int>("which");
        QTest::addColumn<QSize>("client");
        QTest::newRow("title") << int(FormId::FrmMain) << QSize(303, 144);
        QTest::newRow("palette") << int(FormId::FrmOption) << QSize(354, 256);
        QTest::newRow("settings") << int(FormId::FrmOption2) << QSize(327, 226);
        QTest::newRow("about") << int(FormId::FrmAbout) << QSize(258, 179);
    }
    void smallWindowsHaveDialogFrameAroundClient() {
        QFETCH(int, which);
        QFETCH(QSize, client);
        std::unique_ptr<Form> f(new Form(FormId(which)));
        QCOMPARE(f->client()->size(), client);
        QCOMPARE(f->client()->pos(), QPoint(3, 3));
        QCOMPARE(f->size(), client + QSize(6, 6));
    }

private:
    std::unique_ptr<AppFixture> m_app;
};

QTEST_MAIN(TestForms)
#include "tst_forms.moc"
