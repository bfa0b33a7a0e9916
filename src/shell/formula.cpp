#include "shell/formula.h"

#include <array>

#include "layouts/data_files.h"
#include "platform/platform.h"
#include "settings/frm_option2.h"
#include "shell/form.h"
#include "shell/forms.h"
#include "shell/picture_box.h"
#include "shell/label.h"

namespace Formula {

int16_t& PropOn(int n) {
    static int16_t none = 0;
    switch (n) {
        case 1: return Prop1On;
        case 2: return Prop2On;
        case 3: return Prop3On;
        case 4: return Prop4On;
        case 5: return Prop5On;
        case 6: return Prop6On;
        case 7: return Prop7On;
    }
    none = 0;
    return none;
}

int selectedTool() {
    for (int n = 1; n <= kToolCount; ++n)
        if (PropOn(n) == kTrue) return n;
    return 0;
}

void resetState() {
    for (int n = 1; n <= kToolCount; ++n) PropOn(n) = 0;
    PenSize = BoxSize = CannonX = CannonY = CannonMode = 0;
}

void PlaySoundFile(const QString& Name, int16_t Flags) {
    platform().sound->play(dataFilePath(DataDir::Sound, Name), Flags);
}

void PlayNoSound() { PlaySoundFile(QStringLiteral("No.wav"), 1); }

void DragWindow(Form& window) { window.startDrag(); }

void DrawToolFrame(Form& Target, int16_t Left1, int16_t Top1, int16_t Left2, int16_t Top2,
                   int16_t Width2, int16_t Height2) {
    Target.Cls();
    const auto x1 = static_cast<int16_t>(Left1 - 5), y1 = static_cast<int16_t>(Top1 - 5);
    const auto x2 = static_cast<int16_t>(Left2 + Width2 + 5);
    const auto y2 = static_cast<int16_t>(Top2 + Height2 + 5);
    Target.drawBox(QPoint(x1, y1), QPoint(x2, y2));
}

void SetNumButtonsVisible(int16_t Visible) {
    FrmOption2& settings = forms().get<FrmOption2>();
    for (int k = 1; k <= 5; ++k) settings.picture(QStringLiteral("Num"), k)->setVisible(Visible != 0);
}

void SetOpenButtonVisible(int16_t Visible) {
    forms().get<FrmOption2>().label(QStringLiteral("LabOpen"))->setVisible(Visible != 0);
}

}  // namespace Formula
