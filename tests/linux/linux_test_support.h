#pragma once
// Helpers of the Linux service tests: environment changes undone at the end of a test, and
// reading what the argument recorder (helper/argv_recorder.cpp) wrote.

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/file_text.h"
#include "support/wait.h"

namespace velora::test {

// Sets (or, with nullptr, unsets) an environment variable until the end of the scope.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        set(value);
    }
    ~ScopedEnv() { set(old_ ? old_->c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    void set(const char* value) { value ? ::setenv(name_.c_str(), value, 1) : ::unsetenv(name_.c_str()); }

    std::string name_;
    std::optional<std::string> old_;
};

// What the recorder started under the name saw. Detached programs finish on their own time:
// waits for its record for at most ten seconds.
struct RecordedRun {
    std::vector<std::string> args;
    std::string info;
};

inline std::optional<RecordedRun> recordedRun(const std::filesystem::path& dir, const std::string& name) {
    const std::filesystem::path args = dir / (name + ".args");
    if (!waitFor([&] { return std::filesystem::exists(args); }, std::chrono::seconds(10)))
        return std::nullopt;
    RecordedRun run{{}, readFile(dir / (name + ".info"))};
    const std::string raw = readFile(args);
    for (size_t start = 0, end; (end = raw.find('\0', start)) != std::string::npos; start = end + 1)
        run.args.push_back(raw.substr(start, end - start));
    return run;
}

} // namespace velora::test
