#include "probe_process.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace probe {

int64_t processCpuNs(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line)) return -1;
    // The command name may hold spaces and parentheses: fields start after the last ')'.
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(line.substr(close + 2));
    std::string field;
    long long utime = 0, stime = 0;
    for (int i = 3; fields >> field; ++i) {
        if (i == 14) utime = std::stoll(field);
        if (i == 15) {
            stime = std::stoll(field);
            break;
        }
    }
    const long ticks = ::sysconf(_SC_CLK_TCK);
    return (utime + stime) * (1000000000LL / (ticks > 0 ? ticks : 100));
}

int64_t liveThreadsCpuNs(pid_t pid) {
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = ::opendir(tasks.c_str());
    if (!dir) return -1;
    int64_t sum = 0;
    while (dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        std::ifstream in(tasks + "/" + entry->d_name + "/schedstat");
        long long onCpu = 0;
        if (in >> onCpu) sum += onCpu;
    }
    ::closedir(dir);
    return sum;
}

int64_t residentKb(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stoll(line.substr(6));
    return -1;
}

int64_t rollupKb(pid_t pid, const char* field) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/smaps_rollup");
    const std::string prefix = std::string(field) + ":";
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(prefix, 0) == 0) return std::stoll(line.substr(prefix.size()));
    return -1;
}

} // namespace probe
