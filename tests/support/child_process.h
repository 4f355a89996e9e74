#pragma once
// A program started by a test (no shell), stopped and reaped when the object goes.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace velora::test {

class ChildProcess {
  public:
    // Starts argv[0] (looked up on PATH) with the test's environment plus `environment`, its
    // output appended to `log` (or discarded when empty), in a process group of its own so
    // that signals meant for it never reach the test. pid() is -1 when it could not start.
    // With `fd3`, that file is opened for appending as its descriptor 3 (a trace to watch).
    explicit ChildProcess(const std::vector<std::string>& argv,
                          const std::map<std::string, std::string>& environment = {},
                          const std::filesystem::path& log = {}, const std::filesystem::path& fd3 = {});
    // The same, null when it cannot start.
    static std::unique_ptr<ChildProcess> start(const std::vector<std::string>& argv,
                                               const std::map<std::string, std::string>& environment = {},
                                               const std::filesystem::path& log = {},
                                               const std::filesystem::path& fd3 = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    bool running();
    // True once the process has ended within the time given.
    bool waitForExit(std::chrono::milliseconds timeout);
    // The exit status as waitpid gives it; meaningful once running() is false.
    int status() const { return status_; }
    // SIGTERM (with SIGCONT, should the test have stopped it), then SIGKILL when it has not
    // ended within a few seconds.
    void stop();

  private:
    pid_t pid_ = -1;
    bool ended_ = false;
    int status_ = 0;
};

// Runs a program to its end (at most `timeout`); true when it ended with 0.
bool runToEnd(const std::vector<std::string>& argv,
              std::chrono::milliseconds timeout = std::chrono::seconds(20));

} // namespace velora::test
