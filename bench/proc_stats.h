#pragma once

#include <sys/types.h>
#include <optional>
#include <string>
#include <string_view>

// What the kernel says about a running process: CPU time, resident memory, wake-ups.
// The parsers take the file's text so they can be checked without a process.
class ProcStats {
  public:
    explicit ProcStats(pid_t pid) : m_pid(pid) {}

    // utime + stime of every thread, in seconds; nothing once the process is gone.
    std::optional<double> cpuSeconds() const;
    // VmRSS in KiB.
    std::optional<long> residentKb() const;
    // Voluntary + involuntary context switches of the main (GUI) thread only: each is a
    // wake-up, so an idle event loop adds none.
    std::optional<long> mainThreadSwitches() const;

    // Field 14 + 15 of /proc/PID/stat in clock ticks. The command name is in parentheses and
    // may itself hold spaces and ')', so fields are counted from the last ')'.
    static std::optional<long long> parseStatTicks(std::string_view stat);
    // The number after "Key:" in a /proc status file (the unit, if any, is dropped).
    static std::optional<long> parseStatusField(std::string_view status, std::string_view key);

  private:
    pid_t m_pid;
};

// Reads a whole small file; nothing when it cannot be opened.
std::optional<std::string> readTextFile(const std::string& path);
