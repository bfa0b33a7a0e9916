#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

#include "e2e/harness.h"
#include "e2e/harness_canvas.h"

using e2e::Harness;
using e2e::XWindow;

namespace {
constexpr int kSplintersGoneQuietMs = 1500;
const QString kSaveTitle = QStringLiteral("儲存圖片");
const QString kLoadTitle = QStringLiteral("讀取圖片");

QByteArray contentsOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString where(const QRect& r) {
    return QStringLiteral("(%1,%2) %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}
}  // namespace

class E2ePictures : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() {
        m_h = std::make_unique<Harness>();
        m_h->moveTo(QPoint(2, 2));
        m_pattern = e2e::testPattern(Harness::screenSize());
        m_patternWindow = e2e::showPicture(m_pattern);
        QVERIFY2(m_patternWindow, "the test pattern did not reach the screen");
        const auto palette = e2e::enterCanvas(*m_h);
        QVERIFY2(palette, "no canvas and palette after the enter command");
        m_palette = *palette;
    }
    void cleanup() {
        if (QTest::currentTestFailed()) m_h->reportFailure(QTest::currentTestFunction());
        m_h.reset();
        m_patternWindow.reset();
    }

    void savedWreckComesBack() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("wreck.ZEL"));
        const QSize screen = Harness::screenSize();

        const auto saved = strike(2, QPoint(screen.width() / 5, screen.height() / 4));
        QVERIFY(saved);
        QVERIFY(!e2e::changedBox(*saved, m_pattern, m_palette.geometry).isEmpty());
        auto dialog = openDialog("SavePic", kSaveTitle);
        QVERIFY2(dialog, "no save dialog");
        QVERIFY(enterFileName(*dialog, path));
        QVERIFY2(waitForGone(dialog->id), "the save dialog stays open");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path), 10000);
        const QByteArray written = contentsOf(path);
        QVERIFY(written.startsWith("BM"));
        // The canvas's own picture: the palette in front of it is not part of it.
        const QImage file = QImage::fromData(written).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(file.size(), screen);
        QVERIFY(e2e::changedBox(file, *saved, m_palette.geometry).isEmpty());
        QCOMPARE(e2e::changedCount(file, m_pattern, m_palette.geometry), 0);

        const auto later = strike(6, QPoint(screen.width() * 7 / 8, screen.height() / 4));
        QVERIFY(later);
        QVERIFY(!e2e::changedBox(*later, *saved, m_palette.geometry).isEmpty());

        dialog = openDialog("LoadPic", kLoadTitle);
        QVERIFY2(dialog, "no load dialog");
        QVERIFY(enterFileName(*dialog, path));
        QVERIFY2(waitForGone(dialog->id), "the load dialog stays open");
        const auto loaded = e2e::waitForStillScreen(*m_h);
        QVERIFY(loaded);
        m_h->screenshot(QStringLiteral("loaded"));
        const QRect diff = e2e::changedBox(*loaded, *saved, m_palette.geometry);
        QVERIFY2(diff.isEmpty(),
                 qPrintable(QStringLiteral("loaded picture differs in ") + where(diff)));
    }

    void savingOverAFileAsksFirst() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("wreck.ZEL"));
        const QSize screen = Harness::screenSize();
        QVERIFY(strike(6, QPoint(screen.width() / 5, screen.height() / 4)));
        auto dialog = openDialog("SavePic", kSaveTitle);
        QVERIFY2(dialog, "no save dialog");
        QVERIFY(enterFileName(*dialog, path));
        QVERIFY(waitForGone(dialog->id));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path), 10000);
        const QByteArray first = contentsOf(path);

        const auto now = strike(6, QPoint(screen.width() * 7 / 8, screen.height() / 4));
        QVERIFY(now);
        dialog = openDialog("SavePic", kSaveTitle);
        QVERIFY2(dialog, "no save dialog the second time");
        // Refusing leaves the file and the dialog as they were.
        auto confirm = askToReplace(*dialog, path);
        QVERIFY2(confirm, "saving onto an existing file did not ask first");
        m_h->screenshot(QStringLiteral("replace-question"));
        QVERIFY(e2e::focusWindow(*m_h, confirm->id));
        e2e::sendKeys(QStringLiteral("Escape"));
        QVERIFY(waitForGone(confirm->id));
        QVERIFY2(m_h->waitForWindow(dialog->geometry.size(), 1000), "the save dialog closed");
        QCOMPARE(contentsOf(path), first);
        // Agreeing replaces it with the picture of now.
        confirm = askToReplace(*dialog, path);
        QVERIFY2(confirm, "no question the second time");
        QVERIFY(e2e::focusWindow(*m_h, confirm->id));
        e2e::sendKeys(QStringLiteral("alt+y"));
        QVERIFY(waitForGone(confirm->id));
        QVERIFY(waitForGone(dialog->id));
        QTRY_VERIFY_WITH_TIMEOUT(contentsOf(path) != first, 10000);
        const QImage file =
            QImage::fromData(contentsOf(path)).convertToFormat(QImage::Format_RGB32);
        QVERIFY(e2e::changedBox(file, *now, m_palette.geometry).isEmpty());
    }

  private:
    // Selects tool n, strikes at the point and returns the settled screen.
    std::optional<QImage> strike(int n, QPoint at) {
        const QByteArray name = QStringLiteral("Prop%1_1").arg(n).toLatin1();
        m_h->click(e2e::controlCentre(m_palette, FormId::FrmOption, name.constData()));
        m_h->click(at);
        m_h->moveTo(QPoint(2, 2));
        return e2e::waitForStillScreen(*m_h, 20000, kSplintersGoneQuietMs);
    }

    std::optional<XWindow> openDialog(const char* command, const QString& title) {
        m_h->click(e2e::controlCentre(m_palette, FormId::FrmOption, command));
        return e2e::waitForTitledWindow(*m_h, title);
    }

    // Replaces the file-name field's text by the path and accepts. A completion list that
    // swallowed the first Return gets a second one.
    bool enterFileName(const XWindow& dialog, const QString& path) {
        if (!e2e::focusWindow(*m_h, dialog.id)) return false;
        e2e::sendKeys(QStringLiteral("ctrl+a"));
        e2e::typeText(path);
        e2e::sendKeys(QStringLiteral("Return"));
        if (waitForGone(dialog.id, 1500) || otherTitled(dialog)) return true;
        e2e::sendKeys(QStringLiteral("Return"));
        return true;
    }

    std::optional<XWindow> askToReplace(const XWindow& dialog, const QString& path) {
        if (!enterFileName(dialog, path)) return std::nullopt;
        return e2e::waitForTitledWindow(*m_h, kSaveTitle, 5000, dialog.id);
    }

    std::optional<XWindow> otherTitled(const XWindow& dialog) const {
        return e2e::waitForTitledWindow(*m_h, kSaveTitle, 0, dialog.id);
    }

    bool waitForGone(const QString& id, int timeoutMs = 10000) const {
        QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            bool seen = false;
            for (const XWindow& w : m_h->windows()) seen = seen || w.id == id;
            if (!seen) return true;
            QTest::qWait(50);
        }
        return false;
    }

    std::unique_ptr<Harness> m_h;
    QImage m_pattern;
    std::unique_ptr<QWidget> m_patternWindow;
    XWindow m_palette;
};

SHATTER_E2E_MAIN(E2ePictures)
#include "e2e_pictures.moc"
