#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

struct DataFile {
    QString path;  // relative to the output directory, '/'-separated
    QByteArray bytes;
};

// Every file the program needs beside itself, plus the application icons. Throws
// std::runtime_error if an encoder fails.
std::vector<DataFile> makeDataFiles();
