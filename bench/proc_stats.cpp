#include "proc_stats.h"

#include <unistd.h>
#include <charconv>
#include <fstream>
#include <sstream>

std::optional<std::string> readTextFile(const std::string& path) {
    std::ifstream in(path);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

namespace {

template <typename T>
std::optional<T> number(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    T value{};
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || end == s.data()) return std::nullopt;
    return value;
}

}  // namespace

std::optional<long long> ProcStats::parseStatTicks(std::string_view stat) {
    const size_t close = stat.rfind(')');
    if (close == std::string_view::npos) return std::nullopt;
    // After ") " come field 3 (state) onwards; utime and stime are fields 14 and 15.
    std::string_view rest = stat.substr(close + 1);
    int field = 2;
    std::optional<long long> utime;
    while (!rest.empty()) {
        while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
        if (rest.empty()) break;
        const size_t end = rest.find(' ');
        const std::string_view token = rest.substr(0, end);
        ++field;
        if (field == 14) {
            utime = number<long long>(token);
            if (!utime) return std::nullopt;
        } else if (field == 15) {
            const auto stime = number<long long>(token);
            if (!stime) return std::nullopt;
            return *utime + *stime;
        }
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end);
    }
    return std::nullopt;
}

std::optional<long> ProcStats::parseStatusField(std::string_view status, std::string_view key) {
    size_t at = 0;
    while (at < status.size()) {
        size_t eol = status.find('\n', at);
        if (eol == std::string_view::npos) eol = status.size();
        const std::string_view line = status.substr(at, eol - at);
        if (line.size() > key.size() && line.substr(0, key.size()) == key &&
            line[key.size()] == ':')
            return number<long>(line.substr(key.size() + 1));
        at = eol + 1;
    }
    return std::nullopt;
}

std::optional<double> ProcStats::cpuSeconds() const {
    const auto text = readTextFile("/proc/" + std::to_string(m_pid) + "/stat");
    if (!text) return std::nullopt;
    const auto ticks = parseStatTicks(*text);
    if (!ticks) return std::nullopt;
    return double(*ticks) / double(sysconf(_SC_CLK_TCK));
}

std::optional<long> ProcStats::residentKb() const {
    const auto text = readTextFile("/proc/" + std::to_string(m_pid) + "/status");
    if (!text) return std::nullopt;
    return parseStatusField(*text, "VmRSS");
}

std::optional<long> ProcStats::mainThreadSwitches() const {
    const std::string pid = std::to_string(m_pid);
    const auto text = readTextFile("/proc/" + pid + "/task/" + pid + "/status");
    if (!text) return std::nullopt;
    const auto voluntary = parseStatusField(*text, "voluntary_ctxt_switches");
    const auto forced = parseStatusField(*text, "nonvoluntary_ctxt_switches");
    if (!voluntary || !forced) return std::nullopt;
    return *voluntary + *forced;
}
