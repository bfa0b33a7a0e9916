#pragma once

#include <QFileInfo>
#include <deque>
#include <functional>
#include <stdexcept>
#include <vector>

#include "platform/platform.h"

// Doubles of the desktop services: they record what the program asked for and answer from
// queues the test fills; an empty queue answers as a cancel.

template <class T>
std::optional<T> takeAnswer(std::deque<std::optional<T>>& answers) {
    std::optional<T> a;
    if (!answers.empty()) a = answers.front(), answers.pop_front();
    return a;
}

struct FakeSound final : SoundPlayer {
    void play(const QString& path, int flags) override {
        calls << QFileInfo(path).fileName() + '/' + QString::number(flags);
        if (onPlay) onPlay();
    }
    QStringList calls;  // file name and flags, e.g. "Glass.wav/1"
    std::function<void()> onPlay;
};

struct FakeCapture final : ScreenCapture {
    CaptureResult grabPrimaryScreen() override {
        if (during) during();
        return {next, error};
    }
    QImage grabArea(const QRect&) override { return area; }
    std::function<void()> during;  // what happens while the capture waits for the desktop
    QImage next, area;
    QString error;
};

struct FakeDialogs final : DialogBackend {
    std::optional<QString> openFile(QWidget*, const FileDialogRequest&) override {
        return takeAnswer(openAnswers);
    }
    std::optional<QString> saveFile(QWidget*, const FileDialogRequest& r) override {
        saveRequests.push_back(r);
        return takeAnswer(saveAnswers);
    }
    std::optional<QColor> chooseColor(QWidget*, const QString& title,
                                      const QColor& initial) override {
        colorRequests.push_back({title, initial});
        return takeAnswer(colorAnswers);
    }
    std::deque<std::optional<QString>> openAnswers, saveAnswers;
    std::deque<std::optional<QColor>> colorAnswers;
    std::vector<FileDialogRequest> saveRequests;
    std::vector<std::pair<QString, QColor>> colorRequests;  // title, preselected colour
};

struct ShownMessage {
    QString title, text;
};

struct FakeMessages final : MessageBox {
    void error(QWidget*, const QString& title, const QString& text) override {
        shown.push_back({title, text});
    }
    std::vector<ShownMessage> shown;
    // The text of the only message shown, or how many there were.
    QString only() const {
        return shown.size() == 1 ? shown[0].text : QString::number(shown.size());
    }
};

struct FakeShell final : Shell {
    bool openLink(const QUrl& link) override { return opened.push_back(link), succeed; }
    std::vector<QUrl> opened;
    bool succeed = true;
};

// Time stands still unless a test or a sleep moves it.
struct FakeClock final : Clock {
    uint32_t tickCount() override { return now; }
    void sleepMs(int ms) override { now += static_cast<uint32_t>(ms); }
    uint32_t now = 1000;
};

struct FakeRandom final : Random {
    void seed(uint32_t value) override { seeds.push_back(value); }
    double next() override { return takeAnswer(values).value_or(fallback); }
    std::deque<std::optional<double>> values;
    double fallback = 0.0;
    std::vector<uint32_t> seeds;
};

struct FatalError : std::runtime_error {
    FatalError(const QString& p, const QString& r)
        : std::runtime_error((p + QStringLiteral(": ") + r).toStdString()), path(p), reason(r) {}
    QString path, reason;
};

struct FakeFatal final : FatalHandler {
    [[noreturn]] void dataFileFailed(const QString& path, const QString& reason) override {
        throw FatalError(path, reason);
    }
};

// Installs a full set of doubles for the lifetime of the object and restores the old set. The
// installed platform owns the doubles.
class FakePlatform {
  public:
    FakePlatform() {
        auto p = std::make_unique<Platform>();
        p->sound.reset(sound), p->capture.reset(capture), p->dialogs.reset(dialogs);
        p->messages.reset(messages), p->shell.reset(shell), p->clock.reset(clock);
        p->random.reset(random);
        p->fatal = std::make_unique<FakeFatal>();
        m_previous = installPlatform(std::move(p));
    }
    ~FakePlatform() { installPlatform(std::move(m_previous)); }
    Q_DISABLE_COPY(FakePlatform)

    FakeSound* sound = new FakeSound;
    FakeCapture* capture = new FakeCapture;
    FakeDialogs* dialogs = new FakeDialogs;
    FakeMessages* messages = new FakeMessages;
    FakeShell* shell = new FakeShell;
    FakeClock* clock = new FakeClock;
    FakeRandom* random = new FakeRandom;

  private:
    std::unique_ptr<Platform> m_previous;
};
