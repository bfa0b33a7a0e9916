#pragma once

#include <vector>

// Summaries of repeated measurements.
class SampleStats {
  public:
    explicit SampleStats(std::vector<double> values);

    bool empty() const { return m_sorted.empty(); }
    int count() const { return int(m_sorted.size()); }
    // The middle value, the mean of the two middle ones for an even count; 0 when empty.
    double median() const;
    // The smallest value v such that at least q (0..1) of the samples are <= v; 0 when empty.
    double quantile(double q) const;
    double max() const { return m_sorted.empty() ? 0 : m_sorted.back(); }
    // Share of samples <= limit.
    double shareAtMost(double limit) const;

  private:
    std::vector<double> m_sorted;
};
