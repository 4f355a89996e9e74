#include "base/short_lived_threads.h"

namespace velora {

ShortLivedThreads::~ShortLivedThreads() {
    joinAll();
}

void ShortLivedThreads::start(std::function<void()> work) {
    std::vector<Entry> done;
    {
        std::lock_guard lock(mutex_);
        for (auto it = entries_.begin(); it != entries_.end();) {
            if (it->finished->load(std::memory_order_acquire)) {
                done.push_back(std::move(*it));
                it = entries_.erase(it);
            } else {
                ++it;
            }
        }
        auto finished = std::make_shared<std::atomic<bool>>(false);
        entries_.push_back({std::thread([work = std::move(work), finished] {
                                work();
                                finished->store(true, std::memory_order_release);
                            }),
                            finished});
    }
    // These have returned from their work; joining only collects them.
    for (Entry& entry : done)
        entry.thread.join();
}

void ShortLivedThreads::joinAll() {
    std::vector<Entry> all;
    {
        std::lock_guard lock(mutex_);
        all.swap(entries_);
    }
    for (Entry& entry : all)
        entry.thread.join();
}

size_t ShortLivedThreads::count() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

} // namespace velora
