#include "platform/linux/spawn.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace velora {

namespace {

// Everything posix_spawnp needs, prepared before any fork so that the forked child of a
// multi-threaded process only makes the spawn call itself (which allocates nothing).
class SpawnPlan {
  public:
    explicit SpawnPlan(const std::vector<std::string>& argv) {
        if (argv.empty() || argv[0].empty()) return;
        for (const auto& arg : argv) {
            if (arg.find('\0') != std::string::npos) return;
            args_.push_back(const_cast<char*>(arg.c_str()));
        }
        args_.push_back(nullptr);

        posix_spawn_file_actions_init(&actions_);
        posix_spawnattr_init(&attributes_);
        initialised_ = true;
        bool ok = posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0) == 0;
        ok = ok && posix_spawn_file_actions_addclosefrom_np(&actions_, 3) == 0;

        sigset_t none, all;
        sigemptyset(&none);
        sigfillset(&all);
        ok = ok && posix_spawnattr_setsigmask(&attributes_, &none) == 0;
        ok = ok && posix_spawnattr_setsigdefault(&attributes_, &all) == 0;
        const short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID;
        ok = ok && posix_spawnattr_setflags(&attributes_, flags) == 0;
        valid_ = ok;
    }

    ~SpawnPlan() {
        if (!initialised_) return;
        posix_spawn_file_actions_destroy(&actions_);
        posix_spawnattr_destroy(&attributes_);
    }

    SpawnPlan(const SpawnPlan&) = delete;
    SpawnPlan& operator=(const SpawnPlan&) = delete;

    bool valid() const { return valid_; }

    // The errno of the failed start, 0 when the program runs.
    int spawn(pid_t* pid) const {
        return posix_spawnp(pid, args_[0], &actions_, &attributes_, args_.data(), environ);
    }

  private:
    std::vector<char*> args_;
    posix_spawn_file_actions_t actions_{};
    posix_spawnattr_t attributes_{};
    bool initialised_ = false;
    bool valid_ = false;
};

pid_t waitForChild(pid_t pid, int* status, int options) {
    pid_t r;
    do {
        r = ::waitpid(pid, status, options);
    } while (r < 0 && errno == EINTR);
    return r;
}

} // namespace

// Double fork: an intermediate child starts the program and exits at once, so the program
// is re-parented (to init or the session's sub-reaper) and never becomes our zombie. The
// intermediate reports the spawn result through a pipe.
bool spawnDetached(const std::vector<std::string>& argv) {
    SpawnPlan plan(argv);
    if (!plan.valid()) return false;

    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return false;
    pid_t intermediate = ::fork();
    if (intermediate < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return false;
    }
    if (intermediate == 0) {
        // Only async-signal-safe calls from here on.
        ::close(report[0]);
        pid_t pid;
        int error = plan.spawn(&pid);
        ssize_t written = ::write(report[1], &error, sizeof error);
        ::_exit(written == ssize_t(sizeof error) ? 0 : 1);
    }
    ::close(report[1]);
    int error = -1;
    ssize_t got;
    do {
        got = ::read(report[0], &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    ::close(report[0]);
    waitForChild(intermediate, nullptr, 0);
    return got == ssize_t(sizeof error) && error == 0;
}

} // namespace velora
