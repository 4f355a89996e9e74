#include "platform/platform.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace velora {

namespace {
// Written once at start-up before other threads exist; atomic so that the read on any
// thread is well defined.
std::atomic<const Platform*> installed{nullptr};
} // namespace

void installPlatform(const Platform* ports) {
    installed.store(ports, std::memory_order_release);
}

bool hasPlatform() {
    return installed.load(std::memory_order_acquire) != nullptr;
}

const Platform& platform() {
    const Platform* p = installed.load(std::memory_order_acquire);
    if (!p) {
        std::fputs("velora: no desktop backend installed\n", stderr);
        std::abort();
    }
    return *p;
}

} // namespace velora
