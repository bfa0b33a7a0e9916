#include "palette/palette_fixture.h"
#include "palette/select_tool.h"
#include "shell/formula.h"

using namespace Formula;
using Fx = PaletteFixture;

namespace {
constexpr Colour kRed = 0x0000FF, kWhite = 0xFFFFFF;
const QStringList kCommands{QStringLiteral("LabExit"), QStringLiteral("SavePic"),
                            QStringLiteral("LoadPic")};

QStringList soundsSince(const FakeSound& s, size_t from) {
    QStringList out;
    for (size_t i = from; i < s.calls.size(); ++i) out << s.calls[i].file;
    return out;
}
}  // namespace

class TestPalette : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() { m_fx = std::make_unique<PaletteFixture>(); }
    void cleanup() { m_fx.reset(); }

    void loadShowsEachToolByItsCursor_data() {
        QTest::addColumn<int>("tool");
        for (int n = 1; n <= kToolCount; ++n) QTest::addRow("tool %d", n) << n;
    }
    void loadShowsEachToolByItsCursor() {
        QFETCH(int, tool);
        const CursorFileResult file = Fx::cursorFile(tool);
        QVERIFY2(file.ok(), qPrintable(file.error));
        const QImage shown =
            Fx::toolPicture(tool)->picture().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(shown.size(), QSize(33, 33));
        QCOMPARE(shown.copy(QRect(QPoint(0, 0), file.image.size())), file.image);
        QCOMPARE(qAlpha(shown.pixel(32, 32)), 0);
        FrmOption& p = Fx::palette();
        QCOMPARE(p.backColor(), Colour(0));
        QCOMPARE(p.ForeColor(), kWhite);
    }

    void noFrameBeforeTheFirstSelection() {
        const QImage img = Fx::shown(Fx::palette());
        for (QPoint corner : {QPoint(35, 19), QPoint(86, 86), QPoint(195, 99), QPoint(326, 86)})
            QCOMPARE(img.pixel(corner), qRgb(0, 0, 0));
        QCOMPARE(selectedTool(), 0);
    }

    void badCursorAtLoadEndsTheProgram_data() {
        QTest::addColumn<int>("tool");
        QTest::addColumn<bool>("missing");  // otherwise cut short
        QTest::newRow("first missing") << 1 << true;
        QTest::newRow("last missing") << 7 << true;
        QTest::newRow("one cut short") << 4 << false;
    }
    void badCursorAtLoadEndsTheProgram() {
        QFETCH(int, tool);
        QFETCH(bool, missing);
        QTemporaryDir dir;
        useStandInCursors(dir);
        const QString path = dataFilePath(DataDir::IconCursor, DataFiles::toolCursor(tool));
        if (missing)
            QVERIFY(QFile::remove(path));
        else
            QVERIFY(CursorBytes::writeFile(
                path, CursorBytes::cursor(CursorBytes::sample(tool), QPoint(0, 0)).left(100)));
        try {
            forms().get<FrmOption>();
            QFAIL("the palette loaded without its cursor");
        } catch (const FatalError& e) {
            QCOMPARE(e.path, path);
            QVERIFY(!e.reason.isEmpty());
        }
    }

    // The palette reads every cursor when it loads; selections later need no file.
    void selectionsNeedNoFileAfterLoad() {
        QTemporaryDir dir;
        useStandInCursors(dir);
        forms().get<FrmOption>().showForm();
        QVERIFY(QDir(dir.path() + QLatin1Char('/') + dataDirName(DataDir::IconCursor))
                    .removeRecursively());
        for (int n = 1; n <= kToolCount; ++n) {
            SelectTool(n);
            QCOMPARE(Fx::canvas().mouseIcon().hotSpot(), CursorBytes::standInHotSpot(n));
        }
    }

    void pressOnAToolSelectsIt_data() {
        QTest::addColumn<int>("tool");
        QTest::addColumn<bool>("onCaption");
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("selected");
        for (int n = 1; n <= kToolCount; ++n) {
            QTest::addRow("picture %d", n) << n << false << int(Qt::LeftButton) << n;
            QTest::addRow("caption %d", n) << n << true << int(Qt::LeftButton) << n;
        }
        QTest::newRow("right on a picture") << 3 << false << int(Qt::RightButton) << 0;
        QTest::newRow("right on a caption") << 6 << true << int(Qt::RightButton) << 0;
        QTest::newRow("middle on a picture") << 5 << false << int(Qt::MiddleButton) << 0;
    }
    void pressOnAToolSelectsIt() {
        QFETCH(int, tool);
        QFETCH(bool, onCaption);
        QFETCH(int, button);
        QFETCH(int, selected);
        QTest::mouseClick(Fx::toolControl(tool, onCaption), Qt::MouseButton(button));
        QCOMPARE(selectedTool(), selected);
        QVERIFY(Fx::palette().isVisible());  // only the background's right-click hides it
    }

    void doubleClickOpensTheSettingsForTheTool_data() {
        QTest::addColumn<int>("tool");
        QTest::addColumn<bool>("onCaption");
        QTest::addColumn<int>("before");  // opened first, so every visibility has to be set
        QTest::addColumn<QString>("heading");
        QTest::addColumn<bool>("colour");
        QTest::addColumn<bool>("open");
        QTest::addColumn<bool>("sizes");
        const auto row = [](const char* name, int n, bool caption, int before, const char* h,
                            bool colour, bool open, bool sizes) {
            QTest::newRow(name) << n << caption << before << QString::fromUtf8(h) << colour << open
                                << sizes;
        };
        row("chainsaw picture", 1, false, 7, "鋸痕粗", false, false, true);
        row("chainsaw caption", 1, true, 3, "鋸痕粗", false, false, true);
        row("circle picture", 3, false, 7, "圓大小", true, false, true);
        row("circle caption", 3, true, 1, "圓大小", true, false, true);
        row("square picture", 4, false, 7, "方形大小", true, false, true);
        row("square caption", 4, true, 1, "方形大小", true, false, true);
        row("stamp picture", 7, false, 3, "圖章路徑", false, true, false);
        row("stamp caption", 7, true, 4, "圖章路徑", false, true, false);
    }
    void doubleClickOpensTheSettingsForTheTool() {
        QFETCH(int, tool);
        QFETCH(bool, onCaption);
        QFETCH(int, before);
        QFETCH(QString, heading);
        QFETCH(bool, colour);
        QFETCH(bool, open);
        QFETCH(bool, sizes);
        Fx::doubleClick(Fx::toolControl(before, false));
        Fx::settings().hideForm();
        Fx::palette().showForm();
        Fx::canvas().setForeColor(kRed);  // as if a colour had been chosen

        Fx::doubleClick(Fx::toolControl(tool, onCaption));
        FrmOption2& s = Fx::settings();
        QVERIFY(s.isVisible());
        QVERIFY(!Fx::palette().isVisible());
        QCOMPARE(selectedTool(), tool);  // the first press of the double-click selected it
        if (tool != 7) QCOMPARE(Fx::canvas().ForeColor(), Colour(0));
        QCOMPARE(s.label(QStringLiteral("LabTittle"))->caption(), heading);
        QCOMPARE(s.label(QStringLiteral("LabColor"))->isVisible(), colour);
        QCOMPARE(s.label(QStringLiteral("LabOpen"))->isVisible(), open);
        QVERIFY(s.label(QStringLiteral("LabTrue"))->isVisible());
        for (int k = 1; k <= 5; ++k)
            QCOMPARE(s.picture(QStringLiteral("Num"), k)->isVisible(), sizes);
    }

    void doubleClickOnToolsWithoutSettingsOnlySelects_data() {
        QTest::addColumn<int>("tool");
        QTest::addColumn<bool>("onCaption");
        QTest::newRow("hammer picture") << 2 << false;
        QTest::newRow("hammer caption") << 2 << true;
        QTest::newRow("three-headed cannon picture") << 5 << false;
        QTest::newRow("three-headed cannon caption") << 5 << true;
        QTest::newRow("giant cannon picture") << 6 << false;
        QTest::newRow("giant cannon caption") << 6 << true;
    }
    void doubleClickOnToolsWithoutSettingsOnlySelects() {
        QFETCH(int, tool);
        QFETCH(bool, onCaption);
        Fx::doubleClick(Fx::toolControl(tool, onCaption));
        QCOMPARE(selectedTool(), tool);
        QVERIFY(Fx::palette().isVisible());
        QVERIFY(!Fx::settings().isVisible());
    }

    void pressOnTheBackground_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("hides");
        QTest::newRow("right hides the palette") << int(Qt::RightButton) << true;
        QTest::newRow("left does not") << int(Qt::LeftButton) << false;
        QTest::newRow("middle does not") << int(Qt::MiddleButton) << false;
    }
    void pressOnTheBackground() {
        QFETCH(int, button);
        QFETCH(bool, hides);
        Fx::canvas().hideForm();
        QTest::mouseClick(Fx::palette().client(), Qt::MouseButton(button), {}, Fx::kBackground);
        QCOMPARE(Fx::palette().isVisible(), !hides);
        QCOMPARE(Fx::canvas().isVisible(), hides);
        QVERIFY(forms().isLoaded(FormId::FrmOption));
    }

    void commandsLightUpUnderThePointer_data() {
        QTest::addColumn<QString>("command");
        for (const QString& c : kCommands) QTest::newRow(qPrintable(c)) << c;
    }
    void commandsLightUpUnderThePointer() {
        QFETCH(QString, command);
        FrmOption& p = Fx::palette();
        for (const QString& c : kCommands) QCOMPARE(p.label(c)->foreColor(), kWhite);
        Fx::moveOver(p.label(command));
        for (const QString& c : kCommands)
            QCOMPARE(p.label(c)->foreColor(), c == command ? kRed : kWhite);
        // Straight onto a tool: the command stays lit until the background is reached.
        Fx::moveOver(Fx::toolCaption(2));
        QCOMPARE(p.label(command)->foreColor(), kRed);
        Fx::moveOver(p.client());
        QCOMPARE(p.label(command)->foreColor(), kWhite);
        // Dragging over the background resets them too.
        Fx::moveOver(p.label(command));
        Fx::moveOver(p.client(), Qt::LeftButton);
        QCOMPARE(p.label(command)->foreColor(), kWhite);
    }

    void exitEndsTheProgram_data() {
        QTest::addColumn<QString>("settings");  // "never", "hidden", "shown"
        QTest::newRow("settings never loaded") << "never";
        QTest::newRow("settings loaded hidden") << "hidden";
        QTest::newRow("settings shown") << "shown";
    }
    void exitEndsTheProgram() {
        QFETCH(QString, settings);
        if (settings != QLatin1String("never")) SelectTool(1);
        if (settings == QLatin1String("shown")) Fx::settings().showForm();
        QCOMPARE(forms().isLoaded(FormId::FrmOption2), settings != QLatin1String("never"));
        const FakeSound& sound = *m_fx->app.fakes.sound;
        const size_t from = sound.calls.size();

        QTest::mouseClick(Fx::palette().label(QStringLiteral("LabExit")), Qt::LeftButton);
        QCOMPARE(soundsSince(sound, from), QStringList({"No.wav", "No.wav"}));
        QCOMPARE(forms().loadedCount(), 0);
        QCOMPARE(m_fx->app.programEnds, 1);
        flushDeletes();
        QCOMPARE(m_fx->app.programEnds, 1);
    }

    void exitIgnoresOtherButtons_data() {
        QTest::addColumn<int>("button");
        QTest::newRow("right") << int(Qt::RightButton);
        QTest::newRow("middle") << int(Qt::MiddleButton);
    }
    void exitIgnoresOtherButtons() {
        QFETCH(int, button);
        QTest::mouseClick(Fx::palette().label(QStringLiteral("LabExit")), Qt::MouseButton(button));
        QVERIFY(forms().isLoaded(FormId::FrmOption));
        QVERIFY(forms().isLoaded(FormId::Formula_Start));
        QVERIFY(m_fx->app.fakes.sound->calls.empty());
        QCOMPARE(m_fx->app.programEnds, 0);
    }

    // Closed by the window manager: only the palette goes; a fresh one has no frame but the
    // selection stays.
    void closingThePaletteAloneKeepsTheCanvas() {
        SelectTool(4);
        Fx::palette().close();
        QCOMPARE(m_fx->app.fakes.sound->files().last(), QStringLiteral("No.wav"));
        QVERIFY(!forms().isLoaded(FormId::FrmOption));
        QVERIFY(forms().isLoaded(FormId::Formula_Start));
        QCOMPARE(m_fx->app.programEnds, 0);
        flushDeletes();
        const QImage img = Fx::shown(Fx::palette());
        QCOMPARE(img.pixel(275, 19), qRgb(0, 0, 0));
        QCOMPARE(selectedTool(), 4);
    }

  private:
    // Cursors from dir instead of the build's; the other windows are loaded first so they
    // still find their own files.
    static void useStandInCursors(QTemporaryDir& dir) {
        Fx::settings();
        Fx::canvas();
        forms().unload(FormId::FrmOption);
        flushDeletes();
        QVERIFY(CursorBytes::writeToolCursors(dir.path()));
        setProgramDirectory(dir.path());
    }

    std::unique_ptr<PaletteFixture> m_fx;
};

QTEST_MAIN(TestPalette)
#include "tst_palette.moc"
