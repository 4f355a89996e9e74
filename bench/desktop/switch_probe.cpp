// The measuring client of the side-by-side measurement (scripts/perf.sh). It types the
// switcher's keys through XTest and times what the display shows, one figure per line on
// standard output ("quick 5123" in microseconds, "quick timeout" when nothing happened):
//
//   velora_switch_probe ready SECONDS            switch until the switcher answers
//   velora_switch_probe quick COUNT [--pid P]    quick switches: modifier release to the new
//                                                _NET_ACTIVE_WINDOW; CPU per switch with --pid
//   velora_switch_probe panel COUNT [--trace F]  Alt-Tab held: press to the panel's map, and
//                                                with velora's trace file the last picture
//   velora_switch_probe switches COUNT           switches as fast as they are taken, untimed
//   velora_switch_probe idle SECONDS --pid P     CPU of the process over the span
//   velora_switch_probe rss --pid P              resident, proportional and own memory
//   velora_switch_probe startup --trace F --pid-file P --log L -- PROGRAM [ARGS]
//                                                starts the program (left running, its pid
//                                                in P): start to its "hotkeys" trace mark
//
// Only XTest and X events are in the timed path; the stamps are taken as events are read.
#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "probe_display.h"
#include "probe_process.h"

namespace {

using probe::Display;
using probe::nowNs;
using probe::sleepMs;

struct Options {
    pid_t pid = 0;
    std::string trace;
    double holdMs = 30; // Tab released to Alt released: well inside a 0.2 s display delay
    double gapMs = 250; // settling between switches: both programs learn the new focus
};

// Reads velora's trace lines ("pictures 123456789") that come after the mark.
class TraceFile {
  public:
    explicit TraceFile(std::string path) : path_(std::move(path)) {}
    void skipToEnd() {
        std::ifstream in(path_, std::ios::ate);
        offset_ = in ? std::streamoff(in.tellg()) : 0;
    }
    // The stamp of the first `event` line written after the mark, waiting up to the time-out.
    bool waitFor(const char* event, double timeoutMs, int64_t& stamp) {
        const int64_t deadline = nowNs() + int64_t(timeoutMs * 1e6);
        const std::string prefix = std::string(event) + " ";
        while (nowNs() < deadline) {
            std::ifstream in(path_);
            in.seekg(offset_);
            std::string line;
            while (std::getline(in, line)) {
                if (in.eof()) break; // a line still being written
                offset_ += std::streamoff(line.size() + 1);
                if (line.rfind(prefix, 0) == 0) {
                    stamp = std::stoll(line.substr(prefix.size()));
                    return true;
                }
            }
            sleepMs(1); // the stamp is in the line: this wait does not bias the figure
        }
        return false;
    }

  private:
    std::string path_;
    std::streamoff offset_ = 0;
};

void printMicros(const char* figure, int64_t ns) {
    std::printf("%s %.1f\n", figure, double(ns) / 1000.0);
}

// Alt held, Tab typed once.
void pressAltTab(Display& d) {
    d.press(d.alt());
    sleepMs(5);
}

// One quick switch: the release stamp, or -1 when the active window did not change.
int64_t quickSwitch(Display& d, const Options& o, double timeoutMs, int64_t& latency) {
    const uint32_t old = d.activeWindow();
    d.drain();
    pressAltTab(d);
    d.press(d.tab());
    d.release(d.tab());
    sleepMs(o.holdMs);
    const int64_t released = nowNs();
    d.release(d.alt());
    const auto seen = d.waitForActiveChange(old, timeoutMs);
    latency = seen ? *seen - released : -1;
    return latency;
}

int ready(Display& d, double seconds) {
    const int64_t start = nowNs();
    Options o;
    while (double(nowNs() - start) < seconds * 1e9) {
        int64_t latency = 0;
        if (quickSwitch(d, o, 500, latency) >= 0) {
            std::printf("ready %.2f\n", double(nowNs() - start) / 1e9);
            sleepMs(o.gapMs);
            return 0;
        }
        sleepMs(200);
    }
    std::printf("ready timeout\n");
    return 1;
}

int quick(Display& d, int count, const Options& o) {
    const int64_t cpu0 = o.pid ? probe::processCpuNs(o.pid) : 0;
    int done = 0;
    for (int i = 0; i < count; ++i) {
        int64_t latency = 0;
        if (quickSwitch(d, o, 1000, latency) >= 0) {
            printMicros("quick", latency);
            ++done;
        } else {
            std::printf("quick timeout\n");
        }
        sleepMs(o.gapMs);
    }
    if (o.pid && done > 0) {
        const int64_t cpu1 = probe::processCpuNs(o.pid);
        if (cpu0 >= 0 && cpu1 >= 0) printMicros("cpu_per_switch", (cpu1 - cpu0) / done);
    }
    std::fflush(stdout);
    return 0;
}

int panel(Display& d, int count, const Options& o) {
    TraceFile trace(o.trace);
    for (int i = 0; i < count; ++i) {
        const uint32_t old = d.activeWindow();
        if (!o.trace.empty()) trace.skipToEnd();
        d.drain();
        pressAltTab(d);
        const int64_t pressed = nowNs();
        d.press(d.tab());
        d.release(d.tab());
        if (const auto mapped = d.waitForPanelMap(2000))
            printMicros("panel", *mapped - pressed);
        else
            std::printf("panel timeout\n");
        int64_t stamp = 0;
        if (!o.trace.empty()) {
            if (trace.waitFor("pictures", 2000, stamp))
                printMicros("pictures", stamp - pressed);
            else
                std::printf("pictures timeout\n");
        }
        sleepMs(50);
        d.release(d.alt());
        d.waitForActiveChange(old, 1000);
        sleepMs(o.gapMs);
    }
    std::fflush(stdout);
    return 0;
}

int switches(Display& d, int count) {
    Options o;
    o.holdMs = 20;
    int changed = 0;
    for (int i = 0; i < count; ++i) {
        int64_t latency = 0;
        if (quickSwitch(d, o, 150, latency) >= 0) ++changed;
        sleepMs(20);
    }
    std::printf("switches %d changed %d\n", count, changed);
    return 0;
}

int idle(double seconds, const Options& o) {
    const int64_t live0 = probe::liveThreadsCpuNs(o.pid);
    const int64_t all0 = probe::processCpuNs(o.pid);
    const int64_t t0 = nowNs();
    sleepMs(seconds * 1000);
    const int64_t elapsed = nowNs() - t0;
    const int64_t live1 = probe::liveThreadsCpuNs(o.pid);
    const int64_t all1 = probe::processCpuNs(o.pid);
    if (live0 < 0 || live1 < 0) {
        std::printf("idle_cpu_percent gone\n");
        return 1;
    }
    // A thread that ended during the span takes its schedstat with it; then the coarser
    // whole-process count, which keeps it, is the larger and the truer.
    const int64_t used = std::max(live1 - live0, all1 - all0);
    std::printf("idle_cpu_percent %.4f\n", 100.0 * double(used) / double(elapsed));
    return 0;
}

// Starts the program with the probe's environment and descriptors (the trace's among them)
// and times it from the fork to its "hotkeys" mark.
int startup(const Options& o, const std::string& pidFile, const std::string& log, char** program) {
    TraceFile trace(o.trace);
    trace.skipToEnd();
    const int64_t started = nowNs();
    const pid_t pid = ::fork();
    if (pid < 0) return 1;
    if (pid == 0) {
        const int out = ::open(log.empty() ? "/dev/null" : log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (out >= 0) {
            ::dup2(out, 1);
            ::dup2(out, 2);
        }
        ::execvp(program[0], program);
        ::_exit(127);
    }
    if (std::FILE* f = std::fopen(pidFile.c_str(), "w")) {
        std::fprintf(f, "%d\n", int(pid));
        std::fclose(f);
    }
    int64_t stamp = 0;
    if (trace.waitFor("hotkeys", 20000, stamp))
        printMicros("startup", stamp - started);
    else
        std::printf("startup timeout\n");
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: velora_switch_probe ready|quick|panel|switches|idle|rss [N] [options]\n");
        return 2;
    }
    const std::string command = argv[1];
    const double n = argc > 2 && argv[2][0] != '-' ? std::atof(argv[2]) : 0;
    Options o;
    std::string pidFile, log;
    char** program = nullptr;
    for (int i = 2; i + 1 < argc; ++i) {
        if (!std::strcmp(argv[i], "--")) {
            program = argv + i + 1;
            break;
        }
        if (!std::strcmp(argv[i], "--pid"))
            o.pid = pid_t(std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--pid-file"))
            pidFile = argv[++i];
        else if (!std::strcmp(argv[i], "--log"))
            log = argv[++i];
        else if (!std::strcmp(argv[i], "--trace"))
            o.trace = argv[++i];
        else if (!std::strcmp(argv[i], "--hold-ms"))
            o.holdMs = std::atof(argv[++i]);
        else if (!std::strcmp(argv[i], "--gap-ms"))
            o.gapMs = std::atof(argv[++i]);
    }
    if (command == "rss") {
        std::printf("rss_kb %lld\n", static_cast<long long>(probe::residentKb(o.pid)));
        std::printf("pss_kb %lld\n", static_cast<long long>(probe::rollupKb(o.pid, "Pss")));
        std::printf("anon_kb %lld\n", static_cast<long long>(probe::rollupKb(o.pid, "Anonymous")));
        return 0;
    }
    if (command == "idle") return idle(n, o);
    if (command == "startup") {
        if (!program || o.trace.empty() || pidFile.empty()) {
            std::fprintf(stderr, "velora_switch_probe: startup needs --trace, --pid-file and -- PROGRAM\n");
            return 2;
        }
        return startup(o, pidFile, log, program);
    }
    std::optional<Display> d = Display::open();
    if (!d) {
        std::fprintf(stderr, "velora_switch_probe: cannot open the display or find Alt and Tab\n");
        return 1;
    }
    if (command == "ready") return ready(*d, n);
    if (command == "quick") return quick(*d, int(n), o);
    if (command == "panel") return panel(*d, int(n), o);
    if (command == "switches") return switches(*d, int(n));
    std::fprintf(stderr, "velora_switch_probe: unknown command %s\n", command.c_str());
    return 2;
}
