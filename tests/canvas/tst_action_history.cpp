#include <QtTest>

#include "canvas/action_history.h"
#include "support/app_fixture.h"
#include "support/data_table.h"
#include "support/sample_pictures.h"

using SamplePictures::pattern;

// Taking the canvas's actions back and doing them again.
class TestActionHistory : public AppTest {
    Q_OBJECT
  private Q_SLOTS:
    // A stroke of each tool taken back gives the picture back bit for bit, done again the damaged
    // one; a second stroke is taken back alone. Nothing is taken back while a press is held, and
    // a new stroke drops what could have been done again.
    void undoAndRedoEachTool_data() {
        const DataTable<int, QPoint> row({"tool", "at"});
        for (int n = 1; n <= Formula::kToolCount; ++n)
            row(qPrintable(QStringLiteral("tool %1").arg(n)), n, {400, 300});
        row("hammer over the top left corner", 2, {5, 5});
        row("circle over the bottom right corner", 3, {780, 590});
    }
    void undoAndRedoEachTool() {
        const auto [tool, at] = DataTable<int, QPoint>::fetch();
        Formula_Start& canvas = canvasWith(tool);
        const auto stroke = [&](QPoint p) {
            canvas.Form_MouseDown(1, 0, p.x(), p.y());
            for (int i = 1; i <= 5; ++i) canvas.Form_MouseMove(1, 0, p.x() + 9 * i, p.y() + 4 * i);
            canvas.Form_MouseUp(1, 0, p.x() + 45, p.y() + 20);
            return canvas.image().image().copy();
        };
        const QImage& now = canvas.image().image();
        const QImage before = now.copy(), first = stroke(at), second = stroke(at + QPoint(30, 9));
        QVERIFY(first != before && second != first);
        QVERIFY(canvas.undo());
        QCOMPARE(now, first);
        QVERIFY(canvas.undo() && !canvas.undo());
        QCOMPARE(now, before);
        QVERIFY(canvas.redo());
        QCOMPARE(now, first);
        canvas.Form_MouseDown(1, 0, at.x(), at.y());
        QVERIFY(!canvas.undo() && !canvas.redo());
        canvas.Form_MouseUp(1, 0, at.x(), at.y());
        QVERIFY(!canvas.redo());
        QVERIFY(canvas.undo());
        QCOMPARE(now, first);
    }

    // The bound drops the oldest actions, but keeps the newest even when it alone is larger; a
    // picture that shrank since an action gets back what still lies on it.
    void historyBoundAndShrunkPicture() {
        PersistentImage img(QSize(100, 70), 0xFFFFFF);
        ActionHistory history(3 * 32 * 32 * 4);  // three tiles
        img.setHistory(&history);
        QList<QImage> states{img.image().copy()};
        for (int i = 1; i <= 5; ++i) {
            history.begin();
            img.blit(pattern(20, 20, i), QRect(0, 0, 20, 20), QPoint(3, 4), RasterOp::Copy);
            history.end();
            states << img.image().copy();
        }
        QCOMPARE(QList<qsizetype>({history.doneCount(), history.bytes()}),
                 QList<qsizetype>({3, 3 * 4096}));
        QVERIFY(!img.undo().isEmpty() && !img.undo().isEmpty() && !img.undo().isEmpty());
        QVERIFY(img.undo().isEmpty());
        QCOMPARE(img.image(), states[2]);
        img.redo();
        img.blit(pattern(100, 70), QRect(0, 0, 100, 70), QPoint(0, 0), RasterOp::Copy);
        QCOMPARE(QList<qsizetype>({history.doneCount(), history.bytes()}),
                 QList<qsizetype>({1, 28000}));
        const QImage after = img.image().copy();
        img.resize(QSize(85, 55), {}, 0);
        img.undo();
        QCOMPARE(img.image(), states[3].copy(0, 0, 85, 55));
        img.redo();
        QCOMPARE(img.image(), after.copy(0, 0, 85, 55));
    }
};

QTEST_MAIN(TestActionHistory)
#include "tst_action_history.moc"
