#include <QtTest>

#include "platform/sound/pulse_sound.h"

class TestPulseSound : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    // With no server, a change where its socket would be starts the timed attempts: each
    // failed attempt waits one step longer, doubling from 0.2 s to 2 s, six of them in all.
    void oneStepPerFailedAttempt() {
        QTemporaryDir dir;
        qputenv("PULSE_SERVER", "unix:" + dir.filePath("native").toUtf8());
        PulseSoundPlayer player;
        QList<int> waits;
        connect(&player, &PulseSoundPlayer::retrying, this, [&](int ms) { waits << ms; });
        QCoreApplication::processEvents();  // the refusal of the first attempt, posted at once
        QFile(dir.filePath("other")).open(QIODevice::WriteOnly);
        const QList<int> expected{200, 400, 800, 1600, 2000, 2000};
        QTRY_COMPARE_WITH_TIMEOUT(waits, expected, 20000);
        QTest::qWait(2500);
        QCOMPARE(waits, expected);
    }
};

QTEST_GUILESS_MAIN(TestPulseSound)
#include "tst_pulse_sound.moc"
