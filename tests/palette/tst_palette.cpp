#include <sys/mount.h>
#include <QPainter>
#include <QtTest>
#include <cerrno>
#include <cstring>

#include "platform/files/cursor_file.h"
#include "platform/files/picture_file.h"
#include "shell/label.h"
#include "shell/picture_box.h"
#include "support/app_fixture.h"
#include "support/data_table.h"
#include "support/sample_pictures.h"

using namespace SamplePictures;

namespace {
constexpr Colour kBack = rgb(10, 20, 30);
using Selections = DataTable<int, QRect, QList<int>, QString>;
using FileRows = DataTable<char, std::optional<QString>, QByteArray, QString>;
using SizeRows = DataTable<int, int, QList<int>, QRect>;
}  // namespace

// The palette and its settings window, with the program as the enter command leaves it:
// canvas and palette shown, no tool selected.
class TestPalette : public AppTest {
    Q_OBJECT
  private Q_SLOTS:
    void init() {
        AppTest::init();
        m_dir.emplace();
        m_app->fakes.capture->next = pattern(64, 48);
        canvas().showForm();
        palette().showForm();
    }
    void cleanup() {
        AppTest::cleanup();
        m_dir.reset();
    }

    // Tools are picked by picture or caption in turn, over another tool's frame and state:
    // the frame moves, the tool's state is reset over what was left (7, 0x123456, 99, 98, 1, 2,
    // 3), the tool's cursor goes to all three windows and its sound plays.
    void selectionFramesResetsAndSetsTheCursor_data() {
        // state: pen width, colour, PenSize, BoxSize, aim, mode
        const Selections row({"tool", "frame", "state", "sound"});
        const QList<int> kept{7, 0x123456, 99, 98, 1, 2, 3};
        row("1", 1, {{35, 19}, QPoint{86, 86}}, {1, 0, 20, 98, 1, 2, 3}, "Prop1_1.wav/9");
        row("2", 2, {{115, 19}, QPoint{166, 86}}, kept, "No.wav/1");
        row("3", 3, {{195, 19}, QPoint{246, 86}}, {1, 0, 20, 98, 1, 2, 3}, "No.wav/1");
        row("4", 4, {{275, 19}, QPoint{326, 86}}, {1, 0, 99, 10, 1, 2, 3}, "No.wav/1");
        row("5", 5, {{35, 99}, QPoint{81, 161}}, {11, 0, 99, 98, -80, -50, 0}, "No.wav/1");
        row("6", 6, {{115, 99}, QPoint{160, 161}}, kept, "No.wav/1");
        row("7", 7, {{195, 99}, QPoint{240, 161}}, kept, "No.wav/1");
    }
    void selectionFramesResetsAndSetsTheCursor() {
        const auto [tool, frame, state, sound] = Selections::fetch();
        using namespace Formula;
        QTest::mouseClick(palette().picture(QStringLiteral("Prop%1_1").arg(tool == 1 ? 7 : 1)),
                          Qt::LeftButton);
        canvas().setDrawWidth(7);
        canvas().setForeColor(0x123456);
        PenSize = 99, BoxSize = 98, CannonX = 1, CannonY = 2, CannonMode = 3;
        m_app->fakes.sound->calls.clear();
        const QString name = QStringLiteral("Prop%1_%2").arg(tool).arg(tool % 2 ? 1 : 2);
        QTest::mouseClick(palette().findChild<QWidget*>(name), Qt::LeftButton);  // picture, caption
        QCOMPARE(Formula::selectedTool(), tool);
        // A closed outline one pixel wide, nothing else, outside the controls.
        QCOMPARE(drawn(palette(), qRgb(255, 255, 255)), frame);
        QCOMPARE(m_drawnCount, 2 * (frame.width() + frame.height() - 2));
        QList<int> after{canvas().DrawWidth(), int(canvas().ForeColor()), PenSize, BoxSize};
        after << CannonX << CannonY << CannonMode;
        QCOMPARE(after, state);
        QCOMPARE(m_app->fakes.sound->calls, QStringList{sound});
        // The tool's cursor on all three windows; the settings window was loaded hidden.
        const CursorFileResult file =
            readCursorFile(dataFilePath(DataDir::IconCursor, DataFiles::toolCursor(tool)));
        QVERIFY(!settings().isVisible());
        for (Form* f : std::initializer_list<Form*>{&palette(), &settings(), &canvas()}) {
            const QCursor c = f->client()->cursor();
            QCOMPARE(c.pixmap().toImage().convertToFormat(QImage::Format_ARGB32), file.image);
            QCOMPARE(c.hotSpot(), file.hotSpot);
        }
    }

    // Only a left double-click opens the settings window, set up for the tool: the circle and
    // square take a colour, the stamp a file and the rest sizes. Other buttons, and tools
    // without settings, leave it closed and the palette shown.
    void doubleClickSetsUpTheSettingsWindow_data() {
        const DataTable<int, Qt::MouseButton> row({"tool", "button"});
        for (int n = 1; n <= Formula::kToolCount; ++n)
            for (Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton})
                row(qPrintable(QStringLiteral("%1 button %2").arg(n).arg(int(b))), n, b);
    }
    void doubleClickSetsUpTheSettingsWindow() {
        const auto [tool, button] = DataTable<int, Qt::MouseButton>::fetch();
        const bool opens = button == Qt::LeftButton && QList<int>{1, 3, 4, 7}.contains(tool);
        for (const char* part : {"_1", "_2"}) {
            QWidget* w =
                palette().findChild<QWidget*>(QStringLiteral("Prop%1%2").arg(tool).arg(part));
            QTest::mouseDClick(w, button);
            QCOMPARE(settings().isVisible(), opens);
            QCOMPARE(palette().isVisible(), !opens);
            if (!opens) continue;
            QCOMPARE(settings().label("LabColor")->isVisible(), tool == 3 || tool == 4);
            QCOMPARE(settings().label("LabOpen")->isVisible(), tool == 7);
            for (int k = 1; k <= 5; ++k)
                QCOMPARE(settings().picture("Num", k)->isVisible(), tool != 7);
            settings().hideForm();
            palette().showForm();
        }
    }

    // Exit: canvas, No.wav, settings window, palette with No.wav once more; then the end.
    void exitUnloadsInOrderWithTwoNoSounds() {
        QTest::mouseClick(palette().picture("Prop2_1"), Qt::LeftButton);
        m_app->fakes.sound->calls.clear();
        QStringList order;
        m_app->fakes.sound->onPlay = [&order] {
            order << QStringLiteral("%1%2%3")
                         .arg(forms().isLoaded(FormId::Formula_Start))
                         .arg(forms().isLoaded(FormId::FrmOption2))
                         .arg(forms().isLoaded(FormId::FrmOption));
        };
        QTest::mouseClick(palette().label("LabExit"), Qt::RightButton);
        QVERIFY(order.isEmpty());
        QTest::mouseClick(palette().label("LabExit"), Qt::LeftButton);
        QCOMPARE(order, (QStringList{"011", "001"}));
        QCOMPARE(m_app->fakes.sound->calls, (QStringList{"No.wav/1", "No.wav/1"}));
        QCOMPARE(forms().loadedCount(), 0);
        QCOMPARE(m_app->programEnds, 1);
    }

    // The colour dialog preselects nothing, not even the colour accepted before.
    void colourDialogPreselectsNothing() {
        QTest::mouseDClick(palette().picture("Prop3_1"), Qt::LeftButton);
        FakeDialogs& d = *m_app->fakes.dialogs;
        d.colorAnswers = {QColor(Qt::red), std::nullopt};
        for (int i = 0; i < 2; ++i) settings().LabColor_MouseDown(1, 0, 0, 0);
        QCOMPARE(d.colorRequests.size(), size_t(2));
        for (const auto& [title, initial] : d.colorRequests) {
            QCOMPARE(title, "選取顏色");
            QVERIFY(!initial.isValid());
        }
        QCOMPARE(canvas().ForeColor(), Colour(0x0000FF));  // the cancel keeps the accepted red
    }

    // Hovering a command lights it in the window's colour; the background turns all white.
    void hoverColoursAndTheirReset_data() {
        const DataTable<FormId, QStringList, QList<Colour>> row({"window", "labels", "hover"});
        const Colour red = 0x0000FF, blue = 0xFF0000, yellow = 0x00FFFF, magenta = 0xFF00FF;
        row("title", FormId::FrmMain, {"Come", "Quit", "About", "MostS"}, {blue, blue, blue, blue});
        row("palette", FormId::FrmOption, {"LabExit", "SavePic", "LoadPic"}, {red, red, red});
        row("settings", FormId::FrmOption2, {"LabColor", "LabOpen", "LabTrue"},
            {yellow, red, yellow});
        row("about", FormId::FrmAbout, {"Label3", "Label4"}, {magenta, magenta});
    }
    void hoverColoursAndTheirReset() {
        const auto [window, labels, hover] = DataTable<FormId, QStringList, QList<Colour>>::fetch();
        Form* w = &formOf(window);
        for (int i = 0; i < labels.size(); ++i) {
            Q_EMIT w->label(labels[i])->mouseMove(0, 0, 1, 1);
            for (int j = 0; j < labels.size(); ++j)
                QCOMPARE(w->label(labels[j])->foreColor(), j == i ? hover[i] : Colour(0xFFFFFF));
            w->Form_MouseMove(0, 0, 1, 1);
            QCOMPARE(w->label(labels[i])->foreColor(), Colour(0xFFFFFF));
        }
    }

    void onlyARightClickOnTheBackgroundHidesThePalette() {
        canvas().hideForm();
        for (Qt::MouseButton b : {Qt::LeftButton, Qt::MiddleButton, Qt::RightButton}) {
            QTest::mouseClick(palette().client(), b, {}, QPoint(5, 5));
            QCOMPARE(palette().isVisible(), b != Qt::RightButton);
            QCOMPARE(canvas().isVisible(), b == Qt::RightButton);
        }
    }

    // Only a name ending in exactly "ZEL" is read, at its own size over the background colour;
    // the stamp takes any picture whatever its name. A file that cannot be read or written is
    // named and changes nothing: neither the canvas nor the stamp. A picture was loaded and
    // drawn over before, so a cancel that read it again would show.
    void fileCommands_data() {
        // command: S(ave), L(oad) or T, the stamp's; name: nullopt when cancelled; content:
        // written there before, if any; message: "path" for one naming the file
        using N = std::optional<QString>;
        const FileRows row({"command", "name", "content", "message"});
        const QByteArray bmp = encode(pattern(20, 20), "bmp");
        row("a.ZEL, smaller", 'L', "a.ZEL", encode(pattern(30, 20, 7), "bmp"), "");
        row("aZEL, larger", 'L', "aZEL", encode(pattern(200, 150), "bmp"), "");
        row("a.zel, lower case", 'L', "a.zel", bmp, "不是ZEL圖片");
        row("empty name accepted", 'L', "", {}, "不是ZEL圖片");
        row("cancelled", 'L', N(), {}, "");
        row("save as .jpg: a bitmap all the same", 'S', "shot.jpg", {}, "");
        row("save into missing directory", 'S', "none/x.ZEL", {}, "path");
        row("load a cut-off bitmap", 'L', "cut.ZEL", bmp.left(400), "path");
        row("stamp 21x13 from a GIF named .jpg", 'T', "stamp.jpg", gif(pattern(21, 13)), "");
        row("stamp cancelled", 'T', N(), {}, "");
        row("stamp not a picture", 'T', "stamp.jpg", "MZ\x90", "path");
    }
    void fileCommands() {
        auto [command, name, content, message] = FileRows::fetch();
        canvasShowing(pattern(80, 60));
        QVERIFY(writeFile(path("old.ZEL"), encode(pattern(80, 60, 3), "bmp")));
        m_app->load(path("old.ZEL"));
        canvas().loadPicture(pattern(80, 60, 8));
        QImage expected = canvas().image().image();
        canvas().PicTo()->setPicture(pattern(97, 65, 4));
        if (name && !name->isEmpty()) name = path(*name);
        if (!content.isEmpty()) QVERIFY(writeFile(*name, content));
        if (command == 'S') m_app->save(name);
        if (command == 'L') m_app->load(name);
        if (command == 'T') m_app->fakes.dialogs->openAnswers.push_back(name);
        if (command == 'T') settings().LabOpen_MouseDown(1, 0, 0, 0);
        const QString text = m_app->fakes.messages->only();
        if (message == "path") {
            QVERIFY2(text.contains(QDir::toNativeSeparators(*name)), qPrintable(text));
            QCOMPARE(m_app->fakes.messages->shown[0].title, PictureFile::messageTitle());
        } else {
            QCOMPARE(text, message.isEmpty() ? "0" : message);
        }
        const bool taken = name && message.isEmpty();
        if (taken && command == 'L') {
            expected.fill(toQColor(kBack));
            QPainter(&expected).drawImage(0, 0, QImage::fromData(content));
        }
        if (taken && command == 'S') {  // replacing a file is asked about first
            QVERIFY(m_app->fakes.dialogs->saveRequests.back().confirmOverwrite);
            QCOMPARE(readFile(*name), PictureFile::encodeBmp(expected));
        }
        QCOMPARE(canvas().image().image(), expected);
        const PictureBox& stamp = *canvas().PicTo();
        QCOMPARE(stamp.size(), taken && command == 'T' ? QSize(21, 13) : QSize(97, 65));
        QCOMPARE(stamp.picture().size(), stamp.size());
        if (stamp.size() == QSize(97, 65)) QCOMPARE(stamp.picture(), pattern(97, 65, 4));
    }

    // The keys run the commands on the palette, the settings window and the canvas, not on the
    // title window; a load is one action, taken back and done again whole (Ctrl+Shift+Z and
    // Ctrl+C: e2e_canvas).
    void keys() {
        canvasShowing(pattern(80, 60));
        const QImage& now = canvas().image().image();
        const QImage shown = now.copy(), loaded = pattern(80, 60, 5);
        QVERIFY(writeFile(path("a.ZEL"), encode(loaded, "bmp")));
        m_app->fakes.dialogs->openAnswers.push_back(path("a.ZEL"));
        const auto press = [](Form& window, Qt::Key key) {
            QTest::keyClick(&window, key, Qt::ControlModifier);
        };
        press(canvas(), Qt::Key_O);
        QCOMPARE(now, loaded);
        press(settings(), Qt::Key_Z);
        QCOMPARE(now, shown);
        press(formOf(FormId::FrmMain), Qt::Key_Y);
        QCOMPARE(now, shown);
        press(canvas(), Qt::Key_Y);
        m_app->fakes.dialogs->saveAnswers.push_back(path("k.ZEL"));
        press(palette(), Qt::Key_S);
        QCOMPARE(readFile(path("k.ZEL")), PictureFile::encodeBmp(loaded));
    }

    // Saving onto a real file system that cannot take the picture: a tiny one that fills up and
    // one mounted read-only. The user must be told why, and the picture saved before must
    // still be there, byte for byte.
    void failedSaveKeepsEarlierPicture_data() {
        // why: the system's reason, in the user's language
        const DataTable<bool, QString> row({"readOnly", "why"});
        row("full", false, "磁碟空間不足");
        row("read-only", true, "檔案系統是唯讀的");
    }
    void failedSaveKeepsEarlierPicture() {
        const auto [readOnly, why] = DataTable<bool, QString>::fetch();
        // A small memory file system for this test alone, over its own directory.
        const QByteArray dir = QFile::encodeName(m_dir->path());
        if (::mount("tmpfs", dir, "tmpfs", MS_NOSUID | MS_NODEV, "size=256k") != 0)
            QSKIP(qPrintable(QStringLiteral("no small tmpfs here: ") + std::strerror(errno)));
        const auto unmount = qScopeGuard([&] { ::umount2(dir, MNT_DETACH); });
        // A 640 × 480 canvas is a 900 kB bitmap: far more than the 256 kB file system holds.
        canvasShowing(pattern(640, 480, 3));
        const QString name = path(QStringLiteral("last week.ZEL"));
        const QByteArray earlier = encode(pattern(60, 40, 9), "bmp");
        QVERIFY(writeFile(name, earlier));
        if (readOnly && ::mount(nullptr, dir, nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0)
            QSKIP(qPrintable(QStringLiteral("cannot remount read-only: ") + std::strerror(errno)));
        m_app->save(name);
        // Every failed save names the file in the same words, as fileCommands checks.
        const QString text = m_app->fakes.messages->only();
        QVERIFY2(text.contains(why), qPrintable(text));
        QCOMPARE(readFile(name), earlier);
        // No half-written or temporary file is left beside it.
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList{"last week.ZEL"});
    }

    // Where a size button acts, its frame lies 10 pixels out at the left and top and 5 at the
    // right and bottom, and replaces the frame of the button pressed before.
    void sizeButtonActsForSelectedTool_data() {
        // after: pen width, circle radius, half the square
        const SizeRows row({"tool", "k", "after", "frame"});
        row("chainsaw 5", 1, 5, {5, 20, 20}, {206, 134, 49, 49});
        row("circle 3", 3, 3, {1, 40, 20}, {62, 134, 49, 49});
        row("square 1", 4, 1, {1, 20, 10}, {94, 86, 49, 49});
        row("hammer: nothing", 2, 3, {1, 20, 20}, {});
        row("no tool yet: nothing", 0, 4, {1, 20, 20}, {});
        row("index 6: nothing", 1, 6, {1, 20, 20}, {});
    }
    void sizeButtonActsForSelectedTool() {
        const auto [tool, k, after, frame] = SizeRows::fetch();
        if (tool) Formula::PropOn(tool) = Formula::kTrue;
        settings().showForm();
        if (!frame.isNull()) settings().Num_MouseDown(k == 2 ? 4 : 2, 1, 0, 0, 0);
        Formula::PenSize = Formula::BoxSize = 20;
        canvas().setDrawWidth(1);
        settings().Num_MouseDown(k, 1, 0, 0, 0);
        QCOMPARE(QList<int>({canvas().DrawWidth(), Formula::PenSize, Formula::BoxSize}), after);
        QCOMPARE(drawn(settings(), toQColor(settings().ForeColor()).rgb()), frame);
    }

  private:
    static FrmOption& palette() { return forms().get<FrmOption>(); }
    static FrmOption2& settings() { return forms().get<FrmOption2>(); }
    static Formula_Start& canvas() { return forms().get<Formula_Start>(); }
    // The bounds of what the window itself drew in the colour, its controls left out.
    QRect drawn(Form& w, QRgb colour) {
        QImage shot(w.client()->size(), QImage::Format_RGB32);
        w.client()->render(&shot, QPoint(), QRegion(), QWidget::DrawWindowBackground);
        QRect bounds;
        m_drawnCount = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                if (shot.pixel(x, y) == colour) bounds |= QRect(x, y, 1, 1), ++m_drawnCount;
        return bounds;
    }
    QString path(const QString& name) const { return m_dir->filePath(name); }
    // The canvas showing content over the background colour, at the content's size.
    static void canvasShowing(const QImage& content) {
        canvas().setBackColor(kBack);
        canvas().image().reset(content.size(), kBack);
        canvas().loadPicture(content);
    }

    std::optional<QTemporaryDir> m_dir;
    int m_drawnCount = 0;
};

QTEST_MAIN(TestPalette)
#include "tst_palette.moc"
