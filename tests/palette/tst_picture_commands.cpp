#include <QPainter>
#include <QtTest>

#include "canvas/formula_start.h"
#include "palette/frm_option.h"
#include "platform/picture_file.h"
#include "shell/forms.h"
#include "support/app_fixture.h"
#include "support/sample_pictures.h"

using namespace SamplePictures;

namespace {
constexpr Colour kBack = rgb(10, 20, 30);
}

class TestPictureCommands : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() {
        m_app = std::make_unique<AppFixture>();
        m_dir.emplace();
    }
    void cleanup() {
        m_app.reset();
        m_dir.reset();
    }

    void zelSuffixRule_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("loads");
        QTest::newRow("a.ZEL") << "a.ZEL" << true;
        QTest::newRow("aZEL, no dot") << "aZEL" << true;
        QTest::newRow("a.zel, lower case") << "a.zel" << false;
        QTest::newRow("a.Zel") << "a.Zel" << false;
        QTest::newRow("a.bmp") << "a.bmp" << false;
        QTest::newRow("empty name accepted") << "" << false;
    }
    void zelSuffixRule() {
        QFETCH(QString, name);
        QFETCH(bool, loads);
        Formula_Start& canvas = canvasShowing(pattern(60, 40));
        const QImage before = canvas.image().image();
        const QImage picture = pattern(20, 10, 5);
        if (!name.isEmpty()) QVERIFY(writeFile(path(name), encode(picture, "bmp")));
        m_app->fakes.dialogs->openAnswers.push_back(name.isEmpty() ? QString() : path(name));
        palette().LoadPic_MouseDown(1, 0, 0, 0);
        QCOMPARE(m_app->fakes.dialogs->openRequests.size(), size_t(1));
        QCOMPARE(m_app->fakes.dialogs->openRequests[0].title, QStringLiteral("讀取圖片"));
        QCOMPARE(m_app->fakes.dialogs->openRequests[0].filter,
                 QStringLiteral("ZEL圖片(*.ZEL)|*.ZEL"));
        const auto& shown = m_app->fakes.messages->shown;
        if (loads) {
            QCOMPARE(shown.size(), size_t(0));
            QCOMPARE(canvas.image().image().copy(picture.rect()), picture);
        } else {
            QCOMPARE(shown.size(), size_t(1));
            QCOMPARE(shown[0].title, QStringLiteral("Error"));
            QCOMPARE(shown[0].text, QStringLiteral("不是ZEL圖片"));
            QCOMPARE(canvas.image().image(), before);
        }
    }

    // Where the picture does not reach, the background colour shows; beyond the canvas it is cut.
    void loadsAtOwnSize_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("smaller") << QSize(30, 20);
        QTest::newRow("same") << QSize(80, 60);
        QTest::newRow("wider, lower") << QSize(120, 10);
        QTest::newRow("larger") << QSize(200, 150);
    }
    void loadsAtOwnSize() {
        QFETCH(QSize, size);
        Formula_Start& canvas = canvasShowing(pattern(80, 60));
        const QImage picture = pattern(size.width(), size.height(), 77);
        QVERIFY(writeFile(path("p.ZEL"), encode(picture, "bmp")));
        m_app->fakes.dialogs->openAnswers.push_back(path("p.ZEL"));
        palette().LoadPic_MouseDown(1, 0, 0, 0);
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
        m_app->fakes.dialogs->saveAnswers.push_back(path("shot.ZEL"));
        palette().SavePic_MouseDown(1, 0, 0, 0);
        const FileDialogRequest& asked = m_app->fakes.dialogs->saveRequests.at(0);
        QCOMPARE(asked.title, QStringLiteral("儲存圖片"));
        QCOMPARE(asked.filter, QStringLiteral("ZEL圖片(*.ZEL)|*.ZEL|點陣圖 (*.bmp)|*.bmp|"
                                              "JPEG Filter (*.jpg;*.jpeg)|*.jpg"));
        QVERIFY(asked.confirmOverwrite);
        canvas.loadPicture(pattern(50, 50, 2));
        m_app->fakes.dialogs->openAnswers.push_back(path("shot.ZEL"));
        palette().LoadPic_MouseDown(1, 0, 0, 0);
        QCOMPARE(m_app->fakes.messages->shown.size(), size_t(0));
        QVERIFY(canvas.image().image() == shot);
    }

    // The name is used as chosen, and the bytes are a bitmap whatever it says.
    void savesBitmapUnderAnySuffix_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow(".jpg") << "p.jpg";
        QTest::newRow(".bmp") << "p.bmp";
        QTest::newRow("no suffix") << "p";
    }
    void savesBitmapUnderAnySuffix() {
        QFETCH(QString, name);
        canvasShowing(pattern(33, 21));
        m_app->fakes.dialogs->saveAnswers.push_back(path(name));
        palette().SavePic_MouseDown(1, 0, 0, 0);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{name});
        QCOMPARE(readFile(path(name)), PictureFile::encodeBmp(pattern(33, 21)));
    }

    // A cancel never loads the last file again, never complains, and never writes.
    void cancelDoesNothing_data() {
        QTest::addColumn<bool>("usedBefore");
        QTest::newRow("first time") << false;
        QTest::newRow("after an earlier load and save") << true;
    }
    void cancelDoesNothing() {
        QFETCH(bool, usedBefore);
        Formula_Start& canvas = canvasShowing(pattern(40, 30));
        if (usedBefore) {
            m_app->fakes.dialogs->saveAnswers.push_back(path("old.ZEL"));
            palette().SavePic_MouseDown(1, 0, 0, 0);
            m_app->fakes.dialogs->openAnswers.push_back(path("old.ZEL"));
            palette().LoadPic_MouseDown(1, 0, 0, 0);
            canvas.loadPicture(pattern(40, 30, 8));  // later damage
        }
        const QImage shown = canvas.image().image();
        const QByteArray saved = readFile(path("old.ZEL"));
        m_app->fakes.dialogs->openAnswers.push_back(std::nullopt);
        m_app->fakes.dialogs->saveAnswers.push_back(std::nullopt);
        palette().LoadPic_MouseDown(1, 0, 0, 0);
        palette().SavePic_MouseDown(1, 0, 0, 0);
        QCOMPARE(m_app->fakes.messages->shown.size(), size_t(0));
        QCOMPARE(canvas.image().image(), shown);
        QCOMPARE(readFile(path("old.ZEL")), saved);
    }

    void failureNamesFileAndKeepsEverything_data() {
        QTest::addColumn<bool>("save");
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
        QFETCH(bool, save);
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        Formula_Start& canvas = canvasShowing(pattern(40, 30));
        const QImage shown = canvas.image().image();
        QVERIFY(writeFile(path("plain.ZEL"), "old picture"));
        if (!content.isEmpty()) QVERIFY(writeFile(path(name), content));
        auto& answers =
            save ? m_app->fakes.dialogs->saveAnswers : m_app->fakes.dialogs->openAnswers;
        answers.push_back(path(name));
        save ? palette().SavePic_MouseDown(1, 0, 0, 0) : palette().LoadPic_MouseDown(1, 0, 0, 0);
        const auto& shown_ = m_app->fakes.messages->shown;
        QCOMPARE(shown_.size(), size_t(1));
        QCOMPARE(shown_[0].title, PictureFile::messageTitle());
        QVERIFY2(shown_[0].text.contains(QDir::toNativeSeparators(path(name))),
                 qPrintable(shown_[0].text));
        QCOMPARE(canvas.image().image(), shown);
        QCOMPARE(readFile(path("plain.ZEL")), QByteArray("old picture"));
    }

    void otherButtonsDoNothing() {
        canvasShowing(pattern(10, 10));
        for (int button : {2, 4, 3}) {
            palette().LoadPic_MouseDown(button, 0, 0, 0);
            palette().SavePic_MouseDown(button, 0, 0, 0);
        }
        QVERIFY(m_app->fakes.dialogs->openRequests.empty());
        QVERIFY(m_app->fakes.dialogs->saveRequests.empty());
    }

  private:
    FrmOption& palette() { return forms().get<FrmOption>(); }
    QString path(const QString& name) const { return m_dir->filePath(name); }
    Formula_Start& canvasShowing(const QImage& content) {
        m_app->fakes.capture->next = content;
        Formula_Start& canvas = forms().get<Formula_Start>();
        canvas.setBackColor(kBack);
        canvas.image().reset(content.size(), kBack);
        canvas.loadPicture(content);
        return canvas;
    }

    std::unique_ptr<AppFixture> m_app;
    std::optional<QTemporaryDir> m_dir;
};

QTEST_MAIN(TestPictureCommands)
#include "tst_picture_commands.moc"
