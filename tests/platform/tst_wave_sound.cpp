#include <QtTest>

#include "platform/sound/one_voice.h"
#include "platform/sound/wave_sound.h"
#include "support/data_table.h"
#include "support/sample_pictures.h"

using SamplePictures::wave;

class TestWaveSound : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    // What the output can play is read, the rest refused.
    void parse_data() {
        // channels: 0 when refused; bytes: of samples read
        const DataTable<QByteArray, int, int> row({"file", "channels", "bytes"});
        row("8-bit stereo", wave(1, 2, 8000, 8, "abcd"), 2, 4);
        // Our own format, 16-bit mono, with a data size a recorder left too large.
        row("size past the end: what is there", wave(1, 1, 22050, 16, "abcd", 1000), 1, 4);
        row("half a frame at the end dropped", wave(1, 2, 44100, 16, "abcdef"), 2, 4);
        row("compressed", wave(2, 1, 22050, 16, "abcd"), 0, 0);
        row("24-bit", wave(1, 1, 22050, 24, "abcdef"), 0, 0);
        row("no samples", wave(1, 1, 22050, 16, ""), 0, 0);
        row("absurd rate", wave(1, 1, 5, 16, "abcd"), 0, 0);
        row("cut inside the header", wave(1, 1, 22050, 16, "abcd").left(30), 0, 0);
        row("not a wave", "RIFF\4\0\0\0AVI LIST", 0, 0);
    }
    void parse() {
        const auto [file, channels, bytes] = DataTable<QByteArray, int, int>::fetch();
        const std::optional<WaveSound> s = parseWaveSound(file);
        QCOMPARE(s.has_value(), channels > 0);
        if (!s) return;
        QCOMPARE(s->format.channelCount(), channels);
        QCOMPARE(s->pcm, file.mid(44, bytes));
    }

    // A loop comes round without a gap; a sound played once ends, and a new one starts afresh.
    void voiceLoopsOrEnds() {
        OneVoice v;
        v.setSound("abcdef", true, 2);
        QCOMPARE(v.read(9), QByteArray("abcdefab"));  // whole frames only
        QVERIFY(!v.atEnd());
        v.setSound("wxyz", false, 2);
        QCOMPARE(v.read(100), QByteArray("wxyz"));
        QVERIFY(v.atEnd());
        QCOMPARE(v.read(100), QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestWaveSound)
#include "tst_wave_sound.moc"
