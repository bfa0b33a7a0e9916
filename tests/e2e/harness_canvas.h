#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>
#include <memory>
#include <optional>

#include "e2e/harness.h"
#include "layouts/layouts.h"

// Helpers for the scenarios behind the title window: the canvas, the palette and its dialogs.
namespace e2e {

constexpr QSize kTitleOuterSize(309, 150);
constexpr QSize kPaletteOuterSize(360, 262);
constexpr QPoint kFrameOffset(3, 3);

// A deterministic, colourful full-screen picture: bright bars, fine grid lines, gradients
// and text. Every region a tool strikes holds bright colours, so darkening always shows.
QImage testPattern(QSize size);
// A frameless window of this process covering the screen with the picture; null when it
// never became visible.
std::unique_ptr<QWidget> showPicture(const QImage& picture);
void replacePicture(QWidget& window, const QImage& picture);

// A point or rectangle in a window's client area, on the screen.
QPoint clientToScreen(const XWindow& w, QPoint inClient);
QRect controlOnScreen(const XWindow& w, FormId form, const char* name);
QPoint controlCentre(const XWindow& w, FormId form, const char* name);

// Starts the program, enters through the title window and returns the palette once both it
// and the full-screen canvas are on the screen.
std::optional<XWindow> enterCanvas(Harness& h);
std::optional<XWindow> canvasWindow(const Harness& h);

// Bounding box of the pixels that differ by more than tolerance in any channel, ignoring
// the pixels inside ignore; empty when nothing differs.
QRect changedBox(const QImage& a, const QImage& b, const QRect& ignore = {}, int tolerance = 0);
int changedCount(const QImage& a, const QImage& b, const QRect& region, int tolerance = 0);
// Mean position of the differing pixels in region.
QPointF changedCentroid(const QImage& a, const QImage& b, const QRect& region);

// Screenshots until the screen stays the same for quietMs (the splinters have gone);
// nothing when it still moves at the deadline.
std::optional<QImage> waitForStillScreen(const Harness& h, int timeoutMs = 15000,
                                         int quietMs = 400);

// The program's visible window with this title other than the one excluded (a file dialog
// and its confirmation box share the title).
std::optional<XWindow> waitForTitledWindow(const Harness& h, const QString& title,
                                           int timeoutMs = 10000, const QString& excluded = {});
// Gives the window the keyboard, then sends keys or types text into its focused field.
bool focusWindow(const Harness& h, const QString& windowId);
void sendKeys(const QString& keySyms);
void typeText(const QString& text);

// xdotool pointer steps that do not go through the harness's settling moves: a press, moves
// and a release, so a drag on the canvas is a tool drag, not a window move.
void buttonDown(int button = 1);
void buttonUp(int button = 1);

}  // namespace e2e
