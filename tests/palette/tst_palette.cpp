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

class TestPalette : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    // The program as the enter command leaves it: canvas and palette shown, no tool selected.
    void init() {
        m_app = std::make_unique<AppFixture>();
        m_dir.emplace();
        m_app->fakes.capture->next = QImage(640, 480, QImage::Format_RGB32);
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
        QTest::newRow("1") << 1 << QPoint(35, 19) << QPoint(86, 86);
        QTest::newRow("2") << 2 << QPoint(115, 19) << QPoint(166, 86);
        QTest::newRow("3") << 3 << QPoint(195, 19) << QPoint(246, 86);
        QTest::newRow("4") << 4 << QPoint(275, 19) << QPoint(326, 86);
        QTest::newRow("5") << 5 << QPoint(35, 99) << QPoint(81, 161);
        QTest::newRow("6") << 6 << QPoint(115, 99) << QPoint(-1, 161);
        QTest::newRow("7") << 7 << QPoint(195, 99) << QPoint(-1, 161);
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
        const QImage shown = palette().client()->grab().toImage();
        QRect frame;
        int count = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                if (shown.pixel(x, y) == qRgb(255, 255, 255) && !insideControl({x, y}))
                    frame |= QRect(x, y, 1, 1), ++count;
        QCOMPARE(frame, QRect(topLeft, bottomRight));
        QCOMPARE(count, 2 * (frame.width() + frame.height()) - 4);

        // The tool's cursor on all three windows; the settings window was loaded hidden.
        const CursorFileResult file =
            readCursorFile(dataFilePath(DataDir::IconCursor, DataFiles::toolCursor(tool)));
        QVERIFY(!forms().get<FrmOption2>().isVisible());
        for (Form* f : std::initializer_list<Form*>{&palette(), &forms().get<FrmOption2>(),
                                                    &canvas()}) {
            QCOMPARE(f->mouseIcon().hotSpot(), file.hotSpot);
            QCOMPARE(f->mouseIcon().pixmap().toImage().convertToFormat(QImage::Format_ARGB32),
                     file.image);
            QCOMPARE(f->client()->cursor().hotSpot(), file.hotSpot);
        }
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
        canvas().hideForm();
        QTest::mouseClick(palette().client(), Qt::MouseButton(button), {}, QPoint(5, 5));
        QCOMPARE(palette().isVisible(), !hides);
        QCOMPARE(canvas().isVisible(), hides);
    }

    // Only a name ending in exactly "ZEL" is read. A picture was loaded and drawn over before,
    // so a cancel that read the last file again would show.
    void loadTakesOnlyZelNames_data() {
        QTest::addColumn<std::optional<QString>>("answer");  // nullopt: cancelled
        QTest::addColumn<bool>("loads");
        QTest::newRow("a.ZEL") << std::optional<QString>("a.ZEL") << true;
        QTest::newRow("aZEL, no dot") << std::optional<QString>("aZEL") << true;
        QTest::newRow("a.zel, lower case") << std::optional<QString>("a.zel") << false;
        QTest::newRow("a.bmp") << std::optional<QString>("a.bmp") << false;
        QTest::newRow("empty name accepted") << std::optional<QString>("") << false;
        QTest::newRow("cancelled") << std::optional<QString>() << false;
    }
    void loadTakesOnlyZelNames() {
        QFETCH(std::optional<QString>, answer);
        QFETCH(bool, loads);
        Formula_Start& canvas = canvasShowing(pattern(60, 40));
        QVERIFY(writeFile(path("old.ZEL"), encode(pattern(60, 40, 3), "bmp")));
        load(path("old.ZEL"));
        canvas.loadPicture(pattern(60, 40, 8));
        const QImage before = canvas.image().image();
        const QImage picture = pattern(20, 10, 5);
        if (answer && !answer->isEmpty()) QVERIFY(writeFile(path(*answer), encode(picture, "bmp")));
        load(answer && !answer->isEmpty() ? std::optional(path(*answer)) : answer);
        const auto& shown = m_app->fakes.messages->shown;
        QCOMPARE(shown.size(), size_t(answer && !loads ? 1 : 0));
        if (!shown.empty()) QCOMPARE(shown[0].text, QStringLiteral("不是ZEL圖片"));
        if (loads)
            QCOMPARE(canvas.image().image().copy(picture.rect()), picture);
        else
            QCOMPARE(canvas.image().image(), before);
    }

    // Where the picture does not reach, the background colour shows; beyond the canvas it is cut.
    void loadsAtOwnSize_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("smaller") << QSize(30, 20);
        QTest::newRow("wider, lower") << QSize(120, 10);
        QTest::newRow("larger") << QSize(200, 150);
    }
    void loadsAtOwnSize() {
        QFETCH(QSize, size);
        Formula_Start& canvas = canvasShowing(pattern(80, 60));
        const QImage picture = pattern(size.width(), size.height(), 77);
        QVERIFY(writeFile(path("p.ZEL"), encode(picture, "bmp")));
        load(path("p.ZEL"));
        QImage expected(80, 60, QImage::Format_RGB32);
        expected.fill(toQColor(kBack));
        QPainter(&expected).drawImage(0, 0, picture);
        QCOMPARE(canvas.image().image(), expected);
    }

    void saveThenLoadIsPixelExact_data() {
        QTest::addColumn<QSize>("screen");
        QTest::newRow("1024x768") << QSize(1024, 768);
        QTest::newRow("3840x2160") << QSize(3840, 2160);
    }
    void saveThenLoadIsPixelExact() {
        QFETCH(QSize, screen);
        const QImage shot = pattern(screen.width(), screen.height(), 1);
        Formula_Start& canvas = canvasShowing(shot);
        save(path("shot.ZEL"));
        QVERIFY(m_app->fakes.dialogs->saveRequests.at(0).confirmOverwrite);
        canvas.loadPicture(pattern(50, 50, 2));
        load(path("shot.ZEL"));
        QCOMPARE(m_app->fakes.messages->shown.size(), size_t(0));
        QVERIFY(canvas.image().image() == shot);
    }

    // The name is used as chosen, and the bytes are a bitmap whatever it says.
    void savesABitmapUnderAJpegName() {
        canvasShowing(pattern(33, 21));
        save(path("p.jpg"));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{"p.jpg"});
        QCOMPARE(readFile(path("p.jpg")), PictureFile::encodeBmp(pattern(33, 21)));
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
        QTest::newRow("load text") << false << "text.ZEL" << QByteArray("hello");
        QTest::newRow("load a GIF claiming 60000 wide")
            << false << "huge.ZEL" << gif(pattern(4, 4)).replace(6, 2, QByteArray::fromHex("60ea"));
    }
    void failureNamesFileAndKeepsEverything() {
        QFETCH(bool, saving);
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        Formula_Start& canvas = canvasShowing(pattern(40, 30));
        const QImage before = canvas.image().image();
        QVERIFY(writeFile(path("plain.ZEL"), "old picture"));
        if (!content.isEmpty()) QVERIFY(writeFile(path(name), content));
        saving ? save(path(name)) : load(path(name));
        const auto& shown = m_app->fakes.messages->shown;
        QCOMPARE(shown.size(), size_t(1));
        QCOMPARE(shown[0].title, PictureFile::messageTitle());
        QVERIFY2(shown[0].text.contains(QDir::toNativeSeparators(path(name))),
                 qPrintable(shown[0].text));
        QCOMPARE(canvas.image().image(), before);
        QCOMPARE(readFile(path("plain.ZEL")), QByteArray("old picture"));
    }

  private:
    static FrmOption& palette() { return forms().get<FrmOption>(); }
    static Formula_Start& canvas() { return forms().get<Formula_Start>(); }
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
    static Formula_Start& canvasShowing(const QImage& content) {
        canvas().setBackColor(kBack);
        canvas().image().reset(content.size(), kBack);
        canvas().loadPicture(content);
        return canvas();
    }
    static bool insideControl(QPoint p) {
        for (QWidget* w : palette().client()->findChildren<QWidget*>())
            if (w->isVisible() && w->geometry().contains(p)) return true;
        return false;
    }

    std::unique_ptr<AppFixture> m_app;
    std::optional<QTemporaryDir> m_dir;
};

QTEST_MAIN(TestPalette)
#include "tst_palette.moc"
