#pragma once

#include <QIODevice>

// The one sound that is playing, read out as the audio output has room: the samples once, or
// over and over. Changing the sound starts the new one at its first sample.
class OneVoice final : public QIODevice {
  public:
    // Unbuffered: a new sound must not be preceded by what was read ahead of the old one.
    OneVoice() { open(QIODevice::ReadOnly | QIODevice::Unbuffered); }
    void setSound(const QByteArray& pcm, bool loop, int frameBytes);
    bool atEnd() const override { return !m_loop && m_at >= m_pcm.size(); }
    bool isSequential() const override { return true; }

  protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

  private:
    QByteArray m_pcm;
    qint64 m_at = 0;
    bool m_loop = false;
    int m_frameBytes = 2;
};
