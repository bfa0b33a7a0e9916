#pragma once

#include <QObject>
#include <QRect>
#include <functional>
#include <memory>

// Drawing over a rectangle of the X root window (root coordinates, device pixels), as the X
// server reports it through its DAMAGE extension: whatever draws there (the server painting a
// background, a window manager, any program) is told at once, without reading pixels. Null
// where that is not possible (not X11, no DAMAGE extension).
std::unique_ptr<QObject> watchX11RootRepaints(const QRect& area, std::function<void()> repainted);
