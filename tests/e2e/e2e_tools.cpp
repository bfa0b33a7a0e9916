#include <QApplication>
#include <QLineF>
#include <QtTest>
#include <cmath>

#include "e2e/harness.h"

using namespace e2e;

namespace {
QString where(const QRect& r) {
    return QStringLiteral("(%1,%2) %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

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
    void init() {
        QVERIFY2(m_stage.begin(true), "the test pattern did not reach the screen");
        const auto palette = m_stage.enterCanvas();
        QVERIFY2(palette, "no canvas and palette after the enter command");
        m_palette = *palette;
    }
    void cleanup() { m_stage.end(); }

    void hammerCracksOnlyItsRectangle() {
        selectTool(m_palette, 2);
        const QPoint at(m_stage.pattern.width() / 5, m_stage.pattern.height() / 4);
        const auto before = waitForStillScreen();
        QVERIFY(before);
        click(at);
        const auto after = waitForStillScreen(20000, kSplintersGoneMs);
        QVERIFY2(after, "the splinters never settled");
        const Changes changed = changes(*before, *after, m_palette.geometry);
        // The crack picture is one of three, each with its own point of impact.
        const QSize crack(178, 155);
        const QRect first(at - QPoint(105, 60), crack), second(at - QPoint(80, 80), crack);
        QVERIFY2(first.contains(changed.box) || second.contains(changed.box),
                 qPrintable(QStringLiteral("changes in ") + where(changed.box)));
        QCOMPARE_GT(changed.count, 200);
        // Cracks only darken, channel by channel.
        for (int y = changed.box.top(); y <= changed.box.bottom(); ++y)
            for (int x = changed.box.left(); x <= changed.box.right(); ++x) {
                const QRgb a = before->pixel(x, y), b = after->pixel(x, y);
                QVERIFY(qRed(b) <= qRed(a) && qGreen(b) <= qGreen(a) && qBlue(b) <= qBlue(a));
            }
    }

    void chainsawCutsALineLeftOfThePointer() {
        selectTool(m_palette, 1);
        // Right, down and right, down: small steps so that every position reaches the canvas.
        QVector<QPoint> path{{m_stage.pattern.width() / 8, m_stage.pattern.height() / 6}};
        auto walk = [&](QPoint step, int count) {
            while (count-- > 0) path << path.back() + step;
        };
        walk(QPoint(20, 0), 8);
        walk(QPoint(12, 12), 5);
        walk(QPoint(0, 15), 3);
        const auto before = waitForStillScreen();
        QVERIFY(before);
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
            for (int y = p.y() - 1; y <= p.y() + 1; ++y)
                for (int x = p.x() - 1; x <= p.x() + 1; ++x)
                    if (QColor c = after->pixelColor(x, y);
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
        const QRect changed = changes(*before, *after, m_palette.geometry).box;
        for (int y = changed.top(); y <= changed.bottom(); ++y)
            for (int x = changed.left(); x <= changed.right(); ++x)
                QVERIFY2(before->pixel(x, y) == after->pixel(x, y) ||
                             distanceToPath(QPointF(x, y), cut) <= 2.0,
                         qPrintable(QStringLiteral("stray change at %1,%2").arg(x).arg(y)));
    }

    void giantCannonLeavesACraterUpLeft() {
        selectTool(m_palette, 6);
        const QPoint at(m_stage.pattern.width() * 7 / 8, m_stage.pattern.height() / 4);
        const auto before = waitForStillScreen();
        QVERIFY(before);
        click(at);
        const auto after = waitForStillScreen(10000, 500);
        QVERIFY(after);
        const QRect crater(at - QPoint(100, 100), QSize(60, 60));
        const Changes changed = changes(*before, *after, m_palette.geometry);
        QVERIFY2(!changed.box.isEmpty() && crater.contains(changed.box),
                 qPrintable(QStringLiteral("changes in ") + where(changed.box)));
        QCOMPARE_LT(QLineF(changed.centre, at - QPoint(70, 70)).length(), 5.0);
    }

  private:
    Stage m_stage;
    XWindow m_palette;
};

SHATTER_E2E_MAIN(E2eTools)
#include "e2e_tools.moc"
