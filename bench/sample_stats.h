#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
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

// Measures REFERENCE, then OURS, in turn RUNS times (each given the run's number; negative
// means no figure). Their medians, ours first; none, having said on stderr which run of PROGRAM
// gave no figure.
std::optional<std::pair<double, double>> alternatingMedians(
    const char* program, int runs, const std::function<double(int)>& reference,
    const std::function<double(int)>& ours);
// The table's row for scripts/run-bench.sh comparing OURS with the reference named
// REFERENCE_NAME: the ratio, and whether it is at most TARGET.
void printRatioRow(const char* what, int screenWidth, int screenHeight,
                   std::pair<double, double> medians, const char* referenceName, double target);

// The enter benchmarks' options: --shatter PATH (empty when not given) and --runs N (10).
struct EnterOptions {
    std::string shatter;
    int runs = 10;
};
EnterOptions enterOptions(int argc, char** argv);
