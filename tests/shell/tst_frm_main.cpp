#include <QTemporaryDir>
#include <QtTest>

#include "about/frm_about.h"
#include "canvas/formula_start.h"
#include "layouts/data_files.h"
#include "palette/frm_option.h"
#include "shell/forms.h"
#include "shell/frm_main.h"
#include "shell/label.h"
#include "support/app_fixture.h"
#include "support/mouse_events.h"

namespace {
constexpr Colour kWhite = 0xFFFFFF;
constexpr Colour kBlue = 0xFF0000;
const QStringList kCommands{"Come", "Quit", "About", "MostS"};

// The title picture: the generated one when the build has it, else a stand-in of its size.
QImage titlePicture(QTemporaryDir& spare) {
    if (!QFileInfo::exists(dataFilePath(DataDir::Image, DataFiles::kTitle))) {
        QDir(spare.path()).mkpath(QStringLiteral("Pic/Image"));
        QImage stand(303, 144, QImage::Format_RGB32);
        stand.fill(QColor(30, 90, 160));
        for (int y = 0; y < 144; ++y) stand.setPixelColor(y * 2, y, Qt::yellow);
        setProgramDirectory(spare.path());
        stand.save(dataFilePath(DataDir::Image, DataFiles::kTitle), "BMP");
    }
    return loadFixedPicture(DataFiles::kTitle);
}
}  // namespace

class TestFrmMain : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() {
        m_app = std::make_unique<AppFixture>();
        m_picture = titlePicture(m_spare);
    }
    void cleanup() { m_app.reset(); }

    void loadsOnTopWithItsPicture() {
        FrmMain& f = title();
        QVERIFY(f.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(f.windowFlags().testFlag(Qt::Tool));
        // Top-left corner, away from every label: the picture, drawn unscaled.
        const QImage shown = f.client()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown.size(), QSize(303, 144));
        for (QPoint p : {QPoint(0, 0), QPoint(20, 10), QPoint(150, 40), QPoint(300, 5)})
            QCOMPARE(shown.pixel(p), m_picture.pixel(p));
    }

    void missingPictureNamesTheFile() {
        QTemporaryDir empty;
        setProgramDirectory(empty.path());
        try {
            forms().get<FrmMain>();
            QFAIL("the title loaded without its picture");
        } catch (const FatalError& e) {
            QCOMPARE(e.path, empty.path() + QStringLiteral("/Pic/Image/Tittle.jpg"));
        }
        forms().reset();
    }

    // Each step is a label name or "bg" for the window's background.
    void hover_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("blue");
        QTest::newRow("one label") << QStringList{"Quit"} << QStringList{"Quit"};
        QTest::newRow("label to label stays blue")
            << QStringList{"Come", "Quit", "About"} << QStringList{"Come", "Quit", "About"};
        QTest::newRow("background resets all")
            << QStringList{"Come", "Quit", "About", "MostS", "bg"} << QStringList{};
        QTest::newRow("reset then one")
            << QStringList{"Come", "bg", "MostS"} << QStringList{"MostS"};
        QTest::newRow("version label is inert") << QStringList{"Label1"} << QStringList{};
        QTest::newRow("background with right button resets too")
            << QStringList{"About", "bg-right"} << QStringList{};
    }
    void hover() {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, blue);
        FrmMain& f = title();
        for (const QString& s : steps) {
            if (s.startsWith(QLatin1String("bg")))
                sendMove(f.client(), s == "bg" ? Qt::NoButton : Qt::RightButton, {150, 40});
            else
                sendMove(f.label(s), Qt::NoButton);
        }
        for (const QString& name : kCommands)
            QCOMPARE(f.label(name)->foreColor(), blue.contains(name) ? kBlue : kWhite);
        QCOMPARE(f.label("Label1")->foreColor(), rgb(0, 255, 0));
    }

    void dragsOnlyWithLeftAloneOnBackground_data() {
        QTest::addColumn<QString>("over");
        QTest::addColumn<int>("held");
        QTest::addColumn<bool>("moves");
        QTest::newRow("left on background") << "bg" << int(Qt::LeftButton) << true;
        QTest::newRow("right on background") << "bg" << int(Qt::RightButton) << false;
        QTest::newRow("left and right") << "bg" << int(Qt::LeftButton | Qt::RightButton) << false;
        QTest::newRow("no button") << "bg" << int(Qt::NoButton) << false;
        QTest::newRow("left on a label") << "Come" << int(Qt::LeftButton) << false;
    }
    void dragsOnlyWithLeftAloneOnBackground() {
        QFETCH(QString, over);
        QFETCH(int, held);
        QFETCH(bool, moves);
        FrmMain& f = title();
        f.showForm();
        const QPoint before = f.pos();
        QWidget* target = over == "bg" ? f.client() : static_cast<QWidget*>(f.label(over));
        QCursor::setPos(target->mapToGlobal(QPoint(5, 5)));
        sendMove(target, Qt::MouseButtons(held), {5, 5});
        sendMove(target, Qt::MouseButtons(held), {35, 25});
        QCOMPARE(f.pos(), moves ? before + QPoint(30, 20) : before);
    }

    void otherButtonsDoNothing_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("button");
        for (const QString& c : kCommands) {
            QTest::newRow(qPrintable(c + " right")) << c << int(Qt::RightButton);
            QTest::newRow(qPrintable(c + " middle")) << c << int(Qt::MiddleButton);
        }
        QTest::newRow("background left") << "bg" << int(Qt::LeftButton);
        QTest::newRow("background right") << "bg" << int(Qt::RightButton);
    }
    void otherButtonsDoNothing() {
        QFETCH(QString, command);
        QFETCH(int, button);
        FrmMain& f = title();
        f.showForm();
        QWidget* target = command == "bg" ? f.client() : static_cast<QWidget*>(f.label(command));
        sendPress(target, Qt::MouseButton(button));
        QCOMPARE(forms().loadedCount(), 1);
        QVERIFY(forms().isLoaded(FormId::FrmMain));
        QVERIFY(f.isVisible());
        QVERIFY(!f.isMinimized());
        QVERIFY(m_app->fakes.sound->calls.empty());
        QCOMPARE(m_app->programEnds, 0);
    }

    void enterReplacesTitleByCanvasAndPalette() {
        m_app->fakes.capture->next = QImage(640, 480, QImage::Format_RGB32);
        m_app->fakes.capture->next.fill(Qt::darkCyan);
        FrmMain& f = title();
        f.showForm();
        sendPress(f.label("Come"), Qt::LeftButton);
        QVERIFY(!forms().isLoaded(FormId::FrmMain));
        QVERIFY(!f.isVisible());
        auto* canvas = forms().ifLoaded<Formula_Start>();
        auto* palette = forms().ifLoaded<FrmOption>();
        QVERIFY(canvas && canvas->isVisible());
        QVERIFY(palette && palette->isVisible());
        // Unloading the title must not count as the last window going away.
        QCOMPARE(m_app->programEnds, 0);
        flushDeletes();
        QVERIFY(forms().isLoaded(FormId::Formula_Start));
    }

    void exitPlaysNoSoundAndEndsOnce() {
        FrmMain& f = title();
        f.showForm();
        sendPress(f.label("Quit"), Qt::LeftButton);
        QCOMPARE(m_app->fakes.sound->files(), QStringList{"No.wav"});
        QCOMPARE(m_app->fakes.sound->calls.front().flags, 1);
        QCOMPARE(m_app->programEnds, 1);
        QVERIFY(!forms().isLoaded(FormId::FrmMain));
        QVERIFY(!f.isVisible());
        flushDeletes();
        QCOMPARE(forms().loadedCount(), 0);
        QCOMPARE(m_app->programEnds, 1);
    }

    void aboutHidesTitleAndShowsAbout() {
        FrmMain& f = title();
        f.showForm();
        sendPress(f.label("About"), Qt::LeftButton);
        QVERIFY(forms().isLoaded(FormId::FrmMain));
        QVERIFY(!f.isVisible());
        auto* about = forms().ifLoaded<FrmAbout>();
        QVERIFY(about && about->isVisible());
        QCOMPARE(m_app->programEnds, 0);
    }

    void minimisedTitleCanBeRestored() {
        FrmMain& f = title();
        f.showForm();
        f.move(111, 77);
        sendPress(f.label("MostS"), Qt::LeftButton);
        QVERIFY(f.isMinimized());
        // While minimised it is an ordinary window, so the desktop lists it.
        QVERIFY(!f.windowFlags().testFlag(Qt::Tool));
        QVERIFY(f.windowFlags() & Qt::WindowStaysOnTopHint);
        f.showNormal();  // what the desktop does when the user picks it
        QTRY_VERIFY(f.windowFlags().testFlag(Qt::Tool));
        QVERIFY(f.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(f.isVisible());
        QVERIFY(!f.isMinimized());
        QCOMPARE(f.pos(), QPoint(111, 77));
        // And it can be minimised again.
        sendPress(f.label("MostS"), Qt::LeftButton);
        QVERIFY(f.isMinimized());
        QVERIFY(forms().isLoaded(FormId::FrmMain));
    }

  private:
    FrmMain& title() { return forms().get<FrmMain>(); }

    std::unique_ptr<AppFixture> m_app;
    QTemporaryDir m_spare;
    QImage m_picture;
};

QTEST_MAIN(TestFrmMain)
#include "tst_frm_main.moc"
