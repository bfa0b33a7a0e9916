#include <QtTest>
#include <QtWidgets>
#include <cerrno>

#include "platform/app_setup.h"
#include "platform/os_reason.h"
#include "platform/platform.h"

namespace {
// Latin letters in a text the user reads, outside the file name it quotes.
bool hasLatin(QString text, const QString& quoted = {}) {
    if (!quoted.isEmpty()) text.remove(QDir::toNativeSeparators(quoted));
    return text.contains(QRegularExpression(QStringLiteral("[A-Za-z]")));
}
}  // namespace

// The real dialogs, with a home directory of their own that must stay empty, and the texts
// of Qt and of the program in Traditional Chinese.
class TestAppSetup : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void dialogsWriteNothing() {
        AppSetup::keepNoSettings();
        const std::unique_ptr<Platform> qt = makeQtPlatform();
        // Answers every dialog as a user would: a file name typed, a custom colour added.
        QTimer answer;
        connect(&answer, &QTimer::timeout, [&] {
            QWidget* w = QApplication::activeModalWidget();
            if (auto* files = qobject_cast<QFileDialog*>(w)) {
                files->selectFile(m_pictures.filePath(QStringLiteral("picked.ZEL")));
                static_cast<QDialog*>(files)->done(QDialog::Accepted);
            } else if (auto* colours = qobject_cast<QColorDialog*>(w)) {
                QColorDialog::setCustomColor(0, Qt::red);
                colours->setCurrentColor(Qt::red);
                colours->accept();
            }
        });
        answer.start(20);
        const FileDialogRequest request{"t", "ZEL|*.ZEL", {}, false};
        QVERIFY(qt->dialogs->saveFile(nullptr, request).has_value());
        QVERIFY(qt->dialogs->openFile(nullptr, request).has_value());
        QCOMPARE(qt->dialogs->chooseColor(nullptr, "t", QColor()), std::optional<QColor>(Qt::red));
        QSettings(QSettings::UserScope, QStringLiteral("QtProject")).setValue("probe", 1);
        QDirIterator it(QDir::homePath(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        QVERIFY2(!it.hasNext(), qPrintable(it.hasNext() ? it.next() : QString()));
    }

    // Qt's texts, the system's reasons and the message that ends the program.
    void textsAreTraditionalChinese() {
        QVERIFY(AppSetup::loadQtTranslations());
        QMessageBox box(QMessageBox::Critical, {}, {}, QMessageBox::Ok);
        QCOMPARE(box.button(QMessageBox::Ok)->text(), QStringLiteral("確定"));
        for (auto [context, text] :
             {std::pair{"QFileDialog", "Save As"},
              std::pair{"QFileDialog", "%1 already exists.\nDo you want to replace it?"},
              std::pair{"QColorDialog", "Select Color"}})
            QVERIFY2(!hasLatin(QCoreApplication::translate(context, text).remove("%1")), text);
        for (int e : {ENOENT, EACCES, EROFS, ENOSPC, EISDIR, ENOTDIR, EIO, EDQUOT})
            QVERIFY2(!hasLatin(osReason(qt_error_string(e))), qPrintable(qt_error_string(e)));
        const QString path = QStringLiteral("/opt/shatter/Pic/Image/1.bmp");
        const QString fatal = fatalDataFileMessage(path, QStringLiteral("找不到檔案"));
        QVERIFY2(fatal.contains(path) && !hasLatin(fatal, path), qPrintable(fatal));
    }

  private:
    QTemporaryDir m_pictures;
};

int main(int argc, char** argv) {
    // Set before anything reads them: the dialogs must find an empty home and keep it so. Font
    // caches are not ours to judge; without a runtime directory, which every desktop session
    // has, the sound library would keep its runtime files under the home's config directory.
    QTemporaryDir home, cache, runtime;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/.config")));
    qunsetenv("XDG_DATA_HOME");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    QApplication app(argc, argv);
    TestAppSetup test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_app_setup.moc"
