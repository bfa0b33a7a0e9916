#include "palette/frm_option.h"

#include <QPainter>

#include "canvas/formula_start.h"
#include "palette/select_tool.h"
#include "palette/shortcut_keys.h"
#include "platform/files/cursor_file.h"
#include "settings/frm_option2.h"
#include "shell/forms.h"
#include "shell/formula.h"
#include "shell/label.h"
#include "shell/picture_box.h"

namespace {

constexpr int kLeft = 1, kRight = 2;

// How the settings window looks for each tool that has settings.
struct SettingsSetup {
    int tool;
    const char* heading;
    bool colour, open, sizes;
};
constexpr SettingsSetup kSetups[] = {
    {1, "鋸痕粗", false, false, true},
    {3, "圓大小", true, false, true},
    {4, "方形大小", true, false, true},
    {7, "圖章路徑", false, true, false},
};

const SettingsSetup* setupFor(int n) {
    for (const SettingsSetup& s : kSetups)
        if (s.tool == n) return &s;
    return nullptr;
}

int16_t flag(bool on) {
    return on ? Formula::kTrue : Formula::kFalse;
}

// The tool picture holds the cursor as drawn on a 33 × 33 holder: top-left, the rest clear.
QImage toolPicture(const QImage& cursor, QSize holder) {
    QImage out(holder, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter p(&out);
    p.drawImage(QPoint(0, 0), cursor);
    return out;
}

}  // namespace

FrmOption::FrmOption() : Form(kId) {
    // Clicking the full-screen canvas would otherwise bury this window under it.
    setWindowFlag(Qt::WindowStaysOnTopHint);
    new ShortcutKeys(*this);
    for (int n = 1; n <= Formula::kToolCount; ++n) {
        PictureBox* pic = picture(QStringLiteral("Prop%1_1").arg(n));
        Label* caption = label(QStringLiteral("Prop%1_2").arg(n));
        auto down = [this, n](int b, int s, double x, double y) { Prop_MouseDown(n, b, s, x, y); };
        connect(pic, &PictureBox::mouseDown, this, down);
        connect(caption, &Label::mouseDown, this, down);
        if (hasSettings(n)) {
            connect(pic, &PictureBox::dblClick, this, [this, n] { Prop_DblClick(n); });
            connect(caption, &Label::dblClick, this, [this, n] { Prop_DblClick(n); });
        }
    }
    Label* exit = label(QStringLiteral("LabExit"));
    Label* loadPic = label(QStringLiteral("LoadPic"));
    Label* savePic = label(QStringLiteral("SavePic"));
    connect(exit, &Label::mouseDown, this, &FrmOption::LabExit_MouseDown);
    connect(exit, &Label::mouseMove, this, &FrmOption::LabExit_MouseMove);
    connect(loadPic, &Label::mouseDown, this, &FrmOption::LoadPic_MouseDown);
    connect(loadPic, &Label::mouseMove, this, &FrmOption::LoadPic_MouseMove);
    connect(savePic, &Label::mouseDown, this, &FrmOption::SavePic_MouseDown);
    connect(savePic, &Label::mouseMove, this, &FrmOption::SavePic_MouseMove);
}

bool FrmOption::hasSettings(int n) {
    return setupFor(n) != nullptr;
}

void FrmOption::Form_Load() {
    setBackColor(0x000000);
    setForeColor(0xFFFFFF);  // the selection frame
    // Custom pointer: the default arrow until the first selection supplies a tool cursor.
    setMouseIcon(QCursor());
    for (int n = 1; n <= Formula::kToolCount; ++n) {
        PictureBox* pic = picture(QStringLiteral("Prop%1_1").arg(n));
        // Read from disk on every load, so a missing cursor is reported now, not mid-session.
        pic->setPicture(toolPicture(readToolCursor(n).image, pic->size()));
    }
}

void FrmOption::showForm() {
    if (Formula_Start* canvas = forms().ifLoaded<Formula_Start>()) canvas->takeKeyboard(false);
    Form::showForm();
}

void FrmOption::Form_QueryUnload() {
    Formula::PlayNoSound();
}

void FrmOption::Form_MouseDown(int Button, int, double, double) {
    if (Button != kRight) return;
    hideForm();
    Formula_Start& canvas = forms().get<Formula_Start>();
    canvas.showForm();
    canvas.takeKeyboard(true);
}

void FrmOption::Form_MouseMove(int Button, int, double, double) {
    if (Button == kLeft) Formula::DragWindow(*this);
    for (const char* name : {"LabExit", "SavePic", "LoadPic"})
        label(QLatin1String(name))->setForeColor(kPlainColour);
}

void FrmOption::LabExit_MouseMove(int, int, double, double) {
    label(QStringLiteral("LabExit"))->setForeColor(kHoverColour);
}
void FrmOption::LoadPic_MouseMove(int, int, double, double) {
    label(QStringLiteral("LoadPic"))->setForeColor(kHoverColour);
}
void FrmOption::SavePic_MouseMove(int, int, double, double) {
    label(QStringLiteral("SavePic"))->setForeColor(kHoverColour);
}

void FrmOption::Prop_MouseDown(int n, int Button, int, double, double) {
    if (Button == kLeft) Formula::SelectTool(n);
}

void FrmOption::Prop_DblClick(int n) {
    if (hasSettings(n)) ShowSettingsFor(n);
}

void FrmOption::ShowSettingsFor(int n) {
    const SettingsSetup& s = *setupFor(n);
    hideForm();
    FrmOption2& settings = forms().get<FrmOption2>();
    settings.label(QStringLiteral("LabTittle"))->setCaption(QString::fromUtf8(s.heading));
    settings.label(QStringLiteral("LabColor"))->setVisible(s.colour);
    settings.label(QStringLiteral("LabOpen"))->setVisible(s.open);
    Formula::SetNumButtonsVisible(flag(s.sizes));
    Formula::SetOpenButtonVisible(flag(s.open));
    settings.showForm();
}

void FrmOption::LabExit_MouseDown(int Button, int, double, double) {
    if (Button != kLeft) return;
    forms().unload(FormId::Formula_Start);
    Formula::PlayNoSound();
    forms().unload(FormId::FrmOption2);
    // Last: its query-unload plays No.wav once more, and with no window left the program ends.
    forms().unload(FormId::FrmOption);
}
