#include "sample_stats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

SampleStats::SampleStats(std::vector<double> values) : m_sorted(std::move(values)) {
    std::sort(m_sorted.begin(), m_sorted.end());
}

double SampleStats::median() const {
    const size_t n = m_sorted.size();
    if (n == 0) return 0;
    return n % 2 ? m_sorted[n / 2] : (m_sorted[n / 2 - 1] + m_sorted[n / 2]) / 2;
}

double SampleStats::quantile(double q) const {
    if (m_sorted.empty()) return 0;
    const double clamped = std::clamp(q, 0.0, 1.0);
    const size_t rank = size_t(std::ceil(clamped * double(m_sorted.size())));
    return m_sorted[rank == 0 ? 0 : rank - 1];
}

double SampleStats::shareAtMost(double limit) const {
    if (m_sorted.empty()) return 0;
    const auto end = std::upper_bound(m_sorted.begin(), m_sorted.end(), limit);
    return double(end - m_sorted.begin()) / double(m_sorted.size());
}

std::optional<std::pair<double, double>> alternatingMedians(
    const char* program, int runs, const std::function<double(int)>& reference,
    const std::function<double(int)>& ours) {
    std::vector<double> ourFigures, referenceFigures;
    for (int i = 0; i < runs; ++i) {
        const double r = reference(i), o = ours(i);
        if (r < 0 || o < 0) {
            std::fprintf(stderr, "%s: run %d gave no figure (%g, %g)\n", program, i, o, r);
            return std::nullopt;
        }
        referenceFigures.push_back(r), ourFigures.push_back(o);
    }
    return std::pair(SampleStats(ourFigures).median(), SampleStats(referenceFigures).median());
}

void printRatioRow(const char* what, int screenWidth, int screenHeight,
                   std::pair<double, double> medians, const char* referenceName, double target) {
    const auto [a, b] = medians;
    std::printf("ROW\t%s\t%dx%d\t%.1f\t%.1f %s\t%.2f\t<= %.1f\t%s\n", what, screenWidth,
                screenHeight, a, b, referenceName, a / b, target, a / b <= target ? "yes" : "NO");
}

EnterOptions enterOptions(int argc, char** argv) {
    EnterOptions options;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--shatter") == 0) options.shatter = argv[i + 1];
        if (std::strcmp(argv[i], "--runs") == 0) options.runs = std::atoi(argv[i + 1]);
    }
    return options;
}
