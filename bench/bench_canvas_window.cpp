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

// The canvas at 4K over a desktop-like picture, the hammer selected, the history empty.
Formula_Start& hammerCanvas() {
    Formula_Start& canvas = forms().get<Formula_Start>();
    canvas.setScreenSize(k4K, desktopLike(k4K));
    canvas.showForm();
    QCoreApplication::processEvents();
    for (int n = 1; n <= Formula::kToolCount; ++n) Formula::PropOn(n) = n == 2 ? -1 : 0;
    return canvas;
}

void BM_HammerHandler4K(benchmark::State& state) {
    Formula_Start& canvas = hammerCanvas();
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

// Taking back and doing again cost the same: the iterations alternate, so each is one of them.
void undoRedoLoop(benchmark::State& state, Formula_Start& canvas) {
    // The repaints they ask for merge into one that the event loop runs afterwards.
    int64_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(i++ % 2 ? canvas.redo() : canvas.undo());
    if (canvas.splinters()) canvas.splinters()->stop();
}

void BM_UndoHammer4K(benchmark::State& state) {
    Formula_Start& canvas = hammerCanvas();
    canvas.Form_MouseDown(1, 0, 1000, 800);
    canvas.Form_MouseUp(1, 0, 1000, 800);
    undoRedoLoop(state, canvas);
}
BENCHMARK(BM_UndoHammer4K)->Unit(benchmark::kMicrosecond);

void BM_UndoLoad4K(benchmark::State& state) {
    Formula_Start& canvas = hammerCanvas();
    canvas.loadPicture(desktopLike(k4K).mirrored());
    undoRedoLoop(state, canvas);
}
BENCHMARK(BM_UndoLoad4K)->Unit(benchmark::kMicrosecond);

// What the history keeps after 50 strikes, each at its own place.
void BM_HistoryOf50Strikes(benchmark::State& state) {
    Formula_Start& canvas = hammerCanvas();
    for (auto _ : state) {
        for (int64_t i = 0; i < 50; ++i) {
            const QPoint p = strikePoint(i);
            canvas.Form_MouseDown(1, 0, p.x(), p.y());
            canvas.Form_MouseUp(1, 0, p.x(), p.y());
        }
    }
    state.counters["MB"] = double(canvas.history().bytes()) / (1 << 20);
    state.counters["kept"] = canvas.history().doneCount();
    if (canvas.splinters()) canvas.splinters()->stop();
}
BENCHMARK(BM_HistoryOf50Strikes)->Iterations(1)->Unit(benchmark::kMillisecond);

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
