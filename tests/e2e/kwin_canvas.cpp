#include "e2e/harness.h"
#include "platform/capture/kwin_screenshot.h"

using namespace e2e;

// The real program through XWayland inside a real KWin (scripts/with-kwin.sh) with no desktop
// portal: the desktop is a Wayland client's picture that no X client can read, so the canvas
// can only have it from KWin. The screen is read through KWin too, input goes through Xwayland.
class KWinCanvas : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("SHATTER_KWIN_SHARED"))
            QSKIP("no KWin session; run through scripts/with-kwin.sh");
        screenshot = [] {
            const QVariantMap native{{"native-resolution", true}};  // KWin leaves the cursor out
            return KWinScreenshot(QDBusConnection::sessionBus())
                .capture("CaptureWorkspace", {native}, QDeadlineTimer(5000))
                .image.convertToFormat(QImage::Format_RGB32);
        };
    }
    void cleanup() { m_stage.end(), m_desktop.kill(), m_desktop.waitForFinished(); }

    // Enter shows the desktop as KWin has it, a hammer darkens only its crack, exit ends well.
    void enterStrikeAndExit() {
        const QImage pattern = testPattern(screenSize());
        const QString picture = qEnvironmentVariable("SHATTER_KWIN_SHARED") + "/pattern.png";
        QVERIFY(pattern.save(picture));
        m_desktop.start("swaybg", {"-o", "*", "-i", picture, "-m", "stretch"});
        // Without it KWin shows its own background, black.
        e2e::enterStrikeAndExit(m_stage, pattern, true, {}, {}, [this] { m_desktop.kill(); });
    }

  private:
    Stage m_stage;
    QProcess m_desktop;
};

SHATTER_E2E_MAIN(KWinCanvas)
#include "kwin_canvas.moc"
