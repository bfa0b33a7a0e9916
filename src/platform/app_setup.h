#pragma once

#include <QIcon>

// What the real program arranges before its first window appears.
namespace AppSetup {

// Qt's own texts (dialog buttons, file and colour dialogs) in Traditional Chinese; false when
// the translation file is not installed.
bool loadQtTranslations();
// Qt's file and colour dialogs keep a settings file of their own; the program writes nothing
// but the user's pictures, so that file is sent where it can never be created.
void keepNoSettings();
// The generated 32 x 32 icon beside the program; a null icon when it is missing.
QIcon programIcon();

}  // namespace AppSetup
