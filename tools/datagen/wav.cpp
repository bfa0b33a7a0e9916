#include "wav.h"

#include <algorithm>
#include <cmath>

#include "le_bytes.h"

QByteArray encodeWav(const Samples& samples) {
    constexpr uint16_t kChannels = 1;
    constexpr uint16_t kBytesPerSample = 2;
    const uint32_t dataBytes = uint32_t(samples.size() * kBytesPerSample);

    QByteArray out;
    out.reserve(int(44 + dataBytes));
    out.append("RIFF", 4);
    putLe32(out, 36 + dataBytes);
    out.append("WAVE", 4);
    out.append("fmt ", 4);
    putLe32(out, 16);
    putLe16(out, 1);  // PCM
    putLe16(out, kChannels);
    putLe32(out, kSampleRate);
    putLe32(out, kSampleRate * kChannels * kBytesPerSample);
    putLe16(out, kChannels * kBytesPerSample);
    putLe16(out, 16);
    out.append("data", 4);
    putLe32(out, dataBytes);
    for (float s : samples) {
        const long v = std::lround(std::clamp(s, -1.0f, 1.0f) * 32767.0f);
        putLe16(out, uint16_t(int16_t(v)));
    }
    return out;
}
