#include <QtDBus>

#include "e2e/harness.h"
#include "gnome_shell_client.h"

using namespace e2e;

namespace {
const auto shell = GnomeShell::eval;
QString shared(const QString& name) {
    return qEnvironmentVariable("SHATTER_GNOME_SHARED") + '/' + name;
}
// One window of the shell's, by its id.
const QString kWindow = QStringLiteral(
    "global.get_window_actors().map(a => a.meta_window).find(w => w.get_id() == %1)");
// Sets the desktop's background: a picture, or black with none.
const QString kBackground = QStringLiteral(
    "const s = new Gio.Settings({schema_id: 'org.gnome.desktop.background'});"
    "s.set_string('primary-color', '#000000'); s.set_string('picture-options', '%1');"
    "['picture-uri', 'picture-uri-dark'].forEach(k => s.set_string(k, '%2'))");
// Where a mapped button of the shell with that label is, or an empty rectangle.
const QString kButton = QStringLiteral(
    "(function find(a) { if (a.label === '%1' && a.is_mapped()) return "
    "[...a.get_transformed_position(), ...a.get_transformed_size()]; for (const c of "
    "a.get_children()) { const r = find(c); if (r) return r; } return null; })"
    "(global.stage) ?? [0, 0, 0, 0]");
}  // namespace

// The real program inside a private GNOME Shell (scripts/with-gnome.sh), on Qt's Wayland
// platform and through XWayland. The shell takes the screenshots and tells where the windows
// and the pointer are; the pointer goes through Mutter's remote desktop service, which
// reaches both kinds of client.
class GnomeCanvas : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("SHATTER_GNOME_SHARED"))
            QSKIP("no GNOME session; run through scripts/with-gnome.sh");
        screenshot = [] {
            const QString service = "org.gnome.Shell.Screenshot";
            GnomeShell::call(service, "/org/gnome/Shell/Screenshot", service, "Screenshot",
                             {false, false, shared("screen.png")});
            return QImage(shared("screen.png")).convertToFormat(QImage::Format_RGB32);
        };
        windowsOf = [](qint64 pid, bool visibleOnly) {
            std::vector<XWindow> windows;
            for (const auto& [id, rect] : GnomeShell::windowsOf(pid, visibleOnly))
                windows.push_back({id, rect});
            return windows;
        };
        // The shell moves windows and the pointer in logical pixels, the scenario in the
        // screen's own.
        moveWindow = [](const XWindow& w, QPoint to) {
            to /= s_scale;
            shell((kWindow + ".move_frame(true, %2, %3)").arg(w.id).arg(to.x()).arg(to.y()));
        };
        static const GnomeShell::RemoteInput input;
        QVERIFY2(input.ok(), "no remote desktop session");
        moveTo = [](QPoint to) {
            if (!input.moveTo(to / s_scale)) qWarning("the pointer missed %d,%d", to.x(), to.y());
        };
        pressButton = [](bool down, int which) { return input.button(down, which), nowMs(); };
        sendKeys = [](const QString& names, const char* how) { input.keys(names, how[0] == 't'); };
    }
    void init() {
        // The program runs as the shell's user, in its home.
        m_stage.launcher =
            qEnvironmentVariable("SHATTER_GNOME_RUN_AS").split(' ', Qt::SkipEmptyParts);
        m_stage.environment.insert("HOME", qEnvironmentVariable("SHATTER_GNOME_HOME"));
        m_stage.environment.insert("XDG_RUNTIME_DIR", qEnvironmentVariable("SHATTER_GNOME_HOME"));
        scale = s_scale;
    }
    void cleanup() { m_stage.end(); }

    // The title, enter showing the desktop with the palette in front, a hammer's crack under
    // the pointer, and exit; the desktop's picture taken away before the first input.
    void enterStrikeAndExit_data() {
        QTest::addColumn<QString>("platform");
        QTest::newRow("wayland") << "wayland", QTest::newRow("xwayland") << "xcb";
    }
    void enterStrikeAndExit() {
        QFETCH(QString, platform);
        QImage pattern = testPattern(screenshot().size());
        QVERIFY(pattern.save(shared("pattern.png")));
        const QUrl picture = QUrl::fromLocalFile(shared("pattern.png"));
        shell(kBackground.arg("stretched", picture.toString()));
        // At a fractional scale (SHATTER_GNOME_SCALE) the shell resamples the background: the
        // desktop is then what the screen shows once it is up.
        const bool fractional = s_scale != std::floor(s_scale);
        if (fractional) QVERIFY(takeDesktopOnceUp(pattern, 0));
        m_stage.environment.insert("QT_QPA_PLATFORM", platform);
        const auto hide = [&, shot = screenshot] {
            const QRect palette = m_stage.palette.geometry;
            QVERIFY2(changes(screenshot().copy(palette), pattern.copy(palette)).count > 0,
                     "the palette is not in front of the canvas");
            if (platform == "wayland") savedAsDesktop(pattern);
            shell(kBackground.arg("none", ""));
            if (fractional) screenshot = seenThroughResampling(shot, pattern);
        };
        // The title moved away from where the palette comes, so that the canvas shows it if it
        // photographed it; at a fractional scale it stays where the shell put it, on whole
        // pixels, and the palette covers only part of it.
        e2e::enterStrikeAndExit(m_stage, pattern, !fractional, pattern.rect(), {}, hide);
    }

    // With nothing stored the shell asks whether programs may take screenshots; denied,
    // Shatter says why and the title stays.
    void askedAndDenied() {
        const QString store = "org.freedesktop.impl.portal.PermissionStore";
        GnomeShell::call(store, "/org/freedesktop/impl/portal/PermissionStore", store,
                         "DeletePermission", {"screenshot", "screenshot", ""});
        const auto title = m_stage.startTitle();
        QVERIFY(title && m_stage.pointedAt(*title, FormId::FrmMain, "Come"));
        const QImage desktop = screenshot();
        click(controlCentre(*title, FormId::FrmMain, "Come"));
        // The dialog's button, once the screen shows it.
        QRect deny;
        const auto shown = [&] {
            deny = GnomeShell::rectOf(shell(kButton.arg("Deny")));
            return changes(screenshot().copy(deny), desktop.copy(deny)).count > 0;
        };
        // Where the button stays once the dialog has stopped growing in.
        QVERIFY2(waitUntil(shown) && waitForStillScreen() && shown(), "no dialog asking");
        moveTo(deny.center());
        QTest::qWait(200);
        click(deny.center());
        const auto box = m_stage.waitFor([](const XWindow& w) { return !sized(kTitleSize)(w); });
        QVERIFY2(box, "no message after the denial");
        // Closed as the desktop closes a window: Qt's styles place its button differently.
        shell((kWindow + ".delete(global.get_current_time())").arg(box->id));
        QVERIFY(m_stage.waitGone(withId(box->id)));
        QVERIFY2(m_stage.waitFor(sized(kTitleSize)), "the title did not come back");
        QVERIFY(!m_stage.waitFor(sized(kPaletteSize), 500));
        QVERIFY(m_stage.exitBy(*title, FormId::FrmMain, "Quit"));
    }

  private:
    static inline const double s_scale =
        qEnvironmentVariable("SHATTER_GNOME_SCALE", "1").toDouble();
    // Saved through the dialog by a typed name, the picture just entered is the desktop.
    void savedAsDesktop(const QImage& desktop) {
        click(controlCentre(m_stage.palette, FormId::FrmOption, "SavePic"));
        const auto dialog = m_stage.waitFor(
            [](const XWindow& w) { return !sized(kPaletteSize)(w) && !sized(screenSize())(w); });
        QVERIFY2(dialog, "no save dialog");
        keys(shared("saved.bmp"), "type"), keys("Return");
        QTRY_COMPARE_WITH_TIMEOUT(QImage(shared("saved.bmp")).size(), desktop.size(), 10000);
        QCOMPARE(changes(QImage(shared("saved.bmp")), desktop).count, 0);
    }
    Stage m_stage;
};

SHATTER_E2E_MAIN(GnomeCanvas)
#include "gnome_canvas.moc"
