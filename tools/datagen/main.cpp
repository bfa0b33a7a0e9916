// Writes Shatter's pictures, cursors, sounds and icons into the given directory. Everything is
// drawn and synthesised from code with fixed seeds, so two runs give identical bytes.

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <cstdio>
#include <exception>

#include "catalog.h"

namespace {
bool writeFile(const QDir& root, const DataFile& file) {
    const QString path = root.filePath(file.path);
    if (!QDir().mkpath(QFileInfo(path).path())) {
        std::fprintf(stderr, "shatter_datagen: cannot create the directory for %s\n",
                     qPrintable(path));
        return false;
    }
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(file.bytes) != file.bytes.size() ||
        !out.commit()) {
        std::fprintf(stderr, "shatter_datagen: cannot write %s: %s\n", qPrintable(path),
                     qPrintable(out.errorString()));
        return false;
    }
    return true;
}
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);  // lets QImageWriter find its format plugins
    const QStringList args = app.arguments();
    if (args.size() != 2 || args[1].startsWith(QLatin1Char('-'))) {
        std::fprintf(stderr, "usage: shatter_datagen OUTPUT_DIR\n");
        return 2;
    }
    const QDir root(args[1]);
    try {
        for (const DataFile& file : makeDataFiles()) {
            if (!writeFile(root, file)) return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "shatter_datagen: %s\n", e.what());
        return 1;
    }
    return 0;
}
