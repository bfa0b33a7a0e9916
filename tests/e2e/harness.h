#pragma once

#include <QImage>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// End-to-end scenarios: the real program on the real X display, driven by xdotool and
// watched through screenshots taken by the test process itself.
namespace e2e {

// A top-level X window of the program under test, in root coordinates.
struct XWindow {
    QString id;
    QRect geometry;
};

class Harness {
  public:
    Harness();
    ~Harness();  // kills the program if a scenario left it running
    Harness(const Harness&) = delete;
    Harness& operator=(const Harness&) = delete;

    // Starts the built program in place, or the copy made by copyProgram().
    bool startShatter();
    // Copies the program and its data directories into a private directory that later
    // startShatter() calls use; returns that directory so a scenario can break it.
    QString copyProgram();

    // The program's visible windows, and waiting for one with the given outer size.
    std::vector<XWindow> windows() const;
    std::optional<XWindow> waitForWindow(QSize size, int timeoutMs = 10000) const;
    bool waitForNoWindow(QSize size, int timeoutMs = 5000) const;
    // Every window of the program, mapped or not (a minimised one is unmapped).
    QStringList allWindowIds() const;
    QString property(const QString& windowId, const QString& name) const;

    // The pointer, in root coordinates; button 1 left, 2 middle, 3 right.
    void moveTo(QPoint p) const;
    static QPoint pointer();
    void click(QPoint p, int button = 1) const;
    void drag(QPoint from, QPoint to) const;
    void key(const QString& windowId, const QString& keySym) const;
    void activate(const QString& windowId) const;

    // The whole screen now; with a name it is kept when SHATTER_E2E_SHOTS names a directory.
    QImage screenshot(const QString& name = {}) const;
    // Keeps the screen of a failed scenario next to the test binary.
    void saveFailureShot(const QString& testName) const;

    // The exit code, or nothing when the program still runs after the timeout.
    std::optional<int> waitForExit(int timeoutMs);
    QProcess& process() { return m_process; }
    QString errorOutput();

    static QSize screenSize();
    // Runs a helper program to the end; its standard output, trimmed.
    static QString run(const QString& program, const QStringList& args, int* status = nullptr);

  private:
    QString m_binary;
    std::unique_ptr<QTemporaryDir> m_copy;
    QProcess m_process;
    QByteArray m_stderr;
};

QRgb pixelAt(const QImage& shot, QPoint p);
// Share (0..1) of the pixels of region in shot that match expected at expectedOrigin within
// tolerance per channel.
double compareRegion(const QImage& shot, const QRect& region, const QImage& expected,
                     QPoint expectedOrigin, int tolerance = 8);
int countPixels(const QImage& shot, const QRect& region, const std::function<bool(QColor)>& test);
bool isBluish(QColor c);
bool isWhitish(QColor c);
bool isMagentaish(QColor c);

// Called by SHATTER_E2E_MAIN before the application exists: false when there is no display.
bool prepareDisplay();

}  // namespace e2e

// Scenarios need a real display; without one the program says so and reports nothing run.
#define SHATTER_E2E_MAIN(TestObject)              \
    int main(int argc, char** argv) {             \
        if (!e2e::prepareDisplay()) return 0;     \
        QApplication app(argc, argv);             \
        QTEST_SET_MAIN_SOURCE_PATH TestObject tc; \
        return QTest::qExec(&tc, argc, argv);     \
    }
