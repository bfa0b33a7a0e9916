#include <QPainter>
#include <QtTest>

#include "canvas/capture_screen.h"
#include "canvas/persistent_image.h"

Q_DECLARE_METATYPE(RasterOp)

namespace {
constexpr QRgb kWhite = 0xFFFFFFFFu;
}

class TestPersistentImage : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void rasterOpsOnColourBits_data() {
        QTest::addColumn<RasterOp>("op");
        QTest::addColumn<uint>("dest");
        QTest::addColumn<uint>("src");
        QTest::addColumn<uint>("expected");
        QTest::newRow("copy of a transparent source is opaque")
            << RasterOp::Copy << 0xFFABCDEFu << 0x00123456u << 0xFF123456u;
        QTest::newRow("and") << RasterOp::And << 0xFFF0F0F0u << 0xFF3C3C3Cu << 0xFF303030u;
        QTest::newRow("and, source without alpha")
            << RasterOp::And << 0xFF8899AAu << 0x00FFFFFFu << 0xFF8899AAu;
        QTest::newRow("xor") << RasterOp::Xor << 0xFFFF00FFu << 0xFF0F0F00u << 0xFFF00FFFu;
    }
    void rasterOpsOnColourBits() {
        QFETCH(RasterOp, op);
        QFETCH(uint, dest);
        QFETCH(uint, src);
        QFETCH(uint, expected);
        PersistentImage img(QSize(4, 4), 0);
        QImage d(QSize(4, 4), QImage::Format_RGB32), s(QSize(2, 2), QImage::Format_ARGB32);
        d.fill(dest);
        s.fill(src);
        img.blit(d, d.rect(), QPoint(0, 0), RasterOp::Copy);
        QCOMPARE(img.blit(s, s.rect(), QPoint(1, 1), op), QRect(1, 1, 2, 2));
        QCOMPARE(img.image().pixel(2, 2), QRgb(expected));
        QCOMPARE(img.image().pixel(3, 3), QRgb(dest | 0xFF000000u));
    }

    void blitClipsAtEveryEdge_data() {
        QTest::addColumn<QPoint>("dest");
        QTest::addColumn<QRect>("touched");
        // A 10 x 8 source onto a 100 x 50 image.
        QTest::newRow("inside") << QPoint(20, 10) << QRect(20, 10, 10, 8);
        QTest::newRow("left") << QPoint(-3, 10) << QRect(0, 10, 7, 8);
        QTest::newRow("top") << QPoint(20, -5) << QRect(20, 0, 10, 3);
        QTest::newRow("right") << QPoint(95, 10) << QRect(95, 10, 5, 8);
        QTest::newRow("bottom") << QPoint(20, 46) << QRect(20, 46, 10, 4);
        QTest::newRow("one corner pixel") << QPoint(-9, -7) << QRect(0, 0, 1, 1);
        QTest::newRow("just outside left") << QPoint(-10, 10) << QRect();
        QTest::newRow("just outside right") << QPoint(100, 10) << QRect();
        QTest::newRow("just outside top") << QPoint(20, -8) << QRect();
        QTest::newRow("just outside bottom") << QPoint(20, 50) << QRect();
    }
    void blitClipsAtEveryEdge() {
        QFETCH(QPoint, dest);
        QFETCH(QRect, touched);
        PersistentImage img(QSize(100, 50), 0xFFFFFF);
        QImage src(QSize(10, 8), QImage::Format_RGB32);  // each pixel names its own place
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 10; ++x) src.setPixel(x, y, qRgb(x, y, 7));
        QCOMPARE(img.blit(src, src.rect(), dest, RasterOp::Copy), touched);
        // Clipped, not shifted: every pixel holds the part of the source that belongs there.
        QImage want = PersistentImage(QSize(100, 50), 0xFFFFFF).image().copy();
        QPainter(&want).drawImage(dest, src);
        QCOMPARE(img.image(), want);
    }

    void primitives_data() {
        QTest::addColumn<QString>("shape");
        QTest::addColumn<int>("width");
        QTest::addColumn<QPoint>("a");
        QTest::addColumn<QPoint>("b");  // line end, box corner, or (radius, 0)
        QTest::addColumn<QRect>("touched");
        QTest::addColumn<QList<QPoint>>("drawn");
        QTest::addColumn<QList<QPoint>>("clear");
        using L = QList<QPoint>;
        QTest::newRow("11-pixel round dot")
            << "point" << 11 << QPoint(50, 40) << QPoint() << QRect(45, 35, 11, 11)
            << L{{45, 40}, {55, 40}, {50, 35}, {50, 45}}
            << L{{44, 40}, {56, 40}, {45, 35}, {55, 45}};
        QTest::newRow("dot over the left edge")
            << "point" << 11 << QPoint(-3, 20) << QPoint() << QRect(0, 15, 3, 11)
            << L{{0, 20}, {2, 20}} << L{};
        QTest::newRow("line, both ends")
            << "line" << 1 << QPoint(290, 300) << QPoint(330, 310) << QRect(290, 300, 41, 11)
            << L{{290, 300}, {330, 310}} << L{{289, 300}, {331, 310}};
        QTest::newRow("line up and left") << "line" << 1 << QPoint(30, 60) << QPoint(25, 5)
                                          << QRect(25, 5, 6, 56) << L{{30, 60}, {25, 5}} << L{};
        QTest::newRow("box corners inside")
            << "box" << 1 << QPoint(30, 40) << QPoint(10, 20) << QRect(10, 20, 21, 21)
            << L{{10, 20}, {30, 40}, {30, 20}, {10, 40}, {20, 20}}
            << L{{20, 30}, {31, 40}, {9, 20}};
        QTest::newRow("circle") << "circle" << 1 << QPoint(150, 140) << QPoint(20, 0)
                                << QRect(130, 120, 41, 41)
                                << L{{170, 140}, {130, 140}, {150, 160}, {150, 120}}
                                << L{{150, 140}, {171, 140}, {165, 125}};
        QTest::newRow("circle round the corner")
            << "circle" << 1 << QPoint(0, 0) << QPoint(20, 0) << QRect(0, 0, 21, 21)
            << L{{20, 0}, {0, 20}} << L{{0, 0}};
        QTest::newRow("circle far outside")
            << "circle" << 1 << QPoint(-500, 20) << QPoint(20, 0) << QRect() << L{} << L{};
    }
    void primitives() {
        QFETCH(QString, shape);
        QFETCH(int, width);
        QFETCH(QPoint, a);
        QFETCH(QPoint, b);
        QFETCH(QRect, touched);
        QFETCH(QList<QPoint>, drawn);
        QFETCH(QList<QPoint>, clear);
        PersistentImage img(QSize(400, 400), 0xFFFFFF);
        img.setDrawWidth(width);
        img.setForeColor(0x0000FF);  // red, as 0x00BBGGRR
        QRect got;
        if (shape == "point") got = img.point(a);
        if (shape == "line") img.setCurrentPos(a), got = img.lineTo(b);
        if (shape == "box") got = img.box(a, b);
        if (shape == "circle") got = img.circle(a, b.x());
        QCOMPARE(got, touched);
        for (const QPoint& p : drawn) QCOMPARE(img.image().pixel(p), qRgb(255, 0, 0));
        for (const QPoint& p : clear) QCOMPARE(img.image().pixel(p), kWhite);
        // Nothing outside the reported rectangle changed.
        QImage rest = img.image().copy(), white = rest.copy();
        QPainter(&rest).fillRect(touched, Qt::white);
        white.fill(Qt::white);
        QCOMPARE(rest, white);
    }

    void screenPixelsFromTwips_data() {
        QTest::addColumn<double>("twips");
        QTest::addColumn<double>("perPixel");
        QTest::addColumn<int>("pixels");
        QTest::newRow("width at 96 dpi") << 15360.0 << 15.0 << 1024;
        QTest::newRow("rounded, then truncated") << 15374.6 << 15.0 << 1025;
        QTest::newRow("per pixel rounds half to even") << 12000.0 << 14.5 << 857;
        QTest::newRow("no whole twip per pixel") << 12000.0 << 0.4 << 0;
        QTest::newRow("beyond 32 bits") << 1e300 << 15.0 << 143165576;
    }
    void screenPixelsFromTwips() {
        QFETCH(double, twips);
        QFETCH(double, perPixel);
        QFETCH(int, pixels);
        QCOMPARE(Formula::ScreenPixels(twips, perPixel), pixels);
    }
};

QTEST_APPLESS_MAIN(TestPersistentImage)
#include "tst_persistent_image.moc"
