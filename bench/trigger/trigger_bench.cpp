// What one press of a hot key costs on a compositor whose binding runs `velora --trigger`:
// the whole start of the program (loading it, reading the arguments, one connect and one line
// each way) against a stand-in for the running program that answers at once, and the socket
// round trip alone. The stand-in is plain POSIX, so only the trigger's side is measured.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

#include "app/instance_socket.h"

extern char** environ;

namespace {

// Listens where the running program would, and answers every request line with "ok".
class StandIn {
  public:
    StandIn() {
        char folder[] = "/tmp/velora-trigger-bench.XXXXXX";
        folder_ = ::mkdtemp(folder);
        ::setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
        ::setenv("WAYLAND_DISPLAY", "bench", 1);
        path_ = velora::instanceSocketPath(velora::instanceDisplayTag());
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path_.copy(address.sun_path, sizeof address.sun_path - 1);
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd_, 16) != 0)
            std::abort();
        thread_ = std::thread([this] { serve(); });
    }
    ~StandIn() {
        stopping_ = true;
        ::shutdown(fd_, SHUT_RDWR);
        thread_.join();
        ::close(fd_);
        ::unlink(path_.c_str());
        ::rmdir(folder_.c_str());
    }
    const std::string& path() const { return path_; }

  private:
    void serve() {
        while (!stopping_) {
            const int client = ::accept(fd_, nullptr, nullptr);
            if (client < 0) continue;
            char buffer[300];
            std::string line;
            while (line.find('\n') == std::string::npos) {
                const ssize_t n = ::read(client, buffer, sizeof buffer);
                if (n <= 0) break;
                line.append(buffer, std::size_t(n));
            }
            [[maybe_unused]] ssize_t sent = ::write(client, "ok\n", 3);
            ::close(client);
        }
    }
    std::string folder_, path_;
    int fd_ = -1;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

void BM_TriggerProcess(benchmark::State& state) {
    StandIn standIn;
    char program[] = VELORA_PROGRAM;
    char option[] = "--trigger";
    char name[] = "windows";
    char* argv[] = {program, option, name, nullptr};
    for (auto _ : state) {
        pid_t pid = 0;
        if (::posix_spawn(&pid, program, nullptr, nullptr, argv, environ) != 0) std::abort();
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("the trigger failed");
    }
}
BENCHMARK(BM_TriggerProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TriggerRoundTrip(benchmark::State& state) {
    StandIn standIn;
    for (auto _ : state) {
        auto reply = velora::askRunningInstance(standIn.path(), "trigger windows", 2000);
        if (!reply || reply->answer != "ok") state.SkipWithError("no answer");
    }
}
BENCHMARK(BM_TriggerRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
