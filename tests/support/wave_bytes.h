#pragma once

#include <QByteArray>

// The 44-byte head of a RIFF/WAVE file: format tag, channels, rate, bits, and the size its data
// chunk states.
inline QByteArray waveHeader(int tag, int channels, int rate, int bits, quint32 dataSize) {
    const auto le = [](quint32 v, int bytes) {
        QByteArray b(bytes, '\0');
        for (int i = 0; i < bytes; ++i) b[i] = char(v >> (8 * i));
        return b;
    };
    const int frame = channels * bits / 8;
    return "RIFF" + le(36 + dataSize, 4) + "WAVEfmt " + le(16, 4) + le(tag, 2) + le(channels, 2) +
           le(rate, 4) + le(rate * frame, 4) + le(frame, 2) + le(bits, 2) + "data" +
           le(dataSize, 4);
}
