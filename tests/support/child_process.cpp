#include "support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/wait.h"

extern char** environ;

namespace velora::test {

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::map<std::string, std::string>& environment,
                           const std::filesystem::path& log, const std::filesystem::path& fd3) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (!environment.count(entry.substr(0, entry.find('=')))) env.push_back(entry);
    }
    for (const auto& [name, value] : environment)
        env.push_back(name + "=" + value);
    std::vector<char*> envp, args;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> argCopy = argv;
    for (std::string& a : argCopy)
        args.push_back(a.data());
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string out = log.empty() ? std::string("/dev/null") : log.string();
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (!fd3.empty())
        posix_spawn_file_actions_addopen(&actions, 3, fd3.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    // Its own process group, so that stopping it does not reach the test.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, args[0], &actions, &attr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc == 0)
        pid_ = pid;
    else
        ended_ = true;
}

std::unique_ptr<ChildProcess> ChildProcess::start(const std::vector<std::string>& argv,
                                                  const std::map<std::string, std::string>& environment,
                                                  const std::filesystem::path& log,
                                                  const std::filesystem::path& fd3) {
    auto child = std::make_unique<ChildProcess>(argv, environment, log, fd3);
    if (child->pid() < 0) return nullptr;
    return child;
}

ChildProcess::~ChildProcess() {
    stop();
}

bool ChildProcess::running() {
    if (ended_) return false;
    int st = 0;
    if (::waitpid(pid_, &st, WNOHANG) == pid_) {
        ended_ = true;
        status_ = st;
    }
    return !ended_;
}

bool ChildProcess::waitForExit(std::chrono::milliseconds timeout) {
    return pid_ >= 0 && waitFor([this] { return !running(); }, timeout);
}

void ChildProcess::stop() {
    if (!running()) return;
    ::kill(pid_, SIGTERM);
    ::kill(pid_, SIGCONT);
    if (waitForExit(std::chrono::seconds(5))) return;
    ::kill(pid_, SIGKILL);
    waitForExit(std::chrono::seconds(5));
}

bool runToEnd(const std::vector<std::string>& argv, std::chrono::milliseconds timeout) {
    auto child = ChildProcess::start(argv);
    return child && child->waitForExit(timeout) && WIFEXITED(child->status()) &&
           WEXITSTATUS(child->status()) == 0;
}

} // namespace velora::test
