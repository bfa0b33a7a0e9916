#include <unistd.h>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>
#include <random>

#include "canvas/formula_start.h"
#include "canvas/splinter_animation.h"
#include "palette/frm_option.h"
#include "palette/select_tool.h"
#include "settings/frm_option2.h"
#include "shell/forms.h"
#include "shell/formula.h"
#include "support/app_fixture.h"
#include "support/sample_pictures.h"

#if defined(__SANITIZE_ADDRESS__)
#define SHATTER_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SHATTER_UNDER_ASAN 1
#endif
#endif

// Thousands of strikes of every tool in a random but fixed order, with tool and settings
// changes, bursts on top of bursts and saves and loads in between: nothing may crash, memory
// must stay flat once warm, and the same script must leave exactly the same picture.
namespace {

constexpr QSize kScreen(1024, 768);
constexpr int kStrikes = 10000;
constexpr int kSaveEvery = 500;
// Resident memory may wander this much between a quarter of the run and its end; a leak of a
// canvas-sized picture per save, or of a few kilobytes per strike, is well beyond it.
constexpr qint64 kRssMarginBytes = 8 * 1024 * 1024;

qint64 residentBytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * sysconf(_SC_PAGESIZE) : -1;
}

struct SoakResult {
    QImage finalImage;
    qint64 rssWarm = 0, rssEnd = 0;
    int saves = 0, loads = 0, bursts = 0, nestedBursts = 0;
    std::vector<ShownMessage> messages;
};

class Script {
  public:
    Script(uint32_t seed, const QString& dir) : m_rng(seed), m_dir(dir) {}

    SoakResult run(int strikes) {
        AppFixture app;
        m_app = &app;
        app.fakes.capture->next = SamplePictures::pattern(kScreen.width(), kScreen.height(), 7);
        Formula_Start& canvas = forms().get<Formula_Start>();
        canvas.showForm();
        forms().get<FrmOption>().showForm();
        SoakResult result;
        for (int i = 0; i < strikes; ++i) {
            if (i == strikes / 4) {
                trimRecords();
                result.rssWarm = residentBytes();
            }
            topUpRandom();
            const int action = pick(100);
            if (action < 6)
                Formula::SelectTool(1 + pick(Formula::kToolCount));
            else if (action < 9)
                forms().get<FrmOption2>().Num_MouseDown(1 + pick(5), 1, 0, 0, 0);
            else if (action < 10)
                chooseColour();
            else if (action < 11)
                chooseStamp();
            strike(canvas, result);
            if (i % kSaveEvery == kSaveEvery - 1) saveAndLoad(result, i);
            if (i % 200 == 0) trimRecords();
        }
        trimRecords();
        result.rssEnd = residentBytes();
        result.finalImage = canvas.image().image().copy();
        result.messages = app.fakes.messages->shown;
        m_app = nullptr;
        return result;
    }

  private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_rng); }
    // Points reach a little past every edge, where the clipping has to hold.
    double coord(int extent) {
        return std::uniform_real_distribution<double>(-60, extent + 60)(m_rng);
    }

    // The tools' chance comes from the fake; keep it fed from the script's own generator.
    void topUpRandom() {
        auto& values = m_app->fakes.random->values;
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        while (values.size() < 128) values.push_back(unit(m_rng));
    }

    void chooseColour() {
        // Now and then a cancel, which keeps the dialog's last colour.
        if (pick(4) != 0) m_app->fakes.dialogs->colorAnswers.push_back(QColor::fromRgb(m_rng()));
        forms().get<FrmOption2>().LabColor_MouseDown(1, 0, 0, 0);
    }

    // Stamp pictures of the kinds the settings window offers.
    void chooseStamp() {
        using namespace SamplePictures;
        const QImage p = pattern(24 + pick(40), 24 + pick(40), pick(256));
        const int kind = pick(3);
        const QString file = QDir(m_dir).filePath(QStringLiteral("stamp%1").arg(kind));
        const QByteArray bytes = kind == 0   ? encode(p, "bmp")
                                 : kind == 1 ? gif(p.convertToFormat(QImage::Format_Indexed8))
                                             : icon({p});
        QVERIFY(writeFile(file, bytes));
        m_app->fakes.dialogs->openAnswers.push_back(file);
        forms().get<FrmOption2>().LabOpen_MouseDown(1, 0, 0, 0);
    }

    void strike(Formula_Start& canvas, SoakResult& result) {
        // Every choice is drawn whatever the splinters do: a timer step that came early during
        // processEvents must not change the rest of the script.
        double x = coord(kScreen.width()), y = coord(kScreen.height());
        const int button = pick(20) == 0 ? 2 : 1;
        SplinterAnimation* splinters = canvas.splinters();
        const bool flying = splinters->running();
        canvas.Form_MouseDown(button, 0, x, y);
        const int started = splinters->running() && splinters->stepsTaken() == 0;
        for (int m = pick(6); m > 0; --m) {
            x = coord(kScreen.width()), y = coord(kScreen.height());
            canvas.Form_MouseMove(button, 0, x, y);
            if (pick(2) == 0 && splinters->running()) splinters->step();
        }
        canvas.Form_MouseUp(button, 0, x, y);
        const bool released = splinters->running() && splinters->stepsTaken() == 0;
        result.bursts += started + released;
        result.nestedBursts += (flying && started) + (flying && released);
        // Sometimes the burst flies on while the next strikes come, sometimes it ends.
        for (int s = pick(8); s > 0 && splinters->running(); --s) splinters->step();
        if (pick(50) == 0) QCoreApplication::processEvents();
    }

    void saveAndLoad(SoakResult& result, int i) {
        FrmOption& palette = forms().get<FrmOption>();
        const QString file = QDir(m_dir).filePath(QStringLiteral("soak%1.ZEL").arg(i % 3));
        m_app->fakes.dialogs->saveAnswers.push_back(file);
        palette.SavePic_MouseDown(1, 0, 0, 0);
        ++result.saves;
        if (pick(2) == 0) return;
        m_app->fakes.dialogs->openAnswers.push_back(file);
        palette.LoadPic_MouseDown(1, 0, 0, 0);
        ++result.loads;
    }

    // The doubles keep a record of every call; a soak must not measure their growth.
    void trimRecords() {
        FakePlatform& f = m_app->fakes;
        f.sound->calls.clear();
        f.sound->calls.shrink_to_fit();
        f.clock->sleeps.clear();
        f.clock->sleeps.shrink_to_fit();
        f.random->seeds.clear();
        f.random->seeds.shrink_to_fit();
        f.dialogs->openRequests.clear();
        f.dialogs->saveRequests.clear();
        f.dialogs->colorTitles.clear();
    }

    std::mt19937 m_rng;
    QString m_dir;
    AppFixture* m_app = nullptr;
};

}  // namespace

class TestSoak : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        QCOMPARE(QGuiApplication::primaryScreen()->geometry().size(), kScreen);
    }

    void scriptedStrikesAreStableAndRepeatable() {
        QElapsedTimer timer;
        timer.start();
        const SoakResult first = Script(20261207, m_dir.path()).run(kStrikes);
        const qint64 firstMs = timer.elapsed();
        const SoakResult second = Script(20261207, m_dir.path()).run(kStrikes);
        std::fprintf(
            stderr,
            "soak: %d strikes twice in %lld ms (first run %lld ms); RSS %.1f MB at a quarter, "
            "%.1f MB at the end; %d saves, %d loads, %d bursts, %d started mid-burst\n",
            kStrikes, timer.elapsed(), firstMs, first.rssWarm / 1048576.0, first.rssEnd / 1048576.0,
            first.saves, first.loads, first.bursts, first.nestedBursts);

        for (const ShownMessage& m : first.messages)
            std::fprintf(stderr, "%s\n", qPrintable(m.text));
        QCOMPARE(first.messages.size(), size_t(0));
        QVERIFY(first.nestedBursts > 0);
        QVERIFY(first.loads > 0);
        QCOMPARE(first.finalImage.size(), kScreen);
        // A picture that had stayed the snapshot would mean the strikes never landed.
        QVERIFY(first.finalImage != SamplePictures::pattern(kScreen.width(), kScreen.height(), 7));
        QVERIFY2(first.finalImage == second.finalImage, "the same script left different pictures");
#ifndef SHATTER_UNDER_ASAN
        QVERIFY(first.rssWarm > 0);
        QVERIFY2(first.rssEnd - first.rssWarm < kRssMarginBytes,
                 qPrintable(QStringLiteral("resident memory grew from %1 to %2 bytes")
                                .arg(first.rssWarm)
                                .arg(first.rssEnd)));
#endif
    }

  private:
    QTemporaryDir m_dir;
};

// The canvas covers the primary screen, so the offscreen screen is made the soak's size.
int main(int argc, char** argv) {
    QTemporaryDir config;
    const QString json = config.filePath(QStringLiteral("screen.json"));
    SamplePictures::writeFile(
        json,
        QStringLiteral("{\"screens\": [{\"name\": \"soak\", \"x\": 0, \"y\": 0, \"width\": %1, "
                       "\"height\": %2, \"logicalDpi\": 96, \"logicalBaseDpi\": 96, "
                       "\"dpr\": 1}]}")
            .arg(kScreen.width())
            .arg(kScreen.height())
            .toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(json));
    QApplication app(argc, argv);
    TestSoak test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_soak.moc"
