#pragma once

#include <QFileInfo>
#include <deque>
#include <stdexcept>
#include <vector>

#include "platform/platform.h"

// Doubles of the desktop services: they record what the program asked for and answer from
// queues the test fills; an empty queue answers as a cancel.

template <class T>
std::optional<T> takeAnswer(std::deque<std::optional<T>>& answers) {
    if (answers.empty()) return std::nullopt;
    std::optional<T> a = answers.front();
    answers.pop_front();
    return a;
}

struct SoundCall {
    QString file;  // file name only, e.g. "Glass.wav"
    int flags;
};

class FakeSound final : public SoundPlayer {
  public:
    void play(const QString& path, int flags) override {
        calls.push_back({QFileInfo(path).fileName(), flags});
    }
    std::vector<SoundCall> calls;
};

class FakeCapture final : public ScreenCapture {
  public:
    CaptureResult grabPrimaryScreen() override { return {next, error}; }
    QImage next;
    QString error;
};

class FakeDialogs final : public DialogBackend {
  public:
    std::optional<QString> openFile(QWidget*, const FileDialogRequest& r) override {
        openRequests.push_back(r);
        return takeAnswer(openAnswers);
    }
    std::optional<QString> saveFile(QWidget*, const FileDialogRequest& r) override {
        saveRequests.push_back(r);
        return takeAnswer(saveAnswers);
    }
    std::optional<QColor> chooseColor(QWidget*, const QString& title, const QColor&) override {
        colorTitles.push_back(title);
        return takeAnswer(colorAnswers);
    }
    std::deque<std::optional<QString>> openAnswers, saveAnswers;
    std::deque<std::optional<QColor>> colorAnswers;
    std::vector<FileDialogRequest> openRequests, saveRequests;
    std::vector<QString> colorTitles;
};

struct ShownMessage {
    QString title, text;
};

class FakeMessages final : public MessageBox {
  public:
    void error(QWidget*, const QString& title, const QString& text) override {
        shown.push_back({title, text});
    }
    std::vector<ShownMessage> shown;
};

class FakeShell final : public Shell {
  public:
    bool openLink(const QUrl& link) override {
        opened.push_back(link);
        return succeed;
    }
    std::vector<QUrl> opened;
    bool succeed = true;
};

// Time stands still unless a test or a sleep moves it.
class FakeClock final : public Clock {
  public:
    uint32_t tickCount() override { return now; }
    void sleepMs(int ms) override {
        sleeps.push_back(ms);
        now += static_cast<uint32_t>(ms);
    }
    uint32_t now = 1000;
    std::vector<int> sleeps;
};

class FakeRandom final : public Random {
  public:
    void seed(uint32_t value) override { seeds.push_back(value); }
    double next() override {
        if (values.empty()) return fallback;
        const double v = values.front();
        values.pop_front();
        return v;
    }
    std::deque<double> values;
    double fallback = 0.0;
    std::vector<uint32_t> seeds;
};

struct FatalError : std::runtime_error {
    FatalError(const QString& p, const QString& r)
        : std::runtime_error((p + QStringLiteral(": ") + r).toStdString()), path(p), reason(r) {}
    QString path, reason;
};

class FakeFatal final : public FatalHandler {
  public:
    [[noreturn]] void dataFileFailed(const QString& path, const QString& reason) override {
        throw FatalError(path, reason);
    }
};

// Installs a full set of doubles for the lifetime of the object and restores the old set.
class FakePlatform {
  public:
    FakePlatform();
    ~FakePlatform() { installPlatform(std::move(m_previous)); }
    FakePlatform(const FakePlatform&) = delete;
    FakePlatform& operator=(const FakePlatform&) = delete;

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
