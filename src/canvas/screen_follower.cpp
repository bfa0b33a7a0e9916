#include "canvas/screen_follower.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <algorithm>
#include <vector>

#include "canvas/formula_start.h"
#include "canvas/snapshot_scale.h"
#include "platform/platform.h"
#include "platform/primary_screen.h"
#include "shell/forms.h"
#include "shell/screen_settle.h"

ScreenFollower::ScreenFollower(Formula_Start& canvas) : m_canvas(canvas) {
    const auto changed = [this] {
        watchPrimaryScreen();
        primaryScreenChanged();
    };
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, changed);
    // Where the compositor's output order names the primary, Qt's own may stay as it was while
    // the screen named first comes or goes.
    if (!PrimaryScreen::compositorOrder().isEmpty()) {
        connect(qGuiApp, &QGuiApplication::screenAdded, this, changed);
        connect(qGuiApp, &QGuiApplication::screenRemoved, this, changed);
    }
    watchPrimaryScreen();
}

void ScreenFollower::watchPrimaryScreen() {
    disconnect(m_geometryWatch);
    if (QScreen* screen = PrimaryScreen::current())
        m_geometryWatch = connect(screen, &QScreen::geometryChanged, this,
                                  &ScreenFollower::primaryScreenChanged);
}

void ScreenFollower::primaryScreenChanged() {
    // A new mode, a new primary and the screens that went or came arrive as several signals.
    if (m_pending) return;
    m_pending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_pending = false;
            follow();
        },
        Qt::QueuedConnection);
}

void ScreenFollower::follow() {
    // The wait for the desktop below runs the event loop: a change that comes meanwhile is
    // followed once this one is done.
    if (m_following) {
        m_again = true;
        return;
    }
    m_following = true;
    do {
        m_again = false;
        if (!coverChangedScreen()) return;  // unloaded meanwhile
    } while (m_again);
    m_following = false;
}

bool ScreenFollower::coverChangedScreen() {
    QScreen* screen = PrimaryScreen::current();
    QSize size = DeviceScale::primaryScreenSize();
    if (!screen || size.isEmpty()) return true;
    DeviceScale scale = DeviceScale::ofPrimaryScreen();
    const QSize had = m_canvas.image().size();  // device pixels, as the screen was
    // At a fractional scale that Qt rounds up, the canvas counts the output's own pixels, as
    // its snapshot did: while the screen still matches them, its size did not change.
    if (snapshotScale(had, screen->geometry().size(), screen->devicePixelRatio()) ==
        m_canvas.scale().factor()) {
        size = had;
        scale = m_canvas.scale();
    }
    if (size != had || scale.factor() != m_canvas.scale().factor()) {
        // Only what the image gains is taken from the screen; where the canvas was, the
        // screen shows the canvas itself. The desktop paints the area a screen gains in its
        // own time, and until then the area is black. The image counts device pixels and the
        // screen is read in logical ones at the new scale, which keeps its corner in device
        // pixels.
        const QRect now = screen->geometry();
        const QPointer<ScreenFollower> alive(this);
        const QPointer<QScreen> watched(screen);
        // The strips as the wait last read them, and where they go: a 4K screen is not read
        // again as a whole. The one below reaches only as far as the one on the right.
        std::vector<std::pair<QImage, QPoint>> strips;
        for (const QRect& gained :
             {QRect(had.width(), 0, size.width() - had.width(), size.height()),
              QRect(0, had.height(), std::min(had.width(), size.width()),
                    size.height() - had.height())}) {
            if (gained.isEmpty()) continue;
            const QRect area = scale.logicalCover(gained).translated(now.topLeft());
            QImage black(area.size(), QImage::Format_RGB32);
            black.fill(Qt::black);
            QImage strip = ScreenSettle::waitUntilUncovered(area, black);
            // The user may have left meanwhile, or the screen may have changed or gone (and
            // been deleted) again: then it is followed afresh.
            if (!alive) return false;
            if (m_again || watched != PrimaryScreen::current()) return m_again = true;
            const QPoint at = scale.deviceCover(area.translated(-now.topLeft())).topLeft();
            strips.emplace_back(std::move(strip), at);
        }
        m_canvas.takeScreen(size, scale, {});
        for (const auto& [strip, at] : strips)
            if (!strip.isNull()) m_canvas.image().blit(strip, strip.rect(), at, RasterOp::Copy);
    }
    if (m_canvas.isVisible()) m_canvas.coverPrimaryScreen();
    const QRect area = screen->availableGeometry();
    for (FormId id : {FormId::FrmOption, FormId::FrmOption2})
        if (Form* form = forms().ifLoaded(id)) form->keepWithin(area);
    return true;
}
