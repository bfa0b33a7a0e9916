#include "palette/palette_fixture.h"
#include "palette/select_tool.h"
#include "shell/formula.h"

using namespace Formula;
using Fx = PaletteFixture;

namespace {
constexpr Colour kRed = 0x0000FF, kWhite = 0xFFFFFF;
const QStringList kCommands{QStringLiteral("LabExit"), QStringLiteral("SavePic"),
                            QStringLiteral("LoadPic")};
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
        QCOMPARE(Fx::palette().ForeColor(), kWhite);
        // No frame yet: the first frame's corner is still background.
        QCOMPARE(Fx::shown(Fx::palette()).pixel(35, 19), qRgb(0, 0, 0));
    }

    void badCursorAtLoadEndsTheProgram_data() {
        QTest::addColumn<int>("tool");
        QTest::addColumn<int>("keep");  // bytes left of the file; -1 removes it
        QTest::newRow("first missing") << 1 << -1;
        QTest::newRow("last missing") << 7 << -1;
        QTest::newRow("one cut short") << 4 << 100;
    }
    void badCursorAtLoadEndsTheProgram() {
        QFETCH(int, tool);
        QFETCH(int, keep);
        QTemporaryDir dir;
        useStandInCursors(dir);
        const QString path = dataFilePath(DataDir::IconCursor, DataFiles::toolCursor(tool));
        QVERIFY(QFile::remove(path));
        if (keep >= 0)
            QVERIFY(CursorBytes::writeFile(
                path, CursorBytes::cursor(CursorBytes::sample(1), {}).left(keep)));
        try {
            forms().get<FrmOption>();
            QFAIL("the palette loaded without its cursor");
        } catch (const FatalError& e) {
            QCOMPARE(e.path, path);
        }
    }

    // The palette reads every cursor when it loads; selections later need no file.
    void selectionsNeedNoFileAfterLoad() {
        QTemporaryDir dir;
        useStandInCursors(dir);
        forms().get<FrmOption>();
        QVERIFY(QDir(dir.filePath(QStringLiteral("Pic"))).removeRecursively());
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

    void doubleClickOpensSettingsForToolsThatHaveThem_data() {
        QTest::addColumn<int>("tool");
        QTest::addColumn<bool>("onCaption");
        QTest::addColumn<int>("before");       // opened first, so every visibility has to be set
        QTest::addColumn<QString>("heading");  // empty: the settings window stays closed
        QTest::addColumn<QString>("shown");    // c colour, o open, s sizes
        const auto row = [](const char* name, int n, bool caption, int before, const char* h,
                            const char* shown) {
            QTest::newRow(name) << n << caption << before << QString::fromUtf8(h)
                                << QString::fromLatin1(shown);
        };
        row("chainsaw picture", 1, false, 7, "鋸痕粗", "s");
        row("chainsaw caption", 1, true, 3, "鋸痕粗", "s");
        row("circle picture", 3, false, 7, "圓大小", "cs");
        row("circle caption", 3, true, 1, "圓大小", "cs");
        row("square picture", 4, false, 7, "方形大小", "cs");
        row("square caption", 4, true, 1, "方形大小", "cs");
        row("stamp picture", 7, false, 3, "圖章路徑", "o");
        row("stamp caption", 7, true, 4, "圖章路徑", "o");
        for (int n : {2, 5, 6}) {
            QTest::addRow("no settings: picture %d", n) << n << false << 0 << QString() << "";
            QTest::addRow("no settings: caption %d", n) << n << true << 0 << QString() << "";
        }
    }
    void doubleClickOpensSettingsForToolsThatHaveThem() {
        QFETCH(int, tool);
        QFETCH(bool, onCaption);
        QFETCH(int, before);
        QFETCH(QString, heading);
        QFETCH(QString, shown);
        if (before) {
            Fx::doubleClick(Fx::toolControl(before, false));
            Fx::settings().hideForm();
            Fx::palette().showForm();
        }
        Fx::canvas().setForeColor(kRed);  // as if a colour had been chosen
        Fx::doubleClick(Fx::toolControl(tool, onCaption));
        QCOMPARE(selectedTool(), tool);  // the first press of the double-click selected it
        const bool opens = !heading.isEmpty();
        FrmOption2& s = Fx::settings();
        QCOMPARE(s.isVisible(), opens);
        QCOMPARE(Fx::palette().isVisible(), !opens);
        if (!opens) return;
        if (tool != 7) QCOMPARE(Fx::canvas().ForeColor(), Colour(0));
        QCOMPARE(s.label(QStringLiteral("LabTittle"))->caption(), heading);
        QCOMPARE(s.label(QStringLiteral("LabColor"))->isVisible(), shown.contains('c'));
        QCOMPARE(s.label(QStringLiteral("LabOpen"))->isVisible(), shown.contains('o'));
        QVERIFY(s.label(QStringLiteral("LabTrue"))->isVisible());
        for (int k = 1; k <= 5; ++k)
            QCOMPARE(s.picture(QStringLiteral("Num"), k)->isVisible(), shown.contains('s'));
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
    }

    void commandsLightUpUnderThePointer_data() {
        QTest::addColumn<QString>("command");
        for (const QString& c : kCommands) QTest::newRow(qPrintable(c)) << c;
    }
    void commandsLightUpUnderThePointer() {
        QFETCH(QString, command);
        FrmOption& p = Fx::palette();
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
        QTest::addColumn<QString>("settings");  // never, hidden or shown
        QTest::addColumn<int>("button");
        QTest::newRow("settings never loaded") << "never" << int(Qt::LeftButton);
        QTest::newRow("settings loaded hidden") << "hidden" << int(Qt::LeftButton);
        QTest::newRow("settings shown") << "shown" << int(Qt::LeftButton);
        QTest::newRow("right button does nothing") << "hidden" << int(Qt::RightButton);
    }
    void exitEndsTheProgram() {
        QFETCH(QString, settings);
        QFETCH(int, button);
        if (settings != QLatin1String("never")) SelectTool(1);
        if (settings == QLatin1String("shown")) Fx::settings().showForm();
        FakeSound& sound = *m_fx->app.fakes.sound;
        sound.calls.clear();
        const int loaded = forms().loadedCount();

        QTest::mouseClick(Fx::palette().label(QStringLiteral("LabExit")), Qt::MouseButton(button));
        const bool exits = button == Qt::LeftButton;
        QCOMPARE(sound.files(), exits ? QStringList({"No.wav", "No.wav"}) : QStringList());
        QCOMPARE(forms().loadedCount(), exits ? 0 : loaded);
        flushDeletes();
        QCOMPARE(m_fx->app.programEnds, exits ? 1 : 0);
    }

    // Closed by the window manager: only the palette goes; a fresh one has no frame but the
    // selection stays.
    void closingThePaletteAloneKeepsTheCanvas() {
        SelectTool(4);
        Fx::palette().close();
        QCOMPARE(m_fx->app.fakes.sound->files().last(), QStringLiteral("No.wav"));
        QVERIFY(!forms().isLoaded(FormId::FrmOption));
        QCOMPARE(m_fx->app.programEnds, 0);
        flushDeletes();
        QCOMPARE(Fx::shown(Fx::palette()).pixel(275, 19), qRgb(0, 0, 0));
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
