#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "platform/capture/qt_screen_capture.h"
#include "platform/common_dialog.h"
#include "platform/device_scale.h"
#include "platform/platform.h"
#include "platform/sound/pulse_sound.h"
#include "platform/wayland_session.h"

namespace {

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
    p->sound = std::make_unique<PulseSoundPlayer>();
    p->capture = makeQtScreenCapture();
    p->dialogs = std::make_unique<QtDialogBackend>();
    p->messages = std::make_unique<QtMessageBox>();
    p->shell = std::make_unique<QtShell>();
    p->clock = std::make_unique<QtClock>();
    p->random = std::make_unique<QtRandom>();
    p->fatal = std::make_unique<QtFatalHandler>();
    return p;
}
