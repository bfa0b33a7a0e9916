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
    connect(&m_retry, &QTimer::timeout, this, [this] {
        Q_EMIT retrying(m_retry.interval());
        connectToServer();
    });
    // A stream kept after its sound keeps the server's output at its latency, which no
    // program needs once the effects are over.
    m_idle.setSingleShot(true);
    connect(&m_idle, &QTimer::timeout, this, [this] {
        Locked lock(m_loop);
        dropStream();
    });
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
    if (!sound) {  // a missing sound is silence
        m_idle.stop();
        return dropStream();
    }
    const QAudioFormat& f = sound->format;
    if (loop)
        m_idle.stop();
    else
        m_idle.start(int(1000 * sound->pcm.size() / f.bytesPerFrame() / f.sampleRate()) + kIdleMs);
    const pa_stream_state_t state = m_stream ? pa_stream_get_state(m_stream) : PA_STREAM_FAILED;
    if (m_streamFormat != f || (state != PA_STREAM_READY && state != PA_STREAM_CREATING)) {
        dropStream();
        return startStream(*sound, loop);
    }
    // The stream in place plays it: no new stream to set up, and the server's output keeps
    // the short latency that stream asked for. One being set up starts with the new sound;
    // in one that plays, what the server holds of the old sound is dropped.
    m_voice.setSound(sound->pcm, loop, f.bytesPerFrame());
    if (state != PA_STREAM_READY) return;
    if (pa_operation* op = pa_stream_flush(m_stream, nullptr, nullptr)) pa_operation_unref(op);
    fill(pa_stream_writable_size(m_stream));
}

void PulseSoundPlayer::connectToServer() {
    Locked lock(m_loop);
    if (m_context) return;
    m_context = pa_context_new(pa_threaded_mainloop_get_api(m_loop), "Shatter");
    ++m_generation;
    if (m_context) {
        pa_context_set_state_callback(m_context, onContextState, this);
        // The server is never started on our behalf: the desktop runs it.
        if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) return;
        dropContext();
    }
    // Refused at once (no socket), which the state callback may have reported already inside
    // the call: a new generation makes that report stale, so the failure counts once, like
    // one that came later.
    const quint64 generation = ++m_generation;
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
    m_idle.stop();
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
    m_streamFormat = f;
    m_voice.setSound(sound.pcm, loop, f.bytesPerFrame());
    // An effect's latency: the whole buffer, the server's share of it included (the server
    // sets its output's latency from it, and under PipeWire every program's quantum), is
    // kLatencyUs. A sound starts, and one that is cut ends, that soon; the samples are in
    // memory and the library's thread tops the buffer up every kRequestUs. Playback starts at
    // the first request's worth, and pauses when a sound has ended: nothing is heard after it.
    pa_buffer_attr attr;
    attr.maxlength = attr.fragsize = uint32_t(-1);
    attr.tlength = uint32_t(pa_usec_to_bytes(kLatencyUs, &spec));
    attr.minreq = attr.prebuf = uint32_t(pa_usec_to_bytes(kRequestUs, &spec));
    pa_stream_set_write_callback(m_stream, onWritable, this);
    // No device named: the server's default output, whichever that is now.
    if (pa_stream_connect_playback(m_stream, nullptr, &attr, PA_STREAM_ADJUST_LATENCY, nullptr,
                                   nullptr) < 0)
        dropStream();
}

void PulseSoundPlayer::dropStream() {
    if (!m_stream) return;
    pa_stream* s = std::exchange(m_stream, nullptr);
    pa_stream_set_write_callback(s, nullptr, nullptr);
    if (pa_stream_get_state(s) == PA_STREAM_CREATING) {
        // Not confirmed by the server yet, and such a stream cannot be disconnected: it goes
        // once the answer comes, or it would stay on the server, silent, until Shatter ends.
        pa_stream_set_state_callback(s, onAbandoned, nullptr);
        return;
    }
    // Disconnecting drops what the server still holds of the sound.
    pa_stream_disconnect(s);
    pa_stream_unref(s);
}

void PulseSoundPlayer::onAbandoned(pa_stream* s, void*) {
    const pa_stream_state_t state = pa_stream_get_state(s);
    if (state == PA_STREAM_READY) {
        pa_stream_disconnect(s);  // reported back as terminated
    } else if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) {
        pa_stream_set_state_callback(s, nullptr, nullptr);
        pa_stream_unref(s);
    }
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
    while (bytes > 0) {
        void* buffer = nullptr;
        size_t n = bytes;
        if (pa_stream_begin_write(m_stream, &buffer, &n) < 0 || !buffer) return;
        const qint64 got = m_voice.read(static_cast<char*>(buffer), qint64(n));
        if (got <= 0) {
            pa_stream_cancel_write(m_stream);
            // All written: an end shorter than the start's buffering plays at once too.
            if (m_voice.atEnd() && !std::exchange(m_triggered, true))
                if (pa_operation* op = pa_stream_trigger(m_stream, nullptr, nullptr))
                    pa_operation_unref(op);
            return;
        }
        if (pa_stream_write(m_stream, buffer, size_t(got), nullptr, 0, PA_SEEK_RELATIVE) < 0)
            return;
        m_triggered = false;
        bytes -= std::min(bytes, size_t(got));
    }
}
