// Feeds arbitrary bytes to the tool-cursor reader.
#include <QByteArray>
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>

#include "fuzz_checks.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // Qt finds its image plugins through the application object.
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const QString broken = FuzzChecks::checkCursorBytes(bytes); !broken.isEmpty()) {
        std::fprintf(stderr, "cursor reader broke a promise: %s\n", qPrintable(broken));
        std::abort();
    }
    return 0;
}
