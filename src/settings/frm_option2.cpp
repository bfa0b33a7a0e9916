#include "settings/frm_option2.h"

#include "canvas/formula_start.h"
#include "layouts/data_files.h"
#include "palette/frm_option.h"
#include "platform/files/picture_file.h"
#include "settings/frame_num_button.h"
#include "shell/forms.h"
#include "shell/formula.h"
#include "shell/label.h"
#include "shell/picture_box.h"

namespace {
constexpr Colour kWhite = rgb(255, 255, 255);
constexpr Colour kYellow = rgb(255, 255, 0);
constexpr Colour kRed = rgb(255, 0, 0);
constexpr int kLeftButton = 1;
}  // namespace

FrmOption2::FrmOption2() : Form(kId) {
    // Clicking the full-screen canvas would otherwise bury this window under it.
    setWindowFlag(Qt::WindowStaysOnTopHint);
    for (int k = 1; k <= kNumButtons; ++k) {
        connect(picture(QStringLiteral("Num"), k), &PictureBox::mouseDown, this,
                [this, k](int b, int s, double x, double y) { Num_MouseDown(k, b, s, x, y); });
    }
    connect(label(QStringLiteral("LabColor")), &Label::mouseDown, this,
            &FrmOption2::LabColor_MouseDown);
    connect(label(QStringLiteral("LabOpen")), &Label::mouseDown, this,
            &FrmOption2::LabOpen_MouseDown);
    connect(label(QStringLiteral("LabTrue")), &Label::mouseDown, this,
            &FrmOption2::LabTrue_MouseDown);
    connect(label(QStringLiteral("LabColor")), &Label::mouseMove, this,
            &FrmOption2::LabColor_MouseMove);
    connect(label(QStringLiteral("LabOpen")), &Label::mouseMove, this,
            &FrmOption2::LabOpen_MouseMove);
    connect(label(QStringLiteral("LabTrue")), &Label::mouseMove, this,
            &FrmOption2::LabTrue_MouseMove);
}

QString FrmOption2::colorTitle() {
    return QStringLiteral("選取顏色");
}
QString FrmOption2::stampTitle() {
    return QStringLiteral("圖章路徑");
}
QString FrmOption2::stampFilter() {
    return QStringLiteral("圖片(*.bmp,*.jpg,*.gif,*.cur,*.ico)|*.bmp;*.jpg;*.gif;*.cur;*.ico");
}

void FrmOption2::Form_Load() {
    setBackColor(0);
    for (int n = 1; n <= kNumButtons; ++n) {
        PictureBox* button = picture(QStringLiteral("Num"), n);
        button->setPicture(loadFixedPicture(DataFiles::sizeButton(n)));
        // Which buttons show is up to the palette's set-up.
        button->setVisible(false);
    }
}

void FrmOption2::Form_MouseMove(int Button, int, double, double) {
    label(QStringLiteral("LabColor"))->setForeColor(kWhite);
    label(QStringLiteral("LabOpen"))->setForeColor(kWhite);
    label(QStringLiteral("LabTrue"))->setForeColor(kWhite);
    if (Button == kLeftButton) Formula::DragWindow(*this);
}

void FrmOption2::Num_MouseDown(int Index, int Button, int, double, double) {
    using namespace Formula;
    if (Button != kLeftButton || Index < 1 || Index > kNumButtons) return;
    // Three separate tests; tool selection leaves at most one flag set.
    if (Prop1On != kFalse) {
        FrameNumButton(Index);
        forms().get<Formula_Start>().setDrawWidth(Index);
    }
    if (Prop3On != kFalse) {
        FrameNumButton(Index);
        PenSize = static_cast<int16_t>(10 + 10 * Index);
    }
    if (Prop4On != kFalse) {
        FrameNumButton(Index);
        BoxSize = static_cast<int16_t>(5 + 5 * Index);
    }
}

void FrmOption2::LabColor_MouseDown(int Button, int, double, double) {
    if (Button != kLeftButton) return;
    CommonDialog& colour = dialog(QStringLiteral("Color"));
    colour.DialogTitle = colorTitle();
    colour.ShowColor(this);
    // A cancel still applies the dialog's colour: the last accepted one, black at first.
    forms().get<Formula_Start>().setForeColor(fromQColor(colour.Color));
}

void FrmOption2::LabOpen_MouseDown(int Button, int, double, double) {
    if (Button != kLeftButton) return;
    CommonDialog& open = dialog(QStringLiteral("Co"));
    open.DialogTitle = stampTitle();
    open.Filter = stampFilter();
    if (!open.ShowOpen(this)) return;  // cancelled: the stamp stays as it is
    const QString name = open.FileName;
    const PictureFile::ReadResult result = PictureFile::read(name);
    if (!result.ok()) {
        PictureFile::reportReadFailure(this, name, result.error);
        return;
    }
    forms().get<Formula_Start>().PicTo()->setPicture(result.image);
}

void FrmOption2::LabTrue_MouseDown(int Button, int, double, double) {
    if (Button != kLeftButton) return;
    hideForm();
    forms().get<FrmOption>().showForm();
}

void FrmOption2::LabColor_MouseMove(int, int, double, double) {
    label(QStringLiteral("LabColor"))->setForeColor(kYellow);
}

void FrmOption2::LabOpen_MouseMove(int, int, double, double) {
    label(QStringLiteral("LabOpen"))->setForeColor(kRed);
}

void FrmOption2::LabTrue_MouseMove(int, int, double, double) {
    label(QStringLiteral("LabTrue"))->setForeColor(kYellow);
}

void FrmOption2::hideEvent(QHideEvent* e) {
    Form::hideEvent(e);
    Cls();
}
