#pragma once

#include <QByteArray>
#include <vector>

constexpr int kSampleRate = 22050;

using Samples = std::vector<float>;

// RIFF/WAVE, PCM 16-bit mono at kSampleRate; samples are clamped to [-1, 1].
QByteArray encodeWav(const Samples& samples);
