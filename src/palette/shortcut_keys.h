#pragma once

#include <QObject>

class FrmOption;

// The keys of the palette's commands and of the picture's history, wherever Shatter has the
// keyboard once the canvas is up: on the palette, the settings window or the canvas. Ctrl+Z
// undoes, Ctrl+Shift+Z and Ctrl+Y redo, Ctrl+C copies the picture, Ctrl+S saves, Ctrl+O loads.
// It watches the whole program's key presses, since none of those windows has to be shown.
class ShortcutKeys : public QObject {
    Q_OBJECT
  public:
    explicit ShortcutKeys(FrmOption& palette);
    ~ShortcutKeys() override;

    enum class Command { None, Undo, Redo, Copy, Save, Load };
    static Command commandFor(int key, Qt::KeyboardModifiers modifiers);
    void run(Command command);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    FrmOption& m_palette;
};
