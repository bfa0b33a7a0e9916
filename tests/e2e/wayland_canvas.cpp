
#include "e2e/harness.h"

using namespace e2e;

// The real program as a Wayland client of sway, inside scripts/with-wayland.sh: the pointer
// moves through xdotool on the Xvfb that holds sway's output, the screen is read with grim
// and the windows are found in sway's own tree.
namespace {

QImage grim() {
    QProcess p;
    p.start(QStringLiteral("grim"), {"-t", "ppm", "-"});
    p.waitForFinished(10000);
    return QImage::fromData(p.readAllStandardOutput(), "PPM").convertToFormat(QImage::Format_RGB32);
}

// The visible windows of one process, as sway lays them out.
std::vector<XWindow> windowsOf(qint64 pid) {
    const auto tree = QJsonDocument::fromJson(run("swaymsg", {"-r", "-t", "get_tree"}).toUtf8());
    std::vector<XWindow> found;
    std::function<void(const QJsonObject&)> walk = [&](const QJsonObject& n) {
        if (n.value("pid").toInteger() == pid && n.value("visible").toBool()) {
            const QJsonObject r = n.value("rect").toObject();
            found.push_back(
                {QString::number(n.value("id").toInteger()),
                 QRect(r["x"].toInt(), r["y"].toInt(), r["width"].toInt(), r["height"].toInt())});
        }
        for (const char* key : {"nodes", "floating_nodes"})
            for (const QJsonValue& child : n.value(QLatin1String(key)).toArray())
                walk(child.toObject());
    };
    walk(tree.object());
    return found;
}

}  // namespace

class WaylandCanvas : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void cleanup() {
        const QByteArray err = m_program.readAllStandardError();
        if (QTest::currentTestFailed())
            qWarning("the program's error output:\n%s", err.constData());
        if (m_program.state() != QProcess::NotRunning)
            m_program.kill(), m_program.waitForFinished();
        if (!QTest::currentTestFailed()) return;
        const QString path = QCoreApplication::applicationDirPath() + "/FAILED-wayland.png";
        if (grim().save(path)) qWarning("screen of the failure: %s", qPrintable(path));
    }

    // Enter shows the desktop as grim saw it, a hammer darkens only its crack, exit ends well.
    void enterStrikeAndExit() {
        const QSize screen = grim().size();
        const QImage pattern = testPattern(screen);
        const QString picture = qEnvironmentVariable("SHATTER_WAYLAND_SHARED") + "/pattern.png";
        QVERIFY(pattern.save(picture));
        run("swaymsg", {"output", "*", "bg", picture, "stretch"});
        QVERIFY2(waitUntil([&] { return changes(grim(), pattern).count == 0; }),
                 "the pattern did not become the desktop");
        const QImage desktop = grim();

        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "wayland");
        env.insert("QT_LOGGING_RULES", "qt.multimedia*=false");
        m_program.setProcessEnvironment(env);
        m_program.start(QStringLiteral(SHATTER_BINARY), {});
        const auto title = waitForWindow(sized(kTitleSize));
        QVERIFY2(title, "no title window");
        QTest::qWait(200);  // its first paint
        click(controlCentre(*title, FormId::FrmMain, "Come"));
        const auto palette = waitForWindow(sized(kPaletteSize));
        QVERIFY2(palette && waitForWindow(sized(screen)), "no canvas and palette");
        auto shot = waitForStillScreen(20000, 300, grim);
        QVERIFY(shot);
        QCOMPARE(changes(*shot, desktop, palette->geometry).box, QRect());

        const QPoint at(screen.width() / 4, screen.height() * 3 / 4);
        click(controlCentre(*palette, FormId::FrmOption, "Prop2_1"));
        moveTo(QPoint(2, 2));
        click(at);
        moveTo(QPoint(2, 2));
        QVERIFY(shot = waitForStillScreen(20000, kSplintersGoneMs, grim));
        // The crack picture is one of three, each with its own point of impact.
        const QSize crack(178, 155);
        const QRect first(at - QPoint(105, 60), crack), second(at - QPoint(80, 80), crack);
        const Changes hit = changes(*shot, desktop, palette->geometry);
        QCOMPARE_GT(hit.count, 200);
        QVERIFY(first.contains(hit.box) || second.contains(hit.box));
        // The crack is copied with AND: it only clears bits.
        for (int y = hit.box.top(); y <= hit.box.bottom(); ++y)
            for (int x = hit.box.left(); x <= hit.box.right(); ++x)
                QVERIFY((shot->pixel(x, y) & desktop.pixel(x, y)) == shot->pixel(x, y));

        click(controlCentre(*palette, FormId::FrmOption, "LabExit"));
        QVERIFY2(m_program.state() == QProcess::NotRunning || m_program.waitForFinished(10000),
                 "the program still runs after exit");
        QCOMPARE(m_program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_program.exitCode(), 0);
    }

  private:
    std::optional<XWindow> waitForWindow(const Match& match) {
        std::optional<XWindow> found;
        waitUntil([&] {
            for (const XWindow& w : windowsOf(m_program.processId()))
                if (match(w)) return found = w, true;
            return false;
        });
        return found;
    }

    QProcess m_program;
};

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || qEnvironmentVariableIsEmpty("SWAYSOCK"))
        return qInfo("SKIP: no sway session; run through scripts/with-wayland.sh"), 0;
    qputenv("QT_QPA_PLATFORM", "offscreen");  // the test itself shows nothing
    QApplication app(argc, argv);
    WaylandCanvas tc;
    return QTest::qExec(&tc, argc, argv);
}
#include "wayland_canvas.moc"
