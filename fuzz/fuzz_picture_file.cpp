// Feeds arbitrary files to the reader behind the load command and the stamp picture.
#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

#include "fuzz_checks.h"

namespace {
QTemporaryDir* scratch = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    // The reader takes a path, as the dialogs give it; memory-backed files keep that cheap.
    const QString base =
        QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    scratch = new QTemporaryDir(base + QStringLiteral("/shatter-fuzz-XXXXXX"));
    if (!scratch->isValid()) {
        std::fprintf(stderr, "no scratch directory under %s\n", qPrintable(base));
        std::abort();
    }
    std::atexit([] { delete scratch; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QDir dir(scratch->path());
    const QString input = dir.filePath(QStringLiteral("picked.ZEL"));
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    if (!FuzzChecks::writeBytes(input, bytes)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(input));
        std::abort();
    }
    if (const QString broken = FuzzChecks::checkPictureFile(input, dir); !broken.isEmpty()) {
        std::fprintf(stderr, "picture reader broke a promise: %s\n", qPrintable(broken));
        std::abort();
    }
    return 0;
}
