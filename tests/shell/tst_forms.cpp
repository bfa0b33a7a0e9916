#include <QtTest>

#include "layouts/layouts.h"
#include "shell/label.h"
#include "support/app_fixture.h"
#include "support/data_table.h"
#include "support/sample_pictures.h"

// A window that counts its handlers, to watch the runtime's rules.
class ProbeForm : public Form {
  public:
    static constexpr FormId kId = FormId::FrmAbout;
    ProbeForm() : Form(kId) {}
    void Form_Load() override { ++loads; }
    void Form_QueryUnload() override { ++queryUnloads; }
    static inline int loads = 0, queryUnloads = 0;
};

class TestForms : public AppTest {
    Q_OBJECT
  private Q_SLOTS:
    void init() {
        AppTest::init();
        ProbeForm::loads = ProbeForm::queryUnloads = 0;
    }

    // A window is loaded hidden when first touched, once; unloading destroys it, and loaded
    // again it starts afresh. The program ends when the last loaded window goes.
    void touchLoadsHiddenOnceAndUnloadDestroys() {
        ProbeForm& f = forms().get<ProbeForm>();
        QVERIFY(!f.isVisible());
        QCOMPARE(&forms().get<ProbeForm>(), &f);
        QCOMPARE(ProbeForm::loads, 1);
        f.label(QStringLiteral("Label3"))->setForeColor(0x123456);
        forms().get<FrmOption2>().hideForm();
        QPointer<Form> watch(&f);
        forms().unload(FormId::FrmAbout);
        QVERIFY(ProbeForm::queryUnloads == 1 && !forms().isLoaded(FormId::FrmAbout));
        QCOMPARE(m_app->programEnds, 0);  // a hidden window keeps the program alive
        flushDeletes();
        QVERIFY(watch.isNull());
        ProbeForm& again = forms().get<ProbeForm>();
        QCOMPARE(ProbeForm::loads, 2);
        QCOMPARE(again.label(QStringLiteral("Label3"))->foreColor(), Colour(0xFFFFFF));
        forms().unload(FormId::FrmAbout);
        forms().unload(FormId::FrmOption2);
        QCOMPARE(m_app->programEnds, 1);
        forms().unload(FormId::FrmOption2);  // unloading an unloaded window does nothing
        QCOMPARE(m_app->programEnds, 1);
    }

    // A blank canvas posing as the desktop would hide the failure: the user is told why, and
    // the title's exit plays No.wav (that the title comes back and the exit ends the program:
    // e2e_title).
    void enterWithoutSnapshotKeepsTheTitle() {
        m_app->fakes.capture->next = QImage();
        m_app->fakes.capture->error = QStringLiteral("no portal");
        title().showForm();
        QTest::mousePress(title().label("Come"), Qt::LeftButton);
        const QString text = m_app->fakes.messages->only();
        QVERIFY2(text.contains("無法拍下螢幕畫面") && text.contains("no portal"), qPrintable(text));
        QTest::mousePress(title().label("Quit"), Qt::LeftButton);
        QCOMPARE(m_app->fakes.sound->calls, QStringList{"No.wav/1"});
    }

    // From the title, a link nobody can open says so, and the window stays (back to the title
    // by a right-click: e2e_title).
    void aboutCommandAndAFailedLink() {
        m_app->fakes.shell->succeed = false;
        title().showForm();
        QTest::mousePress(title().label("About"), Qt::LeftButton);
        FrmAbout* about = forms().ifLoaded<FrmAbout>();
        QVERIFY(about && about->isVisible() && !title().isVisible());
        QTest::mousePress(about->label("Label4"), Qt::LeftButton);
        const QUrl home(QStringLiteral(SHATTER_HOMEPAGE));
        QCOMPARE(m_app->fakes.shell->opened, std::vector<QUrl>{home});
        const QString text = m_app->fakes.messages->only();
        QVERIFY2(text.contains(home.toString()), qPrintable(text));
        QVERIFY(about->isVisible());
    }

    // Every auto-size label that shows its design caption comes out at the layout's size, so
    // the tool frames and the title's corner text sit where they were drawn. The About window's
    // labels 1 to 4 show texts of Shatter's own instead.
    void autoSizeLabelsShowTheirDesignSize() {
        for (FormId id : {FormId::FrmMain, FormId::FrmOption, FormId::FrmOption2, FormId::FrmAbout})
            for (const ControlLayout& c : layoutOf(id).controls) {
                if (!c.autoSize || c.kind != ControlKind::Label ||
                    (id == FormId::FrmAbout && c.name != "Label5"))
                    continue;
                const QString name = layoutOf(id).name + ' ' + c.name + ' ';
                QCOMPARE(name + formOf(id).label(c.name)->caption(), name + c.caption);
                QCOMPARE(name + QDebug::toString(formOf(id).label(c.name)->size()),
                         name + QDebug::toString(
                                    QSize(twipsToPixels(c.width), twipsToPixels(c.height))));
            }
    }

    // The title window carries the generated 32 x 32 icon, for its taskbar entry.
    void titleCarriesTheProgramIcon() {
        const QIcon icon = title().windowIcon();
        QVERIFY(icon.availableSizes().contains(QSize(32, 32)));
        const QImage file(QStringLiteral(SHATTER_BUILD_DIR "/shatter.ico"));
        QCOMPARE(icon.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32),
                 file.convertToFormat(QImage::Format_ARGB32));
    }

    // Every fixed data file, gone or damaged in turn: the window that reads it must end the
    // program naming exactly that file, never start with a hole in it.
    void brokenFileEndsProgramNamingIt_data() {
        // file: below the program directory; window: the FormId that reads it, 4 for the
        // program; missing: or not a picture
        const DataTable<QString, int, bool> row({"file", "window", "missing"});
        // The title card and the canvas both read the title picture, which the real program
        // reads first; the size buttons are the pictures named by number.
        QList<std::pair<QString, int>> readers{
            {DataFiles::kTitle, 0}, {DataFiles::kTitle, 1}, {DataFiles::kTitle, 4}};
        for (const QString& f : DataFiles::allPictures())
            if (f != DataFiles::kTitle) readers.append({f, f[0].isDigit() ? 3 : 1});
        for (const QString& f : DataFiles::allCursors()) readers.append({f, 2});
        for (const auto& [f, w] : readers) {
            const QString dir = dataDirName(w == 2 ? DataDir::IconCursor : DataDir::Image);
            for (bool missing : {true, false})
                row(qPrintable(QStringLiteral("%1 %2 %3").arg(w).arg(f, missing ? "gone" : "junk")),
                    dir + f, w, missing);
        }
    }
    void brokenFileEndsProgramNamingIt() {
        const auto [file, window, missing] = DataTable<QString, int, bool>::fetch();
        // A copy of the build's data files, and of the program when it runs, for the test to
        // break.
        QTemporaryDir copy;
        QStringList cp{"-R", SHATTER_BUILD_DIR "/Pic", SHATTER_BUILD_DIR "/Sound", copy.path()};
        if (window == 4) cp.insert(1, SHATTER_BUILD_DIR "/shatter");
        QCOMPARE(QProcess::execute("cp", cp), 0);
        const QString path = copy.filePath(file);
        QVERIFY(missing ? QFile::remove(path) : SamplePictures::writeFile(path, "no pixels\n"));
        if (window == 4) {  // a clear line naming the file and a failure status, not a crash
            QProcess program;
            program.start(copy.filePath("shatter"), {});
            QVERIFY(program.waitForFinished(20000) && program.exitStatus() == QProcess::NormalExit);
            const QString err = QString::fromLocal8Bit(program.readAllStandardError());
            QVERIFY2(program.exitCode() != 0 && err.contains(path), qPrintable(err));
            return;
        }
        m_app->fakes.capture->next = SamplePictures::pattern(320, 240);
        setProgramDirectory(copy.path());
        try {
            window == 1 ? (void)forms().get<Formula_Start>() : (void)formOf(FormId(window));
            QFAIL(qPrintable(QStringLiteral("the window loaded without %1").arg(path)));
        } catch (const FatalError& e) {
            QCOMPARE(e.path, path);
            QVERIFY(!e.reason.isEmpty());
        }
    }

  private:
    static FrmMain& title() { return forms().get<FrmMain>(); }
};

QTEST_MAIN(TestForms)
#include "tst_forms.moc"
