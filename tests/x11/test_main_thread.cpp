#include "test_main_thread.h"

namespace velora::test {

void TestMainThread::performSync(std::function<void()> work) {
    if (isMainThread()) {
        work();
        return;
    }
    std::mutex m;
    std::condition_variable done;
    bool finished = false;
    performAsync([&] {
        work();
        std::lock_guard lock(m);
        finished = true;
        done.notify_all();
    });
    std::unique_lock lock(m);
    done.wait(lock, [&] { return finished; });
}

int TestMainThread::pump() {
    int ran = 0;
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) return ran;
            work = std::move(queue_.front());
            queue_.pop_front();
        }
        work();
        ++ran;
    }
}

} // namespace velora::test
