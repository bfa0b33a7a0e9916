#include <QtEndian>
#include <QtTest>

#include "platform/one_voice.h"
#include "platform/wave_sound.h"

namespace {
QByteArray le(quint32 v, int bytes) {
    QByteArray b(bytes, '\0');
    for (int i = 0; i < bytes; ++i) b[i] = char(v >> (8 * i));
    return b;
}
// A RIFF/WAVE file: format tag, channels, rate, bits; then the data chunk, whose stated size
// may differ from what follows.
QByteArray wave(int tag, int channels, int rate, int bits, const QByteArray& data,
                qint64 statedSize = -1) {
    const int frame = channels * bits / 8;
    const QByteArray fmt = le(tag, 2) + le(channels, 2) + le(rate, 4) + le(rate * frame, 4) +
                           le(frame, 2) + le(bits, 2);
    const QByteArray body = "WAVEfmt " + le(16, 4) + fmt + "data" +
                            le(quint32(statedSize < 0 ? data.size() : statedSize), 4) + data;
    return "RIFF" + le(body.size(), 4) + body;
}
}  // namespace

class TestWaveSound : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void readsWhatTheOutputCanPlay_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("bytes");
        QTest::newRow("ours: 16-bit mono") << wave(1, 1, 22050, 16, "abcd") << 1 << 4;
        QTest::newRow("8-bit stereo") << wave(1, 2, 8000, 8, "abcd") << 2 << 4;
        QTest::newRow("size past the end: what is there")
            << wave(1, 1, 22050, 16, "abcd", 1000) << 1 << 4;
        QTest::newRow("half a frame at the end dropped")
            << wave(1, 2, 44100, 16, "abcdef") << 2 << 4;
    }
    void readsWhatTheOutputCanPlay() {
        QFETCH(QByteArray, file);
        QFETCH(int, channels);
        QFETCH(int, bytes);
        const std::optional<WaveSound> s = parseWaveSound(file);
        QVERIFY(s);
        QCOMPARE(s->format.channelCount(), channels);
        QCOMPARE(s->pcm, file.right(file.size() - 44).left(bytes));
    }

    void refusesOthers_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("compressed") << wave(2, 1, 22050, 16, "abcd");
        QTest::newRow("24-bit") << wave(1, 1, 22050, 24, "abcdef");
        QTest::newRow("no samples") << wave(1, 1, 22050, 16, "");
        QTest::newRow("absurd rate") << wave(1, 1, 5, 16, "abcd");
        QTest::newRow("cut inside the header") << wave(1, 1, 22050, 16, "abcd").left(30);
        QTest::newRow("not a wave") << QByteArray("RIFF\4\0\0\0AVI LIST");
    }
    void refusesOthers() {
        QFETCH(QByteArray, file);
        QVERIFY(!parseWaveSound(file));
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
