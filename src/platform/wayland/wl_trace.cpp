#include "platform/wayland/wl_trace.h"

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
    std::fprintf(stderr, "velora-wayland: %s\n", line);
    std::fflush(stderr);
}

} // namespace velora::wl
