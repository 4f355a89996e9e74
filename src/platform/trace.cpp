#include "platform/trace.h"

#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace velora::trace {

namespace {

int traceFd() {
    static const int fd = [] {
        const char* value = std::getenv("VELORA_TRACE_FD");
        if (!value || !*value) return -1;
        char* end = nullptr;
        const long n = std::strtol(value, &end, 10);
        return *end == '\0' && n >= 0 && n < 1 << 20 ? int(n) : -1;
    }();
    return fd;
}

} // namespace

bool enabled() {
    return traceFd() >= 0;
}

void mark(const char* event) {
    if (traceFd() < 0) return;
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    value(event, static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
}

void value(const char* name, long long number) {
    const int fd = traceFd();
    if (fd < 0) return;
    char line[96];
    const int n = std::snprintf(line, sizeof line, "%s %lld\n", name, number);
    // One write per line, so lines from different threads never interleave.
    if (n > 0 && n < int(sizeof line)) (void)!::write(fd, line, std::size_t(n));
}

} // namespace velora::trace
