#include <QtTest>

#include "settings/frm_option2.h"
#include "shell/form.h"
#include "shell/formula.h"
#include "shell/forms.h"
#include "shell/label.h"
#include "shell/picture_box.h"
#include "support/app_fixture.h"

namespace {
QRgb pixel(Form& f, int x, int y) { return f.client()->grab().toImage().pixel(x, y); }
}  // namespace

class TestFormula : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_app = std::make_unique<AppFixture>(); }
    void cleanup() { m_app.reset(); }

    void drawToolFrameOutlinesFromFirstCornerToFarEdge() {
        Form f(FormId::FrmOption2);
        f.setBackColor(0);
        f.setForeColor(0xFFFFFF);
        Formula::DrawToolFrame(f, 40, 24, 48, 64, 33, 17);
        const QRgb white = qRgb(255, 255, 255), black = qRgb(0, 0, 0);
        QCOMPARE(pixel(f, 35, 19), white);
        QCOMPARE(pixel(f, 86, 86), white);
        QCOMPARE(pixel(f, 60, 19), white);
        QCOMPARE(pixel(f, 35, 60), white);
        QCOMPARE(pixel(f, 34, 19), black);
        QCOMPARE(pixel(f, 87, 86), black);
        QCOMPARE(pixel(f, 36, 20), black);  // not filled
    }

    void secondFrameErasesTheFirst() {
        Form f(FormId::FrmOption2);
        f.setBackColor(0);
        f.setForeColor(0xFFFFFF);
        Formula::DrawToolFrame(f, 40, 24, 48, 64, 33, 17);
        Formula::DrawToolFrame(f, 10, 10, 20, 20, 5, 5);
        QCOMPARE(pixel(f, 35, 19), qRgb(0, 0, 0));
        QCOMPARE(pixel(f, 5, 5), qRgb(255, 255, 255));
        QCOMPARE(f.currentPos(), QPoint(30, 30));
    }

    void soundsComeFromTheSoundDirectoryWithTheirFlags() {
        Formula::PlaySoundFile(QStringLiteral("Prop1_1.wav"), 9);
        QVERIFY(m_app->fakes.sound->looping);
        Formula::PlayNoSound();
        QCOMPARE(m_app->fakes.sound->files(), QStringList({"Prop1_1.wav", "No.wav"}));
        QCOMPARE(m_app->fakes.sound->calls.back().flags, 1);
        QVERIFY(!m_app->fakes.sound->looping);
    }

    void settingsButtonsLoadTheSettingsWindowHidden() {
        QVERIFY(!forms().isLoaded(FormId::FrmOption2));
        Formula::SetNumButtonsVisible(Formula::kTrue);
        Formula::SetOpenButtonVisible(Formula::kFalse);
        FrmOption2* settings = forms().ifLoaded<FrmOption2>();
        QVERIFY(settings);
        QVERIFY(!settings->isVisible());
        for (int k = 1; k <= 5; ++k) QVERIFY(!settings->picture(QStringLiteral("Num"), k)->isHidden());
        QVERIFY(settings->label(QStringLiteral("LabOpen"))->isHidden());
    }

    void toolFlagsNameTheSelectedTool() {
        QCOMPARE(Formula::selectedTool(), 0);
        Formula::Prop6On = Formula::kTrue;
        QCOMPARE(Formula::selectedTool(), 6);
        QCOMPARE(&Formula::PropOn(6), &Formula::Prop6On);
    }

private:
    std::unique_ptr<AppFixture> m_app;
};

QTEST_MAIN(TestFormula)
#include "tst_formula.moc"
