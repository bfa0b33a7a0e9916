#include <QPainter>
#include <array>

#include "draw_util.h"
#include "pictures.h"
#include "rng.h"

namespace {
// Hot core to cool edge; every stop has red >= green >= blue, so the blend stays fiery.
QRgb flameColour(double heat) {
    struct Stop {
        double at;
        QColor colour;
    };
    static const std::array<Stop, 5> stops{{{0.0, QColor(255, 255, 235)},
                                            {0.3, QColor(255, 235, 90)},
                                            {0.55, QColor(255, 170, 25)},
                                            {0.8, QColor(245, 90, 10)},
                                            {1.0, QColor(190, 35, 0)}}};
    heat = clamp01(heat);
    for (size_t i = 1; i < stops.size(); ++i) {
        if (heat <= stops[i].at) {
            const double t = (heat - stops[i - 1].at) / (stops[i].at - stops[i - 1].at);
            return mix(stops[i - 1].colour, stops[i].colour, t).rgb();
        }
    }
    return stops.back().colour.rgb();
}

QRgb scaled(const QColor& c, double factor) {
    const auto ch = [factor](int v) { return std::clamp(int(std::lround(v * factor)), 0, 255); };
    return qRgb(ch(c.red()), ch(c.green()), ch(c.blue()));
}
}  // namespace

SpritePair muzzleFlash(int n) {
    const bool big = n == 2;
    const QSize size = big ? QSize(20, 19) : QSize(14, 13);
    const int spikes = big ? 10 : 7;
    Rng rng(big ? 0xF1A5B002 : 0xF1A5B001);
    std::vector<double> reach(spikes);
    for (double& r : reach) r = rng.uniform(0.7, 1.0);
    const double phase = rng.uniform();
    const QPointF centre((size.width() - 1) / 2.0, (size.height() - 1) / 2.0);
    const double radius = std::min(size.width(), size.height()) / 2.0;

    SpritePair pair{QImage(size, QImage::Format_RGB32), QImage(size, QImage::Format_RGB32)};
    pair.image.fill(Qt::black);
    pair.mask.fill(Qt::white);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const double dx = x - centre.x();
            const double dy = y - centre.y();
            const double d = std::hypot(dx, dy);
            const double s = (std::atan2(dy, dx) / (2 * kPi) + 0.5) * spikes + phase;
            const int spike = int(std::floor(s)) % spikes;
            const double peak = 1 - std::abs(2 * (s - std::floor(s)) - 1);
            const double limit = radius * (0.42 + 0.58 * peak * peak * reach[spike]);
            if (d > limit) continue;
            pair.image.setPixel(x, y, flameColour(d / limit + rng.uniform(-0.08, 0.08)));
            pair.mask.setPixel(x, y, qRgb(0, 0, 0));
        }
    }
    return pair;
}

QImage crater(int n) {
    Rng rng(0xC4A7E400u + uint64_t(n));
    const QPointF centre(29.5 + rng.uniform(-1.5, 1.5), 29.5 + rng.uniform(-1.5, 1.5));
    const double base = rng.uniform(15.5, 17.5);
    std::array<double, 4> amplitude{}, phase{};
    for (size_t k = 0; k < amplitude.size(); ++k) {
        amplitude[k] = rng.uniform(0.02, 0.07);
        phase[k] = rng.uniform(0, 2 * kPi);
    }
    struct Streak {
        double angle, length;
    };
    std::vector<Streak> streaks(5 + rng.below(4));
    for (Streak& s : streaks) s = {rng.uniform(-kPi, kPi), rng.uniform(1.25, 1.6)};

    const QColor pit(22, 17, 14), slope(58, 46, 37), lowerRim(125, 108, 90), rimTop(168, 155, 138),
        scorch(115, 100, 86);
    QImage image(60, 60, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const double dx = x - centre.x();
            const double dy = y - centre.y();
            const double d = std::hypot(dx, dy);
            const double angle = std::atan2(dy, dx);
            double radius = base;
            for (size_t k = 0; k < amplitude.size(); ++k)
                radius += base * amplitude[k] * std::sin((k + 2) * angle + phase[k]);
            const double u = d / radius;
            const double noise = rng.uniform(-0.09, 0.09);

            QColor colour;
            if (u < 0.5) {
                colour = mix(pit, slope, u / 0.5);
            } else if (u < 0.82) {
                colour = mix(slope, lowerRim, (u - 0.5) / 0.32);
            } else if (u < 1.0) {
                colour = mix(lowerRim, rimTop, std::sin(kPi * (u - 0.82) / 0.18));
            } else {
                // Scorch fading out, longer along the thrown-out streaks.
                double fadeEnd = 1.3;
                for (const Streak& s : streaks) {
                    const double off = std::abs(std::remainder(angle - s.angle, 2 * kPi));
                    fadeEnd =
                        std::max(fadeEnd, 1.3 + (s.length - 1.3) * (1 - smoothstep(0, 0.12, off)));
                }
                const double t = smoothstep(1.0, fadeEnd, u);
                colour = mix(scorch, Qt::white, t);
                if (t >= 1 || d > 27.5) {
                    image.setPixel(x, y, qRgb(255, 255, 255));
                    continue;
                }
                image.setPixel(x, y, scaled(colour, 1 + noise * (1 - t)));
                continue;
            }
            image.setPixel(x, y, scaled(colour, 1 + noise));
        }
    }
    return image;
}

QImage splinter() {
    const QPolygonF shard{{1.5, 11}, {15.5, 1.5}, {12.5, 10.5}, {9, 12}, {5.5, 15.5}};
    const QLineF glint({4.5, 12}, {13, 4});
    QImage image(17, 17, QImage::Format_RGB32);
    image.fill(kSplinterKey);
    const auto inside = [&](int x, int y) {
        return image.rect().contains(x, y) &&
               shard.containsPoint(QPointF(x + 0.5, y + 0.5), Qt::OddEvenFill);
    };
    // Hard edges only: blending into the key would leave pink fringes on screen.
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (!inside(x, y)) continue;
            const bool edge =
                !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
            if (edge) {
                image.setPixel(x, y, qRgb(25, 70, 95));
                continue;
            }
            const QPointF p(x + 0.5, y + 0.5);
            const QPointF along = glint.p2() - glint.p1();
            const double t =
                QPointF::dotProduct(p - glint.p1(), along) / QPointF::dotProduct(along, along);
            const double off = distance(p, glint.pointAt(clamp01(t)));
            const double light = std::max(1 - off / 1.6, (16 - y + x) / 40.0);
            image.setPixel(x, y, mix(QColor(160, 220, 238), QColor(248, 254, 255), light).rgb());
        }
    }
    return image;
}

QImage sizeButton(int n) {
    static const std::array<double, 5> radius{1.5, 3, 4.5, 7, 10};
    QImage image(33, 33, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    const double r = radius[std::clamp(n, 1, 5) - 1];
    painter.drawEllipse(QPointF(16.5, 16.5), r, r);
    return image;
}
