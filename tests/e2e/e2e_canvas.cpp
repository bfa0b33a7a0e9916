#include "e2e/harness.h"
#include "support/data_table.h"

using namespace e2e;
using SamplePictures::readFile;

namespace {
// Tools' selection frames in the palette's client area; that of the three-headed cannon ends
// where the font ends its auto-sized caption (those of all seven: tst_palette).
const QRect kChainsawFrame(QPoint(35, 19), QPoint(86, 86));
const QRect kHammerFrame(QPoint(115, 19), QPoint(166, 86));
const QRect kSquareFrame(QPoint(275, 19), QPoint(326, 86));
const QRect kCannonFrame(QPoint(35, 99), QPoint(81, 161));
const QString kSaveTitle = QStringLiteral("儲存圖片");

// The share of the pixels of the one-pixel outline of r that are white on the screen.
double whiteOutline(const QImage& shot, const XWindow& palette, const QRect& r) {
    int white = 0, total = 0;
    auto check = [&](int x, int y) {
        white += (shot.pixel(clientToScreen(palette, QPoint(x, y))) & 0xFFFFFFu) == 0xFFFFFFu,
            ++total;
    };
    for (int x = r.left(); x <= r.right(); ++x) check(x, r.top()), check(x, r.bottom());
    for (int y = r.top() + 1; y < r.bottom(); ++y) check(r.left(), y), check(r.right(), y);
    return double(white) / total;
}
bool setXftDpi(const QByteArray& resources) {
    QProcess xrdb;
    xrdb.start(QStringLiteral("xrdb"), {"-nocpp", resources.isEmpty() ? "-remove" : "-merge"});
    xrdb.write(resources);
    xrdb.closeWriteChannel();
    return xrdb.waitForFinished(5000) && xrdb.exitCode() == 0;
}
}  // namespace

// The canvas over the test pattern: each scenario starts with the pattern as the screen.
class E2eCanvas : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() { QVERIFY2(m_stage.showPattern(), "the test pattern did not reach the screen"); }
    void cleanup() {
        if (scale != 1) setXftDpi({});
        m_stage.end();
    }

    void canvasShowsTheScreenAsItWas() {
        const auto palette = m_stage.enterCanvas(true, QRect({}, screenSize()));
        QVERIFY2(palette, "no canvas over the screen and palette after the enter command");
        // Whatever the pattern window shows now stays hidden: the canvas has its own copy,
        // taken without the title window.
        m_stage.background->setPixmap(QPixmap());
        m_stage.background->repaint();
        syncX();
        QImage shot = screenshot();
        QCOMPARE(changes(shot, m_stage.pattern, palette->geometry).box, QRect());

        // Choosing a tool, by its name label or its picture, frames it (the frame's exact
        // shape: tst_palette).
        auto chooseTool = [&](QPoint press, const QRect& frame) {
            click(clientToScreen(*palette, press));
            moveTo(QPoint(2, 2));
            return waitUntil(
                [&] { return whiteOutline(shot = screenshot(), *palette, frame) == 1; });
        };
        QCOMPARE(whiteOutline(shot, *palette, kHammerFrame), 0.0);
        QVERIFY2(chooseTool({144, 72}, kHammerFrame), "no frame round the hammer");
        QVERIFY2(chooseTool({56, 120}, kCannonFrame), "no frame round the cannon's picture");
        QVERIFY2(chooseTool({296, 40}, kSquareFrame), "no frame round the square's picture");
        QCOMPARE(whiteOutline(shot, *palette, kHammerFrame), 0.0);  // the earlier frame went

        // A right press on a tool neither hides the palette nor changes the choice.
        click(clientToScreen(*palette, {56, 40}), 3);
        QVERIFY(m_stage.waitFor(sized(kPaletteSize), 300));
        // On its background it hides the palette; on the canvas it brings it back unchanged.
        click(clientToScreen(*palette, {340, 150}), 3);
        QVERIFY2(m_stage.waitGone(sized(kPaletteSize)), "the palette is still shown");
        click(QPoint(screenSize().width() / 5, screenSize().height() / 4), 3);
        const auto back = m_stage.waitFor(sized(kPaletteSize));
        QVERIFY2(back, "a right click on the canvas did not bring the palette back");
        QCOMPARE(back->geometry, palette->geometry);
        const auto still = waitForStillScreen();
        QVERIFY(still);
        QCOMPARE(changes(*still, m_stage.pattern, back->geometry).box, QRect());
        QCOMPARE(whiteOutline(*still, *back, kSquareFrame), 1.0);
        QCOMPARE(whiteOutline(*still, *back, kChainsawFrame), 0.0);
        QVERIFY2(m_stage.exitBy(*back, FormId::FrmOption, "LabExit"), "exit did not end it well");
    }

    void strikeUndoneRedoneAndCopied() {
        enterStrikeAndExit(m_stage, m_stage.pattern, true, {},
                           {"xclip", "-o", "-selection", "clipboard", "-t", "image/png"});
    }

    // Saved through the dialog, asked before replacing, and loaded, the canvas's picture comes
    // back as it was (where each strike lands: tst_canvas).
    void strikesSavedAndLoaded() {
        QVERIFY2(m_stage.enterCanvas(), "no canvas and palette after the enter command");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("wreck.ZEL"));
        const int w = screenSize().width(), h = screenSize().height();
        const QRect palette = m_stage.palette.geometry;

        const auto first = strike(m_stage.palette, 2, {w / 5, h / 4});
        QVERIFY2(first, "the splinters never settled");
        // Saved by a typed name: the canvas's own picture, without the palette in front of it.
        auto dialog = openDialog("SavePic", kSaveTitle);
        QVERIFY2(dialog && enterFileName(*dialog, path) && m_stage.waitGone(withId(dialog->id)),
                 "saving through the dialog failed");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path), 10000);
        const QByteArray firstBytes = readFile(path);
        const QImage file(path);
        QCOMPARE(file.size(), screenSize());
        QCOMPARE(changes(file, *first, palette).box, QRect());

        const auto second = strike(m_stage.palette, 6, {w * 7 / 8, h / 4});
        QVERIFY2(second && changes(*first, *second, palette).count > 0, "the cannon left nothing");

        // Saving over it asks first, in a box of the dialog's title; agreeing replaces it with
        // the picture of now.
        dialog = openDialog("SavePic", kSaveTitle);
        QVERIFY2(dialog && enterFileName(*dialog, path), "no save dialog the second time");
        const auto confirm = m_stage.waitFor(titled(kSaveTitle, dialog->id), 5000);
        QVERIFY2(confirm && focus(confirm->id), "saving onto a file did not ask first");
        keys("alt+y");
        QVERIFY(m_stage.waitGone(withId(confirm->id)) && m_stage.waitGone(withId(dialog->id)));
        QTRY_VERIFY_WITH_TIMEOUT(readFile(path) != firstBytes, 10000);
        QCOMPARE(changes(QImage(path), *second, palette).box, QRect());

        // Loading shows the picture of the moment of saving again.
        const auto third = strike(m_stage.palette, 6, {w * 7 / 8, h / 2});
        QVERIFY(third && !changes(*third, *second, palette).box.isEmpty());
        dialog = openDialog("LoadPic", QStringLiteral("讀取圖片"));
        QVERIFY2(dialog && enterFileName(*dialog, path) && m_stage.waitGone(withId(dialog->id)),
                 "loading through the dialog failed");
        const auto loaded = waitForStillScreen();
        QVERIFY(loaded);
        QCOMPARE(changes(*loaded, *second, palette).box, QRect());
    }

    // On a scaled screen the canvas is the desktop in device pixels, whole and crisp; the
    // windows measure their layouts times s, and a hammer's crack grows with s.
    void scaledCanvasIsTheDesktop_data() {
        // scaleFactor: empty for Xft.dpi 144 instead
        const DataTable<double, QString> row({"s", "scaleFactor"});
        row("QT_SCALE_FACTOR=2", 2.0, "2");
        row("Xft.dpi 144", 1.5, "");
    }
    void scaledCanvasIsTheDesktop() {
        const auto [s, scaleFactor] = DataTable<double, QString>::fetch();
        if (screenSize().width() < 1920) QSKIP("the scaled scenarios run on a 1920 x 1080 screen");
        scale = s;
        if (scaleFactor.isEmpty())
            QVERIFY(setXftDpi("Xft.dpi: 144\n"));
        else
            m_stage.environment.insert(QStringLiteral("QT_SCALE_FACTOR"), scaleFactor);
        const auto palette = m_stage.enterCanvas();
        QVERIFY2(palette, "no title, palette and canvas of the scaled sizes");
        // Cracked only there over the pattern: elsewhere the canvas is the desktop, pixel for
        // pixel.
        const QPoint at(screenSize().width() / 5, screenSize().height() * 8 / 10);
        const auto still = strike(*palette, 2, at);
        QVERIFY(still);
        QVERIFY(crackedOnlyThere(m_stage.pattern, *still, at, palette->geometry));
        const QRect damage = changes(*still, m_stage.pattern, palette->geometry).box;
        QVERIFY(damage.width() > 178 || damage.height() > 155);  // more than unscaled could be
        QVERIFY2(m_stage.exitBy(*palette, FormId::FrmOption, "LabExit"), "exit did not end it");
    }

  private:
    std::optional<XWindow> openDialog(const char* command, const QString& title) {
        click(controlCentre(m_stage.palette, FormId::FrmOption, command));
        return m_stage.waitFor(titled(title));
    }
    // Replaces the file-name field's text by the path and accepts. A completion list that
    // swallowed the first Return gets a second one.
    bool enterFileName(const XWindow& dialog, const QString& path) {
        if (!focus(dialog.id)) return false;
        keys("ctrl+a");
        keys(path, "type");
        keys("Return");
        if (!m_stage.waitGone(withId(dialog.id), 1500) &&
            !m_stage.waitFor(titled(kSaveTitle, dialog.id), 0))
            keys("Return");
        return true;
    }

    Stage m_stage;
};

SHATTER_E2E_MAIN(E2eCanvas)
#include "e2e_canvas.moc"
