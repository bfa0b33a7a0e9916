#include "platform/sound/wave_sound.h"

#include <QFile>

namespace {
// Little-endian field of `bytes` bytes at `at`, which the caller has checked lies inside.
quint32 field(const QByteArray& b, qsizetype at, int bytes) {
    quint32 v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | quint8(b[at + i]);
    return v;
}
}  // namespace

std::optional<WaveSound> readWaveSound(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return parseWaveSound(file.readAll());
}

std::optional<WaveSound> parseWaveSound(const QByteArray& b) {
    if (b.size() < 12 || !b.startsWith("RIFF") || b.mid(8, 4) != "WAVE") return std::nullopt;
    std::optional<QAudioFormat> format;
    for (qsizetype at = 12; at + 8 <= b.size();) {
        const QByteArray id = b.mid(at, 4);
        const qsizetype size = field(b, at + 4, 4);
        const qsizetype body = at + 8;
        if (id == "fmt ") {
            if (size < 16 || body + 16 > b.size()) return std::nullopt;
            const auto u16 = [&](int off) { return quint16(field(b, body + off, 2)); };
            const int channels = u16(2), bits = u16(14);
            const int rate = int(field(b, body + 4, 4));
            if (u16(0) != 1 || (bits != 8 && bits != 16) || channels < 1 || channels > 8 ||
                rate < 1000 || rate > 192000)
                return std::nullopt;
            format.emplace();
            format->setSampleRate(rate);
            format->setChannelCount(channels);
            format->setSampleFormat(bits == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
        } else if (id == "data") {
            if (!format) return std::nullopt;
            // A recorder cut off before it wrote the size leaves it too large: take what is there.
            QByteArray pcm = b.mid(body, std::min(size, b.size() - body));
            pcm.truncate(pcm.size() - pcm.size() % format->bytesPerFrame());
            if (pcm.isEmpty()) return std::nullopt;
            return WaveSound{*format, pcm};
        }
        at = body + size + (size & 1);
    }
    return std::nullopt;
}
