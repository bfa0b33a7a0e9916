#include <QApplication>
#include <QLineF>
#include <QWidget>
#include <QtTest>
#include <cmath>

#include "e2e/harness.h"
#include "e2e/harness_canvas.h"

using e2e::Harness;
using e2e::XWindow;

namespace {
// A still screen for this long means no splinter is left: a visible one moves every step,
// and one thrown high may stay above the screen for about a second.
constexpr int kSplintersGoneQuietMs = 1500;

bool isDark(QColor c) {
    return c.red() < 60 && c.green() < 60 && c.blue() < 60;
}

double distanceToSegment(QPointF p, QLineF s) {
    const QPointF d = s.p2() - s.p1();
    const double len2 = QPointF::dotProduct(d, d);
    const double t =
        len2 > 0 ? std::clamp(QPointF::dotProduct(p - s.p1(), d) / len2, 0.0, 1.0) : 0.0;
    const QPointF q = s.p1() + t * d;
    return std::hypot(p.x() - q.x(), p.y() - q.y());
}

double distanceToPath(QPointF p, const QVector<QPoint>& path) {
    double best = 1e9;
    for (int i = 1; i < path.size(); ++i)
        best = std::min(best, distanceToSegment(p, QLineF(path[i - 1], path[i])));
    return best;
}

QString where(const QRect& r) {
    return QStringLiteral("(%1,%2) %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// Every changed pixel got darker or stayed in every channel: what an AND copy does.
bool onlyDarkened(const QImage& before, const QImage& after, const QRect& region) {
    const QRect r = region.intersected(before.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QRgb a = before.pixel(x, y), b = after.pixel(x, y);
            if (qRed(b) > qRed(a) || qGreen(b) > qGreen(a) || qBlue(b) > qBlue(a)) return false;
        }
    return true;
}
}  // namespace

class E2eTools : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() {
        m_h = std::make_unique<Harness>();
        m_h->moveTo(QPoint(2, 2));
        m_pattern = e2e::testPattern(Harness::screenSize());
        m_patternWindow = e2e::showPicture(m_pattern);
        QVERIFY2(m_patternWindow, "the test pattern did not reach the screen");
        const auto palette = e2e::enterCanvas(*m_h);
        QVERIFY2(palette, "no canvas and palette after the enter command");
        m_palette = *palette;
    }
    void cleanup() {
        if (QTest::currentTestFailed()) m_h->reportFailure(QTest::currentTestFunction());
        m_h.reset();
        m_patternWindow.reset();
    }

    void hammerCracksOnlyItsRectangle() {
        selectTool(2);
        const QPoint at(m_pattern.width() / 5, m_pattern.height() / 4);
        const auto before = e2e::waitForStillScreen(*m_h);
        QVERIFY(before);
        m_h->click(at);
        const auto after = e2e::waitForStillScreen(*m_h, 20000, kSplintersGoneQuietMs);
        QVERIFY2(after, "the splinters never settled");
        m_h->screenshot(QStringLiteral("hammer"));
        const QRect changed = e2e::changedBox(*before, *after, m_palette.geometry);
        QVERIFY2(!changed.isEmpty(), "the hammer left no crack");
        // The crack picture is one of three, each with its own point of impact.
        const QSize crack(178, 155);
        const QRect first(at - QPoint(105, 60), crack), second(at - QPoint(80, 80), crack);
        QVERIFY2(first.contains(changed) || second.contains(changed),
                 qPrintable(QStringLiteral("changes in ") + where(changed)));
        QVERIFY(e2e::changedCount(*before, *after, changed) > 200);
        QVERIFY(onlyDarkened(*before, *after, changed));
    }

    void chainsawCutsALineLeftOfThePointer() {
        selectTool(1);
        const QPoint start(m_pattern.width() / 8, m_pattern.height() / 6);
        // Right, down and right, down: small steps so that every position reaches the canvas.
        QVector<QPoint> path{start};
        auto walk = [&](QPoint step, int count) {
            for (int i = 0; i < count; ++i) path << path.back() + step;
        };
        walk(QPoint(20, 0), 8);
        walk(QPoint(12, 12), 5);
        walk(QPoint(0, 15), 3);
        const auto before = e2e::waitForStillScreen(*m_h);
        QVERIFY(before);
        m_h->moveTo(path.front());
        e2e::buttonDown();
        for (int i = 1; i < path.size(); ++i) m_h->moveTo(path[i]);
        e2e::buttonUp();
        const auto after = e2e::waitForStillScreen(*m_h, 20000, kSplintersGoneQuietMs);
        QVERIFY2(after, "the splinters never settled");
        m_h->screenshot(QStringLiteral("chainsaw"));

        QVector<QPoint> cut;
        for (const QPoint& p : path) cut << p - QPoint(10, 0);
        // Connected: along the whole path a dark pixel lies within a pixel of every point.
        for (int i = 1; i < cut.size(); ++i) {
            const QLineF segment(cut[i - 1], cut[i]);
            const int steps = int(std::ceil(segment.length()));
            for (int k = 0; k <= steps; ++k) {
                const QPoint p = segment.pointAt(double(k) / steps).toPoint();
                const int dark =
                    e2e::countPixels(*after, QRect(p - QPoint(1, 1), QSize(3, 3)), isDark);
                QVERIFY2(dark > 0,
                         qPrintable(QStringLiteral("no cut at %1,%2").arg(p.x()).arg(p.y())));
            }
        }
        // Nothing else changed: every changed pixel lies on the cut.
        const QRect changed = e2e::changedBox(*before, *after, m_palette.geometry);
        for (int y = changed.top(); y <= changed.bottom(); ++y)
            for (int x = changed.left(); x <= changed.right(); ++x) {
                if (before->pixel(x, y) == after->pixel(x, y)) continue;
                QVERIFY2(distanceToPath(QPointF(x, y), cut) <= 2.0,
                         qPrintable(QStringLiteral("stray change at %1,%2").arg(x).arg(y)));
            }
    }

    void giantCannonLeavesACraterUpLeft() {
        selectTool(6);
        const QPoint at(m_pattern.width() * 7 / 8, m_pattern.height() / 4);
        const auto before = e2e::waitForStillScreen(*m_h);
        QVERIFY(before);
        m_h->click(at);
        const auto after = e2e::waitForStillScreen(*m_h, 10000, 500);
        QVERIFY(after);
        m_h->screenshot(QStringLiteral("giant-cannon"));
        const QRect crater(at - QPoint(100, 100), QSize(60, 60));
        const QRect muzzle(at - QPoint(80, 80), QSize(20, 19));  // lies inside the crater
        const QRect changed = e2e::changedBox(*before, *after, m_palette.geometry);
        QVERIFY2(!changed.isEmpty(), "the giant cannon left nothing");
        QVERIFY2((crater | muzzle).contains(changed),
                 qPrintable(QStringLiteral("changes in ") + where(changed)));
        const QPointF centre = e2e::changedCentroid(*before, *after, changed);
        const QPointF expected = at - QPoint(70, 70);
        QVERIFY2(std::hypot(centre.x() - expected.x(), centre.y() - expected.y()) < 5,
                 qPrintable(QStringLiteral("changes centred at %1,%2, not %3,%4")
                                .arg(centre.x())
                                .arg(centre.y())
                                .arg(expected.x())
                                .arg(expected.y())));
    }

  private:
    void selectTool(int n) {
        const QByteArray name = QStringLiteral("Prop%1_1").arg(n).toLatin1();
        m_h->click(e2e::controlCentre(m_palette, FormId::FrmOption, name.constData()));
        m_h->moveTo(QPoint(2, 2));
    }

    std::unique_ptr<Harness> m_h;
    QImage m_pattern;
    std::unique_ptr<QWidget> m_patternWindow;
    XWindow m_palette;
};

SHATTER_E2E_MAIN(E2eTools)
#include "e2e_tools.moc"
