#pragma once

#include <QColor>
#include <QImage>
#include <QObject>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QWidget;

// The services the windows need from the desktop. The program installs Qt-backed ones; the
// tests install doubles (tests/support) so that every handler can run without a desktop.

// Sound flags as the windows pass them: 1 plays once, 9 (1 + 8) repeats until the next sound.
namespace SoundFlags {
constexpr int Async = 1;
constexpr int Loop = 8;
}  // namespace SoundFlags

class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    // Starts the wave file at path and returns at once; ends whatever was playing.
    // A missing file or an absent audio device is silent.
    virtual void play(const QString& path, int flags) = 0;
    // Decodes the files ahead of time so the first strike is not late.
    virtual void preload(const QStringList& paths) { (void)paths; }
};

struct CaptureResult {
    QImage image;   // the primary screen in device pixels; null when the grab failed
    QString error;  // why it failed, for the user
};

class ScreenCapture {
public:
    virtual ~ScreenCapture() = default;
    virtual CaptureResult grabPrimaryScreen() = 0;
    // A part of the screen, in screen pixels, as it looks now; null when it cannot be read.
    virtual QImage grabArea(const QRect& area) {
        (void)area;
        return {};
    }
    // Calls repainted() whenever something is drawn over a part of area (screen pixels) for as
    // long as the returned object lives; null where that cannot be watched.
    virtual std::unique_ptr<QObject> watchRepaints(const QRect& area,
                                                   std::function<void()> repainted) {
        (void)area, (void)repainted;
        return {};
    }
};

// What a file dialog is asked: filters come as the classic "desc|pattern|desc|pattern" string.
struct FileDialogRequest {
    QString title;
    QString filter;
    QString initialName;
    bool confirmOverwrite = false;
};

class DialogBackend {
public:
    virtual ~DialogBackend() = default;
    // Each returns nothing when the user cancels.
    virtual std::optional<QString> openFile(QWidget* parent, const FileDialogRequest& request) = 0;
    virtual std::optional<QString> saveFile(QWidget* parent, const FileDialogRequest& request) = 0;
    // An invalid initial colour opens the dialog on its default.
    virtual std::optional<QColor> chooseColor(QWidget* parent, const QString& title,
                                              const QColor& initial) = 0;
};

class MessageBox {
public:
    virtual ~MessageBox() = default;
    virtual void error(QWidget* parent, const QString& title, const QString& text) = 0;
};

class Shell {
public:
    virtual ~Shell() = default;
    // Hands a link to the desktop's handler; false when none could be started.
    virtual bool openLink(const QUrl& link) = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual uint32_t tickCount() = 0;  // milliseconds, wraps like a 32-bit counter
    virtual void sleepMs(int ms) = 0;  // blocks the caller without spinning
};

class Random {
public:
    virtual ~Random() = default;
    virtual void seed(uint32_t value) = 0;
    virtual double next() = 0;  // uniform in [0, 1)
};

// A fixed data file that cannot be read ends the program; the Qt version tells the user and
// exits, the test double throws so tests can watch it happen.
class FatalHandler {
public:
    virtual ~FatalHandler() = default;
    [[noreturn]] virtual void dataFileFailed(const QString& path, const QString& reason) = 0;
};

// What the user reads when a fixed data file fails, at start-up or later in the run.
QString fatalDataFileMessage(const QString& path, const QString& reason);

struct Platform {
    std::unique_ptr<SoundPlayer> sound;
    std::unique_ptr<ScreenCapture> capture;
    std::unique_ptr<DialogBackend> dialogs;
    std::unique_ptr<MessageBox> messages;
    std::unique_ptr<Shell> shell;
    std::unique_ptr<Clock> clock;
    std::unique_ptr<Random> random;
    std::unique_ptr<FatalHandler> fatal;
};

Platform& platform();
// Replaces the installed services; returns the previous set so a test can restore it.
std::unique_ptr<Platform> installPlatform(std::unique_ptr<Platform> services);
// The Qt-backed services the real program uses.
std::unique_ptr<Platform> makeQtPlatform();
