#include "about/frm_about.h"

#include <QUrl>
#include <algorithm>

#include "platform/platform.h"
#include "shell/forms.h"
#include "shell/formula.h"
#include "shell/frm_main.h"
#include "shell/label.h"

namespace {
constexpr Colour kWhite = 0xFFFFFF;
constexpr Colour kHoverMagenta = 0xFF00FF;

const QString kLabel3 = QStringLiteral("Label3");
const QString kLabel4 = QStringLiteral("Label4");
}  // namespace

FrmAbout::FrmAbout() : Form(kId) {
    setWindowTitle(QStringLiteral("Shatter - About"));
    connect(label(kLabel3), &Label::mouseMove, this, &FrmAbout::Label3_MouseMove);
    connect(label(kLabel3), &Label::mouseDown, this, &FrmAbout::Label3_MouseDown);
    connect(label(kLabel4), &Label::mouseMove, this, &FrmAbout::Label4_MouseMove);
    connect(label(kLabel4), &Label::mouseDown, this, &FrmAbout::Label4_MouseDown);
    for (const char* name : {"Label1", "Label2", "Label3", "Label4", "Label5"})
        keepInside(label(QLatin1String(name)));
}

void FrmAbout::keepInside(Label* l) {
    // The author and the addresses are build options and may be longer than the design's;
    // a line cut off at the window's edge would hide part of a link.
    constexpr int kMargin = 4;
    const int room = client()->width() - 2 * kMargin;
    QFont f = l->font();
    while (l->width() > room && f.pixelSize() > 8) {
        f.setPixelSize(f.pixelSize() - 1);
        l->setFont(f);
        l->resize(l->sizeHint());
    }
    const int overhang = l->geometry().right() + 1 - (client()->width() - kMargin);
    if (overhang > 0) l->move(std::max(kMargin, l->x() - overhang), l->y());
}

void FrmAbout::Form_MouseDown(int Button, int, double, double) {
    // Labels take their own presses, so this is a right-click on the bare background.
    if (Button != 2) return;
    closedByWindowManager();
}

void FrmAbout::closedByWindowManager() {
    forms().unload(kId);
    forms().get<FrmMain>().showForm();
}

void FrmAbout::Form_MouseMove(int Button, int, double, double) {
    label(kLabel3)->setForeColor(kWhite);
    label(kLabel4)->setForeColor(kWhite);
    if (Button == 1) Formula::DragWindow(*this);
}

void FrmAbout::Label3_MouseMove(int, int, double, double) {
    label(kLabel3)->setForeColor(kHoverMagenta);
}
void FrmAbout::Label4_MouseMove(int, int, double, double) {
    label(kLabel4)->setForeColor(kHoverMagenta);
}

void FrmAbout::Label3_MouseDown(int Button, int, double, double) {
    if (Button == 1) openLink(Texts::mailLink());
}
void FrmAbout::Label4_MouseDown(int Button, int, double, double) {
    if (Button == 1) openLink(Texts::homepageLink());
}

void FrmAbout::openLink(const QString& link) {
    // The window stays as it is either way; a link nobody handles must not fail silently.
    if (platform().shell->openLink(QUrl(link))) return;
    platform().messages->error(this, QStringLiteral("Shatter"),
                               QStringLiteral("無法開啟 %1：沒有設定可以處理它的程式。").arg(link));
}
