#pragma once

#include <QList>
#include <QStringList>

class QScreen;

// The screen that the snapshot, the canvas and the small windows share. Qt 6.4 on Wayland takes
// the first output the compositor announces as its primary; KWin names its primary through its
// output order instead (kde_output_order_v1, primary first), which Qt reads only with KDE's own
// integration. Elsewhere, and where that order names no screen Qt knows, it is Qt's primary.
namespace PrimaryScreen {

QScreen* current();

// Of the screens, the first that the order names (by QScreen::name()); the fallback when it
// names none of them.
QScreen* choose(const QStringList& order, const QList<QScreen*>& screens, QScreen* fallback);

// The compositor's output order, read once on the first call with a bounded wait; empty off
// Qt's Wayland platform and where the compositor announces none.
QStringList compositorOrder();
// Reads that order now, through a connection of its own to WAYLAND_DISPLAY: empty where the
// compositor announces none or does not answer within half a second.
QStringList readCompositorOrder();

}  // namespace PrimaryScreen
