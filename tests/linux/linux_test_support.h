#pragma once
// Helpers of the Linux service tests: environment changes undone at the end of a test, and
// reading what the argument recorder (helper/argv_recorder.cpp) wrote.

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/file_text.h"

namespace velora::test {

// Sets (or, with nullptr, unsets) an environment variable until the end of the scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_.c_str(), old_->c_str(), 1);
        else
            ::unsetenv(name_.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

// Detached programs finish on their own time: polls for the file, for at most ten seconds.
inline bool waitForFile(const std::filesystem::path& path) {
    for (int i = 0; i < 1000; ++i) {
        if (std::filesystem::exists(path)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// What the recorder started under the name saw.
struct RecordedRun {
    std::vector<std::string> args;
    std::string info;
};

inline std::optional<RecordedRun> recordedRun(const std::filesystem::path& dir, const std::string& name) {
    if (!waitForFile(dir / (name + ".args"))) return std::nullopt;
    RecordedRun run;
    std::string raw = readFile(dir / (name + ".args"));
    size_t start = 0;
    for (size_t end; (end = raw.find('\0', start)) != std::string::npos; start = end + 1)
        run.args.push_back(raw.substr(start, end - start));
    run.info = readFile(dir / (name + ".info"));
    return run;
}

inline const char* recorderPath() {
    return VELORA_ARGV_RECORDER;
}

} // namespace velora::test
