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
    // On two outputs (SHATTER_KWIN_OUTPUTS) the canvas covers the primary one only, the left
    // or the right one (SHATTER_KWIN_PRIMARY); at a
    // fractional scale (SHATTER_KWIN_SCALE) the canvas shows the desktop on the output's own
    // pixels, with no border and no zoom, and the palette and a crack scaled.
    void enterStrikeAndExit_data() {
        QTest::addColumn<QString>("platform");
        QTest::newRow("wayland") << "wayland";
        QTest::newRow("xwayland") << "xcb";
    }
    void enterStrikeAndExit() {
        QFETCH(QString, platform);
        const int first = qEnvironmentVariableIntValue("SHATTER_KWIN_PRIMARY");
        scale = qEnvironmentVariable("SHATTER_KWIN_SCALE", "1").toDouble();
        if (platform == "xcb" && scale != std::floor(scale))
            QSKIP("KWin scales X clients up from the logical size: blurred by design");
        const QImage desktop = screenshot();
        QImage pattern = testPattern(desktop.size());
        // Without it KWin shows its own background, black. KWin's outputs lie side by side.
        QStringList background;
        const int outputs = qEnvironmentVariable("SHATTER_KWIN_OUTPUTS", "1").toInt();
        for (int i = 0; i < outputs; ++i) {
            const QString name = QStringLiteral("Virtual-%1").arg(i), picture =
                qEnvironmentVariable("SHATTER_KWIN_SHARED") + "/" + name + ".png";
            QVERIFY(pattern.copy(outputRect(desktop.size(), outputs, i)).save(picture));
            background << "-o" << name << "-i" << picture << "-m" << "stretch";
        }
        m_desktop.start("swaybg", background);
        // At a fractional scale KWin resamples the background: the desktop is then what KWin
        // shows once the background is up (black before).
        const bool fractional = scale != std::floor(scale);
        if (fractional) QVERIFY(takeDesktopOnceUp(pattern, 0));
        const auto entered = [&, shot = screenshot] {
            m_desktop.kill();
            if (fractional) screenshot = seenThroughResampling(shot, pattern);
        };
        m_stage.environment.insert("QT_QPA_PLATFORM", platform);
        const QRect primary = outputRect(desktop.size(), outputs, first);
        e2e::enterStrikeAndExit(m_stage, pattern, false, primary, {}, entered);
    }

  private:
    static QRect outputRect(QSize desktop, int outputs, int i) {
        return {i * desktop.width() / outputs, 0, desktop.width() / outputs, desktop.height()};
    }

    KWinSession m_kwin;
    Stage m_stage;
    QProcess m_desktop;
};

SHATTER_E2E_MAIN(KWinCanvas)
#include "kwin_canvas.moc"
