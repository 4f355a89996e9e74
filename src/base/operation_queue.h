#pragma once
// A queue of background operations on a small pool of std::threads, with cancellation.
//
// - addOperation() queues an operation; up to maxConcurrent run at once, in the order added.
// - cancelAllOperations() marks every queued and running operation cancelled. Queued ones are
//   dropped at once and never run (their isFinished() stays false: nobody waits for them);
//   running ones see isCancelled() at their next check and finish early.
// - The queue holds an operation from addOperation() until it has run or been dropped.
// - The destructor cancels everything and joins the worker threads.
//
// All members are safe to call from any thread.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace velora {

class Operation {
  public:
    virtual ~Operation() = default;

    void cancel() { cancelled_.store(true, std::memory_order_release); }
    bool isCancelled() const { return cancelled_.load(std::memory_order_acquire); }
    bool isFinished() const { return finished_.load(std::memory_order_acquire); }
    void setIsFinished(bool finished) { finished_.store(finished, std::memory_order_release); }

    // The work, on one of the queue's threads. Checks isCancelled() where stopping early pays.
    virtual void main() = 0;

  private:
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> finished_{false};
};

using OperationRef = std::shared_ptr<Operation>;

class OperationQueue {
  public:
    // The platform's default: one thread per processor, at least two.
    static unsigned defaultMaxConcurrent();

    explicit OperationQueue(unsigned maxConcurrent = defaultMaxConcurrent());
    ~OperationQueue();
    OperationQueue(const OperationQueue&) = delete;
    OperationQueue& operator=(const OperationQueue&) = delete;

    void addOperation(OperationRef operation);
    void cancelAllOperations();
    // Queued plus running operations.
    std::size_t operationCount() const;
    // Blocks until nothing is queued or running. Not for the threads of this queue.
    void waitUntilAllOperationsAreFinished();

  private:
    void work();

    const unsigned maxConcurrent_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<OperationRef> pending_;
    std::vector<OperationRef> running_;
    std::vector<std::thread> workers_;
    unsigned idleWorkers_ = 0;
    std::size_t finishing_ = 0; // run, not yet let go of
    bool stopping_ = false;
};

} // namespace velora
