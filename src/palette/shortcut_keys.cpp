#include "palette/shortcut_keys.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>

#include "canvas/formula_start.h"
#include "palette/frm_option.h"
#include "shell/forms.h"

ShortcutKeys::ShortcutKeys(FrmOption& palette) : QObject(&palette), m_palette(palette) {
    qApp->installEventFilter(this);
}

ShortcutKeys::~ShortcutKeys() {
    qApp->removeEventFilter(this);
}

ShortcutKeys::Command ShortcutKeys::commandFor(int key, Qt::KeyboardModifiers modifiers) {
    modifiers &= ~Qt::KeypadModifier;
    if (modifiers == (Qt::ControlModifier | Qt::ShiftModifier))
        return key == Qt::Key_Z ? Command::Redo : Command::None;
    if (modifiers != Qt::ControlModifier) return Command::None;
    switch (key) {
        case Qt::Key_Z:
            return Command::Undo;
        case Qt::Key_Y:
            return Command::Redo;
        case Qt::Key_C:
            return Command::Copy;
        case Qt::Key_S:
            return Command::Save;
        case Qt::Key_O:
            return Command::Load;
        default:
            return Command::None;
    }
}

void ShortcutKeys::run(Command command) {
    Formula_Start* canvas = forms().ifLoaded<Formula_Start>();
    if (!canvas) return;
    switch (command) {
        case Command::Undo:
            canvas->undo();
            break;
        case Command::Redo:
            canvas->redo();
            break;
        case Command::Copy:
            // A copy of its own: the next strike must not have to copy the whole picture first.
            // Whoever held the clipboard gives it up to us, as with any copy.
            QGuiApplication::clipboard()->setImage(canvas->image().image().copy());
            break;
        case Command::Save:
            m_palette.SavePic_MouseDown(1, 0, 0, 0);
            break;
        case Command::Load:
            m_palette.LoadPic_MouseDown(1, 0, 0, 0);
            break;
        case Command::None:
            break;
    }
}

bool ShortcutKeys::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
    // Not inside a file dialog or message box: those have keys of their own.
    if (QApplication::activeModalWidget()) return false;
    const auto* form = qobject_cast<const Form*>(static_cast<QWidget*>(watched)->window());
    if (!form || (form->id() != FormId::FrmOption && form->id() != FormId::FrmOption2 &&
                  form->id() != FormId::Formula_Start))
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const Command command = commandFor(key->key(), key->modifiers());
    if (command == Command::None) return false;
    run(command);
    return true;
}
