// The canvas's hot paths on a 3840 x 2160 image: each must stay far below a frame.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <random>

#include "canvas/canvas_surface.h"
#include "canvas/persistent_image.h"
#include "canvas/splinter_animation.h"
#include "canvas/tools/tool.h"
#include "platform/platform.h"
#include "shell/formula.h"

namespace {

const QSize k4K(3840, 2160);

QImage solid(QSize size, QRgb c) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

class BenchClock final : public Clock {
  public:
    uint32_t tickCount() override { return ++m_now; }
    void sleepMs(int) override {}  // the cannon pauses are not what is measured

  private:
    uint32_t m_now = 0;
};

class BenchRandom final : public Random {
  public:
    void seed(uint32_t value) override { m_engine.seed(value); }
    double next() override { return std::uniform_real_distribution<double>(0, 1)(m_engine); }

  private:
    std::mt19937 m_engine;
};

// A canvas without a window: the image, the sprites, and no-ops for the rest.
class BenchSurface final : public CanvasSurface {
  public:
    BenchSurface() : m_image(k4K, 0xC0C0C0) {
        for (int n = 1; n <= 3; ++n) m_glass[n - 1] = solid({178, 155}, qRgb(200, 210, 220));
        m_bomb[0] = solid({14, 13}, qRgb(0, 200, 0));
        m_bomb[1] = solid({14, 13}, qRgb(0, 0, 0));
        m_stamp = solid({303, 144}, qRgb(1, 2, 3));
    }
    PersistentImage& image() override { return m_image; }
    const QImage& sprite(SpriteSet set, int index) const override {
        switch (set) {
            case SpriteSet::Glass:
                return m_glass[index - 1];
            case SpriteSet::Bomb:
                return m_bomb[index - 1];
            default:
                return m_stamp;
        }
    }
    // Google Benchmark 1.9 takes only a value it may change, no longer a const reference.
    void Refresh(const QRect& dirty) override { keep(dirty); }
    void invalidate(const QRect& dirty) override { keep(dirty); }
    void playSound(const QString&, int16_t) override {}
    void playNoSound() override {}
    void showPalette() override {}
    void splinterBurst(double, double) override {}

  private:
    static void keep(QRect dirty) { benchmark::DoNotOptimize(dirty); }
    PersistentImage m_image;
    QImage m_glass[3], m_bomb[2], m_stamp;
};

// Strike points spread over the screen so no strike finds the last one's pixels in cache.
QPoint strikePoint(int64_t i) {
    return QPoint(int(200 + (i * 977) % 3400), int(200 + (i * 613) % 1800));
}

void BM_HammerCrackAnd(benchmark::State& state) {
    PersistentImage image(k4K, 0xC0C0C0);
    const QImage crack = solid({178, 155}, qRgb(200, 210, 220));
    int64_t i = 0;
    for (auto _ : state) {
        QRect dirty =
            image.blit(crack, QRect(0, 0, 178, 155), strikePoint(i++), RasterOp::And);
        benchmark::DoNotOptimize(dirty);
    }
}
BENCHMARK(BM_HammerCrackAnd);

void BM_HammerStrike(benchmark::State& state) {
    BenchSurface surface;
    auto hammer = makeTool(2);
    int64_t i = 0;
    for (auto _ : state) {
        const QPoint p = strikePoint(i++);
        hammer->press(surface, p.x(), p.y());
    }
}
BENCHMARK(BM_HammerStrike);

void BM_StampCopy(benchmark::State& state) {
    PersistentImage image(k4K, 0xC0C0C0);
    const QImage stamp = solid({303, 144}, qRgb(1, 2, 3));
    int64_t i = 0;
    for (auto _ : state) {
        QRect dirty = image.blit(stamp, stamp.rect(), strikePoint(i++), RasterOp::Copy);
        benchmark::DoNotOptimize(dirty);
    }
}
BENCHMARK(BM_StampCopy);

void BM_CannonDragVolley(benchmark::State& state) {
    BenchSurface surface;
    surface.image().setDrawWidth(11);
    auto cannon = makeTool(5);
    Formula::CannonX = -80, Formula::CannonY = -50;
    int64_t i = 0;
    for (auto _ : state) {
        const QPoint p = strikePoint(i++);
        cannon->move(surface, p.x(), p.y());
    }
}
BENCHMARK(BM_CannonDragVolley);

void BM_ChainsawSegment(benchmark::State& state) {
    BenchSurface surface;
    surface.image().setDrawWidth(static_cast<int>(state.range(0)));
    auto saw = makeTool(1);
    saw->press(surface, 1000, 1000);
    int64_t i = 0;
    for (auto _ : state) {
        // 40-pixel strokes back and forth, as a quick drag delivers them.
        const double x = 1000 + 40 * (i % 2), y = 1000 + 10 * (i % 3);
        saw->move(surface, x, y);
        ++i;
    }
}
BENCHMARK(BM_ChainsawSegment)->Arg(1)->Arg(5);

void BM_SplinterStep(benchmark::State& state) {
    int rects = 0;
    SplinterAnimation splinters(solid({17, 17}, qRgb(255, 0, 255)), QPoint(16, 16), k4K,
                                [&](const QRegion& dirty) { rects += dirty.rectCount(); });
    for (auto _ : state) {
        if (!splinters.running()) splinters.start(1920, 1600);
        splinters.step();
    }
    benchmark::DoNotOptimize(rects);
}
BENCHMARK(BM_SplinterStep);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);  // the splinter timer needs an event dispatcher
    auto services = std::make_unique<Platform>();
    services->clock = std::make_unique<BenchClock>();
    services->random = std::make_unique<BenchRandom>();
    installPlatform(std::move(services));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
