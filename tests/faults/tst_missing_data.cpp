#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "canvas/formula_start.h"
#include "layouts/data_files.h"
#include "palette/frm_option.h"
#include "settings/frm_option2.h"
#include "shell/forms.h"
#include "shell/frm_main.h"
#include "support/app_fixture.h"

// Every fixed data file, gone or damaged in turn: the window that reads it must end the program
// naming exactly that file, never start with a hole in it.
namespace {

bool copyTree(const QString& from, const QString& to) {
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString target = to + file.mid(from.size());
        if (!QDir().mkpath(QFileInfo(target).path()) || !QFile::copy(file, target)) return false;
    }
    return true;
}

// A copy of the build's data files, for a test to break.
bool copyData(const QString& to) {
    const QString build = QStringLiteral(SHATTER_BUILD_DIR);
    return copyTree(build + QStringLiteral("/Pic"), to + QStringLiteral("/Pic")) &&
           copyTree(build + QStringLiteral("/Sound"), to + QStringLiteral("/Sound"));
}

void touch(FormId window) {
    switch (window) {
        case FormId::FrmMain:
            forms().get<FrmMain>();
            break;
        case FormId::Formula_Start:
            forms().get<Formula_Start>();
            break;
        case FormId::FrmOption:
            forms().get<FrmOption>();
            break;
        case FormId::FrmOption2:
            forms().get<FrmOption2>();
            break;
        default:
            qFatal("no such window in this test");
    }
}

enum class Damage { Missing, NotAPicture };

}  // namespace

class TestMissingData : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void brokenFileEndsProgramNamingIt_data() {
        QTest::addColumn<int>("dir");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("window");
        QTest::addColumn<int>("damage");
        struct Reader {
            DataDir dir;
            QStringList files;
            FormId window;
            const char* name;
        };
        QStringList canvasPictures{DataFiles::kTitle, DataFiles::kSplinter};
        for (int n = 1; n <= 3; ++n) canvasPictures << DataFiles::glass(n);
        for (int n = 1; n <= 2; ++n) canvasPictures << DataFiles::bomb1(n);
        for (int n = 1; n <= 5; ++n) canvasPictures << DataFiles::bomb2(n);
        QStringList buttons;
        for (int n = 1; n <= FrmOption2::kNumButtons; ++n) buttons << DataFiles::sizeButton(n);
        const Reader readers[] = {
            {DataDir::Image, {DataFiles::kTitle}, FormId::FrmMain, "title"},
            {DataDir::Image, canvasPictures, FormId::Formula_Start, "canvas"},
            {DataDir::IconCursor, DataFiles::allCursors(), FormId::FrmOption, "palette"},
            {DataDir::Image, buttons, FormId::FrmOption2, "settings"},
        };
        for (const Reader& r : readers)
            for (const QString& f : r.files) {
                QTest::addRow("%s: %s missing", r.name, qPrintable(f))
                    << int(r.dir) << f << int(r.window) << int(Damage::Missing);
                QTest::addRow("%s: %s not a picture", r.name, qPrintable(f))
                    << int(r.dir) << f << int(r.window) << int(Damage::NotAPicture);
            }
    }
    void brokenFileEndsProgramNamingIt() {
        QFETCH(int, dir);
        QFETCH(QString, file);
        QFETCH(int, window);
        QFETCH(int, damage);
        QTemporaryDir copy;
        QVERIFY(copy.isValid());
        QVERIFY(copyData(copy.path()));
        AppFixture app;
        app.fakes.capture->next = QImage(320, 240, QImage::Format_RGB32);
        app.fakes.capture->next.fill(Qt::gray);
        setProgramDirectory(copy.path());
        const QString path = dataFilePath(DataDir(dir), file);
        QVERIFY2(QFileInfo::exists(path), qPrintable(path));
        if (Damage(damage) == Damage::Missing) {
            QVERIFY(QFile::remove(path));
        } else {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write("these are not the pixels you are looking for\n");
        }
        try {
            touch(FormId(window));
            QFAIL(qPrintable(QStringLiteral("the window loaded without %1").arg(path)));
        } catch (const FatalError& e) {
            QCOMPARE(e.path, path);
            QVERIFY(!e.reason.isEmpty());
        }
    }

    // The real program, started from a copy without its title picture: it must say which file
    // and stop with a failure status, not wait for someone to close a message box.
    void realProgramReportsMissingTitlePicture() {
        QTemporaryDir copy;
        QVERIFY(copy.isValid());
        QVERIFY(copyData(copy.path()));
        const QString program = copy.filePath(QStringLiteral("shatter"));
        QVERIFY(QFile::copy(QStringLiteral(SHATTER_BUILD_DIR "/shatter"), program));
        const QString title = copy.path() + QStringLiteral("/Pic/Image/") + DataFiles::kTitle;
        QVERIFY(QFile::remove(title));

        QProcess shatter;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        shatter.setProcessEnvironment(env);
        shatter.start(program, {});
        QVERIFY2(shatter.waitForStarted(10000), qPrintable(shatter.errorString()));
        if (!shatter.waitForFinished(60000)) {
            shatter.kill();
            shatter.waitForFinished();
            QFAIL("the program kept running without its title picture");
        }
        const QString err = QString::fromLocal8Bit(shatter.readAllStandardError());
        QVERIFY2(err.contains(title), qPrintable(err));
        QCOMPARE(shatter.exitStatus(), QProcess::NormalExit);
        QVERIFY2(shatter.exitCode() != 0, qPrintable(err));
    }
};

QTEST_MAIN(TestMissingData)
#include "tst_missing_data.moc"
