#include "platform/sound/one_voice.h"

#include <cstring>

void OneVoice::setSound(const QByteArray& pcm, bool loop, int frameBytes) {
    m_pcm = pcm;
    m_at = 0;
    m_loop = loop && !pcm.isEmpty();
    m_frameBytes = frameBytes > 0 ? frameBytes : 1;
}

qint64 OneVoice::readData(char* data, qint64 maxSize) {
    maxSize -= maxSize % m_frameBytes;
    qint64 done = 0;
    while (done < maxSize && !m_pcm.isEmpty()) {
        if (m_at >= m_pcm.size()) {
            if (!m_loop) break;
            m_at = 0;
        }
        const qint64 n = std::min(maxSize - done, m_pcm.size() - m_at);
        std::memcpy(data + done, m_pcm.constData() + m_at, size_t(n));
        m_at += n;
        done += n;
    }
    return done;
}
