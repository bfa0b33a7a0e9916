#include <QtTest>
#include <cmath>

#include "canvas/persistent_image.h"

Q_DECLARE_METATYPE(RasterOp)

namespace {

QRgb at(const PersistentImage& img, int x, int y) {
    return img.image().pixel(x, y);
}

int countColour(const PersistentImage& img, QRgb c) {
    int n = 0;
    for (int y = 0; y < img.size().height(); ++y)
        for (int x = 0; x < img.size().width(); ++x) n += at(img, x, y) == c;
    return n;
}

// Every pixel tells where in the source it came from.
QImage coordinateSource(QSize size) {
    QImage src(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) src.setPixel(x, y, qRgb(x, y, 7));
    return src;
}

constexpr QRgb kWhite = 0xFFFFFFFFu, kBlack = 0xFF000000u;

}  // namespace

class TestPersistentImage : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void rasterOpsOnColourBits_data() {
        QTest::addColumn<RasterOp>("op");
        QTest::addColumn<uint>("dest");
        QTest::addColumn<uint>("src");
        QTest::addColumn<uint>("expected");
        QTest::newRow("copy") << RasterOp::Copy << 0xFFABCDEFu << 0xFF123456u << 0xFF123456u;
        QTest::newRow("copy transparent source stays opaque")
            << RasterOp::Copy << 0xFFABCDEFu << 0x00123456u << 0xFF123456u;
        QTest::newRow("and") << RasterOp::And << 0xFFF0F0F0u << 0xFF3C3C3Cu << 0xFF303030u;
        QTest::newRow("and white keeps")
            << RasterOp::And << 0xFF8899AAu << 0xFFFFFFFFu << 0xFF8899AAu;
        QTest::newRow("and black blackens")
            << RasterOp::And << 0xFF8899AAu << 0xFF000000u << kBlack;
        QTest::newRow("and transparent source keeps alpha")
            << RasterOp::And << 0xFF8899AAu << 0x00FFFFFFu << 0xFF8899AAu;
        QTest::newRow("xor") << RasterOp::Xor << 0xFFFF00FFu << 0xFF00FF00u << 0xFFFFFFFFu;
        QTest::newRow("xor black keeps")
            << RasterOp::Xor << 0xFF123456u << 0xFF000000u << 0xFF123456u;
        QTest::newRow("xor self clears") << RasterOp::Xor << 0xFF123456u << 0xFF123456u << kBlack;
    }
    void rasterOpsOnColourBits() {
        QFETCH(RasterOp, op);
        QFETCH(uint, dest);
        QFETCH(uint, src);
        QFETCH(uint, expected);
        PersistentImage img(QSize(4, 4), 0);
        QImage d(QSize(4, 4), QImage::Format_RGB32);
        d.fill(dest);
        img.blit(d, d.rect(), QPoint(0, 0), RasterOp::Copy);
        QImage s(QSize(2, 2), QImage::Format_ARGB32);
        s.fill(src);
        QCOMPARE(img.blit(s, s.rect(), QPoint(1, 1), op), QRect(1, 1, 2, 2));
        QCOMPARE(at(img, 1, 1), QRgb(expected));
        QCOMPARE(at(img, 2, 2), QRgb(expected));
        QCOMPARE(at(img, 0, 0), QRgb(dest | 0xFF000000u));  // outside the copy
        QCOMPARE(at(img, 3, 3), QRgb(dest | 0xFF000000u));
        QCOMPARE(img.image().format(), QImage::Format_RGB32);
    }

    void blitClipsAtEveryEdge_data() {
        QTest::addColumn<QPoint>("dest");
        QTest::addColumn<QRect>("touched");
        // A 10 x 8 source onto a 100 x 50 image.
        QTest::newRow("inside") << QPoint(20, 10) << QRect(20, 10, 10, 8);
        QTest::newRow("left edge") << QPoint(-3, 10) << QRect(0, 10, 7, 8);
        QTest::newRow("top edge") << QPoint(20, -5) << QRect(20, 0, 10, 3);
        QTest::newRow("right edge") << QPoint(95, 10) << QRect(95, 10, 5, 8);
        QTest::newRow("bottom edge") << QPoint(20, 46) << QRect(20, 46, 10, 4);
        QTest::newRow("top-left corner") << QPoint(-9, -7) << QRect(0, 0, 1, 1);
        QTest::newRow("bottom-right corner") << QPoint(99, 49) << QRect(99, 49, 1, 1);
        QTest::newRow("just outside left") << QPoint(-10, 10) << QRect();
        QTest::newRow("just outside top") << QPoint(20, -8) << QRect();
        QTest::newRow("just outside right") << QPoint(100, 10) << QRect();
        QTest::newRow("just outside bottom") << QPoint(20, 50) << QRect();
        QTest::newRow("far away") << QPoint(-100000, 100000) << QRect();
    }
    void blitClipsAtEveryEdge() {
        QFETCH(QPoint, dest);
        QFETCH(QRect, touched);
        PersistentImage img(QSize(100, 50), 0xFFFFFF);
        const QImage src = coordinateSource(QSize(10, 8));
        QCOMPARE(img.blit(src, src.rect(), dest, RasterOp::Copy), touched);
        // Clipped, not shifted: each pixel shows the part of the source that belongs there.
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 100; ++x) {
                const QRgb want =
                    touched.contains(x, y) ? qRgb(x - dest.x(), y - dest.y(), 7) : kWhite;
                if (at(img, x, y) != want)
                    QFAIL(qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
            }
    }

    void blitTakesOnlyWhatTheSourceHas_data() {
        QTest::addColumn<QRect>("srcRect");
        QTest::addColumn<QRect>("touched");
        QTest::newRow("larger than the source") << QRect(0, 0, 178, 155) << QRect(5, 5, 10, 8);
        QTest::newRow("inner part") << QRect(2, 3, 4, 4) << QRect(5, 5, 4, 4);
        QTest::newRow("starts before the source") << QRect(-2, -1, 6, 6) << QRect(7, 6, 4, 5);
        QTest::newRow("outside the source") << QRect(20, 20, 5, 5) << QRect();
    }
    void blitTakesOnlyWhatTheSourceHas() {
        QFETCH(QRect, srcRect);
        QFETCH(QRect, touched);
        PersistentImage img(QSize(60, 40), 0xFFFFFF);
        const QImage src = coordinateSource(QSize(10, 8));
        QCOMPARE(img.blit(src, srcRect, QPoint(5, 5), RasterOp::Copy), touched);
        if (!touched.isEmpty()) {
            const QPoint origin = QPoint(5, 5) - srcRect.topLeft();
            const QPoint p = touched.bottomRight();
            QCOMPARE(at(img, p.x(), p.y()), qRgb(p.x() - origin.x(), p.y() - origin.y(), 7));
        }
    }

    void blitConvertsOtherSourceFormats() {
        PersistentImage img(QSize(8, 8), 0);
        QImage src(QSize(4, 4), QImage::Format_Indexed8);
        src.setColorTable({qRgb(10, 20, 30)});
        src.fill(0);
        img.blit(src, src.rect(), QPoint(2, 2), RasterOp::Copy);
        QCOMPARE(at(img, 3, 3), qRgb(10, 20, 30));
    }

    void pointIsARoundDotOfThePenWidth_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<QRect>("bounds");
        QTest::newRow("1") << 1 << QRect(50, 40, 1, 1);
        QTest::newRow("2") << 2 << QRect(50, 40, 2, 2);
        QTest::newRow("5") << 5 << QRect(48, 38, 5, 5);
        QTest::newRow("11") << 11 << QRect(45, 35, 11, 11);
    }
    void pointIsARoundDotOfThePenWidth() {
        QFETCH(int, width);
        QFETCH(QRect, bounds);
        PersistentImage img(QSize(100, 80), 0xFFFFFF);
        img.setDrawWidth(width);
        img.setForeColor(0x0000FF);  // red as 0x00BBGGRR
        QCOMPARE(img.point(QPoint(50, 40)), bounds);
        QCOMPARE(img.currentPos(), QPoint(50, 40));
        const QRgb red = qRgb(255, 0, 0);
        // Exactly `width` pixels across the middle row and column.
        int row = 0, column = 0;
        for (int x = 0; x < 100; ++x) row += at(img, x, bounds.center().y()) == red;
        for (int y = 0; y < 80; ++y) column += at(img, bounds.center().x(), y) == red;
        QCOMPARE(row, width);
        QCOMPARE(column, width);
        if (width >= 5) {  // round: the box's corners stay untouched
            QCOMPARE(at(img, bounds.left(), bounds.top()), kWhite);
            QCOMPARE(at(img, bounds.right(), bounds.bottom()), kWhite);
        }
        QCOMPARE(changedBoundsOf(img), bounds);
    }

    void lineDrawsBothEndsAndMovesOn_data() {
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to");
        QTest::newRow("flat") << QPoint(10, 10) << QPoint(40, 10);
        QTest::newRow("shallow") << QPoint(290, 300) << QPoint(330, 310);
        QTest::newRow("steep back") << QPoint(30, 60) << QPoint(25, 5);
        QTest::newRow("single point") << QPoint(7, 7) << QPoint(7, 7);
    }
    void lineDrawsBothEndsAndMovesOn() {
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        PersistentImage img(QSize(400, 400), 0xFFFFFF);
        img.setCurrentPos(from);
        const QRect span(QPoint(std::min(from.x(), to.x()), std::min(from.y(), to.y())),
                         QPoint(std::max(from.x(), to.x()), std::max(from.y(), to.y())));
        QCOMPARE(img.lineTo(to), span);
        QCOMPARE(img.currentPos(), to);
        QCOMPARE(at(img, from.x(), from.y()), kBlack);
        QCOMPARE(at(img, to.x(), to.y()), kBlack);
        // A 1-pixel line is connected and has no doubled steps.
        const int steps = std::max(std::abs(to.x() - from.x()), std::abs(to.y() - from.y()));
        QCOMPARE(countColour(img, kBlack), steps + 1);
    }

    void boxHasBothCornersOnItsOutline() {
        PersistentImage img(QSize(100, 100), 0xFFFFFF);
        QCOMPARE(img.box(QPoint(30, 40), QPoint(10, 20)), QRect(QPoint(10, 20), QPoint(30, 40)));
        QCOMPARE(img.currentPos(), QPoint(10, 20));
        for (int x = 10; x <= 30; ++x) {
            QCOMPARE(at(img, x, 20), kBlack);
            QCOMPARE(at(img, x, 40), kBlack);
        }
        for (int y = 20; y <= 40; ++y) {
            QCOMPARE(at(img, 10, y), kBlack);
            QCOMPARE(at(img, 30, y), kBlack);
        }
        QCOMPARE(at(img, 20, 30), kWhite);  // not filled
        QCOMPARE(countColour(img, kBlack), 2 * 21 + 2 * 19);
    }

    void circleIsAnOutlineOfTheRadius_data() {
        QTest::addColumn<int>("radius");
        QTest::addColumn<int>("width");
        QTest::newRow("20 thin") << 20 << 1;
        QTest::newRow("60 thin") << 60 << 1;
        QTest::newRow("20 wide pen") << 20 << 5;
    }
    void circleIsAnOutlineOfTheRadius() {
        QFETCH(int, radius);
        QFETCH(int, width);
        PersistentImage img(QSize(300, 300), 0xFFFFFF);
        img.setDrawWidth(width);
        const QPoint c(150, 140);
        const int pad = radius + width / 2;
        QCOMPARE(img.circle(c, radius), QRect(c - QPoint(pad, pad), c + QPoint(pad, pad)));
        QCOMPARE(img.currentPos(), c);
        QCOMPARE(at(img, c.x(), c.y()), kWhite);
        for (const QPoint d :
             {QPoint(radius, 0), QPoint(-radius, 0), QPoint(0, radius), QPoint(0, -radius)})
            QCOMPARE(at(img, c.x() + d.x(), c.y() + d.y()), kBlack);
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 300; ++x)
                if (at(img, x, y) == kBlack) {
                    const double dist = std::hypot(x - c.x(), y - c.y());
                    QVERIFY2(std::abs(dist - radius) <= width / 2.0 + 0.75,
                             qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
                }
    }

    void drawingOffTheImageIsClipped_data() {
        QTest::addColumn<int>("shape");  // 0 point, 1 line, 2 box, 3 circle
        QTest::addColumn<QRect>("touched");
        QTest::newRow("dot over the left edge") << 0 << QRect(0, 15, 3, 11);
        QTest::newRow("line leaving at the right") << 1 << QRect(90, 10, 10, 1);
        QTest::newRow("box over the bottom") << 2 << QRect(40, 45, 21, 5);
        QTest::newRow("circle round the corner") << 3 << QRect(0, 0, 21, 21);
        QTest::newRow("circle far outside") << 4 << QRect();
    }
    void drawingOffTheImageIsClipped() {
        QFETCH(int, shape);
        QFETCH(QRect, touched);
        PersistentImage img(QSize(100, 50), 0xFFFFFF);
        QRect got;
        switch (shape) {
            case 0:
                img.setDrawWidth(11);
                got = img.point(QPoint(-3, 20));
                break;
            case 1:
                img.setCurrentPos(QPoint(90, 10));
                got = img.lineTo(QPoint(200, 10));
                break;
            case 2:
                got = img.box(QPoint(40, 45), QPoint(60, 65));
                break;
            case 3:
                got = img.circle(QPoint(0, 0), 20);
                break;
            default:
                got = img.circle(QPoint(-500, 20), 20);
                break;
        }
        QCOMPARE(got, touched);
        // The reported rectangle may be a little generous, never short.
        QVERIFY(touched.contains(changedBoundsOf(img)) || touched.isEmpty());
        if (touched.isEmpty()) QCOMPARE(changedBoundsOf(img), QRect());
    }

    void replaceAndResetFillWithBackground() {
        PersistentImage img(QSize(6, 4), 0x0000FF);
        QCOMPARE(at(img, 5, 3), qRgb(255, 0, 0));
        QImage pic(QSize(2, 2), QImage::Format_ARGB32);
        pic.fill(0x80102030u);
        img.replace(pic, 0x00FF00);
        QCOMPARE(at(img, 1, 1), qRgb(0x10, 0x20, 0x30));
        QCOMPARE(at(img, 2, 2), qRgb(0, 255, 0));
    }

  private:
    static QRect changedBoundsOf(const PersistentImage& img) {
        QRect r;
        for (int y = 0; y < img.size().height(); ++y)
            for (int x = 0; x < img.size().width(); ++x)
                if (at(img, x, y) != kWhite) r |= QRect(x, y, 1, 1);
        return r;
    }
};

QTEST_APPLESS_MAIN(TestPersistentImage)
#include "tst_persistent_image.moc"
