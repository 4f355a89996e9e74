#pragma once
// The one wait of the tests: polls until the condition holds, running `between` (an event
// loop's pump, say) before each look; false when the time is up.

#include <chrono>
#include <functional>
#include <thread>

namespace velora::test {

inline bool waitFor(const std::function<bool()>& condition,
                    std::chrono::milliseconds timeout = std::chrono::seconds(30),
                    const std::function<void()>& between = {}) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (between) between();
        if (condition()) return true;
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

} // namespace velora::test
