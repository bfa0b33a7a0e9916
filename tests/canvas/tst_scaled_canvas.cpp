#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include "canvas/splinter_animation.h"
#include "platform/files/cursor_file.h"
#include "shell/layout_style.h"
#include "shell/picture_box.h"
#include "support/app_fixture.h"
#include "support/data_table.h"
#include "support/sample_pictures.h"

// The canvas on a scaled screen. ctest runs this once with QT_SCALE_FACTOR=2 and once with 1.5;
// rows for the other factor are skipped.
using SamplePictures::changes;
using SamplePictures::pattern;

class TestScaledCanvas : public AppTest {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() { QVERIFY(m_s != 1); }
    void init() {
        AppTest::init();
        m_app->fakes.capture->next = pattern(m_screen.width(), m_screen.height(), 3);
    }

    // The snapshot is the screen at its device resolution (how it is painted, the X11
    // scenario's scaled rows see). Saved at device resolution, it loads back 1:1.
    void snapshotIsWholeAndSavedOneToOne() {
        Formula_Start& canvas = forms().get<Formula_Start>();
        // The window covers the screen with less than a logical pixel over.
        QVERIFY(canvas.client()->width() * m_s < m_screen.width() + m_s);
        QCOMPARE(m_screen, QGuiApplication::primaryScreen()->grabWindow(0).size());
        QTemporaryDir dir;
        const QString file = dir.filePath("scaled.ZEL");
        m_app->save(file);
        QCOMPARE(QImage(file).size(), m_screen);
        canvas.image().reset(m_screen, 0);
        m_app->load(file);
        QCOMPARE(canvas.image().image(), m_app->fakes.capture->next);  // and so was the snapshot
    }

    // Each tool strikes once on a 1920 x 1080 image with every sprite a grey block, so the
    // damage is the whole device rectangle the tool copies to or draws in.
    void damagedDeviceRectangle_data() {
        const DataTable<double, int, QPointF, QRect> row({"s", "tool", "at", "damage"});
        const QPointF p(400, 300);
        row("2 giant cannon", 2, 6, p, {600, 400, 120, 120});
        row("2 three-headed cannon", 2, 5, {500, 400}, {826, 628, 88, 86});
        row("2 stamp 101x50", 2, 7, {200, 200}, {300, 350, 202, 100});
        row("2 chainsaw", 2, 1, {300, 300}, {580, 600, 2, 2});
        row("2 circle", 2, 3, p, {760, 560, 82, 82});
        row("2 square", 2, 4, p, {760, 560, 82, 82});
        row("1.5 hammer", 1.5, 2, p, {442, 360, 267, 232});
        // Rounded once from the fractional position: 442.95 and 361.05.
        row("1.5 hammer, fractional", 1.5, 2, {400.3, 300.7}, {443, 361, 267, 232});
        row("1.5 three-headed cannon", 1.5, 5, {500, 400}, {620, 471, 65, 65});
        row("1.5 stamp 101x50", 1.5, 7, {200, 200}, {225, 262, 152, 75});
        row("1.5 circle", 1.5, 3, p, {570, 420, 62, 62});
    }
    void damagedDeviceRectangle() {
        const auto [s, tool, at, damage] = DataTable<double, int, QPointF, QRect>::fetch();
        if (s != m_s && m_s != 2) QSKIP("for the other scale factor");
        // At Qt's 2 the rows of 1.5 take a snapshot of a compositor at 1.5 that Qt rounded up.
        if (s != m_s)
            m_app->fakes.capture->next =
                pattern(m_screen.width() * 3 / 4, m_screen.height() * 3 / 4);
        m_app->fakes.random->fallback = tool == 6 ? 0.5 : 0.0;
        Formula_Start& canvas = canvasWith(tool);
        canvas.setScreenSize(QSize(1920, 1080));
        canvas.image().reset(QSize(1920, 1080), 0xFFFFFF);
        // Qt::gray, as the canvas writes colours: 0x00BBGGRR.
        for (const char* set : {"PicGlass", "PicBomb", "PicBomb2", "PicBomb3"})
            for (int i = 1; i <= 3; ++i)
                if (PictureBox* holder = canvas.picture(set, i))
                    holder->setPicture(PersistentImage(holder->picture().size(), 0xA4A0A0).image());
        canvas.PicTo()->setPicture(PersistentImage(QSize(101, 50), 0xA4A0A0).image());
        const QImage before = canvas.image().image().copy();
        canvas.Form_MouseDown(1, 0, at.x(), at.y());
        QCOMPARE(changes(before, canvas.image().image()).box, damage);
    }

    // A compositor at 1.5 that Qt rounds up to 2: following the screen keeps the output's pixels.
    void fractionalSnapshotKeptWhenFollowing() {
        if (m_s != 2) QSKIP("at Qt's whole factor 2");
        const QSize output = m_screen * 3 / 4;
        m_app->fakes.capture->next = pattern(output.width(), output.height());
        Formula_Start& canvas = forms().get<Formula_Start>();
        canvas.followPrimaryScreen();
        QCOMPARE(canvas.image().image(), m_app->fakes.capture->next);
    }

    // The three-headed cannon's hole is a round dot twice 11 pixels across at 2.
    void bulletHoleIsARoundDot() {
        if (m_s != 2) QSKIP("the dot is checked at 2");
        Formula_Start& canvas = canvasWith(5);
        canvas.image().reset(canvas.image().size(), 0xFFFFFF);
        canvas.picture("PicBomb", 2)->setPicture(PersistentImage(QSize(25, 25), 0xFFFFFF).image());
        canvas.picture("PicBomb", 1)->setPicture(PersistentImage(QSize(25, 25), 0).image());
        const QImage before = canvas.image().image().copy();
        canvas.Form_MouseDown(1, 0, 200, 150);  // first hole centred at device (240, 200)
        const QImage after = canvas.image().image();
        const QRect around(225, 185, 32, 32);  // clear of the other two holes
        QCOMPARE(changes(before.copy(around), after.copy(around)).box.translated(around.topLeft()),
                 QRect(230, 190, 22, 22));
        QCOMPARE(after.pixel(230, 190), 0xFFFFFFFFu);  // the corners stay: round
        QCOMPARE(after.pixel(230, 200), 0xFF000000u);
    }

    // Right after a strike the splinters sit at their start, logical (110, 120) and device
    // pixels s times that, 17 logical pixels square: a press on one does nothing, a press beside
    // them (a logical point that lies inside them only if read as device pixels) strikes. A
    // step moves them s times the logical step: 76 left and 5 up, from the random number 0.
    void pressRightAfterAStrike_data() {
        const DataTable<QPointF, bool> row({"at", "strikes"});
        row("on a splinter", {115, 125}, false);
        row("beside the splinters", {110 * m_s + 5, 120 * m_s + 5}, true);
    }
    void pressRightAfterAStrike() {
        QFETCH(QPointF, at);
        Formula_Start& canvas = canvasWith(2);
        canvas.Form_MouseDown(1, 0, 100, 20);
        canvas.Form_MouseUp(1, 0, 100, 20);
        SplinterAnimation& a = *canvas.splinters();
        QCOMPARE(a.holderRect(0), QRect(m_scale.point(110, 120), m_scale.size(QSize(17, 17))));
        const QImage before = canvas.image().image().copy();
        canvas.Form_MouseDown(1, 0, at.x(), at.y());
        const bool struck = canvas.image().image() != before;
        QTEST(struck, "strikes");
        const QPointF start = struck ? at + QPointF(10, 100) : QPointF(110, 120);
        a.step();
        QCOMPARE(a.holderPos(0), m_scale.point(start.x() - 76, start.y() - 5));
    }

    // Cursor pictures keep their size next to the windows: 32 x 32 becomes 32 s, hot spot too.
    void cursorsScale() {
        const QCursor tool = loadToolCursor(2);
        const CursorFileResult& file = readToolCursor(2);
        QCOMPARE(tool.pixmap().size(), m_scale.size(file.image.size()));
        QCOMPARE(tool.hotSpot(), m_scale.hotSpot(file.hotSpot));
        QCOMPARE(handCursor().pixmap().size(), m_scale.size(QSize(32, 32)));
        QCOMPARE(handCursor().hotSpot(), m_scale.point(5, 0));
    }

  private:
    const DeviceScale m_scale = DeviceScale::ofPrimaryScreen();
    const double m_s = m_scale.factor();
    const QSize m_screen = DeviceScale::primaryScreenSize();
};

QTEST_MAIN(TestScaledCanvas)
#include "tst_scaled_canvas.moc"
