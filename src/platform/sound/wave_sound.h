#pragma once

#include <QAudioFormat>
#include <QByteArray>
#include <QString>
#include <optional>

// A wave file's samples as the audio output takes them: linear PCM, 8 or 16 bits, any rate and
// channel count.
struct WaveSound {
    QAudioFormat format;
    QByteArray pcm;
};

// Nothing when the file cannot be read or is not such a wave file.
std::optional<WaveSound> readWaveSound(const QString& path);
std::optional<WaveSound> parseWaveSound(const QByteArray& bytes);
