#include <cmath>

#include "e2e/harness.h"

using namespace e2e;

namespace {
double distanceToPath(QPointF p, const QVector<QPoint>& path) {
    double best = 1e9;
    for (int i = 1; i < path.size(); ++i) {
        const QLineF s(path[i - 1], path[i]);
        const double t = QPointF::dotProduct(p - s.p1(), s.p2() - s.p1()) / std::pow(s.length(), 2);
        best = std::min(best, QLineF(p, s.pointAt(std::clamp(t, 0.0, 1.0))).length());
    }
    return best;
}
}  // namespace

class E2eTools : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    // The canvas shows the test pattern, so that is the screen before each strike.
    void init() {
        QVERIFY2(m_stage.begin(true), "the test pattern did not reach the screen");
        QVERIFY2(m_stage.enterCanvas(), "no canvas and palette after the enter command");
    }
    void cleanup() { m_stage.end(); }

    void hammerCracksOnlyItsRectangle() {
        const QImage& before = m_stage.pattern;
        const QPoint at(before.width() / 5, before.height() / 4);
        const auto after = strike(m_stage.palette, 2, at);
        QVERIFY2(after, "the splinters never settled");
        const Changes changed = changes(before, *after, m_stage.palette.geometry);
        // The crack picture is one of three, each with its own point of impact.
        const QSize crack(178, 155);
        const QRect first(at - QPoint(105, 60), crack), second(at - QPoint(80, 80), crack);
        QCOMPARE_GT(changed.count, 200);
        const QRect& in = first.contains(changed.box) ? first : second;
        QCOMPARE(changed.box | in, in);
        // Cracks only darken, channel by channel.
        for (int y = changed.box.top(); y <= changed.box.bottom(); ++y)
            for (int x = changed.box.left(); x <= changed.box.right(); ++x) {
                const QRgb a = before.pixel(x, y), b = after->pixel(x, y);
                QVERIFY(qRed(b) <= qRed(a) && qGreen(b) <= qGreen(a) && qBlue(b) <= qBlue(a));
            }
    }

    void chainsawCutsALineLeftOfThePointer() {
        selectTool(m_stage.palette, 1);
        const QImage& before = m_stage.pattern;
        // Right, down and right, down: small steps so that every position reaches the canvas.
        QVector<QPoint> path{{before.width() / 8, before.height() / 6}};
        for (int i = 0; i < 16; ++i)
            path << path.back() + (i < 8 ? QPoint(20, 0) : i < 13 ? QPoint(12, 12) : QPoint(0, 15));
        moveTo(path.front());
        button(true);
        for (const QPoint& p : path) moveTo(p);
        button(false);
        const auto after = waitForStillScreen(20000, kSplintersGoneMs);
        QVERIFY2(after, "the splinters never settled");

        QVector<QPoint> cut;
        for (const QPoint& p : path) cut << p - QPoint(10, 0);
        // Connected: along the whole path a dark pixel lies within a pixel of every point.
        auto darkNear = [&](QPoint p) {
            for (int i = 0; i < 9; ++i)
                if (const QColor c = after->pixelColor(p + QPoint(i % 3 - 1, i / 3 - 1));
                    c.red() < 60 && c.green() < 60 && c.blue() < 60)
                    return true;
            return false;
        };
        for (int i = 1; i < cut.size(); ++i) {
            const QLineF segment(cut[i - 1], cut[i]);
            const int steps = int(std::ceil(segment.length()));
            for (int k = 0; k <= steps; ++k) {
                const QPoint p = segment.pointAt(double(k) / steps).toPoint();
                QVERIFY2(darkNear(p),
                         qPrintable(QStringLiteral("no cut at %1,%2").arg(p.x()).arg(p.y())));
            }
        }
        // Nothing else changed: every changed pixel lies on the cut.
        const QRect changed = changes(before, *after, m_stage.palette.geometry).box;
        for (int y = changed.top(); y <= changed.bottom(); ++y)
            for (int x = changed.left(); x <= changed.right(); ++x)
                QVERIFY2(before.pixel(x, y) == after->pixel(x, y) ||
                             distanceToPath(QPointF(x, y), cut) <= 2.0,
                         qPrintable(QStringLiteral("stray change at %1,%2").arg(x).arg(y)));
    }

    void giantCannonLeavesACraterUpLeft() {
        const QImage& before = m_stage.pattern;
        const QPoint at(before.width() * 7 / 8, before.height() / 4);
        const auto after = strike(m_stage.palette, 6, at);
        QVERIFY2(after, "the splinters never settled");
        const QRect crater(at - QPoint(100, 100), QSize(60, 60));
        const Changes changed = changes(before, *after, m_stage.palette.geometry);
        QVERIFY2(changed.count > 0, "the giant cannon left nothing");
        QCOMPARE(changed.box | crater, crater);
        QCOMPARE_LT(QLineF(changed.centre, at - QPoint(70, 70)).length(), 5.0);
    }

  private:
    Stage m_stage;
};

SHATTER_E2E_MAIN(E2eTools)
#include "e2e_tools.moc"
