#include "sample_stats.h"

#include <algorithm>
#include <cmath>

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
