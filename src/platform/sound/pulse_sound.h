#pragma once

#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <map>
#include <optional>

#include "platform/platform.h"
#include "platform/sound/one_voice.h"
#include "platform/sound/wave_sound.h"

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;

// One voice through a PulseAudio-compatible server (PulseAudio, or PipeWire's pulse service),
// as the windows expect: starting a sound cuts the one before. The sounds are read into memory
// up front and fed to the server from the client library's own thread, so a busy interface
// thread never starves a sound. One stream on the server's default output (none is named, so
// the server moves it when the default changes) plays the sounds one after another at a short
// latency: a new sound replaces what the server holds of the one before, and the stream goes
// kIdleMs after the last sound ended.
//
// The server may go away and come back (a restart after an update, a headset change): the
// player then says so once, stays silent without ever waiting for the server, and connects
// again on its own: at once when a sound is asked for, when the directory of the server's
// socket changes, and, for a while after the server went or the directory changed, on a timer
// at most kMaxRetryMs apart. Nothing runs while sound works, nor while no server is there.
class PulseSoundPlayer final : public QObject, public SoundPlayer {
    Q_OBJECT
  public:
    static constexpr int kFirstRetryMs = 200, kMaxRetryMs = 2000, kTimedRetries = 6;

    PulseSoundPlayer();
    ~PulseSoundPlayer() override;
    void play(const QString& path, int flags) override;
    void preload(const QStringList& paths) override;

  Q_SIGNALS:
    // A timed attempt to connect again, afterMs after the failure before it.
    void retrying(int afterMs);

  private:
    struct Request {
        QString path;
        int flags = 0;
        QElapsedTimer asked;
    };
    // A sound asked for while the server was away is still played when the connection comes
    // up this soon after; a repeating one always.
    static constexpr int kPendingMs = 500;
    // A stream's whole buffer, and how much of it is topped up at a time (µs).
    static constexpr quint64 kLatencyUs = 150000, kRequestUs = 10000;
    // A stream stays this long after its sound ended, for the next one (ms).
    static constexpr int kIdleMs = 3000;

    const WaveSound* soundFor(const QString& path);
    void connectToServer();
    void contextChanged(quint64 generation, bool ready);
    void connectionLost();
    void watchForServer();
    void startStream(const WaveSound& sound, bool loop);
    void dropStream();
    // Lets the context go without its own report of the disconnect: that is no loss.
    void dropContext();

    // Called on the library's thread with its lock held.
    static void onContextState(pa_context* c, void* self);
    static void onWritable(pa_stream* s, size_t bytes, void* self);
    // A stream dropped before the server confirmed it: disconnected and released then.
    static void onAbandoned(pa_stream* s, void*);
    void fill(size_t bytes);

    std::map<QString, std::optional<WaveSound>> m_sounds;
    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;  // while connecting or connected
    quint64 m_generation = 0;         // of m_context, so a late report of an old one is ignored
    bool m_ready = false;
    bool m_everReady = false;
    bool m_saidAway = false;
    pa_stream* m_stream = nullptr;  // the sound playing
    QAudioFormat m_streamFormat;
    OneVoice m_voice;          // its samples, read on the library's thread
    bool m_triggered = false;  // since the last write: the end plays without a full start
    QTimer m_idle;
    std::optional<Request> m_pending;
    std::optional<Request> m_playing;  // the latest sound asked for
    QTimer m_retry;
    int m_retryMs = kFirstRetryMs;
    int m_retriesLeft = 0;
    QFileSystemWatcher m_watcher;  // while away: where the server's socket appears
};
