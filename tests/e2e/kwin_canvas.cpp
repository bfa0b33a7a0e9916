#include "e2e/harness.h"
#include "e2e/kwin_session.h"
#include "platform/capture/kwin_screenshot.h"

using namespace e2e;

// The real program inside a real KWin (scripts/test-kwin.sh), installed with its menu entry, on
// Qt's Wayland platform and through XWayland, with no desktop portal: the desktop is a Wayland
// client's picture that no X client can read, so the canvas can only have it from KWin, which
// gives it only to programs whose menu entry asks for it. The test is trusted the same way: it
// reads the screen through KWin and drives the pointer through KWin's fake input.
class KWinCanvas : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("SHATTER_KWIN_SHARED"))
            QSKIP("no KWin session; run through scripts/test-kwin.sh");
        QVERIFY2(m_kwin.connect(), "KWin offers no fake input: is the test's menu entry there?");
        screenshot = [] {
            const QVariantMap native{{"native-resolution", true}};  // KWin leaves the cursor out
            return KWinScreenshot(QDBusConnection::sessionBus())
                .capture("CaptureWorkspace", {native}, QDeadlineTimer(5000))
                .image.convertToFormat(QImage::Format_RGB32);
        };
        QVERIFY2(!screenshot().isNull(), "KWin refuses the test its screenshots");
    }
    void cleanup() { m_stage.end(), m_desktop.kill(), m_desktop.waitForFinished(); }

    // Enter shows the desktop as KWin has it, a hammer darkens only its crack, exit ends well.
    // On two outputs (SHATTER_KWIN_OUTPUTS) the canvas covers the primary one only; at a
    // fractional scale (SHATTER_KWIN_SCALE) the canvas is the desktop pixel for pixel too.
    void enterStrikeAndExit_data() {
        QTest::addColumn<QString>("platform");
        QTest::newRow("wayland") << "wayland";
        QTest::newRow("xwayland") << "xcb";
    }
    void enterStrikeAndExit() {
        QFETCH(QString, platform);
        scale = qEnvironmentVariable("SHATTER_KWIN_SCALE", "1").toDouble();
        const QImage desktop = screenshot();
        const QImage pattern = testPattern(desktop.size());
        const QString picture = qEnvironmentVariable("SHATTER_KWIN_SHARED") + "/pattern.png";
        QVERIFY(pattern.save(picture));
        // Without it KWin shows its own background, black.
        m_desktop.start("swaybg", {"-o", "*", "-i", picture, "-m", "stretch"});
        m_stage.environment.insert("QT_QPA_PLATFORM", platform);
        const QRect primary = primaryOutput(desktop.size());
        e2e::enterStrikeAndExit(m_stage, pattern, false, primary, {}, [this] { m_desktop.kill(); });
    }

  private:
    // Outputs lie side by side, as wide each; SHATTER_KWIN_PRIMARY counts them from 0.
    static QRect primaryOutput(QSize desktop) {
        const int outputs = qEnvironmentVariable("SHATTER_KWIN_OUTPUTS", "1").toInt();
        const int width = desktop.width() / outputs;
        return {qEnvironmentVariableIntValue("SHATTER_KWIN_PRIMARY") * width, 0, width,
                desktop.height()};
    }

    KWinSession m_kwin;
    Stage m_stage;
    QProcess m_desktop;
};

SHATTER_E2E_MAIN(KWinCanvas)
#include "kwin_canvas.moc"
