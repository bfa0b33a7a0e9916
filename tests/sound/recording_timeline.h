#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

// Tells which of Shatter's sounds a recording of the sound server's output holds, and when.
// The server passes the samples through unchanged apart from small gain or resampling
// differences, so each sound is found by its own waveform: every start of a sound is matched
// against the sound's opening, and from there the recording is followed block by block.

using Wave = std::vector<float>;

struct KnownSound {
    QString name;
    Wave samples;
};

struct Heard {
    QString name;  // empty: sound that is none of the known ones, or several at once
    double startMs = 0, endMs = 0;
    int starts = 1;  // how often it began again from its start (a loop's repeats count)
};

// Signed 16-bit little-endian mono samples, as the recorder writes them raw.
Wave wave16(const QByteArray& bytes);

std::vector<Heard> heardSounds(const Wave& recording, const std::vector<KnownSound>& sounds,
                               int rate);
