#include "platform/wayland/wl_trace.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace velora::wl {

namespace {

bool tracing() {
    static const bool on = [] {
        const char* v = std::getenv("VELORA_WAYLAND_TRACE");
        return v && *v && *v != '0';
    }();
    return on;
}

} // namespace

void trace(const char* format, ...) {
    if (!tracing()) return;
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    // Milliseconds of the steady clock: the order and distance of events across threads.
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count();
    std::fprintf(stderr, "velora-wayland: %lld.%03lld %s\n", static_cast<long long>(ms / 1000),
                 static_cast<long long>(ms % 1000), line);
    std::fflush(stderr);
}

} // namespace velora::wl
