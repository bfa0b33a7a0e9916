#pragma once

#include <memory>

#include "platform/platform.h"

// The screen as the session lets it be read: the X server's own pixels on X11, the compositor's
// picture under Wayland.
std::unique_ptr<ScreenCapture> makeQtScreenCapture();
