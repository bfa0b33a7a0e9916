#include "platform/sound/pulse_sound.h"

#include <pulse/pulseaudio.h>

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

void say(const char* line) {
    std::fprintf(stderr, "shatter: %s\n", line);
    std::fflush(stderr);
}

// The library's lock, held while the interface thread touches the context or the stream.
class Locked {
  public:
    explicit Locked(pa_threaded_mainloop* loop) : m_loop(loop) { pa_threaded_mainloop_lock(loop); }
    ~Locked() { pa_threaded_mainloop_unlock(m_loop); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

  private:
    pa_threaded_mainloop* m_loop;
};

}  // namespace

PulseSoundPlayer::PulseSoundPlayer() {
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, [this] { connectToServer(); });
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        // A server starting, or one that has not started listening yet: try for a while.
        m_retryMs = kFirstRetryMs;
        m_retriesLeft = kTimedRetries;
        if (!m_context) connectToServer();
    });
    m_loop = pa_threaded_mainloop_new();
    if (!m_loop || pa_threaded_mainloop_start(m_loop) < 0) {
        if (m_loop) pa_threaded_mainloop_free(m_loop);
        m_loop = nullptr;
        say("無法啟動音效，不播放聲音。");
        return;
    }
    connectToServer();
}

PulseSoundPlayer::~PulseSoundPlayer() {
    if (!m_loop) return;
    // The library's thread ends first: no callback can run while the rest goes.
    pa_threaded_mainloop_stop(m_loop);
    dropStream();
    dropContext();
    pa_threaded_mainloop_free(m_loop);
}

const WaveSound* PulseSoundPlayer::soundFor(const QString& path) {
    auto it = m_sounds.find(path);
    if (it == m_sounds.end()) it = m_sounds.emplace(path, readWaveSound(path)).first;
    return it->second ? &*it->second : nullptr;
}

void PulseSoundPlayer::preload(const QStringList& paths) {
    for (const QString& p : paths) soundFor(p);
}

void PulseSoundPlayer::play(const QString& path, int flags) {
    if (!m_loop) return;
    const bool loop = flags & SoundFlags::Loop;
    m_playing = Request{path, flags, {}};
    if (!m_ready) {
        // Away: remember the sound, and look for the server now rather than at the next try.
        m_pending = Request{path, flags, {}};
        m_pending->asked.start();
        if (!m_context) {
            m_retry.stop();
            connectToServer();
        }
        return;
    }
    const WaveSound* sound = soundFor(path);
    Locked lock(m_loop);
    dropStream();
    if (sound) startStream(*sound, loop);  // a missing sound is silence
}

void PulseSoundPlayer::connectToServer() {
    Locked lock(m_loop);
    if (m_context) return;
    m_context = pa_context_new(pa_threaded_mainloop_get_api(m_loop), "Shatter");
    const quint64 generation = ++m_generation;
    if (m_context) {
        pa_context_set_state_callback(m_context, onContextState, this);
        // The server is never started on our behalf: the desktop runs it.
        if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) return;
        pa_context_unref(m_context);
        m_context = nullptr;
    }
    // Refused at once (no socket): reported like a failure that came later.
    QMetaObject::invokeMethod(
        this, [this, generation] { contextChanged(generation, false); }, Qt::QueuedConnection);
}

void PulseSoundPlayer::onContextState(pa_context* c, void* self) {
    auto* p = static_cast<PulseSoundPlayer*>(self);
    const pa_context_state_t state = pa_context_get_state(c);
    if (c != p->m_context ||
        (state != PA_CONTEXT_READY && state != PA_CONTEXT_FAILED && state != PA_CONTEXT_TERMINATED))
        return;
    const quint64 generation = p->m_generation;
    const bool ready = state == PA_CONTEXT_READY;
    QMetaObject::invokeMethod(
        p, [p, generation, ready] { p->contextChanged(generation, ready); }, Qt::QueuedConnection);
}

void PulseSoundPlayer::contextChanged(quint64 generation, bool ready) {
    if (generation != m_generation) return;
    if (!ready) return connectionLost();
    m_ready = true;
    m_retry.stop();
    if (const QStringList watched = m_watcher.directories(); !watched.isEmpty())
        m_watcher.removePaths(watched);
    if (m_saidAway) say("已連上音效伺服器，恢復播放聲音。");
    m_saidAway = false;
    m_everReady = true;
    if (const std::optional<Request> r = std::exchange(m_pending, std::nullopt);
        r && (r->flags & SoundFlags::Loop || r->asked.elapsed() <= kPendingMs))
        play(r->path, r->flags);
}

void PulseSoundPlayer::connectionLost() {
    {
        Locked lock(m_loop);
        dropStream();
        dropContext();
    }
    if (m_ready) {
        // It was there: it is most likely restarting. A repeating sound goes on once it is back.
        m_retryMs = kFirstRetryMs;
        m_retriesLeft = kTimedRetries;
        if (m_playing && m_playing->flags & SoundFlags::Loop) m_pending = m_playing;
    }
    m_ready = false;
    if (!m_saidAway)
        say(m_everReady ? "與音效伺服器的連線中斷，暫不播放聲音。"
                        : "找不到音效伺服器，暫不播放聲音。");
    m_saidAway = true;
    watchForServer();
    if (m_retriesLeft > 0) {
        --m_retriesLeft;
        m_retry.start(m_retryMs);
        m_retryMs = std::min(2 * m_retryMs, kMaxRetryMs);
    }
}

void PulseSoundPlayer::watchForServer() {
    // The socket the client library tries first: the one named in PULSE_SERVER, else the
    // usual one in the session's runtime directory. A server elsewhere (over the network, say)
    // is found by the timed attempts and at the next sound.
    QString socket;
    const QString named = qEnvironmentVariable("PULSE_SERVER");
    for (QString s : named.split(' ', Qt::SkipEmptyParts)) {
        if (s.startsWith('{')) s = s.section('}', 1);  // "{machine}unix:/path"
        if (s.startsWith(QLatin1String("unix:"))) s = s.mid(5);
        if (s.startsWith('/')) socket = s;
        break;
    }
    if (named.isEmpty() && qEnvironmentVariableIsSet("XDG_RUNTIME_DIR"))
        socket = qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/pulse/native");
    if (socket.isEmpty()) return;
    // Its directory, or the nearest one above that exists.
    QDir dir = QFileInfo(socket).absoluteDir();
    while (!dir.exists() && !dir.isRoot()) dir.setPath(QFileInfo(dir.path()).path());
    if (!m_watcher.directories().contains(dir.path())) m_watcher.addPath(dir.path());
}

void PulseSoundPlayer::startStream(const WaveSound& sound, bool loop) {
    const QAudioFormat& f = sound.format;
    pa_sample_spec spec{};
    spec.format = f.sampleFormat() == QAudioFormat::UInt8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE;
    spec.rate = uint32_t(f.sampleRate());
    spec.channels = uint8_t(f.channelCount());
    m_stream = pa_stream_new(m_context, "Shatter", &spec, nullptr);
    if (!m_stream) return;
    m_voice.setSound(sound.pcm, loop, f.bytesPerFrame());
    m_draining = false;
    // A fifth of a second in the server: a new sound cuts what is left of the old one, so
    // only the library's thread, which keeps the server topped up, needs it.
    pa_buffer_attr attr;
    attr.maxlength = attr.prebuf = attr.minreq = attr.fragsize = uint32_t(-1);
    attr.tlength = uint32_t(pa_usec_to_bytes(200000, &spec));
    pa_stream_set_write_callback(m_stream, onWritable, this);
    // No device named: the server's default output, whichever that is now.
    if (pa_stream_connect_playback(m_stream, nullptr, &attr, PA_STREAM_NOFLAGS, nullptr, nullptr) <
        0)
        dropStream();
}

void PulseSoundPlayer::dropStream() {
    if (!m_stream) return;
    // Disconnecting drops what the server still holds of the sound.
    pa_stream_set_write_callback(m_stream, nullptr, nullptr);
    pa_stream_disconnect(m_stream);
    pa_stream_unref(m_stream);
    m_stream = nullptr;
}

void PulseSoundPlayer::dropContext() {
    if (!m_context) return;
    pa_context_set_state_callback(m_context, nullptr, nullptr);
    pa_context_disconnect(m_context);
    pa_context_unref(m_context);
    m_context = nullptr;
}

void PulseSoundPlayer::onWritable(pa_stream* s, size_t bytes, void* self) {
    auto* p = static_cast<PulseSoundPlayer*>(self);
    if (s == p->m_stream) p->fill(bytes);
}

void PulseSoundPlayer::fill(size_t bytes) {
    while (bytes > 0 && !m_draining) {
        void* buffer = nullptr;
        size_t n = bytes;
        if (pa_stream_begin_write(m_stream, &buffer, &n) < 0 || !buffer) return;
        const qint64 got = m_voice.read(static_cast<char*>(buffer), qint64(n));
        if (got <= 0) {
            pa_stream_cancel_write(m_stream);
            // All written. A stream starts once its buffer is full; draining starts a short
            // one at once and ends it when the server has played it: nothing stays awake.
            m_draining = true;
            if (pa_operation* op = pa_stream_drain(m_stream, onDrained, this))
                pa_operation_unref(op);
            return;
        }
        if (pa_stream_write(m_stream, buffer, size_t(got), nullptr, 0, PA_SEEK_RELATIVE) < 0)
            return;
        bytes -= std::min(bytes, size_t(got));
    }
}

void PulseSoundPlayer::onDrained(pa_stream* s, int, void* self) {
    auto* p = static_cast<PulseSoundPlayer*>(self);
    if (s == p->m_stream) p->dropStream();
}
