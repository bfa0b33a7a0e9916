#pragma once

#include <QImage>
#include <QRect>

// A rectangle of the X root window (root coordinates, device pixels) read through shared
// memory: the server writes the pixels straight into our memory instead of sending 33 MB of a
// 4K screen down the socket. A null image whenever that is not possible (not X11, no MIT-SHM,
// a server on another machine, an unusual pixel layout, a rectangle not wholly on the root);
// the caller then takes the ordinary grab.
QImage grabX11RootThroughSharedMemory(const QRect& area);
