// Saving the 4K canvas as a bitmap and reading it back, the way the palette's commands do.
// With --sample=PATH it only writes the same picture as PNG, for the script's reference run.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstring>

#include "platform/files/picture_file.h"

namespace {

const QSize k4K(3840, 2160);

QImage desktopLike(QSize size) {
    QImage img(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] =
                qRgb((x * 255) / size.width(), (y * 255) / size.height(), ((x ^ y) & 0x3F) + 120);
    }
    return img;
}

QTemporaryDir& scratch() {
    static QTemporaryDir dir;
    return dir;
}

void BM_SaveBmp4K(benchmark::State& state) {
    const QImage picture = desktopLike(k4K);
    const QString path = scratch().filePath(QStringLiteral("save.bmp"));
    for (auto _ : state) {
        const QString error = PictureFile::writeBmp(picture, path);
        if (!error.isEmpty()) state.SkipWithError(error.toLocal8Bit().constData());
    }
}
BENCHMARK(BM_SaveBmp4K)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadBmp4K(benchmark::State& state) {
    const QString path = scratch().filePath(QStringLiteral("load.bmp"));
    if (!PictureFile::writeBmp(desktopLike(k4K), path).isEmpty()) {
        state.SkipWithError("cannot write the picture to read");
        return;
    }
    for (auto _ : state) {
        const PictureFile::ReadResult r = PictureFile::read(path);
        if (!r.ok()) state.SkipWithError(r.error.toLocal8Bit().constData());
        benchmark::DoNotOptimize(r.image.constBits());
    }
}
BENCHMARK(BM_LoadBmp4K)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--sample=", 9) == 0) {
            QGuiApplication app(argc, argv);
            return desktopLike(k4K).save(QString::fromLocal8Bit(argv[i] + 9), "PNG") ? 0 : 1;
        }
    }
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
