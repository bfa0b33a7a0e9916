#pragma once

#include <QFileInfo>
#include <deque>
#include <stdexcept>
#include <vector>

#include "platform/platform.h"

// Doubles of the desktop services: they record what the program asked for and answer from
// queues the test fills.

struct SoundCall {
    QString file;  // file name only, e.g. "Glass.wav"
    int flags;
};

class FakeSound final : public SoundPlayer {
public:
    void play(const QString& path, int flags) override {
        calls.push_back({QFileInfo(path).fileName(), flags});
        playing = calls.back().file;
        looping = (flags & SoundFlags::Loop) != 0;
    }
    QStringList files() const {
        QStringList out;
        for (const SoundCall& c : calls) out << c.file;
        return out;
    }
    std::vector<SoundCall> calls;
    QString playing;  // the one voice
    bool looping = false;
};

class FakeCapture final : public ScreenCapture {
public:
    CaptureResult grabPrimaryScreen() override {
        ++grabs;
        return {next, error};
    }
    // Answers from the queue; once it is empty, with its last picture (or nothing).
    QImage grabArea(const QRect& area) override {
        areas.push_back(area);
        if (looks.size() > 1) {
            QImage look = looks.front();
            looks.pop_front();
            return look;
        }
        return looks.empty() ? QImage() : looks.front();
    }
    std::deque<QImage> looks;
    std::vector<QRect> areas;
    QImage next;
    QString error;
    int grabs = 0;
};

class FakeDialogs final : public DialogBackend {
public:
    std::optional<QString> openFile(QWidget*, const FileDialogRequest& r) override {
        openRequests.push_back(r);
        return take(openAnswers);
    }
    std::optional<QString> saveFile(QWidget*, const FileDialogRequest& r) override {
        saveRequests.push_back(r);
        return take(saveAnswers);
    }
    std::optional<QColor> chooseColor(QWidget*, const QString& title, const QColor&) override {
        colorTitles.push_back(title);
        if (colorAnswers.empty()) return std::nullopt;
        auto a = colorAnswers.front();
        colorAnswers.pop_front();
        return a;
    }
    // An empty queue answers as a cancel.
    std::deque<std::optional<QString>> openAnswers, saveAnswers;
    std::deque<std::optional<QColor>> colorAnswers;
    std::vector<FileDialogRequest> openRequests, saveRequests;
    std::vector<QString> colorTitles;

private:
    static std::optional<QString> take(std::deque<std::optional<QString>>& q) {
        if (q.empty()) return std::nullopt;
        auto a = q.front();
        q.pop_front();
        return a;
    }
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
        double v = values.front();
        values.pop_front();
        return v;
    }
    std::deque<double> values;
    double fallback = 0.0;
    std::vector<uint32_t> seeds;
};

struct FatalError : std::runtime_error {
    FatalError(QString p, QString r)
        : std::runtime_error((p + QStringLiteral(": ") + r).toStdString()),
          path(std::move(p)),
          reason(std::move(r)) {}
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
    ~FakePlatform();
    FakePlatform(const FakePlatform&) = delete;
    FakePlatform& operator=(const FakePlatform&) = delete;

    FakeSound* sound;
    FakeCapture* capture;
    FakeDialogs* dialogs;
    FakeMessages* messages;
    FakeShell* shell;
    FakeClock* clock;
    FakeRandom* random;

private:
    std::unique_ptr<Platform> m_previous;
};
