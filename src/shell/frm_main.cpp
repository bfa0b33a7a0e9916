#include "shell/frm_main.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QPainter>

#include "about/frm_about.h"
#include "canvas/formula_start.h"
#include "layouts/data_files.h"
#include "palette/frm_option.h"
#include "platform/app_setup.h"
#include "platform/platform.h"
#include "platform/wayland_session.h"
#include "shell/forms.h"
#include "shell/formula.h"
#include "shell/label.h"
#include "shell/screen_settle.h"

namespace {
constexpr Colour kWhite = 0xFFFFFF;
constexpr Colour kHoverBlue = 0xFF0000;  // 0x00BBGGRR

const QString kCome = QStringLiteral("Come");
const QString kQuit = QStringLiteral("Quit");
const QString kAbout = QStringLiteral("About");
const QString kMostS = QStringLiteral("MostS");

constexpr Qt::WindowFlags kTitleFlags =
    Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
// A plain top-level window gets a taskbar entry, so a minimised title can be restored.
constexpr Qt::WindowFlags kMinimisedFlags =
    Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
}  // namespace

FrmMain::FrmMain()
    : Form(kId),
      m_fadedOut(WaylandSession::current() &&
                 WaylandSession::fadesHiddenWindows(qEnvironmentVariable("XDG_CURRENT_DESKTOP"))) {
    setAttribute(Qt::WA_TranslucentBackground, m_fadedOut);
    setWindowTitle(QStringLiteral("Shatter"));
    // Shown on the taskbar entry of the minimised title.
    setWindowIcon(AppSetup::programIcon());
    auto wire = [this](const QString& name, auto move, auto down) {
        Label* l = label(name);
        connect(l, &Label::mouseMove, this, move);
        connect(l, &Label::mouseDown, this, down);
    };
    wire(kCome, &FrmMain::Come_MouseMove, &FrmMain::Come_MouseDown);
    wire(kQuit, &FrmMain::Quit_MouseMove, &FrmMain::Quit_MouseDown);
    wire(kAbout, &FrmMain::About_MouseMove, &FrmMain::About_MouseDown);
    wire(kMostS, &FrmMain::MostS_MouseMove, &FrmMain::MostS_MouseDown);
}

void FrmMain::Form_Load() {
    setBackgroundPicture(loadFixedPicture(DataFiles::kTitle));
    setWindowFlags(kTitleFlags);
}

void FrmMain::Form_MouseMove(int Button, int, double, double) {
    for (const QString& name : {kCome, kQuit, kAbout, kMostS}) label(name)->setForeColor(kWhite);
    if (Button == 1) Formula::DragWindow(*this);
}

void FrmMain::hover(const QString& name) {
    label(name)->setForeColor(kHoverBlue);
}

void FrmMain::Come_MouseMove(int, int, double, double) {
    hover(kCome);
}
void FrmMain::Quit_MouseMove(int, int, double, double) {
    hover(kQuit);
}
void FrmMain::About_MouseMove(int, int, double, double) {
    hover(kAbout);
}
void FrmMain::MostS_MouseMove(int, int, double, double) {
    hover(kMostS);
}

// The desktop fades a hidden window out from its last picture, and its screenshots show the
// fade: the title draws itself clear first, so that there is nothing to fade.
void FrmMain::hideUnseen() {
    QWidget* client = findChild<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    m_clear = true;
    if (client) client->hide();
    repaint();
    hideForm();
    m_clear = false;
    if (client) client->show();
}

void FrmMain::paintEvent(QPaintEvent* e) {
    if (!m_clear) return Form::paintEvent(e);
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(rect(), Qt::transparent);
}

void FrmMain::Come_MouseDown(int Button, int, double, double) {
    if (Button != 1) return;
    // The title must be off the screen before the canvas photographs it, but unloading it
    // first would leave no loaded window and end the program: hide now, unload once the
    // canvas exists.
    const QRect onScreen = frameGeometry();
    const QImage look = platform().capture->grabArea(onScreen);
    if (m_fadedOut) hideUnseen();
    else hideForm();
    QCoreApplication::processEvents();
    QGuiApplication::sync();
    ScreenSettle::waitUntilUncovered(onScreen, look);
    Formula_Start& canvas = forms().get<Formula_Start>();
    if (!canvas.hasSnapshot()) {
        // A blank canvas would pass a failure off as the desktop; the user has been told
        // why, and can try again or leave from the title.
        forms().unload(Formula_Start::kId);
        showForm();
        return;
    }
    forms().unload(kId);
    canvas.showForm();
    forms().get<FrmOption>().showForm();
}

void FrmMain::MostS_MouseDown(int Button, int, double, double) {
    if (Button != 1 || m_minimised) return;
    m_posBeforeMinimise = pos();
    setWindowFlags(kMinimisedFlags);  // hides the window
    move(m_posBeforeMinimise);
    m_minimised = true;
    showMinimized();
}

void FrmMain::changeEvent(QEvent* e) {
    Form::changeEvent(e);
    if (e->type() != QEvent::WindowStateChange || !m_minimised || isMinimized()) return;
    m_minimised = false;
    // Changing flags re-creates the native window; not from inside its own state change.
    QMetaObject::invokeMethod(this, &FrmMain::leaveMinimised, Qt::QueuedConnection);
}

void FrmMain::leaveMinimised() {
    if (m_minimised || !isVisible()) return;  // minimised again, or gone, before this ran
    // The native window keeps its "start as an icon" hint through a hide and show, so it
    // would come straight back minimised: give the title a fresh one.
    hide();
    destroy();
    setWindowFlags(kTitleFlags);
    move(m_posBeforeMinimise);
    showNormal();
    raise();
    activateWindow();
}

void FrmMain::Quit_MouseDown(int Button, int, double, double) {
    if (Button != 1) return;
    Formula::PlayNoSound();
    forms().unload(kId);
}

void FrmMain::About_MouseDown(int Button, int, double, double) {
    if (Button != 1) return;
    hideForm();
    forms().get<FrmAbout>().showForm();
}
