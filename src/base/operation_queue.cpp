#include "base/operation_queue.h"

#include <algorithm>

namespace velora {

unsigned OperationQueue::defaultMaxConcurrent() {
    return std::max(2u, std::thread::hardware_concurrency());
}

OperationQueue::OperationQueue(unsigned maxConcurrent) : maxConcurrent_(std::max(1u, maxConcurrent)) {}

OperationQueue::~OperationQueue() {
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (const OperationRef& op : pending_)
            op->cancel();
        for (const OperationRef& op : running_)
            op->cancel();
        pending_.clear();
        workers.swap(workers_);
    }
    changed_.notify_all();
    for (std::thread& t : workers)
        t.join();
}

void OperationQueue::addOperation(OperationRef operation) {
    if (!operation) return;
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        pending_.push_back(std::move(operation));
        // Threads are started as work comes, up to the limit, and then kept.
        if (idleWorkers_ == 0 && workers_.size() < maxConcurrent_) workers_.emplace_back([this] { work(); });
    }
    changed_.notify_one();
}

void OperationQueue::cancelAllOperations() {
    std::deque<OperationRef> dropped;
    {
        std::lock_guard lock(mutex_);
        for (const OperationRef& op : running_)
            op->cancel();
        for (const OperationRef& op : pending_)
            op->cancel();
        dropped.swap(pending_);
    }
    changed_.notify_all();
    // The dropped operations are freed here, outside the lock.
}

std::size_t OperationQueue::operationCount() const {
    std::lock_guard lock(mutex_);
    return pending_.size() + running_.size() + finishing_;
}

void OperationQueue::waitUntilAllOperationsAreFinished() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return pending_.empty() && running_.empty() && finishing_ == 0; });
}

void OperationQueue::work() {
    std::unique_lock lock(mutex_);
    while (true) {
        ++idleWorkers_;
        changed_.wait(lock, [&] { return stopping_ || !pending_.empty(); });
        --idleWorkers_;
        if (stopping_) return;
        OperationRef op = std::move(pending_.front());
        pending_.pop_front();
        running_.push_back(op);
        lock.unlock();
        if (!op->isCancelled()) op->main();
        lock.lock();
        running_.erase(std::find(running_.begin(), running_.end(), op));
        // Let go of the operation (and what it holds) before waiters hear that it is done.
        ++finishing_;
        lock.unlock();
        op.reset();
        lock.lock();
        --finishing_;
        changed_.notify_all();
    }
}

} // namespace velora
