#include <QTemporaryDir>
#include <QtTest>

#include "about/frm_about.h"
#include "layouts/data_files.h"
#include "shell/forms.h"
#include "shell/frm_main.h"
#include "shell/label.h"
#include "support/app_fixture.h"
#include "support/mouse_events.h"

namespace {
constexpr Colour kWhite = 0xFFFFFF;
constexpr Colour kMagenta = 0xFF00FF;

// The title window has to load for the round trip; a stand-in picture if the build has none.
void ensureTitlePicture(QTemporaryDir& spare) {
    if (QFileInfo::exists(dataFilePath(DataDir::Image, DataFiles::kTitle))) return;
    QDir(spare.path()).mkpath(QStringLiteral("Pic/Image"));
    setProgramDirectory(spare.path());
    QImage stand(303, 144, QImage::Format_RGB32);
    stand.fill(Qt::darkBlue);
    stand.save(dataFilePath(DataDir::Image, DataFiles::kTitle), "BMP");
}
}  // namespace

class TestFrmAbout : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() {
        m_app = std::make_unique<AppFixture>();
        ensureTitlePicture(m_spare);
    }
    void cleanup() { m_app.reset(); }

    void showsNameAuthorVersionAndLinks() {
        FrmAbout& a = about();
        QCOMPARE(a.label("Label1")->caption(), QStringLiteral("Shatter"));
        QVERIFY(a.label("Label2")->caption().startsWith(QStringLiteral("作者:")));
        QCOMPARE(a.label("Label5")->caption(), QStringLiteral("v1.1"));
        QVERIFY(a.label("Label3")->caption().startsWith(QStringLiteral("E-mail:")));
        QVERIFY(a.label("Label4")->caption().startsWith(QStringLiteral("Homepage:")));
        QCOMPARE(a.unitsPerPixel(), 15.0);
        QCOMPARE(a.size(), QSize(264, 185));
    }

    void everyLineShowsWholeInside_data() {
        QTest::addColumn<QString>("name");
        for (const char* l : {"Label1", "Label2", "Label3", "Label4", "Label5"})
            QTest::newRow(l) << l;
    }
    void everyLineShowsWholeInside() {
        QFETCH(QString, name);
        FrmAbout& a = about();
        const Label* l = a.label(name);
        QVERIFY2(a.client()->rect().contains(l->geometry()),
                 qPrintable(QStringLiteral("%1 at %2,%3 %4x%5")
                                .arg(name)
                                .arg(l->x())
                                .arg(l->y())
                                .arg(l->width())
                                .arg(l->height())));
        QVERIFY(l->width() >= l->sizeHint().width());  // not cut off inside the label either
    }

    // Which presses close the window: only the right button on the bare background.
    void closesOnlyOnRightClickOfBackground_data() {
        QTest::addColumn<QString>("on");
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("closes");
        QTest::newRow("right on background") << "bg" << int(Qt::RightButton) << true;
        QTest::newRow("left on background") << "bg" << int(Qt::LeftButton) << false;
        QTest::newRow("middle on background") << "bg" << int(Qt::MiddleButton) << false;
        for (const char* l : {"Label1", "Label2", "Label3", "Label4", "Label5"})
            QTest::newRow(qPrintable(QStringLiteral("right on %1").arg(l)))
                << l << int(Qt::RightButton) << false;
        QTest::newRow("middle on Label3") << "Label3" << int(Qt::MiddleButton) << false;
        QTest::newRow("middle on Label4") << "Label4" << int(Qt::MiddleButton) << false;
    }
    void closesOnlyOnRightClickOfBackground() {
        QFETCH(QString, on);
        QFETCH(int, button);
        QFETCH(bool, closes);
        FrmMain& title = openFromTitle();
        FrmAbout& a = *forms().ifLoaded<FrmAbout>();
        QWidget* target = on == "bg" ? a.client() : static_cast<QWidget*>(a.label(on));
        sendPress(target, Qt::MouseButton(button), {3, 3});
        QCOMPARE(forms().isLoaded(FormId::FrmAbout), !closes);
        QCOMPARE(title.isVisible(), closes);
        QVERIFY(m_app->fakes.shell->opened.empty());  // a right-click on a link opens nothing
        QCOMPARE(m_app->programEnds, 0);
    }

    void roundTripBringsTitleBackAndAFreshAbout() {
        FrmMain& title = forms().get<FrmMain>();
        title.showForm();
        title.move(140, 90);
        sendPress(title.label("About"), Qt::LeftButton);
        FrmAbout* first = forms().ifLoaded<FrmAbout>();
        QVERIFY(first);
        sendMove(first->label("Label3"), Qt::NoButton);
        first->move(10, 10);
        sendPress(first->client(), Qt::RightButton, {5, 5});
        QVERIFY(title.isVisible());
        QCOMPARE(title.pos(), QPoint(140, 90));
        QVERIFY(title.windowFlags() & Qt::WindowStaysOnTopHint);
        flushDeletes();

        sendPress(title.label("About"), Qt::LeftButton);
        FrmAbout* second = forms().ifLoaded<FrmAbout>();
        QVERIFY(second && second->isVisible());
        QCOMPARE(second->label("Label3")->foreColor(), kWhite);
        QVERIFY(second->pos() != QPoint(10, 10));  // centred again, not where the old one was
        QVERIFY(!title.isVisible());
        QCOMPARE(m_app->programEnds, 0);
    }

    void linkHoverLastsUntilBackground_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("magenta");
        QTest::newRow("mail") << QStringList{"Label3"} << QStringList{"Label3"};
        QTest::newRow("both stay")
            << QStringList{"Label3", "Label4"} << QStringList{"Label3", "Label4"};
        QTest::newRow("off a link onto a plain label")
            << QStringList{"Label4", "Label2", "Label1"} << QStringList{"Label4"};
        QTest::newRow("background resets")
            << QStringList{"Label3", "Label4", "bg"} << QStringList{};
    }
    void linkHoverLastsUntilBackground() {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, magenta);
        FrmAbout& a = about();
        for (const QString& s : steps)
            sendMove(s == "bg" ? a.client() : static_cast<QWidget*>(a.label(s)), Qt::NoButton);
        for (const char* l : {"Label3", "Label4"})
            QCOMPARE(a.label(l)->foreColor(), magenta.contains(l) ? kMagenta : kWhite);
        QCOMPARE(a.label("Label2")->foreColor(), kWhite);
        QCOMPARE(a.label("Label1")->foreColor(), rgb(0, 255, 0));
    }

    void dragsWithLeftAloneOnBackground_data() {
        QTest::addColumn<int>("held");
        QTest::addColumn<bool>("moves");
        QTest::newRow("left") << int(Qt::LeftButton) << true;
        QTest::newRow("right") << int(Qt::RightButton) << false;
        QTest::newRow("left and middle") << int(Qt::LeftButton | Qt::MiddleButton) << false;
    }
    void dragsWithLeftAloneOnBackground() {
        QFETCH(int, held);
        QFETCH(bool, moves);
        FrmAbout& a = about();
        a.showForm();
        const QPoint before = a.pos();
        QCursor::setPos(a.client()->mapToGlobal(QPoint(4, 4)));
        sendMove(a.client(), Qt::MouseButtons(held), {4, 4});
        sendMove(a.client(), Qt::MouseButtons(held), {44, 14});
        QCOMPARE(a.pos(), moves ? before + QPoint(40, 10) : before);
    }

    void linksOpenThroughTheDesktop_data() {
        QTest::addColumn<QString>("link");
        QTest::addColumn<bool>("handled");
        QTest::addColumn<QUrl>("url");
        const QUrl mail(QStringLiteral("mailto:") + QStringLiteral(SHATTER_MAIL));
        const QUrl home(QStringLiteral(SHATTER_HOMEPAGE));
        QTest::newRow("mail opens") << "Label3" << true << mail;
        QTest::newRow("home page opens") << "Label4" << true << home;
        QTest::newRow("no mail program") << "Label3" << false << mail;
        QTest::newRow("no browser") << "Label4" << false << home;
    }
    void linksOpenThroughTheDesktop() {
        QFETCH(QString, link);
        QFETCH(bool, handled);
        QFETCH(QUrl, url);
        m_app->fakes.shell->succeed = handled;
        FrmAbout& a = about();
        a.showForm();
        sendPress(a.label(link), Qt::LeftButton);
        QCOMPARE(m_app->fakes.shell->opened.size(), size_t(1));
        QCOMPARE(m_app->fakes.shell->opened.front(), url);
        const auto& shown = m_app->fakes.messages->shown;
        QCOMPARE(shown.size(), size_t(handled ? 0 : 1));
        if (!handled) {
            QCOMPARE(shown.front().title, QStringLiteral("Shatter"));
            QVERIFY2(shown.front().text.contains(url.toString()), qPrintable(shown.front().text));
            QVERIFY(shown.front().text.contains(QStringLiteral("no program")));
        }
        QVERIFY(a.isVisible());  // the About window stays either way
    }

  private:
    FrmAbout& about() { return forms().get<FrmAbout>(); }
    FrmMain& openFromTitle() {
        FrmMain& title = forms().get<FrmMain>();
        title.showForm();
        sendPress(title.label("About"), Qt::LeftButton);
        return title;
    }

    std::unique_ptr<AppFixture> m_app;
    QTemporaryDir m_spare;
};

QTEST_MAIN(TestFrmAbout)
#include "tst_frm_about.moc"
