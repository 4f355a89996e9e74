#pragma once
// VELORA_WAYLAND_TRACE=1 makes the Wayland backend log, on standard error, the bindings it
// gives the compositor, the keyboard hold and its requests (for diagnosis, and for tests
// that wait for the program to be ready).

namespace velora::wl {

__attribute__((format(printf, 1, 2))) void trace(const char* format, ...);

} // namespace velora::wl
