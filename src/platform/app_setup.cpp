#include "platform/app_setup.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <QTranslator>

#include "layouts/data_files.h"

namespace AppSetup {

bool loadQtTranslations() {
    static QTranslator* translator = nullptr;
    if (translator) return true;
    auto t = std::make_unique<QTranslator>();
    if (!t->load(QStringLiteral("qtbase_zh_TW"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::TraditionalHanScript, QLocale::Taiwan));
    translator = t.release();
    QCoreApplication::installTranslator(translator);
    return true;
}

void keepNoSettings() {
    // Nothing can be created below a device file, not even by root: reads find no settings and
    // writes fail quietly.
    const QString nowhere = QStringLiteral("/dev/null");
    for (QSettings::Format f : {QSettings::NativeFormat, QSettings::IniFormat})
        for (QSettings::Scope s : {QSettings::UserScope, QSettings::SystemScope})
            QSettings::setPath(f, s, nowhere);
}

QIcon programIcon() {
    const QString path = programDirectory() + QStringLiteral("/shatter.ico");
    return QFileInfo::exists(path) ? QIcon(path) : QIcon();
}

}  // namespace AppSetup
