#include <QtDBus>

#include "e2e/harness.h"

using namespace e2e;

namespace {
QDBusMessage call(const QString& service, const QString& path, const QString& interface,
                  const QString& method, const QVariantList& args = {}) {
    QDBusMessage m = QDBusMessage::createMethodCall(service, path, interface, method);
    m.setArguments(args);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(m, QDBus::Block, 10000);
    if (reply.type() != QDBusMessage::ReplyMessage)
        qWarning("%s: %s", qPrintable(method), qPrintable(reply.errorMessage()));
    return reply;
}
// JavaScript run inside the shell (it runs in unsafe mode); what it returned.
QJsonValue shell(const QString& js) {
    const QVariantList answer = call("org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell",
                                     "Eval", {js})
                                    .arguments();
    if (!answer.value(0).toBool()) qWarning("the shell said %s", qPrintable(answer.value(1).toString()));
    return QJsonDocument::fromJson("[" + answer.value(1).toString().toUtf8() + "]")[0];
}
QPoint pointer() {
    const QJsonValue at = shell("global.get_pointer()");
    return {at[0].toInt(), at[1].toInt()};
}
QString shared(const QString& name) {
    return qEnvironmentVariable("SHATTER_GNOME_SHARED") + '/' + name;
}
// Sets the desktop's background: a picture, or black with none.
void background(const QString& picture) {
    shell(QStringLiteral("const s = new Gio.Settings({schema_id: 'org.gnome.desktop.background'});"
                         "s.set_string('primary-color', '#000000');"
                         "s.set_string('picture-options', '%1');"
                         "['picture-uri', 'picture-uri-dark'].forEach(k => s.set_string(k, '%2'))")
              .arg(picture.isEmpty() ? "none" : "stretched",
                   QUrl::fromLocalFile(picture).toString()));
}
}  // namespace

// The real program inside a private GNOME Shell (scripts/with-gnome.sh), on Qt's Wayland
// platform and through XWayland. The shell takes the screenshots and tells where the windows
// and the pointer are; the pointer and the keys go through Mutter's remote desktop service,
// which reaches both kinds of client.
class GnomeCanvas : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("SHATTER_GNOME_SHARED"))
            QSKIP("no GNOME session; run through scripts/with-gnome.sh");
        screenshot = [] {
            const QString path = shared("screen.png");
            call("org.gnome.Shell.Screenshot", "/org/gnome/Shell/Screenshot",
                 "org.gnome.Shell.Screenshot", "Screenshot", {false, false, path});
            return QImage(path).convertToFormat(QImage::Format_RGB32);
        };
        windowsOf = [](qint64 pid, bool visibleOnly) {
            const QJsonValue found = shell(
                QStringLiteral("global.get_window_actors().filter(a => a.meta_window.get_pid() == %1"
                               " && (a.visible || !%2)).map(a => a.meta_window).map(w => {"
                               "const r = w.get_frame_rect(); return [w.get_id(), r.x, r.y, "
                               "r.width, r.height]; })")
                    .arg(pid)
                    .arg(visibleOnly));
            std::vector<XWindow> windows;
            for (const QJsonValue w : found.toArray())
                windows.push_back({QString::number(w[0].toInteger()),
                                   QRect(w[1].toInt(), w[2].toInt(), w[3].toInt(), w[4].toInt())});
            return windows;
        };
        moveWindow = [](const XWindow& w, QPoint to) {
            shell(QStringLiteral("global.get_window_actors().map(a => a.meta_window).find(w => "
                                 "w.get_id() == %1).move_frame(true, %2, %3)")
                      .arg(w.id).arg(to.x()).arg(to.y()));
        };
        const QString service = "org.gnome.Mutter.RemoteDesktop";
        const QString session = call(service, "/org/gnome/Mutter/RemoteDesktop", service,
                                     "CreateSession")
                                    .arguments()
                                    .value(0)
                                    .value<QDBusObjectPath>()
                                    .path();
        QVERIFY2(!session.isEmpty(), "no remote desktop session");
        const auto input = [=](const char* method, const QVariantList& args = {}) {
            call(service, session, service + ".Session", method, args);
        };
        input("Start");
        // Relative motion from where the shell has the pointer, until it is there.
        moveTo = [=](QPoint to) {
            const bool there = waitUntil([&] {
                const QPoint at = pointer();
                if (at == to) return true;
                input("NotifyPointerMotionRelative", {double(to.x() - at.x()), double(to.y() - at.y())});
                return false;
            }, 3000, 20);
            if (!there) qWarning("the pointer did not reach %d,%d", to.x(), to.y());
        };
        pressButton = [=](bool down, int which) {
            input("NotifyPointerButton", {which == 3 ? 0x111 : 0x110, down});  // evdev's codes
            return nowMs();
        };
    }
    void init() {
        // The program runs as the shell's user, in its home.
        m_stage.launcher = qEnvironmentVariable("SHATTER_GNOME_RUN_AS").split(' ', Qt::SkipEmptyParts);
        for (const char* name : {"HOME", "XDG_RUNTIME_DIR"})
            m_stage.environment.insert(name, qEnvironmentVariable("SHATTER_GNOME_HOME"));
    }
    void cleanup() { m_stage.end(); }

    // The title, enter showing the desktop with the palette in front, a hammer's crack under
    // the pointer, and exit; the desktop's picture taken away before the first input.
    void enterStrikeAndExit_data() {
        QTest::addColumn<QString>("platform");
        QTest::newRow("wayland") << "wayland";
        QTest::newRow("xwayland") << "xcb";
    }
    void enterStrikeAndExit() {
        QFETCH(QString, platform);
        const QImage pattern = testPattern(screenSize());
        QVERIFY(pattern.save(shared("pattern.png")));
        background(shared("pattern.png"));
        m_stage.environment.insert("QT_QPA_PLATFORM", platform);
        const auto hide = [&] {
            const QRect palette = m_stage.palette.geometry;
            QVERIFY2(changes(screenshot().copy(palette), pattern.copy(palette)).count > 0,
                     "the palette is not in front of the canvas");
            background({});
        };
        // The title moved away from where the palette comes, so that the canvas shows it if it
        // photographed it.
        e2e::enterStrikeAndExit(m_stage, pattern, true, {}, {}, hide);
    }

    // With nothing stored the shell asks whether programs may take screenshots; denied,
    // Shatter says why and the title stays. What the person answered is stored.
    void askedAndDenied() {
        const QString store = "org.freedesktop.impl.portal.PermissionStore";
        call(store, "/org/freedesktop/impl/portal/PermissionStore", store, "DeletePermission",
             {"screenshot", "screenshot", ""});
        const auto title = m_stage.startTitle();
        QVERIFY(title && m_stage.pointedAt(*title, FormId::FrmMain, "Come"));
        const QImage desktop = screenshot();
        click(controlCentre(*title, FormId::FrmMain, "Come"));
        // The dialog's button, where the shell shows it.
        QRect deny;
        QVERIFY2(waitUntil([&] {
                     const QJsonValue r = shell(
                         "(function find(a) { if (a.label === 'Deny' && "
                         "a.is_mapped()) { const [x, y] = a.get_transformed_position(); const [w, "
                         "h] = a.get_transformed_size(); return [x, y, w, h]; } for (const c of "
                         "a.get_children()) { const r = find(c); if (r) return r; } return null; "
                         "})(global.stage)");
                     deny = QRect(r[0].toInt(), r[1].toInt(), r[2].toInt(), r[3].toInt());
                     return r.isArray() && changes(screenshot().copy(deny), desktop.copy(deny)).count;
                 }),
                 "no dialog asking for the permission");
        click(deny.center());
        const auto box = m_stage.waitFor([](const XWindow& w) { return !sized(kTitleSize)(w); });
        QVERIFY2(box, "no message after the denial");
        click(box->geometry.bottomRight() - QPoint(51, 24));  // its OK button
        QVERIFY(m_stage.waitGone(withId(box->id)));
        QVERIFY2(m_stage.waitFor(sized(kTitleSize)), "the title did not come back");
        QVERIFY(!m_stage.waitFor(sized(kPaletteSize), 500));
        const QVariantList stored = call(store, "/org/freedesktop/impl/portal/PermissionStore",
                                         store, "GetPermission", {"screenshot", "screenshot", ""})
                                        .arguments();
        QCOMPARE(stored.value(0).toStringList(), QStringList("no"));
        call(store, "/org/freedesktop/impl/portal/PermissionStore", store, "SetPermission",
             {"screenshot", true, "screenshot", "", QStringList("yes")});
        QVERIFY(m_stage.exitBy(*title, FormId::FrmMain, "Quit"));
    }

  private:
    Stage m_stage;
};

SHATTER_E2E_MAIN(GnomeCanvas)
#include "gnome_canvas.moc"
