#include <QApplication>
#include <QFileInfo>
#include <QWidget>
#include <QtTest>

#include "e2e/harness.h"
#include "layouts/layouts.h"

using e2e::Harness;
using e2e::XWindow;

namespace {
constexpr QSize kTitleOuter(309, 150);
constexpr QSize kAboutOuter(264, 185);
constexpr QPoint kFrame(3, 3);

// A control's design rectangle inside its window's client area, in pixels.
QRect controlRect(FormId window, const char* name) {
    const ControlLayout* c = findControl(layoutOf(window), QLatin1String(name));
    Q_ASSERT(c);
    return QRect(twipsToPixels(c->left), twipsToPixels(c->top), twipsToPixels(c->width),
                 twipsToPixels(c->height));
}
QRect onScreen(const XWindow& w, const QRect& inClient) {
    return inClient.translated(w.geometry.topLeft() + kFrame);
}
QPoint centreOf(const XWindow& w, FormId window, const char* name) {
    return onScreen(w, controlRect(window, name)).center();
}

QImage titlePicture() {
    return QImage(QFileInfo(QStringLiteral(SHATTER_BINARY)).absolutePath() +
                  QStringLiteral("/Pic/Image/Tittle.jpg"))
        .convertToFormat(QImage::Format_RGB32);
}

QPoint centredTopLeft(QSize outer) {
    const QSize s = Harness::screenSize();
    return QPoint((s.width() - outer.width()) / 2, (s.height() - outer.height()) / 2);
}

bool near(QPoint a, QPoint b, int slack) {
    return qAbs(a.x() - b.x()) <= slack && qAbs(a.y() - b.y()) <= slack;
}
}  // namespace

class E2eTitle : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() {
        m_h = std::make_unique<Harness>();
        m_h->moveTo(QPoint(2, 2));
    }
    void cleanup() {
        if (QTest::currentTestFailed()) m_h->saveFailureShot(QTest::currentTestFunction());
        m_h.reset();
        m_cover.reset();
    }

    void titleAppearsCentredAboveOtherWindows() {
        const auto found = startAndFindTitle();
        QVERIFY2(found, "no title window appeared");
        const XWindow title = *found;
        QVERIFY2(
            near(title.geometry.topLeft(), centredTopLeft(kTitleOuter), 1),
            qPrintable(
                QStringLiteral("title at %1,%2").arg(title.geometry.x()).arg(title.geometry.y())));
        // A normal window opened and activated later still stays beneath the title.
        m_cover = std::make_unique<QWidget>();
        m_cover->setWindowTitle(QStringLiteral("cover"));
        m_cover->setStyleSheet(QStringLiteral("background: rgb(30, 200, 60)"));
        m_cover->setGeometry(QRect(title.geometry.center() - QPoint(250, 150), QSize(500, 300)));
        m_cover->show();
        m_cover->raise();
        m_cover->activateWindow();
        QVERIFY(QTest::qWaitForWindowExposed(m_cover.get()));
        QTest::qWait(300);
        const QImage shot = m_h->screenshot(QStringLiteral("title-over-window"));
        auto isCover = [](QColor c) {
            return qAbs(c.red() - 30) < 12 && qAbs(c.green() - 200) < 12 && c.blue() < 80;
        };
        QVERIFY2(isCover(shot.pixelColor(title.geometry.topLeft() - QPoint(10, 10))),
                 "the covering window is not on the screen");
        QCOMPARE(e2e::countPixels(shot, title.geometry, isCover), 0);
        // Client area: the picture, unscaled, just inside the 3-pixel frame; the rows above
        // the command labels hold nothing else.
        const QRect picture(title.geometry.topLeft() + kFrame, QSize(303, 70));
        QVERIFY(e2e::compareRegion(shot, picture, titlePicture(), QPoint(0, 0)) > 0.97);
        const int midY = title.geometry.center().y();
        QCOMPARE(e2e::pixelAt(shot, {title.geometry.left() + 1, midY}), QRgb(0xFFFFFF));
        QVERIFY(e2e::pixelAt(shot, {title.geometry.left() + 2, midY}) != 0xFFFFFF);
    }

    void labelsTurnBlueUnderThePointer() {
        const auto found = startAndFindTitle();
        QVERIFY2(found, "no title window appeared");
        const XWindow title = *found;
        const QRect come = onScreen(title, controlRect(FormId::FrmMain, "Come"));
        const QRect quit = onScreen(title, controlRect(FormId::FrmMain, "Quit"));
        const QImage before = m_h->screenshot(QStringLiteral("labels-before"));
        const int blueBefore = e2e::countPixels(before, come, e2e::isBluish);
        const int whiteBefore = e2e::countPixels(before, come, e2e::isWhitish);
        QVERIFY2(whiteBefore > 20, "the enter label is not drawn in white");

        m_h->moveTo(come.center());
        m_h->moveTo(quit.center());  // straight from one label onto the next
        const QImage hovered = m_h->screenshot(QStringLiteral("labels-hovered"));
        for (const QRect& r : {come, quit}) {
            QVERIFY(e2e::countPixels(hovered, r, e2e::isBluish) > blueBefore + 20);
            QVERIFY(e2e::countPixels(hovered, r, e2e::isWhitish) < whiteBefore / 2);
        }

        m_h->moveTo(onScreen(title, QRect(150, 30, 1, 1)).topLeft());  // background
        QTest::qWait(100);
        const QImage after = m_h->screenshot(QStringLiteral("labels-after"));
        for (const QRect& r : {come, quit})
            QVERIFY(e2e::countPixels(after, r, e2e::isBluish) <= blueBefore + 2);
    }

    void dragOnBackgroundMovesTheTitle() {
        const auto found = startAndFindTitle();
        QVERIFY2(found, "no title window appeared");
        const XWindow title = *found;
        const QPoint grip = onScreen(title, QRect(150, 30, 1, 1)).topLeft();
        const QPoint by(-120, 70);
        m_h->drag(grip, grip + by);
        const auto moved = m_h->waitForWindow(kTitleOuter);
        QVERIFY(moved);
        QVERIFY2(near(moved->geometry.topLeft(), title.geometry.topLeft() + by, 3),
                 qPrintable(QStringLiteral("moved to %1,%2")
                                .arg(moved->geometry.x())
                                .arg(moved->geometry.y())));
        // Pressing on a label never drags (the version label is the one without a command).
        const QPoint version = centreOf(*moved, FormId::FrmMain, "Label1");
        m_h->drag(version, version + QPoint(-60, 60));
        const auto still = m_h->waitForWindow(kTitleOuter);
        QVERIFY(still);
        QCOMPARE(still->geometry.topLeft(), moved->geometry.topLeft());
    }

    void exitEndsWithStatusZero() {
        const auto found = startAndFindTitle();
        QVERIFY2(found, "no title window appeared");
        const XWindow title = *found;
        m_h->click(centreOf(title, FormId::FrmMain, "Quit"));
        const auto code = m_h->waitForExit(10000);
        QVERIFY2(code.has_value(), "the program is still running after the exit command");
        QCOMPARE(*code, 0);
    }

    void aboutWindowComesAndGoesByRightClick() {
        const auto found = startAndFindTitle();
        QVERIFY2(found, "no title window appeared");
        XWindow title = *found;
        // Somewhere else than the centre, so "where it was" means something.
        const QPoint grip = onScreen(title, QRect(150, 30, 1, 1)).topLeft();
        m_h->drag(grip, grip + QPoint(150, -100));
        title = *m_h->waitForWindow(kTitleOuter);

        m_h->click(centreOf(title, FormId::FrmMain, "About"));
        const auto about = m_h->waitForWindow(kAboutOuter);
        QVERIFY2(about, "no About window");
        QVERIFY(m_h->waitForNoWindow(kTitleOuter));
        QVERIFY(near(about->geometry.topLeft(), centredTopLeft(kAboutOuter), 1));

        const QRect mail = onScreen(*about, controlRect(FormId::FrmAbout, "Label3"));
        m_h->moveTo(mail.center());
        const QImage hovered = m_h->screenshot(QStringLiteral("about-link-hovered"));
        QVERIFY(e2e::countPixels(hovered, mail, e2e::isMagentaish) > 10);
        const QRect name = onScreen(*about, controlRect(FormId::FrmAbout, "Label1"));
        QVERIFY(e2e::countPixels(hovered, name, [](QColor c) {
                    return c.green() > 170 && c.red() < 90 && c.blue() < 90;
                }) > 20);

        // Right-clicking a label leaves the window; the bare background closes it.
        m_h->click(onScreen(*about, controlRect(FormId::FrmAbout, "Label1")).center(), 3);
        QVERIFY(m_h->waitForWindow(kAboutOuter, 500));
        m_h->click(onScreen(*about, QRect(10, 170, 1, 1)).topLeft(), 3);
        QVERIFY(m_h->waitForNoWindow(kAboutOuter));
        const auto back = m_h->waitForWindow(kTitleOuter);
        QVERIFY2(back, "the title window did not come back");
        QVERIFY(near(back->geometry.topLeft(), title.geometry.topLeft(), 1));
        QVERIFY(m_h->property(back->id, "_NET_WM_STATE").contains("_NET_WM_STATE_ABOVE"));
        m_h->screenshot(QStringLiteral("title-back"));
    }

    void minimisedTitleCanBeRestored() {
        const auto found = startAndFindTitle();
        QVERIFY2(found, "no title window appeared");
        const XWindow title = *found;
        m_h->click(centreOf(title, FormId::FrmMain, "MostS"));
        QVERIFY(m_h->waitForNoWindow(kTitleOuter));
        // Iconified as an ordinary window, which a task list can offer back to the user.
        QString iconic;
        QTRY_VERIFY_WITH_TIMEOUT(!(iconic = iconicWindow()).isEmpty(), 5000);
        QVERIFY(m_h->property(iconic, "_NET_WM_WINDOW_TYPE").contains("NORMAL"));
        m_h->activate(iconic);
        // Restored as the title again: a utility window without a task-list entry, on top.
        std::optional<XWindow> back;
        QTRY_VERIFY_WITH_TIMEOUT(
            (back = m_h->waitForWindow(kTitleOuter, 200)) &&
                m_h->property(back->id, "_NET_WM_WINDOW_TYPE").contains("UTILITY"),
            5000);
        QVERIFY(m_h->property(back->id, "_NET_WM_STATE").contains("_NET_WM_STATE_ABOVE"));
        QVERIFY(near(back->geometry.topLeft(), title.geometry.topLeft(), 1));
        // Still fully working: the exit command ends it.
        m_h->click(centreOf(*back, FormId::FrmMain, "Quit"));
        QCOMPARE(m_h->waitForExit(10000).value_or(-99), 0);
    }

    void missingTitlePictureIsReported() {
        const QString dir = m_h->copyProgram();
        QVERIFY(!dir.isEmpty());
        const QString missing = dir + QStringLiteral("/Pic/Image/Tittle.jpg");
        QVERIFY(QFile::remove(missing));
        QVERIFY(m_h->startShatter());
        // The message box is the program's only window; confirm it.
        QString box;
        QTRY_VERIFY_WITH_TIMEOUT(!m_h->windows().empty(), 10000);
        box = m_h->windows().front().id;
        m_h->screenshot(QStringLiteral("missing-picture"));
        m_h->key(box, QStringLiteral("Return"));
        const auto code = m_h->waitForExit(10000);
        QVERIFY2(code.has_value(), "the program did not end");
        QVERIFY(*code != 0);
        const QString err = m_h->errorOutput();
        QVERIFY2(err.contains(missing), qPrintable(err));
        QVERIFY2(err.contains(QStringLiteral("not found")), qPrintable(err));
    }

  private:
    std::optional<XWindow> startAndFindTitle() {
        if (!m_h->startShatter()) return std::nullopt;
        const auto title = m_h->waitForWindow(kTitleOuter);
        QTest::qWait(200);  // first paint
        return title;
    }
    QString iconicWindow() const {
        for (const QString& id : m_h->allWindowIds())
            if (m_h->property(id, "WM_STATE").contains(QLatin1String("Iconic"))) return id;
        return {};
    }

    std::unique_ptr<Harness> m_h;
    std::unique_ptr<QWidget> m_cover;
};

SHATTER_E2E_MAIN(E2eTitle)
#include "e2e_title.moc"
