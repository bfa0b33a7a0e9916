#include <QtTest>

#include "canvas/formula_start.h"
#include "settings/frm_option2.h"
#include "shell/forms.h"
#include "shell/picture_box.h"
#include "support/app_fixture.h"
#include "support/sample_pictures.h"

using namespace SamplePictures;

class TestFrmOption2 : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() {
        m_app = std::make_unique<AppFixture>();
        m_app->fakes.capture->next = pattern(64, 48);
    }
    void cleanup() { m_app.reset(); }

    // Where a button acts, its frame lies 10 pixels out at the left and top and 5 at the right
    // and bottom, and replaces the frame of the button pressed before.
    void sizeButtonActsForSelectedTool_data() {
        QTest::addColumn<int>("tool");
        QTest::addColumn<int>("k");
        QTest::addColumn<QList<int>>("after");  // pen width, circle radius, half the square
        QTest::addColumn<QRect>("frame");
        QTest::newRow("chainsaw 5")
            << 1 << 5 << QList<int>{5, 20, 20} << QRect(QPoint(206, 134), QPoint(254, 182));
        QTest::newRow("circle 3")
            << 3 << 3 << QList<int>{1, 40, 20} << QRect(QPoint(62, 134), QPoint(110, 182));
        QTest::newRow("square 1")
            << 4 << 1 << QList<int>{1, 20, 10} << QRect(QPoint(94, 86), QPoint(142, 134));
        QTest::newRow("hammer: nothing") << 2 << 3 << QList<int>{1, 20, 20} << QRect();
        QTest::newRow("stamp: nothing") << 7 << 1 << QList<int>{1, 20, 20} << QRect();
        QTest::newRow("no tool yet: nothing") << 0 << 4 << QList<int>{1, 20, 20} << QRect();
        QTest::newRow("index 6: nothing") << 1 << 6 << QList<int>{1, 20, 20} << QRect();
    }
    void sizeButtonActsForSelectedTool() {
        QFETCH(int, tool);
        QFETCH(int, k);
        QFETCH(QList<int>, after);
        QFETCH(QRect, frame);
        if (tool) Formula::PropOn(tool) = Formula::kTrue;
        FrmOption2& w = settings();
        w.showForm();
        if (!frame.isNull()) w.Num_MouseDown(k == 2 ? 4 : 2, 1, 0, 0, 0);
        Formula::PenSize = Formula::BoxSize = 20;
        canvas().setDrawWidth(1);
        w.Num_MouseDown(k, 1, 0, 0, 0);
        QCOMPARE(QList<int>({canvas().DrawWidth(), Formula::PenSize, Formula::BoxSize}), after);
        // The bounds of what the window drew in its foreground colour, controls left out.
        QImage shot(w.client()->size(), QImage::Format_RGB32);
        w.client()->render(&shot, QPoint(), QRegion(), QWidget::DrawWindowBackground);
        QRect drawn;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                if (shot.pixel(x, y) == toQColor(w.ForeColor()).rgb()) drawn |= QRect(x, y, 1, 1);
        QCOMPARE(drawn, frame);
    }

    void stampCommand_data() {
        QTest::addColumn<QByteArray>("bytes");  // written as "stamp.jpg"; empty: the user cancels
        QTest::addColumn<QSize>("size");        // of the stamp afterwards
        QTest::addColumn<bool>("complains");
        const QImage few = pattern(21, 13).convertToFormat(QImage::Format_Indexed8);
        const QSize kept(97, 65);
        QTest::newRow("gif") << gif(few) << QSize(21, 13) << false;
        QTest::newRow("cancel keeps the stamp") << QByteArray() << kept << false;
        QTest::newRow("cut-off gif keeps the stamp") << gif(few).left(300) << kept << true;
        QTest::newRow("not a picture keeps the stamp") << QByteArray("MZ\x90") << kept << true;
    }
    void stampCommand() {
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, size);
        QFETCH(bool, complains);
        PictureBox* stamp = canvas().PicTo();
        stamp->setPicture(pattern(97, 65, 4));
        QTemporaryDir dir;
        const QString file = dir.filePath("stamp.jpg");
        if (!bytes.isEmpty()) QVERIFY(writeFile(file, bytes));
        m_app->fakes.dialogs->openAnswers.push_back(bytes.isEmpty() ? std::nullopt
                                                                    : std::optional(file));
        settings().LabOpen_MouseDown(1, 0, 0, 0);
        QCOMPARE(m_app->fakes.dialogs->openRequests.size(), size_t(1));
        QCOMPARE(stamp->picture().size(), size);
        QCOMPARE(stamp->size(), size);
        if (size == QSize(97, 65)) QCOMPARE(stamp->picture(), pattern(97, 65, 4));
        QCOMPARE(m_app->fakes.messages->shown.size(), size_t(complains ? 1 : 0));
        if (complains)
            QVERIFY(m_app->fakes.messages->shown[0].text.contains(QDir::toNativeSeparators(file)));
    }

  private:
    FrmOption2& settings() { return forms().get<FrmOption2>(); }
    Formula_Start& canvas() { return forms().get<Formula_Start>(); }

    std::unique_ptr<AppFixture> m_app;
};

QTEST_MAIN(TestFrmOption2)
#include "tst_frm_option2.moc"
