#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <vector>

struct DataFile {
    QString path;  // relative to the output directory, '/'-separated
    QByteArray bytes;
};

// Sizes of the application icon installed into the hicolor theme.
inline constexpr std::array kThemeIconSizes{16, 32, 48, 64, 128, 256};

// Every file the program needs beside itself, plus the application icons. Throws
// std::runtime_error if an encoder fails.
std::vector<DataFile> makeDataFiles();
