#include "platform/wave_sound.h"

#include <QFile>
#include <QtEndian>

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
        const qsizetype size = qFromLittleEndian<quint32>(b.constData() + at + 4);
        const qsizetype body = at + 8;
        if (id == "fmt ") {
            if (size < 16 || body + 16 > b.size()) return std::nullopt;
            const auto u16 = [&](int off) {
                return qFromLittleEndian<quint16>(b.constData() + body + off);
            };
            const int channels = u16(2), bits = u16(14);
            const int rate = int(qFromLittleEndian<quint32>(b.constData() + body + 4));
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
