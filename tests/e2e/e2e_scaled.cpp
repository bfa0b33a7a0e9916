
#include "e2e/harness.h"

using namespace e2e;

// The program on a scaled screen: once with QT_SCALE_FACTOR=2, once with Xft.dpi 144 (1.5). This
// test process itself runs unscaled (QT_ENABLE_HIGHDPI_SCALING=0 from ctest), so it sees and
// drives the screen in device pixels.
namespace {
// Window sizes at a fractional factor may round either way.
Match near(QSizeF size) {
    return [size](const XWindow& w) {
        return qAbs(w.geometry.width() - size.width()) <= 1 &&
               qAbs(w.geometry.height() - size.height()) <= 1;
    };
}
// A point of a window's client area, given in logical pixels, on the screen.
QPoint at(const XWindow& w, QPointF logical, double s) {
    return w.geometry.topLeft() + ((logical + QPointF(3, 3)) * s).toPoint();
}
QPoint controlAt(const XWindow& w, FormId form, const char* name, double s) {
    const ControlLayout* c = findControl(layoutOf(form), QLatin1String(name));
    if (!c) qFatal("no control %s in the layout", name);
    return at(w,
              QRectF(twipsToPixels(c->left), twipsToPixels(c->top), twipsToPixels(c->width),
                     twipsToPixels(c->height))
                  .center(),
              s);
}
bool setXftDpi(const QByteArray& resources) {
    QProcess xrdb;
    xrdb.start(QStringLiteral("xrdb"), {"-nocpp", resources.isEmpty() ? "-remove" : "-merge"});
    xrdb.write(resources);
    xrdb.closeWriteChannel();
    return xrdb.waitForFinished(5000) && xrdb.exitCode() == 0;
}
}  // namespace

class E2eScaled : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void cleanup() {
        m_stage.end();
        setXftDpi({});
    }

    void canvasIsTheDesktopAndToolsKeepTheirSize_data() {
        QTest::addColumn<double>("s");
        QTest::addColumn<QString>("scaleFactor");  // empty: Xft.dpi 144 instead
        QTest::newRow("QT_SCALE_FACTOR=2") << 2.0 << "2";
        QTest::newRow("Xft.dpi 144") << 1.5 << "";
    }
    void canvasIsTheDesktopAndToolsKeepTheirSize() {
        QFETCH(double, s);
        QFETCH(QString, scaleFactor);
        if (screenSize().width() < 1920) QSKIP("the scaled scenarios run on a 1920 x 1080 screen");
        QVERIFY2(m_stage.begin(true), "the test pattern did not reach the screen");
        m_stage.environment = QProcessEnvironment::systemEnvironment();
        m_stage.environment.remove(QStringLiteral("QT_ENABLE_HIGHDPI_SCALING"));
        if (scaleFactor.isEmpty())
            QVERIFY(setXftDpi("Xft.dpi: 144\n"));
        else
            m_stage.environment.insert(QStringLiteral("QT_SCALE_FACTOR"), scaleFactor);

        // The small windows are their layouts' sizes times s, frame included.
        auto title = m_stage.startTitle(near(QSizeF(kTitleSize) * s));
        QVERIFY2(title, "no title window of the scaled size");
        xdo({"windowmove", title->id, "40", "40"});
        const auto moved = [id = title->id](const XWindow& w) {
            return w.id == id && w.geometry.topLeft() == QPoint(40, 40);
        };
        QVERIFY(title = m_stage.waitFor(moved));
        click(controlAt(*title, FormId::FrmMain, "Come", s));
        const auto palette = m_stage.waitFor(near(QSizeF(kPaletteSize) * s));
        QVERIFY2(palette, "no palette of the scaled size");
        QVERIFY(m_stage.waitFor(sized(screenSize())));
        auto still = waitForStillScreen(5000, 200);
        QVERIFY(still);
        // Whole and crisp: every device pixel as the desktop had it.
        QCOMPARE(changes(*still, m_stage.pattern, palette->geometry).box, QRect());

        // A hammer strike's damage lies inside the crack rectangle scaled, whichever picture.
        click(controlAt(*palette, FormId::FrmOption, "Prop2_1", s));
        const QPoint strikeAt(screenSize().width() / 5, screenSize().height() * 8 / 10);
        moveTo(QPoint(2, 2));
        click(strikeAt);
        moveTo(QPoint(2, 2));
        QVERIFY(still = waitForStillScreen(20000, kSplintersGoneMs));
        const QPointF p = QPointF(strikeAt) / s;
        const QRectF crack(p - QPointF(105, 80), p + QPointF(98, 95));
        const QRect scaled = QRectF(crack.topLeft() * s, crack.bottomRight() * s)
                                 .toAlignedRect()
                                 .adjusted(-1, -1, 1, 1);
        const Changes damage = changes(*still, m_stage.pattern, palette->geometry);
        QVERIFY(damage.count > 0);
        QVERIFY2(scaled.contains(damage.box), qPrintable(QDebug::toString(damage.box)));
        // Bigger than an unscaled crack could be.
        QVERIFY(damage.box.width() > 178 || damage.box.height() > 155);

        click(controlAt(*palette, FormId::FrmOption, "LabExit", s));
        const auto code = m_stage.waitForExit();
        QVERIFY2(code && *code == 0, "the program did not end through its exit command");
    }

  private:
    Stage m_stage;
};

SHATTER_E2E_MAIN(E2eScaled)
#include "e2e_scaled.moc"
