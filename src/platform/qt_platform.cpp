#include <QAudioDevice>
#include <QAudioSink>
#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMediaDevices>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>

#include "platform/common_dialog.h"
#include "platform/device_scale.h"
#include "platform/one_voice.h"
#include "platform/platform.h"
#include "platform/portal_screenshot.h"
#include "platform/wave_sound.h"
#include "platform/wayland_session.h"
#include "platform/x11_shm_grab.h"

namespace {

// Whether a sound server with an output is there. Without one, Qt's audio back end complains in
// English on every sound; Shatter says it once itself and stays silent.
bool audioOutputPresent() {
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    const bool present = !QMediaDevices::defaultAudioOutput().isNull();
    qInstallMessageHandler(previous);
    if (!present) {
        std::fputs("shatter: 找不到音效裝置或音效伺服器，不播放聲音。\n", stderr);
        std::fflush(stderr);
    }
    return present;
}

// One voice, as the windows expect: starting a sound cuts the one before. The sounds are read
// into memory up front, and the first of a sound's samples go to the server within the call
// that starts it, so a strike is heard without waiting for a timer.
class QtSoundPlayer final : public SoundPlayer {
  public:
    QtSoundPlayer() {
        m_feeder.setInterval(kFeedMs);
        QObject::connect(&m_feeder, &QTimer::timeout, [this] { feed(); });
    }
    void play(const QString& path, int flags) override {
        if (!m_audible) return;
        ++m_started;
        m_feeder.stop();
        // A new output each time; the old one's end drops what the server still holds of the
        // sound before.
        m_out = nullptr;
        if (m_sink) m_sink->reset();
        m_sink.reset();
        const WaveSound* sound = soundFor(path);
        if (!sound) return;  // a missing sound is silence
        m_sink = std::make_unique<QAudioSink>(QMediaDevices::defaultAudioOutput(), sound->format);
        m_sink->setBufferSize(sound->format.bytesForDuration(kBufferUs));
        m_voice.setSound(sound->pcm, flags & SoundFlags::Loop, sound->format.bytesPerFrame());
        m_out = m_sink->start();
        feed();
    }
    void preload(const QStringList& paths) override {
        if (!m_audible) return;
        for (const QString& p : paths) soundFor(p);
    }

  private:
    // Generous: a busy machine may hold up the interface thread that tops the output up, and a
    // sound still starts as soon as its first samples are written.
    static constexpr qint64 kBufferUs = 500000;
    static constexpr int kFeedMs = 100;

    const WaveSound* soundFor(const QString& path) {
        auto it = m_sounds.find(path);
        if (it == m_sounds.end()) it = m_sounds.emplace(path, readWaveSound(path)).first;
        return it->second ? &*it->second : nullptr;
    }
    void feed() {
        if (!m_out) return;
        QByteArray chunk(m_sink->bytesFree(), Qt::Uninitialized);
        const qint64 n = m_voice.read(chunk.data(), chunk.size());
        if (n > 0) m_out->write(chunk.constData(), n);
        if (!m_voice.atEnd()) {
            if (!m_feeder.isActive()) m_feeder.start();
            return;
        }
        // All written. The server starts a stream only once its buffer is full, so a short sound
        // is followed by silence up to that. The output closes once the server has played it,
        // unless another sound starts first: nothing stays awake in silence.
        m_out->write(QByteArray(m_sink->bytesFree(), '\0'));
        m_feeder.stop();
        const quint64 started = m_started;
        const qint64 left =
            m_sink->format().durationForBytes(m_sink->bufferSize() - m_sink->bytesFree());
        QTimer::singleShot(int(left / 1000) + kFeedMs, m_sink.get(), [this, started] {
            if (started != m_started) return;
            m_out = nullptr;
            m_sink.release()->deleteLater();
        });
    }

    const bool m_audible = audioOutputPresent();
    std::map<QString, std::optional<WaveSound>> m_sounds;
    OneVoice m_voice;
    std::unique_ptr<QAudioSink> m_sink;
    QIODevice* m_out = nullptr;  // the sink's, while it plays
    QTimer m_feeder;
    quint64 m_started = 0;
};

class QtScreenCapture final : public ScreenCapture {
  public:
    CaptureResult grabPrimaryScreen() override {
        // Under Wayland the X screen of XWayland holds only X clients: ask the desktop.
        if (WaylandSession::current())
            return PortalScreenshot(QDBusConnection::sessionBus()).grabPrimaryScreen();
        QScreen* screen = QGuiApplication::primaryScreen();
        if (!screen) return {{}, QStringLiteral("找不到螢幕")};
        // Qt keeps a screen's top-left corner in device pixels when it scales.
        const QRect device(screen->geometry().topLeft(), DeviceScale::primaryScreenSize());
        if (QImage fast = grabX11RootThroughSharedMemory(device); !fast.isNull())
            return {std::move(fast), {}};
        // Qt's grab is in device pixels already, whatever the scale factor.
        const QPixmap shot = screen->grabWindow(0);
        if (shot.isNull()) return {{}, QStringLiteral("視窗系統拒絕擷取螢幕")};
        QImage image = shot.toImage().convertToFormat(QImage::Format_RGB32);
        image.setDevicePixelRatio(1);
        return {std::move(image), {}};
    }
    QImage grabArea(const QRect& area) override {
        QScreen* screen = QGuiApplication::screenAt(area.center());
        if (!screen) screen = QGuiApplication::primaryScreen();
        if (!screen || WaylandSession::current()) return {};
        // The grab counts from the screen's own corner and adds its offset itself.
        const QPoint at = area.topLeft() - screen->geometry().topLeft();
        return screen->grabWindow(0, at.x(), at.y(), area.width(), area.height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }
};

class QtDialogBackend final : public DialogBackend {
  public:
    std::optional<QString> openFile(QWidget* parent, const FileDialogRequest& r) override {
        QFileDialog dialog(parent, r.title);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::AnyFile);
        return run(dialog, r);
    }
    std::optional<QString> saveFile(QWidget* parent, const FileDialogRequest& r) override {
        QFileDialog dialog(parent, r.title);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !r.confirmOverwrite);
        return run(dialog, r);
    }
    std::optional<QColor> chooseColor(QWidget* parent, const QString& title,
                                      const QColor& initial) override {
        QColorDialog dialog(parent);
        dialog.setWindowTitle(title);
        dialog.setOption(QColorDialog::DontUseNativeDialog);
        if (initial.isValid()) dialog.setCurrentColor(initial);
        if (dialog.exec() != QDialog::Accepted || !dialog.selectedColor().isValid())
            return std::nullopt;
        return dialog.selectedColor();
    }

  private:
    static std::optional<QString> run(QFileDialog& dialog, const FileDialogRequest& r) {
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setOption(QFileDialog::HideNameFilterDetails);
        dialog.setNameFilters(nameFiltersFromClassic(r.filter));
        if (!r.initialName.isEmpty()) dialog.selectFile(r.initialName);
        dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().constFirst();
    }
};

class QtMessageBox final : public MessageBox {
  public:
    void error(QWidget* parent, const QString& title, const QString& text) override {
        QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, parent);
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
        box.winId();
        WaylandSession::keepAboveFullScreen(box.windowHandle());
        box.exec();
    }
};

class QtShell final : public Shell {
  public:
    bool openLink(const QUrl& link) override { return QDesktopServices::openUrl(link); }
};

class QtClock final : public Clock {
  public:
    uint32_t tickCount() override {
        using namespace std::chrono;
        return static_cast<uint32_t>(
            duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }
    void sleepMs(int ms) override { QThread::msleep(static_cast<unsigned long>(ms)); }
};

class QtRandom final : public Random {
  public:
    void seed(uint32_t value) override { m_engine.seed(value); }
    double next() override {
        // 53 random bits give a double strictly below 1.
        return static_cast<double>(m_engine() >> 11) * 0x1.0p-53;
    }

  private:
    std::mt19937_64 m_engine{5489u};
};

class QtFatalHandler final : public FatalHandler {
  public:
    [[noreturn]] void dataFileFailed(const QString& path, const QString& reason) override {
        const QString text = fatalDataFileMessage(path, reason);
        std::fprintf(stderr, "shatter: %s\n", qPrintable(QString(text).replace('\n', ' ')));
        std::fflush(stderr);
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) &&
            !QGuiApplication::platformName().startsWith(QLatin1String("offscreen"))) {
            QMessageBox box(QMessageBox::Critical, QStringLiteral("Shatter"), text);
            box.setWindowFlag(Qt::WindowStaysOnTopHint);
            box.exec();
        }
        std::_Exit(2);
    }
};

}  // namespace

std::unique_ptr<Platform> makeQtPlatform() {
    auto p = std::make_unique<Platform>();
    p->sound = std::make_unique<QtSoundPlayer>();
    p->capture = std::make_unique<QtScreenCapture>();
    p->dialogs = std::make_unique<QtDialogBackend>();
    p->messages = std::make_unique<QtMessageBox>();
    p->shell = std::make_unique<QtShell>();
    p->clock = std::make_unique<QtClock>();
    p->random = std::make_unique<QtRandom>();
    p->fatal = std::make_unique<QtFatalHandler>();
    return p;
}
