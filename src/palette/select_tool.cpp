#include "palette/select_tool.h"

#include <QtGlobal>
#include <optional>

#include "canvas/formula_start.h"
#include "palette/frm_option.h"
#include "platform/files/cursor_file.h"
#include "settings/frm_option2.h"
#include "shell/forms.h"
#include "shell/formula.h"
#include "shell/label.h"
#include "shell/picture_box.h"

namespace Formula {

namespace {

// Positions travel as 16-bit values; the palette's are whole pixels far inside that range.
int16_t toInt16(int v) {
    return static_cast<int16_t>(qBound(-32768, v, 32767));
}

// The canvas settings of the tool; nullopt keeps what earlier selections and the settings
// window left in force.
struct ToolSettings {
    std::optional<int> penWidth;
    std::optional<Colour> colour;
};

ToolSettings applyToolVariables(int n) {
    switch (n) {
        case 1:
            PenSize = 20;
            return {1, 0};
        case 3:
            PenSize = 20;
            return {1, 0};
        case 4:
            BoxSize = 10;
            return {1, 0};
        case 5:
            CannonX = -80;
            CannonY = -50;
            CannonMode = 0;
            return {11, 0};
        default:
            return {};
    }
}

}  // namespace

void SelectTool(int n) {
    if (n < 1 || n > kToolCount) return;

    FrmOption& palette = forms().get<FrmOption>();
    const PictureBox* pic = palette.picture(QStringLiteral("Prop%1_1").arg(n));
    const Label* caption = palette.label(QStringLiteral("Prop%1_2").arg(n));
    const QRect p = pic->geometry(), c = caption->geometry();
    DrawToolFrame(palette, toInt16(p.x()), toInt16(p.y()), toInt16(c.x()), toInt16(c.y()),
                  toInt16(c.width()), toInt16(c.height()));

    for (int k = 1; k <= kToolCount; ++k) PropOn(k) = k == n ? kTrue : kFalse;

    const ToolSettings settings = applyToolVariables(n);
    if (settings.penWidth || settings.colour) {
        Formula_Start& canvas = forms().get<Formula_Start>();
        if (settings.penWidth) canvas.setDrawWidth(*settings.penWidth);
        if (settings.colour) canvas.setForeColor(*settings.colour);
    }

    // Read once: the file is the same for all three windows.
    const QCursor cursor = loadToolCursor(n);
    palette.setMouseIcon(cursor);
    forms().get<FrmOption2>().setMouseIcon(cursor);
    forms().get<Formula_Start>().setMouseIcon(cursor);

    if (n == 1)
        PlaySoundFile(QStringLiteral("Prop1_1.wav"), 9);
    else
        PlayNoSound();
}

}  // namespace Formula
