#include <QtTest>

#include "canvas/formula_start.h"
#include "palette/frm_option.h"
#include "settings/frm_option2.h"
#include "shell/forms.h"
#include "shell/formula.h"
#include "shell/label.h"
#include "shell/picture_box.h"
#include "support/app_fixture.h"
#include "support/sample_pictures.h"

using namespace SamplePictures;

class TestFrmOption2 : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init() {
        m_app = std::make_unique<AppFixture>();
        m_dir.emplace();
        m_app->fakes.capture->next = pattern(64, 48);
    }
    void cleanup() {
        m_app.reset();
        m_dir.reset();
    }

    void sizeButtonActsForSelectedTool_data() {
        QTest::addColumn<int>("tool");
        QTest::addColumn<int>("k");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("pen");
        QTest::addColumn<int>("box");
        QTest::newRow("chainsaw 5") << 1 << 5 << 5 << 20 << 20;
        QTest::newRow("chainsaw 2") << 1 << 2 << 2 << 20 << 20;
        QTest::newRow("circle 3") << 3 << 3 << 1 << 40 << 20;
        QTest::newRow("circle 5") << 3 << 5 << 1 << 60 << 20;
        QTest::newRow("square 1") << 4 << 1 << 1 << 20 << 10;
        QTest::newRow("square 4") << 4 << 4 << 1 << 20 << 25;
        QTest::newRow("hammer: nothing") << 2 << 3 << 1 << 20 << 20;
        QTest::newRow("stamp: nothing") << 7 << 1 << 1 << 20 << 20;
        QTest::newRow("no tool yet: nothing") << 0 << 4 << 1 << 20 << 20;
        QTest::newRow("index 6: nothing") << 1 << 6 << 1 << 20 << 20;
    }
    void sizeButtonActsForSelectedTool() {
        QFETCH(int, tool);
        QFETCH(int, k);
        QFETCH(int, width);
        QFETCH(int, pen);
        QFETCH(int, box);
        if (tool) Formula::PropOn(tool) = Formula::kTrue;
        Formula::PenSize = Formula::BoxSize = 20;
        canvas().setDrawWidth(1);
        settings().Num_MouseDown(k, 1, 0, 0, 0);
        QCOMPARE(canvas().DrawWidth(), width);
        QCOMPARE(int(Formula::PenSize), pen);
        QCOMPARE(int(Formula::BoxSize), box);
        const bool acted = width != 1 || pen != 20 || box != 20;
        QCOMPARE(!frameDrawn().isNull(), acted);
    }

    // 10 pixels out at the left and top, 5 at the right and bottom; one frame at a time.
    void frameAroundButton_data() {
        QTest::addColumn<int>("k");
        QTest::addColumn<QRect>("frame");
        QTest::newRow("button 1 at (104, 96)") << 1 << QRect(QPoint(94, 86), QPoint(142, 134));
        QTest::newRow("button 3 at (72, 144)") << 3 << QRect(QPoint(62, 134), QPoint(110, 182));
        QTest::newRow("button 5 at (216, 144)") << 5 << QRect(QPoint(206, 134), QPoint(254, 182));
    }
    void frameAroundButton() {
        QFETCH(int, k);
        QFETCH(QRect, frame);
        Formula::Prop4On = Formula::kTrue;
        FrmOption2& w = settings();
        w.showForm();
        w.Num_MouseDown(k == 2 ? 4 : 2, 1, 0, 0, 0);
        w.Num_MouseDown(k, 1, 0, 0, 0);
        QCOMPARE(frameDrawn(), frame);
        w.hideForm();
        w.showForm();
        QCOMPARE(frameDrawn(), QRect());  // the window keeps no drawing
    }

    // The canvas takes the dialog's colour even after a cancel: the last accepted one, or black.
    void colourCommand_data() {
        QTest::addColumn<QList<QColor>>("answers");  // invalid: cancel
        QTest::addColumn<Colour>("expected");
        QTest::newRow("cancel first: black") << QList<QColor>{QColor()} << Colour(0);
        QTest::newRow("red") << QList<QColor>{Qt::red} << rgb(255, 0, 0);
        QTest::newRow("green, then cancel") << QList<QColor>{Qt::green, QColor()} << rgb(0, 255, 0);
    }
    void colourCommand() {
        QFETCH(QList<QColor>, answers);
        QFETCH(Colour, expected);
        canvas().setForeColor(rgb(1, 2, 3));
        for (const QColor& c : answers) {
            m_app->fakes.dialogs->colorAnswers.push_back(c.isValid() ? std::optional(c)
                                                                     : std::nullopt);
            settings().LabColor_MouseDown(1, 0, 0, 0);
        }
        QCOMPARE(canvas().ForeColor(), expected);
        QCOMPARE(m_app->fakes.dialogs->colorTitles.back(), QStringLiteral("選取顏色"));
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
        const QString file = m_dir->filePath("stamp.jpg");
        if (!bytes.isEmpty()) QVERIFY(writeFile(file, bytes));
        m_app->fakes.dialogs->openAnswers.push_back(bytes.isEmpty() ? std::nullopt
                                                                    : std::optional(file));
        settings().LabOpen_MouseDown(1, 0, 0, 0);
        const FileDialogRequest& asked = m_app->fakes.dialogs->openRequests.at(0);
        QCOMPARE(asked.title, QStringLiteral("圖章路徑"));
        QCOMPARE(asked.filter, QStringLiteral("圖片(*.bmp,*.jpg,*.gif,*.cur,*.ico)|"
                                              "*.bmp;*.jpg;*.gif;*.cur;*.ico"));
        QCOMPARE(stamp->picture().size(), size);
        QCOMPARE(stamp->size(), size);
        if (size == QSize(97, 65)) QCOMPARE(stamp->picture(), pattern(97, 65, 4));
        QCOMPARE(m_app->fakes.messages->shown.size(), size_t(complains ? 1 : 0));
        if (complains)
            QVERIFY(m_app->fakes.messages->shown[0].text.contains(QDir::toNativeSeparators(file)));
    }

    void okHidesAndShowsPalette() {
        FrmOption2& w = settings();
        w.showForm();
        w.LabTrue_MouseDown(2, 0, 0, 0);
        QVERIFY(w.isVisible());
        w.LabTrue_MouseDown(1, 0, 0, 0);
        QVERIFY(!w.isVisible());
        QVERIFY(forms().isLoaded(FormId::FrmOption2));
        QVERIFY(forms().get<FrmOption>().isVisible());
    }

    void hoverColours_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<Colour>("colour");
        QTest::newRow("LabColor yellow") << "LabColor" << Colour(0x00FFFF);
        QTest::newRow("LabOpen red") << "LabOpen" << Colour(0x0000FF);
        QTest::newRow("LabTrue yellow") << "LabTrue" << Colour(0x00FFFF);
    }
    void hoverColours() {
        QFETCH(QString, name);
        QFETCH(Colour, colour);
        FrmOption2& w = settings();
        Label* label = w.label(name);
        Q_EMIT label->mouseMove(0, 0, 1, 1);
        QCOMPARE(label->foreColor(), colour);
        w.Form_MouseMove(0, 0, 5, 5);
        for (const char* n : {"LabColor", "LabOpen", "LabTrue"})
            QCOMPARE(w.label(n)->foreColor(), Colour(0xFFFFFF));
    }

    void otherButtonsDoNothing() {
        Formula::Prop3On = Formula::kTrue;
        Formula::PenSize = 20;
        FrmOption2& w = settings();
        w.showForm();
        for (int button : {2, 4, 3}) {
            Q_EMIT w.picture("Num", 2)->mouseDown(button, 0, 1, 1);
            w.LabColor_MouseDown(button, 0, 0, 0);
            w.LabOpen_MouseDown(button, 0, 0, 0);
            w.LabTrue_MouseDown(button, 0, 0, 0);
        }
        QCOMPARE(int(Formula::PenSize), 20);
        QVERIFY(m_app->fakes.dialogs->colorTitles.empty() &&
                m_app->fakes.dialogs->openRequests.empty());
        QVERIFY(w.isVisible());
        QCOMPARE(frameDrawn(), QRect());
    }

  private:
    FrmOption2& settings() { return forms().get<FrmOption2>(); }
    Formula_Start& canvas() { return forms().get<Formula_Start>(); }
    // The bounds of what the window drew in its foreground colour, controls left out.
    QRect frameDrawn() {
        FrmOption2& w = settings();
        QImage shot(w.client()->size(), QImage::Format_RGB32);
        w.client()->render(&shot, QPoint(), QRegion(), QWidget::DrawWindowBackground);
        QRect bounds;
        const QRgb fore = toQColor(w.ForeColor()).rgb();
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                if (shot.pixel(x, y) == fore) bounds |= QRect(x, y, 1, 1);
        return bounds;
    }

    std::unique_ptr<AppFixture> m_app;
    std::optional<QTemporaryDir> m_dir;
};

QTEST_MAIN(TestFrmOption2)
#include "tst_frm_option2.moc"
