#include <QApplication>

#include "layouts/data_files.h"
#include "platform/app_setup.h"
#include "platform/platform.h"
#include "shell/forms.h"
#include "shell/frm_main.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Shatter"));
    // Lets a Wayland desktop match the windows to the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("shatter"));
    // The program ends when its last loaded window is unloaded, not when the last one hides.
    QApplication::setQuitOnLastWindowClosed(false);
    AppSetup::loadQtTranslations();
    AppSetup::keepNoSettings();
    QApplication::setWindowIcon(AppSetup::programIcon());
    installPlatform(makeQtPlatform());
    forms().setProgramEndHandler([] { QCoreApplication::quit(); });

    QStringList sounds;
    for (const QString& name : DataFiles::allSounds()) sounds << dataFilePath(DataDir::Sound, name);
    platform().sound->preload(sounds);

    forms().get<FrmMain>().showForm();
    const int status = app.exec();
    // The sound effects must go while the application that runs their audio still exists.
    installPlatform(std::make_unique<Platform>());
    return status;
}
