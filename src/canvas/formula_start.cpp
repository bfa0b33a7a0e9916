#include "canvas/formula_start.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QWindow>
#include <algorithm>

#include "canvas/capture_screen.h"
#include "canvas/screen_follower.h"
#include "canvas/splinter_animation.h"
#include "canvas/tools/tool.h"
#include "layouts/data_files.h"
#include "palette/frm_option.h"
#include "platform/platform.h"
#include "platform/primary_screen.h"
#include "platform/wayland_session.h"
#include "shell/forms.h"
#include "shell/picture_box.h"

namespace {

const QString kSplinterHolder = QStringLiteral("PicSplinter");

QString holderName(SpriteSet set) {
    switch (set) {
        case SpriteSet::Glass:
            return QStringLiteral("PicGlass");
        case SpriteSet::Bomb:
            return QStringLiteral("PicBomb");
        case SpriteSet::Bomb2:
            return QStringLiteral("PicBomb2");
        case SpriteSet::Bomb3:
            return QStringLiteral("PicBomb3");
        case SpriteSet::To:
            return QStringLiteral("PicTo");
    }
    return {};
}

}  // namespace

Formula_Start::Formula_Start() : Form(kId) {
    // The image is the only thing painted, and only where it changed.
    client()->setAttribute(Qt::WA_StaticContents);
    client()->setAttribute(Qt::WA_OpaquePaintEvent);
    client()->setAttribute(Qt::WA_NoSystemBackground);
    // A window manager puts a focused screen-sized window above every other layer, which
    // would bury the palette; the canvas needs no keyboard, so it never takes the focus.
    setWindowFlag(Qt::WindowDoesNotAcceptFocus);
    m_image.setHistory(&m_history);
    m_image.setForeColor(ForeColor());
    m_image.setDrawWidth(DrawWidth());
    for (int n = 1; n <= Formula::kToolCount; ++n) m_tools[n - 1] = makeTool(n);
    m_follower = std::make_unique<ScreenFollower>(*this);
}

Formula_Start::~Formula_Start() {
    // No splinter step may run on a canvas that is going away.
    m_splinters.reset();
}

void Formula_Start::Form_Load() {
    m_hasSnapshot = Formula::CaptureScreen();
    auto load = [this](const QString& holder, int index, const QString& file) {
        picture(holder, index)->setPicture(loadFixedPicture(file));
    };
    load(kSplinterHolder, 0, DataFiles::kSplinter);
    for (int i = 1; i <= 3; ++i) load(holderName(SpriteSet::Glass), i, DataFiles::glass(i));
    for (int i = 1; i <= 2; ++i) load(holderName(SpriteSet::Bomb), i, DataFiles::bomb1(i));
    for (int i = 1; i <= 2; ++i) load(holderName(SpriteSet::Bomb2), i, DataFiles::bomb2(i));
    // The craters are files 3 to 5 of the Bomb2_ series.
    for (int i = 1; i <= 3; ++i) load(holderName(SpriteSet::Bomb3), i, DataFiles::bomb2(i + 2));
    load(holderName(SpriteSet::To), -1, DataFiles::kTitle);

    makeSplinters();
    Formula::SplinterIndex = static_cast<int16_t>(SplinterAnimation::holderCount());

    setMouseIcon(QCursor(Qt::ArrowCursor));  // the tool's cursor comes with its selection
    Formula::PenSize = 20;
    Formula::BoxSize = 20;
}

void Formula_Start::makeSplinters() {
    // Holders 1 to 20 are copies of holder 0: same picture, same place, hidden.
    PictureBox* first = picture(kSplinterHolder, 0);
    m_splinters = std::make_unique<SplinterAnimation>(
        first->picture(), first->pos(), client()->size(),
        [this](const QRegion& dirty) {
            if (m_scale.isIdentity()) return client()->update(dirty);
            for (const QRect& r : dirty) client()->update(m_scale.logicalCover(r));
        },
        m_scale);
}

void Formula_Start::Form_QueryUnload() {
    if (m_splinters) m_splinters->stop();
}

Formula_Start::ToolFlags Formula_Start::selectedTools() {
    ToolFlags flags;
    for (int n = 1; n <= Formula::kToolCount; ++n)
        flags[n - 1] = Formula::PropOn(n) == Formula::kTrue;
    return flags;
}

bool Formula_Start::splinterAt(double X, double Y) const {
    if (!m_splinters) return false;
    // The press is in logical pixels, the splinters in device pixels.
    const QPoint at = m_scale.point(X, Y);
    for (int i = 0; i < SplinterAnimation::holderCount(); ++i)
        if (m_splinters->holderVisible(i) && m_splinters->holderRect(i).contains(at)) return true;
    return false;
}

void Formula_Start::Form_MouseDown(int Button, int, double X, double Y) {
    // A splinter is a control with no handlers of its own: what lands on it never reaches us.
    m_pressOnSplinter = splinterAt(X, Y);
    if (m_pressOnSplinter) return;
    if (Button == 1) m_history.begin();
    // The flags are read once, as the press arrives: nothing a tool starts can make the same
    // press carry out a tool chosen later.
    const ToolFlags selected = selectedTools();
    for (int n = 1; n <= Formula::kToolCount; ++n)
        if (selected[n - 1] && Button == 1) m_tools[n - 1]->press(*this, X, Y);
    if (Button == 2) showPalette();
}

void Formula_Start::Form_MouseMove(int Button, int, double X, double Y) {
    // Button is the set held: the left one alone, not left and right together.
    if (!(Button & 1)) m_history.end();  // a release that never came
    if (m_pressOnSplinter) return;
    const ToolFlags selected = selectedTools();
    for (int n = 1; n <= Formula::kToolCount; ++n)
        if (selected[n - 1] && Button == 1) m_tools[n - 1]->move(*this, X, Y);
}

void Formula_Start::Form_MouseUp(int Button, int, double X, double Y) {
    if (m_pressOnSplinter) {
        m_pressOnSplinter = false;
        return;
    }
    const ToolFlags selected = selectedTools();
    for (int n = 1; n <= Formula::kToolCount; ++n)
        if (selected[n - 1] && Button == 1) m_tools[n - 1]->release(*this, X, Y);
    if (Button & 1) m_history.end();
}

void Formula_Start::takeKeyboard(bool take) {
    QWindow* window = windowHandle();
    if (!window) return;
    window->setFlag(Qt::WindowDoesNotAcceptFocus, !take);
    if (take && isVisible()) activateWindow();
}

bool Formula_Start::undo() {
    const QRegion changed = m_image.undo();
    for (const QRect& r : changed) invalidate(r);
    return !changed.isEmpty();
}

bool Formula_Start::redo() {
    const QRegion changed = m_image.redo();
    for (const QRect& r : changed) invalidate(r);
    return !changed.isEmpty();
}

void Formula_Start::showForm() {
    coverPrimaryScreen();
    Form::showForm();
    if (QScreen* screen = PrimaryScreen::current()) move(screen->geometry().topLeft());
}

void Formula_Start::coverPrimaryScreen() {
    QScreen* screen = PrimaryScreen::current();
    if (!screen) return;
    if (WaylandSession::current()) {
        // A Wayland client cannot place itself, and through XWayland the compositor keeps a
        // plain window out of its panels: its full-screen state puts the canvas over the
        // whole output, above them. Full screen on another output is asked for afresh.
        winId();
        if (windowHandle()->screen() != screen && isFullScreen())
            setWindowState(windowState() & ~Qt::WindowFullScreen);
        windowHandle()->setScreen(screen);
        setWindowState(windowState() | Qt::WindowFullScreen);
    }
    move(screen->geometry().topLeft());
}

void Formula_Start::followPrimaryScreen() {
    m_follower->follow();
}

void Formula_Start::takeScreen(QSize size, DeviceScale scale, const QImage& gained) {
    setScale(scale);
    m_image.resize(size, gained, backColor());
    Formula::ScreenWidthPx = size.width();
    Formula::ScreenHeightPx = static_cast<int16_t>(std::min(size.height(), 32767));
    setClientGeometry(QRect(QPoint(0, 0), m_scale.logicalCover(m_image.rect()).size()));
    // Splinters fly within the canvas, at its scale: a burst in the air ends here.
    if (m_splinters) makeSplinters();
    client()->update();
}

void Formula_Start::closedByWindowManager() {
    if (FrmOption* palette = forms().ifLoaded<FrmOption>())
        return palette->LabExit_MouseDown(1, 0, 0, 0);
    Form::closedByWindowManager();
}

void Formula_Start::setScale(DeviceScale scale) {
    m_scale = scale;
    m_deviceSprites.clear();
    m_image.setDrawWidth(m_scale.length(DrawWidth()));
}

void Formula_Start::setScreenSize(QSize size, QImage snapshot) {
    m_history.clear();  // a new snapshot: nothing before it can come back
    setClientGeometry(QRect(QPoint(0, 0), m_scale.logicalCover(QRect(QPoint(0, 0), size)).size()));
    if (!snapshot.isNull()) {
        // Qt's grab marks its picture as scaled; here it is device pixels, painted 1:1.
        snapshot.setDevicePixelRatio(1);
        m_image.adopt(std::move(snapshot));
    } else {
        m_image.reset(size, backColor());
    }
    client()->update();
}

void Formula_Start::loadPicture(const QImage& picture) {
    m_image.replace(picture, backColor());
    client()->update();
}

void Formula_Start::Refresh(const QRect& dirty) {
    if (!dirty.isEmpty()) client()->repaint(m_scale.logicalCover(dirty));
}

void Formula_Start::invalidate(const QRect& dirty) {
    if (!dirty.isEmpty()) client()->update(m_scale.logicalCover(dirty));
}

PictureBox* Formula_Start::PicTo() const {
    return picture(holderName(SpriteSet::To));
}

int Formula_Start::splinterHolderCount() const {
    return m_splinters ? SplinterAnimation::holderCount() : 1;
}

const QImage& Formula_Start::sprite(SpriteSet set, int index) const {
    static const QImage none;
    const PictureBox* holder = picture(holderName(set), set == SpriteSet::To ? -1 : index);
    return holder ? holder->picture() : none;
}

const QImage& Formula_Start::deviceSprite(SpriteSet set, int index) const {
    const QImage& source = sprite(set, index);
    if (m_scale.isIdentity()) return source;
    ScaledSprite& slot = m_deviceSprites[{set, set == SpriteSet::To ? -1 : index}];
    if (slot.image.isNull() || slot.source != source.cacheKey()) {
        // Scaled once per picture, not on every strike.
        slot.source = source.cacheKey();
        slot.image = set == SpriteSet::To ? m_scale.picture(source) : m_scale.sprite(source);
    }
    return slot.image;
}

void Formula_Start::playSound(const QString& name, int16_t flags) {
    Formula::PlaySoundFile(name, flags);
}

void Formula_Start::playNoSound() {
    Formula::PlayNoSound();
}

void Formula_Start::showPalette() {
    forms().get<FrmOption>().showForm();
}

void Formula_Start::splinterBurst(double X, double Y) {
    if (m_splinters) m_splinters->start(X, Y);
}

void Formula_Start::setForeColor(Colour colour) {
    Form::setForeColor(colour);
    m_image.setForeColor(colour);
}

void Formula_Start::setDrawWidth(int width) {
    Form::setDrawWidth(width);
    m_image.setDrawWidth(m_scale.length(width));
}

void Formula_Start::paintClient(QPainter& p, const QRect& logical) {
    // The image is device pixels and is painted 1:1 onto them, never resampled.
    p.save();
    if (!m_scale.isIdentity()) p.scale(1 / m_scale.factor(), 1 / m_scale.factor());
    const QRect rect = m_scale.deviceCover(logical);
    const QRect inImage = rect.intersected(m_image.rect());
    if (inImage != rect) p.fillRect(rect, toQColor(backColor()));
    if (!inImage.isEmpty()) p.drawImage(inImage.topLeft(), m_image.image(), inImage);
    if (m_splinters) m_splinters->paint(p, rect);
    p.restore();
}
