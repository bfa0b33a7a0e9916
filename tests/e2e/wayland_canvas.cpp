#include "e2e/harness.h"

using namespace e2e;

namespace {
// sway's rectangles are logical; the pointer and grim's picture are in the outputs' pixels.
QRect rectOf(const QJsonValue& r) {
    const QRectF logical(r["x"].toInt(), r["y"].toInt(), r["width"].toInt(), r["height"].toInt());
    return QRectF(logical.topLeft() * scale, logical.size() * scale).toRect();
}
}  // namespace

// The real program as a Wayland client of sway, inside scripts/with-wayland.sh: the pointer
// moves on the Xvfb that holds sway's output, the screen is read with grim and the windows
// are found in sway's own tree.
class WaylandCanvas : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
            qEnvironmentVariableIsEmpty("SWAYSOCK"))
            QSKIP("no sway session; run through scripts/with-wayland.sh");
        screenshot = [] {
            const QByteArray ppm = run("grim", {"-t", "ppm", "-"});
            return QImage::fromData(ppm, "PPM").convertToFormat(QImage::Format_RGB32);
        };
        windowsOf = [](qint64 pid, bool) {
            std::vector<XWindow> found;
            std::function<void(const QJsonObject&)> walk = [&](const QJsonObject& n) {
                if (n["pid"].toInteger() == pid && n["visible"].toBool())
                    found.push_back({QString::number(n["id"].toInteger()), rectOf(n["rect"])});
                for (const char* key : {"nodes", "floating_nodes"})
                    for (const QJsonValue& child : n[QLatin1String(key)].toArray())
                        walk(child.toObject());
            };
            walk(QJsonDocument::fromJson(run("swaymsg", {"-r", "-t", "get_tree"})).object());
            return found;
        };
    }
    void cleanup() { m_stage.end(); }

    // Enter shows the desktop as grim saw it, a hammer darkens only its crack, exit ends well.
    // With outputs side by side (scripts/test-wayland.sh) the canvas covers the primary one,
    // the first that sway announces, wherever it lies.
    // At a fractional scale (SHATTER_WAYLAND_SCALE) the canvas is the desktop pixel for pixel
    // too, and the windows and a crack are their sizes times the scale.
    void enterStrikeAndExit() {
        QImage pattern = testPattern(screenSize());
        QRect primary;
        const QJsonArray outputs =
            QJsonDocument::fromJson(run("swaymsg", {"-r", "-t", "get_outputs"})).array();
        scale = outputs.first()["scale"].toDouble(1);
        for (const QJsonValue& output : outputs) {
            const QRect rect = rectOf(output["rect"]);
            const QString name = output["name"].toString();
            const QString picture =
                qEnvironmentVariable("SHATTER_WAYLAND_SHARED") + "/" + name + ".png";
            QVERIFY(pattern.copy(rect).save(picture));
            run("swaymsg", {"output", name, "bg", picture, "stretch"});
            if (primary.isNull()) primary = rect;
        }
        // The compositor resamples a background at a fractional scale: the desktop is then
        // what grim sees once the background is up (plain grey before).
        if (scale != std::floor(scale)) QVERIFY(takeDesktopOnceUp(pattern, 0x404040));
        // Through XWayland when SHATTER_WAYLAND_QPA=xcb (see the README).
        m_stage.environment.insert("QT_QPA_PLATFORM",
                                   qEnvironmentVariable("SHATTER_WAYLAND_QPA", "wayland"));
        m_stage.environment.insert(
            "DISPLAY",
            qEnvironmentVariable("SHATTER_XWAYLAND_DISPLAY", qEnvironmentVariable("DISPLAY")));
        // The title cannot be moved: a Wayland client does not place its own windows.
        const auto black = [] { run("swaymsg", {"output", "*", "bg", "#000000", "solid_color"}); };
        e2e::enterStrikeAndExit(m_stage, pattern, false, primary, {"wl-paste", "-t", "image/png"},
                                black);
    }

  private:
    Stage m_stage;
};

SHATTER_E2E_MAIN(WaylandCanvas)
#include "wayland_canvas.moc"
