#include "recording_timeline.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace {

// The first few milliseconds of a stream may reach the sink faded or not at all, so a sound
// is identified by the stretch that follows them and its start reckoned back from there.
constexpr int kHead = 256;
constexpr int kOpening = 256;     // samples after the head that identify the sound
constexpr int kBlock = 128;       // step of following a sound through the recording
constexpr double kOnset = 0.97;   // normalised correlation that counts as a start
constexpr double kAlike = 0.8;    // ... and as the same block
constexpr double kQuiet = 0.004;  // RMS below this is silence (about -48 dBFS)

using Complex = std::complex<double>;

void fft(std::vector<Complex>& a, bool inverse) {
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const double angle = 2 * std::numbers::pi / double(len) * (inverse ? 1 : -1);
        const Complex step(std::cos(angle), std::sin(angle));
        for (size_t i = 0; i < n; i += len) {
            Complex w(1);
            for (size_t k = 0; k < len / 2; ++k, w *= step) {
                const Complex u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
            }
        }
    }
    if (inverse)
        for (Complex& x : a) x /= double(n);
}

double energy(const float* x, int n) {
    double e = 0;
    for (int i = 0; i < n; ++i) e += double(x[i]) * x[i];
    return e;
}

struct Onset {
    size_t at;
    int sound;
};

// Every place where one of the sounds' openings appears in the recording.
std::vector<Onset> onsets(const Wave& rec, const std::vector<KnownSound>& sounds) {
    std::vector<Onset> found;
    if (rec.size() < size_t(kOpening)) return found;
    size_t n = 1;
    while (n < rec.size() + kOpening) n <<= 1;
    std::vector<Complex> recSpectrum(rec.begin(), rec.end());
    recSpectrum.resize(n);
    fft(recSpectrum, false);
    std::vector<double> prefix(rec.size() + 1, 0.0);
    for (size_t i = 0; i < rec.size(); ++i) prefix[i + 1] = prefix[i] + double(rec[i]) * rec[i];

    for (size_t k = 0; k < sounds.size(); ++k) {
        const Wave& s = sounds[k].samples;
        if (s.size() < size_t(kHead + kOpening)) continue;
        const float* opening = s.data() + kHead;
        const double openingEnergy = energy(opening, kOpening);
        if (openingEnergy <= 0) continue;
        // Correlation as a product of spectra: the opening reversed is a convolution kernel.
        std::vector<Complex> c(n);
        for (int i = 0; i < kOpening; ++i) c[(n - i) % n] = opening[i];
        fft(c, false);
        for (size_t i = 0; i < n; ++i) c[i] *= recSpectrum[i];
        fft(c, true);
        const size_t last = rec.size() - kOpening;
        std::vector<double> score(last + 1);
        for (size_t at = 0; at <= last; ++at) {
            const double e = prefix[at + kOpening] - prefix[at];
            score[at] = e > 1e-9 ? c[at].real() / std::sqrt(e * openingEnergy) : 0.0;
        }
        for (size_t at = 0; at <= last; ++at) {
            if (score[at] < kOnset) continue;
            const size_t from = at >= kOpening / 2 ? at - kOpening / 2 : 0;
            const size_t to = std::min(last, at + kOpening / 2);
            if (at >= kHead && *std::max_element(score.begin() + long(from),
                                                 score.begin() + long(to) + 1) == score[at])
                found.push_back({at - kHead, int(k)});
        }
    }
    std::sort(found.begin(), found.end(),
              [](const Onset& a, const Onset& b) { return a.at < b.at; });
    return found;
}

// Same waveform (any gain within a factor of two), or both silent.
bool alike(const float* rec, const float* expected, int n) {
    const double er = energy(rec, n), ee = energy(expected, n), quiet = kQuiet * kQuiet * n;
    if (er < quiet && ee < quiet) return true;
    if (er < quiet / 4 || ee < quiet / 4 || er > 4 * ee || ee > 4 * er) return false;
    double dot = 0;
    for (int i = 0; i < n; ++i) dot += double(rec[i]) * expected[i];
    return dot / std::sqrt(er * ee) >= kAlike;
}

}  // namespace

Wave wave16(const QByteArray& bytes) {
    Wave out(size_t(bytes.size() / 2));
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = float(qint16(quint8(bytes[qsizetype(2 * i)]) | quint8(bytes[qsizetype(2 * i + 1)])
                                                                    << 8)) /
                 32768.0f;
    return out;
}

std::vector<Heard> heardSounds(const Wave& rec, const std::vector<KnownSound>& sounds, int rate) {
    const auto ms = [rate](size_t at) { return 1000.0 * double(at) / rate; };
    const std::vector<Onset> starts = onsets(rec, sounds);
    std::vector<Heard> heard;
    // Loud blocks between the known sounds are something else.
    const auto unexplained = [&](size_t from, size_t to) {
        for (size_t b = from; b + kBlock <= to; b += kBlock) {
            if (energy(rec.data() + b, kBlock) < kQuiet * kQuiet * kBlock) continue;
            if (!heard.empty() && heard.back().name.isEmpty() && heard.back().endMs >= ms(b) - 0.5)
                heard.back().endMs = ms(b + kBlock);
            else
                heard.push_back({QString(), ms(b), ms(b + kBlock), 1});
        }
    };
    size_t cursor = 0;
    for (size_t i = 0; i < starts.size(); ++i) {
        const Onset& o = starts[i];
        // Inside the stretch before, a loop coming round or a sound that resembles itself.
        if (o.at + 2 * kBlock <= cursor) continue;
        // A start within the last blocks of the sound before cuts it there: its end is known
        // only to a block.
        if (o.at < cursor && !heard.empty())
            heard.back().endMs = std::min(heard.back().endMs, ms(o.at));
        unexplained(cursor, o.at);
        const Wave& s = sounds[size_t(o.sound)].samples;
        // Followed while the recording goes on as the sound would, repeating; the head is taken
        // on trust.
        Wave expected(kBlock);
        size_t end = std::min(rec.size(), o.at + kHead);
        while (end + kBlock <= rec.size()) {
            for (int k = 0; k < kBlock; ++k)
                expected[size_t(k)] = s[(end - o.at + size_t(k)) % s.size()];
            if (!alike(rec.data() + end, expected.data(), kBlock)) break;
            end += kBlock;
        }
        // A new start within the block that no longer matched cuts the sound there.
        for (size_t j = i + 1; j < starts.size() && starts[j].at < end + kBlock; ++j)
            if (starts[j].at > o.at + kBlock && starts[j].at + kBlock > end) {
                end = std::min(end, starts[j].at);
                break;
            }
        const size_t length = end - o.at;
        const int startsHeard = 1 + int(length > size_t(kBlock) ? (length - kBlock) / s.size() : 0);
        heard.push_back({sounds[size_t(o.sound)].name, ms(o.at), ms(end), startsHeard});
        cursor = end;
    }
    unexplained(cursor, rec.size());
    return heard;
}
