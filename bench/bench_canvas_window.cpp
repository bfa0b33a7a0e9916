// The hammer's real handler on the real canvas window at 3840 x 2160 (offscreen platform):
// crack AND-copied into the persistent image, its rectangle repainted, sound and burst started.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryFile>

#include "canvas/formula_start.h"
#include "canvas/splinter_animation.h"
#include "layouts/data_files.h"
#include "platform/platform.h"
#include "shell/forms.h"
#include "shell/formula.h"

namespace {

const QSize k4K(3840, 2160);

// Something like a desktop: flat areas, gradients and fine detail, so no copy is trivial.
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

QPoint strikePoint(int64_t i) {
    return QPoint(int(200 + (i * 977) % 3400), int(200 + (i * 613) % 1800));
}

void BM_HammerHandler4K(benchmark::State& state) {
    Formula_Start& canvas = forms().get<Formula_Start>();
    canvas.setScreenSize(k4K);
    canvas.loadPicture(desktopLike(k4K));
    canvas.showForm();
    QCoreApplication::processEvents();
    for (int n = 1; n <= Formula::kToolCount; ++n) Formula::PropOn(n) = n == 2 ? -1 : 0;
    // With QT_SCALE_FACTOR set the same device points are struck, in logical pixels.
    const double s = canvas.scale().factor();
    int64_t i = 0;
    for (auto _ : state) {
        const QPoint p = strikePoint(i++);
        canvas.Form_MouseDown(1, 0, p.x() / s, p.y() / s);
        if (i % 64 == 0) {
            // Let the queued splinter repaints go, as the event loop would between strikes.
            state.PauseTiming();
            QCoreApplication::processEvents();
            state.ResumeTiming();
        }
    }
    if (canvas.splinters()) canvas.splinters()->stop();
}
BENCHMARK(BM_HammerHandler4K)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    // A screen of the measured size; the canvas covers it as it would a real one.
    QTemporaryFile config(QDir::tempPath() + QStringLiteral("/shatter-bench-XXXXXX.json"));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && config.open()) {
        config.write(R"({"screens":[{"name":"bench","x":0,"y":0,"width":3840,"height":2160,)"
                     R"("logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]})");
        config.flush();
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toLocal8Bit());
    }
    qputenv("QT_LOGGING_RULES", "qt.multimedia*=false");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    setProgramDirectory(QStringLiteral(SHATTER_BUILD_DIR));
    installPlatform(makeQtPlatform());
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    forms().reset();
    // The sound effects must go while the application that runs their audio still exists.
    installPlatform(std::make_unique<Platform>());
    return 0;
}
