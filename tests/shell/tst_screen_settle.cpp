#include <QtTest>

#include "shell/screen_settle.h"
#include "support/app_fixture.h"

namespace {
constexpr QSize kArea(40, 30);

// The window that covered the area, what lies beneath it, and beneath half painted.
QImage look(char kind) {
    QImage img(kArea, QImage::Format_RGB32);
    img.fill(kind == 'T' ? QColor(20, 40, 90) : QColor(240, 200, 40));
    if (kind == 'H')
        for (int y = 0; y < kArea.height() / 2; ++y)
            for (int x = 0; x < kArea.width(); ++x) img.setPixelColor(x, y, QColor(20, 40, 90));
    return img;
}

// The title with the given share of its pixels repainted, the rest off by a few levels.
QImage partly(double repainted, int noise) {
    QImage img = look('T');
    const int total = kArea.width() * kArea.height();
    for (int i = 0; i < total; ++i) {
        const int x = i % kArea.width(), y = i / kArea.width();
        img.setPixelColor(x, y,
                          i < repainted * total ? QColor(240, 200, 40)
                                                : QColor(20 + noise, 40 - noise, 90 + noise));
    }
    return img;
}
}  // namespace

class TestScreenSettle : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() { m_app = std::make_unique<AppFixture>(); }
    void cleanup() { m_app.reset(); }

    void recognisesTheCoveringWindow_data() {
        QTest::addColumn<QImage>("now");
        QTest::addColumn<bool>("shows");
        QTest::newRow("unchanged") << look('T') << true;
        QTest::newRow("within tolerance") << partly(0, 8) << true;
        QTest::newRow("beyond tolerance") << partly(0, 9) << false;
        QTest::newRow("a tenth repainted") << partly(0.1, 0) << true;
        QTest::newRow("a fifth repainted") << partly(0.2, 0) << false;
        QTest::newRow("half repainted") << look('H') << false;
        QTest::newRow("repainted") << look('B') << false;
        QTest::newRow("other size") << look('T').copy(0, 0, 39, 30) << false;
        QTest::newRow("nothing") << QImage() << false;
    }
    void recognisesTheCoveringWindow() {
        QFETCH(QImage, now);
        QFETCH(bool, shows);
        QCOMPARE(ScreenSettle::stillShows(now, look('T')), shows);
    }

    // Each letter is one grab of the area: T the window, H half repainted, B the desktop.
    void waitsUntilTheDesktopHasRepainted_data() {
        QTest::addColumn<QString>("grabs");
        QTest::addColumn<int>("taken");
        QTest::newRow("gone at once") << "BB" << 2;
        QTest::newRow("lingers") << "TTTBB" << 5;
        QTest::newRow("repaints in two goes") << "THBB" << 4;
        QTest::newRow("half painted for a while") << "HHB" << 2;
        QTest::newRow("screen unreadable") << "" << 1;
    }
    void waitsUntilTheDesktopHasRepainted() {
        QFETCH(QString, grabs);
        QFETCH(int, taken);
        FakeCapture& capture = *m_app->fakes.capture;
        for (QChar c : grabs) capture.looks.push_back(look(c.toLatin1()));
        const QRect area(QPoint(300, 200), kArea);
        ScreenSettle::waitUntilUncovered(area, look('T'));
        QCOMPARE(int(capture.areas.size()), taken);
        for (const QRect& r : capture.areas) QCOMPARE(r, area);
    }

    void givesUpWhenTheWindowNeverGoes() {
        FakeClock& clock = *m_app->fakes.clock;
        m_app->fakes.capture->looks.push_back(look('T'));
        const uint32_t start = clock.now;
        ScreenSettle::waitUntilUncovered(QRect(QPoint(0, 0), kArea), look('T'), 300);
        QVERIFY(clock.now - start >= 300);
        QVERIFY(clock.now - start < 300 + ScreenSettle::kPollMs);
    }

  private:
    std::unique_ptr<AppFixture> m_app;
};

QTEST_MAIN(TestScreenSettle)
#include "tst_screen_settle.moc"
