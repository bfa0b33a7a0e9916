#include <QtTest>

#include "canvas/formula_start.h"
#include "layouts/data_files.h"
#include "palette/frm_option.h"
#include "settings/frm_option2.h"
#include "shell/forms.h"
#include "shell/frm_main.h"
#include "support/app_fixture.h"
#include "support/sample_pictures.h"

// Every fixed data file, gone or damaged in turn: the window that reads it must end the program
// naming exactly that file, never start with a hole in it.
class TestMissingData : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void brokenFileEndsProgramNamingIt_data() {
        QTest::addColumn<QString>("file");  // below the program directory
        QTest::addColumn<int>("window");    // the FormId that reads it; 4: the program
        QTest::addColumn<bool>("missing");  // or not a picture
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
                QTest::addRow("%d %s %s", w, qPrintable(f), missing ? "gone" : "junk")
                    << dir + f << w << missing;
        }
    }
    void brokenFileEndsProgramNamingIt() {
        QFETCH(QString, file);
        QFETCH(int, window);
        QFETCH(bool, missing);
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
        AppFixture app;
        app.fakes.capture->next = SamplePictures::pattern(320, 240);
        setProgramDirectory(copy.path());
        try {
            window == 1 ? (void)forms().get<Formula_Start>() : (void)formOf(FormId(window));
            QFAIL(qPrintable(QStringLiteral("the window loaded without %1").arg(path)));
        } catch (const FatalError& e) {
            QCOMPARE(e.path, path);
            QVERIFY(!e.reason.isEmpty());
        }
    }
};

QTEST_MAIN(TestMissingData)
#include "tst_missing_data.moc"
