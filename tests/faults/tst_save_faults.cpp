#include <sys/mount.h>
#include <QtTest>
#include <cerrno>
#include <cstring>

#include "canvas/formula_start.h"
#include "palette/frm_option.h"
#include "shell/forms.h"
#include "support/app_fixture.h"
#include "support/sample_pictures.h"

using namespace SamplePictures;

// Saving onto a real file system that cannot take the picture: a tiny one that fills up and one
// mounted read-only. The user must be told which file and why, and the picture saved before
// must still be there, byte for byte.
class TestSaveFaults : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void failedSaveKeepsEarlierPicture_data() {
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("why");  // the system's reason, in the user's language
        QTest::newRow("full") << false << "磁碟空間不足";
        QTest::newRow("read-only") << true << "檔案系統是唯讀的";
    }
    void failedSaveKeepsEarlierPicture() {
        QFETCH(bool, readOnly);
        QFETCH(QString, why);
        QTemporaryDir base;
        // A small memory file system for this test alone.
        const QByteArray dir = QFile::encodeName(base.path());
        if (::mount("tmpfs", dir, "tmpfs", MS_NOSUID | MS_NODEV, "size=256k") != 0)
            QSKIP(qPrintable(QStringLiteral("no small tmpfs here: ") + std::strerror(errno)));
        const auto unmount = qScopeGuard([&] { ::umount2(dir, MNT_DETACH); });
        AppFixture app;
        // A 640 × 480 canvas is a 900 kB bitmap: far more than the 256 kB file system holds.
        const QImage shown = app.fakes.capture->next = pattern(640, 480, 3);
        Formula_Start& canvas = forms().get<Formula_Start>();
        canvas.setScreenSize(QSize(640, 480));
        canvas.loadPicture(shown);
        const QString name = base.filePath(QStringLiteral("last week.ZEL"));
        const QByteArray earlier = encode(pattern(60, 40, 9), "bmp");
        QVERIFY(writeFile(name, earlier));
        if (readOnly && ::mount(nullptr, dir, nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0)
            QSKIP(qPrintable(QStringLiteral("cannot remount read-only: ") + std::strerror(errno)));
        app.save(name);
        const QString text = app.fakes.messages->only();
        QVERIFY2(text.contains(QDir::toNativeSeparators(name)) && text.contains(why),
                 qPrintable(text));
        QCOMPARE(readFile(name), earlier);
        // No half-written or temporary file is left beside it, and the canvas is as it was.
        QCOMPARE(QDir(base.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList{"last week.ZEL"});
        QCOMPARE(canvas.image().image(), shown);
    }
};

QTEST_MAIN(TestSaveFaults)
#include "tst_save_faults.moc"
