
#include "e2e/harness.h"

using namespace e2e;

namespace {
const QString kSaveTitle = QStringLiteral("儲存圖片");
const QString kLoadTitle = QStringLiteral("讀取圖片");

QByteArray contentsOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
}  // namespace

class E2ePictures : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() {
        QVERIFY2(m_stage.begin(true), "the test pattern did not reach the screen");
        QVERIFY2(m_stage.enterCanvas(), "no canvas and palette after the enter command");
    }
    void cleanup() { m_stage.end(); }

    void savedPictureComesBack() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("wreck.ZEL"));
        const int w = screenSize().width(), h = screenSize().height();
        const QRect palette = m_stage.palette.geometry;

        // Saved by a typed name: the canvas's own picture, without the palette in front of it.
        const auto first = strike(m_stage.palette, 2, {w / 5, h / 4});
        QVERIFY(first);
        QVERIFY2(useDialog("SavePic", kSaveTitle, path), "saving through the dialog failed");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path), 10000);
        const QByteArray firstBytes = contentsOf(path);
        QVERIFY(firstBytes.startsWith("BM"));
        const QImage file(path);
        QCOMPARE(file.size(), screenSize());
        QCOMPARE(changes(file, *first, palette).box, QRect());
        QCOMPARE(changes(file.copy(palette), m_stage.pattern.copy(palette)).count, 0);

        // Saving over it asks first; refusing leaves the file and the dialog as they were.
        const auto second = strike(m_stage.palette, 6, {w * 7 / 8, h / 4});
        QVERIFY(second);
        const auto dialog = openDialog("SavePic", kSaveTitle);
        QVERIFY2(dialog, "no save dialog the second time");
        auto confirm = askToReplace(*dialog, path);
        QVERIFY2(confirm, "saving onto an existing file did not ask first");
        QVERIFY(answer(*confirm, "Escape"));
        QVERIFY2(m_stage.waitFor(withId(dialog->id), 1000), "the save dialog closed");
        QCOMPARE(contentsOf(path), firstBytes);
        // Agreeing replaces it with the picture of now.
        confirm = askToReplace(*dialog, path);
        QVERIFY2(confirm, "no question the second time");
        QVERIFY(answer(*confirm, "alt+y"));
        QVERIFY(m_stage.waitGone(withId(dialog->id)));
        QTRY_VERIFY_WITH_TIMEOUT(contentsOf(path) != firstBytes, 10000);
        QCOMPARE(changes(QImage(path), *second, palette).box, QRect());

        // Loading shows the picture of the moment of saving again.
        const auto third = strike(m_stage.palette, 6, {w * 7 / 8, h / 2});
        QVERIFY(third);
        QVERIFY(!changes(*third, *second, palette).box.isEmpty());
        QVERIFY2(useDialog("LoadPic", kLoadTitle, path), "loading through the dialog failed");
        const auto loaded = waitForStillScreen();
        QVERIFY(loaded);
        QCOMPARE(changes(*loaded, *second, palette).box, QRect());
    }

  private:
    std::optional<XWindow> openDialog(const char* command, const QString& title) {
        click(controlCentre(m_stage.palette, FormId::FrmOption, command));
        return m_stage.waitFor(titled(title));
    }

    // Opens the dialog, names the file and waits until the dialog has gone.
    bool useDialog(const char* command, const QString& title, const QString& path) {
        const auto dialog = openDialog(command, title);
        return dialog && enterFileName(*dialog, path) && m_stage.waitGone(withId(dialog->id));
    }

    // Replaces the file-name field's text by the path and accepts. A completion list that
    // swallowed the first Return gets a second one.
    bool enterFileName(const XWindow& dialog, const QString& path) {
        if (!focus(dialog.id)) return false;
        keys("ctrl+a");
        type(path);
        keys("Return");
        if (!m_stage.waitGone(withId(dialog.id), 1500) &&
            !m_stage.waitFor(titled(kSaveTitle, dialog.id), 0))
            keys("Return");
        return true;
    }

    // The confirmation box shares the file dialog's title.
    std::optional<XWindow> askToReplace(const XWindow& dialog, const QString& path) {
        if (!enterFileName(dialog, path)) return std::nullopt;
        return m_stage.waitFor(titled(kSaveTitle, dialog.id), 5000);
    }

    bool answer(const XWindow& box, const QString& keySym) {
        if (!focus(box.id)) return false;
        keys(keySym);
        return m_stage.waitGone(withId(box.id));
    }

    Stage m_stage;
};

SHATTER_E2E_MAIN(E2ePictures)
#include "e2e_pictures.moc"
