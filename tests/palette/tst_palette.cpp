#include <QPainter>
#include <QtTest>

#include "canvas/formula_start.h"
#include "layouts/data_files.h"
#include "palette/frm_option.h"
#include "platform/cursor_file.h"
#include "platform/picture_file.h"
#include "settings/frm_option2.h"
#include "shell/forms.h"
#include "shell/label.h"
#include "shell/picture_box.h"
#include "support/app_fixture.h"
#include "support/sample_pictures.h"

using namespace SamplePictures;

namespace {
constexpr Colour kBack = rgb(10, 20, 30);
}

// The palette and its settings window, with the program as the enter command leaves it:
// canvas and palette shown, no tool selected.
class TestPalette : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() {
        m_app = std::make_unique<AppFixture>();
        m_dir.emplace();
        m_app->fakes.capture->next = pattern(64, 48);
        canvas().showForm();
        palette().showForm();
    }
    void cleanup() {
        m_app.reset();
        m_dir.reset();
    }

    // Tools are picked by picture or caption in turn; another tool is picked first, so the
    // frame must move rather than add up.
    void selectionFramesTheToolAndSetsItsCursor_data() {
        QTest::addColumn<int>("tool");
        QTest::addColumn<QPoint>("topLeft");
        QTest::addColumn<QPoint>("bottomRight");  // x -1: follows the auto-size caption
        const QPoint corners[][2] = {{{35, 19}, {86, 86}},   {{115, 19}, {166, 86}},
                                     {{195, 19}, {246, 86}}, {{275, 19}, {326, 86}},
                                     {{35, 99}, {81, 161}},  {{115, 99}, {-1, 161}},
                                     {{195, 99}, {-1, 161}}};
        for (int n = 1; n <= 7; ++n)
            QTest::addRow("%d", n) << n << corners[n - 1][0] << corners[n - 1][1];
    }
    void selectionFramesTheToolAndSetsItsCursor() {
        QFETCH(int, tool);
        QFETCH(QPoint, topLeft);
        QFETCH(QPoint, bottomRight);
        Label* caption = palette().label(QStringLiteral("Prop%1_2").arg(tool));
        if (bottomRight.x() < 0) bottomRight.setX(caption->geometry().right() + 6);
        QTest::mouseClick(palette().picture(QStringLiteral("Prop%1_1").arg(tool == 1 ? 7 : 1)),
                          Qt::LeftButton);
        QWidget* picture = palette().picture(QStringLiteral("Prop%1_1").arg(tool));
        QTest::mouseClick(tool % 2 ? picture : static_cast<QWidget*>(caption), Qt::LeftButton);
        QCOMPARE(Formula::selectedTool(), tool);
        // A closed outline one pixel wide, nothing else, outside the controls.
        QCOMPARE(drawn(palette(), qRgb(255, 255, 255)), QRect(topLeft, bottomRight));
        QCOMPARE(m_drawnCount, 2 * (bottomRight - topLeft).manhattanLength());
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

    void onlyARightClickOnTheBackgroundHidesThePalette() {
        canvas().hideForm();
        for (Qt::MouseButton b : {Qt::LeftButton, Qt::MiddleButton, Qt::RightButton}) {
            QTest::mouseClick(palette().client(), b, {}, QPoint(5, 5));
            QCOMPARE(palette().isVisible(), b != Qt::RightButton);
            QCOMPARE(canvas().isVisible(), b == Qt::RightButton);
        }
    }

    // Only a name ending in exactly "ZEL" is read, at its own size over the background colour.
    // A picture was loaded and drawn over before, so a cancel that read it again would show.
    void loadTakesOnlyZelNames_data() {
        QTest::addColumn<std::optional<QString>>("answer");  // nullopt: cancelled
        QTest::addColumn<QSize>("size");                     // empty: nothing loads
        QTest::newRow("a.ZEL, smaller") << std::optional<QString>("a.ZEL") << QSize(30, 20);
        QTest::newRow("aZEL, larger") << std::optional<QString>("aZEL") << QSize(200, 150);
        QTest::newRow("a.zel, lower case") << std::optional<QString>("a.zel") << QSize();
        QTest::newRow("empty name accepted") << std::optional<QString>("") << QSize();
        QTest::newRow("cancelled") << std::optional<QString>() << QSize();
    }
    void loadTakesOnlyZelNames() {
        QFETCH(std::optional<QString>, answer);
        QFETCH(QSize, size);
        canvasShowing(pattern(80, 60));
        QVERIFY(writeFile(path("old.ZEL"), encode(pattern(80, 60, 3), "bmp")));
        load(path("old.ZEL"));
        canvas().loadPicture(pattern(80, 60, 8));
        QImage expected = canvas().image().image();
        const QImage picture = pattern(qMax(size.width(), 1), qMax(size.height(), 1), 77);
        if (answer && !answer->isEmpty()) {
            QVERIFY(writeFile(path(*answer), encode(picture, "bmp")));
            answer = path(*answer);
        }
        load(answer);
        QCOMPARE(m_app->fakes.messages->only(),
                 answer && size.isEmpty() ? QStringLiteral("不是ZEL圖片") : QStringLiteral("0"));
        if (!size.isEmpty()) {
            expected.fill(toQColor(kBack));
            QPainter(&expected).drawImage(0, 0, picture);
        }
        QCOMPARE(canvas().image().image(), expected);
    }

    // Saved bytes are a bitmap whatever the name says.
    void saveThenLoadIsPixelExact_data() {
        QTest::addColumn<QSize>("screen");
        QTest::newRow("1024x768") << QSize(1024, 768);
        QTest::newRow("3840x2160") << QSize(3840, 2160);
    }
    void saveThenLoadIsPixelExact() {
        QFETCH(QSize, screen);
        const QImage shot = pattern(screen.width(), screen.height(), 1);
        canvasShowing(shot);
        save(path("shot.ZEL"));
        QVERIFY(m_app->fakes.dialogs->saveRequests.at(0).confirmOverwrite);
        save(path("shot.jpg"));
        QCOMPARE(readFile(path("shot.jpg")), PictureFile::encodeBmp(shot));
        canvas().loadPicture(pattern(50, 50, 2));
        load(path("shot.ZEL"));
        QCOMPARE(m_app->fakes.messages->only(), QStringLiteral("0"));
        QVERIFY(canvas().image().image() == shot);
    }

    // Running as root, a read-only directory would still take the file: a regular file in the
    // way of the directory is what cannot be written here.
    void failureNamesFileAndKeepsEverything_data() {
        QTest::addColumn<bool>("saving");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");  // written before the command, if any
        const QByteArray bmp = encode(pattern(20, 20), "bmp");
        QTest::newRow("save under a regular file") << true << "plain.ZEL/x.ZEL" << QByteArray();
        QTest::newRow("save into missing directory") << true << "none/x.ZEL" << QByteArray();
        QTest::newRow("load a vanished file") << false << "gone.ZEL" << QByteArray();
        QTest::newRow("load a cut-off bitmap") << false << "cut.ZEL" << bmp.left(400);
        QTest::newRow("load a GIF claiming 60000 wide")
            << false << "huge.ZEL" << gif(pattern(4, 4)).replace(6, 2, QByteArray::fromHex("60ea"));
    }
    void failureNamesFileAndKeepsEverything() {
        QFETCH(bool, saving);
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        canvasShowing(pattern(40, 30));
        const QImage before = canvas().image().image();
        QVERIFY(writeFile(path("plain.ZEL"), "old picture"));
        if (!content.isEmpty()) QVERIFY(writeFile(path(name), content));
        saving ? save(path(name)) : load(path(name));
        const QString text = m_app->fakes.messages->only();
        QVERIFY2(text.contains(QDir::toNativeSeparators(path(name))), qPrintable(text));
        QCOMPARE(m_app->fakes.messages->shown[0].title, PictureFile::messageTitle());
        QCOMPARE(canvas().image().image(), before);
        QCOMPARE(readFile(path("plain.ZEL")), QByteArray("old picture"));
    }

    // Where a size button acts, its frame lies 10 pixels out at the left and top and 5 at the
    // right and bottom, and replaces the frame of the button pressed before.
    void sizeButtonActsForSelectedTool_data() {
        QTest::addColumn<int>("tool");
        QTest::addColumn<int>("k");
        QTest::addColumn<QList<int>>("after");  // pen width, circle radius, half the square
        QTest::addColumn<QRect>("frame");
        QTest::newRow("chainsaw 5") << 1 << 5 << QList<int>{5, 20, 20} << QRect(206, 134, 49, 49);
        QTest::newRow("circle 3") << 3 << 3 << QList<int>{1, 40, 20} << QRect(62, 134, 49, 49);
        QTest::newRow("square 1") << 4 << 1 << QList<int>{1, 20, 10} << QRect(94, 86, 49, 49);
        QTest::newRow("hammer: nothing") << 2 << 3 << QList<int>{1, 20, 20} << QRect();
        QTest::newRow("no tool yet: nothing") << 0 << 4 << QList<int>{1, 20, 20} << QRect();
        QTest::newRow("index 6: nothing") << 1 << 6 << QList<int>{1, 20, 20} << QRect();
    }
    void sizeButtonActsForSelectedTool() {
        QFETCH(int, tool);
        QFETCH(int, k);
        QFETCH(QList<int>, after);
        QFETCH(QRect, frame);
        if (tool) Formula::PropOn(tool) = Formula::kTrue;
        settings().showForm();
        if (!frame.isNull()) settings().Num_MouseDown(k == 2 ? 4 : 2, 1, 0, 0, 0);
        Formula::PenSize = Formula::BoxSize = 20;
        canvas().setDrawWidth(1);
        settings().Num_MouseDown(k, 1, 0, 0, 0);
        QCOMPARE(QList<int>({canvas().DrawWidth(), Formula::PenSize, Formula::BoxSize}), after);
        QCOMPARE(drawn(settings(), toQColor(settings().ForeColor()).rgb()), frame);
    }

    void stampCommand_data() {
        QTest::addColumn<QByteArray>("bytes");  // written as "stamp.jpg"; empty: the user cancels
        QTest::addColumn<QSize>("size");        // of the stamp afterwards
        QTest::addColumn<bool>("complains");
        const QImage few = pattern(21, 13).convertToFormat(QImage::Format_Indexed8);
        QTest::newRow("gif") << gif(few) << QSize(21, 13) << false;
        QTest::newRow("cancel keeps the stamp") << QByteArray() << QSize(97, 65) << false;
        QTest::newRow("not a picture keeps it") << QByteArray("MZ\x90") << QSize(97, 65) << true;
    }
    void stampCommand() {
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, size);
        QFETCH(bool, complains);
        PictureBox* stamp = canvas().PicTo();
        stamp->setPicture(pattern(97, 65, 4));
        if (!bytes.isEmpty()) QVERIFY(writeFile(path("stamp.jpg"), bytes));
        m_app->fakes.dialogs->openAnswers.push_back(
            bytes.isEmpty() ? std::nullopt : std::optional(path("stamp.jpg")));
        settings().LabOpen_MouseDown(1, 0, 0, 0);
        QCOMPARE(m_app->fakes.dialogs->openRequests.size(), size_t(1));
        QCOMPARE(stamp->picture().size(), size);
        QCOMPARE(stamp->size(), size);
        if (size == QSize(97, 65)) QCOMPARE(stamp->picture(), pattern(97, 65, 4));
        const QString text = m_app->fakes.messages->only();
        QVERIFY2(
            complains ? text.contains(QDir::toNativeSeparators(path("stamp.jpg"))) : text == "0",
            qPrintable(text));
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
    void load(const std::optional<QString>& answer) {
        m_app->fakes.dialogs->openAnswers.push_back(answer);
        palette().LoadPic_MouseDown(1, 0, 0, 0);
    }
    void save(const QString& answer) {
        m_app->fakes.dialogs->saveAnswers.push_back(answer);
        palette().SavePic_MouseDown(1, 0, 0, 0);
    }
    // The canvas showing content over the background colour, at the content's size.
    static void canvasShowing(const QImage& content) {
        canvas().setBackColor(kBack);
        canvas().image().reset(content.size(), kBack);
        canvas().loadPicture(content);
    }

    std::unique_ptr<AppFixture> m_app;
    std::optional<QTemporaryDir> m_dir;
    int m_drawnCount = 0;
};

QTEST_MAIN(TestPalette)
#include "tst_palette.moc"
