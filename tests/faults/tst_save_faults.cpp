#include <sys/mount.h>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "canvas/formula_start.h"
#include "palette/frm_option.h"
#include "shell/forms.h"
#include "support/app_fixture.h"
#include "support/sample_pictures.h"

// Saving onto a real file system that cannot take the picture: a tiny one that fills up and one
// mounted read-only. The user must be told which file and why, and the picture saved before
// must still be there, byte for byte.
namespace {

// A small memory file system at dir for one test; unmounted when it goes.
class TinyMount {
  public:
    explicit TinyMount(const QString& dir) : m_dir(QFile::encodeName(dir)) {
        if (::mount("tmpfs", m_dir.constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=256k") == 0)
            m_mounted = true;
        else
            m_error = QString::fromLocal8Bit(std::strerror(errno));
    }
    ~TinyMount() {
        if (m_mounted) ::umount2(m_dir.constData(), MNT_DETACH);
    }
    TinyMount(const TinyMount&) = delete;
    TinyMount& operator=(const TinyMount&) = delete;

    bool mounted() const { return m_mounted; }
    QString error() const { return m_error; }
    bool makeReadOnly() {
        if (::mount(nullptr, m_dir.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0)
            return true;
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }

  private:
    QByteArray m_dir;
    bool m_mounted = false;
    QString m_error;
};

enum class Fault { Full, ReadOnly };

}  // namespace

class TestSaveFaults : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void failedSaveKeepsEarlierPicture_data() {
        QTest::addColumn<int>("fault");
        QTest::addColumn<bool>("earlierFile");
        // Any one of these says why.
        QTest::addColumn<QStringList>("reasons");
        const QString full = QString::fromLocal8Bit(std::strerror(ENOSPC));
        const QString readOnly = QString::fromLocal8Bit(std::strerror(EROFS));
        QTest::newRow("full, replacing a picture") << int(Fault::Full) << true << QStringList{full};
        QTest::newRow("full, new name") << int(Fault::Full) << false << QStringList{full};
        QTest::newRow("read-only, replacing a picture")
            << int(Fault::ReadOnly) << true
            << QStringList{readOnly, QStringLiteral("not writable")};
        QTest::newRow("read-only, new name")
            << int(Fault::ReadOnly) << false << QStringList{readOnly};
    }
    void failedSaveKeepsEarlierPicture() {
        QFETCH(int, fault);
        QFETCH(bool, earlierFile);
        QFETCH(QStringList, reasons);
        QTemporaryDir base;
        QVERIFY(base.isValid());
        TinyMount mount(base.path());
        if (!mount.mounted())
            QSKIP(qPrintable(
                QStringLiteral("cannot mount a small tmpfs here (%1)").arg(mount.error())));

        AppFixture app;
        // A 640 × 480 canvas is a 900 kB bitmap: far more than the 256 kB file system holds.
        app.fakes.capture->next = SamplePictures::pattern(640, 480, 3);
        Formula_Start& canvas = forms().get<Formula_Start>();
        canvas.setScreenSize(QSize(640, 480));
        canvas.loadPicture(app.fakes.capture->next);
        FrmOption& palette = forms().get<FrmOption>();

        const QString name = base.filePath(QStringLiteral("last week.ZEL"));
        QByteArray earlier;
        if (earlierFile) {
            earlier = SamplePictures::encode(SamplePictures::pattern(60, 40, 9), "bmp");
            QVERIFY(SamplePictures::writeFile(name, earlier));
        }
        if (Fault(fault) == Fault::ReadOnly && !mount.makeReadOnly())
            QSKIP(qPrintable(QStringLiteral("cannot remount read-only (%1)").arg(mount.error())));
        const QStringList before =
            QDir(base.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);

        app.fakes.dialogs->saveAnswers.push_back(name);
        palette.SavePic_MouseDown(1, 0, 0, 0);

        QCOMPARE(app.fakes.messages->shown.size(), size_t(1));
        const QString text = app.fakes.messages->shown[0].text;
        QVERIFY2(text.contains(QDir::toNativeSeparators(name)), qPrintable(text));
        QVERIFY2(std::any_of(reasons.begin(), reasons.end(),
                             [&](const QString& why) { return text.contains(why); }),
                 qPrintable(text));
        if (earlierFile) QCOMPARE(SamplePictures::readFile(name), earlier);
        // No half-written or temporary file is left beside it.
        QCOMPARE(QDir(base.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), before);
        // The failure leaves the canvas as it was.
        QCOMPARE(canvas.image().image(), app.fakes.capture->next);
    }
};

QTEST_MAIN(TestSaveFaults)
#include "tst_save_faults.moc"
