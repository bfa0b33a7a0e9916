#pragma once

#include <sys/types.h>
#include <string>
#include <vector>

// A program the driver starts and ends itself, timed from just before it is spawned.
class ChildProcess {
  public:
    ChildProcess() = default;
    ~ChildProcess();  // a child still running is ended
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts argv[0] with the rest as arguments; output goes to /dev/null.
    bool start(const std::vector<std::string>& argv);
    pid_t pid() const { return m_pid; }
    double startedAtMs() const { return m_startedAt; }
    // Waits for the child to end by itself; its exit status, or -1.
    int wait();
    // SIGTERM, then SIGKILL after a grace time; reaps it.
    void stop();

  private:
    pid_t m_pid = -1;
    double m_startedAt = 0;
};
