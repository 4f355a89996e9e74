// The picture queue: cancellation before and during a run, and shutdown.
#include <gtest/gtest.h>

#include <condition_variable>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

#include "panel/operation_queue.h"

namespace velora {
namespace {

// An operation that runs a function; a gate can hold it inside main().
class FunctionOperation final : public Operation {
public:
    explicit FunctionOperation(std::function<void(FunctionOperation&)> work) : work_(std::move(work)) {}
    void main() override {
        started.store(true);
        work_(*this);
        setIsFinished(true);
    }
    std::atomic<bool> started{false};

private:
    std::function<void(FunctionOperation&)> work_;
};

class Gate {
public:
    void open() {
        std::lock_guard lock(m_);
        open_ = true;
        cv_.notify_all();
    }
    void wait() {
        std::unique_lock lock(m_);
        cv_.wait(lock, [&] { return open_; });
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    bool open_ = false;
};

TEST(OperationQueueTest, CancelledBeforeItRunsNeverRunsAndTheRunningOneSeesTheCancel) {
    OperationQueue queue(1);
    Gate entered, release;
    std::atomic<bool> sawCancel{false};
    auto running = std::make_shared<FunctionOperation>([&](FunctionOperation& self) {
        entered.open();
        release.wait();
        sawCancel.store(self.isCancelled());
    });
    auto waiting = std::make_shared<FunctionOperation>([](FunctionOperation&) {});
    queue.addOperation(running);
    queue.addOperation(waiting);
    entered.wait();
    EXPECT_EQ(queue.operationCount(), 2u);

    queue.cancelAllOperations();
    EXPECT_EQ(queue.operationCount(), 1u); // the waiting one is dropped at once
    release.open();
    queue.waitUntilAllOperationsAreFinished();

    EXPECT_TRUE(sawCancel.load());
    EXPECT_TRUE(running->isFinished());
    EXPECT_FALSE(waiting->started.load());
    EXPECT_FALSE(waiting->isFinished()); // nobody waits for a dropped operation
    EXPECT_TRUE(waiting->isCancelled());
}

TEST(OperationQueueTest, DestructionCancelsTheRunningOperationAndDropsTheQueuedOnes) {
    auto never = std::make_shared<FunctionOperation>([](FunctionOperation&) {});
    std::shared_ptr<FunctionOperation> running;
    Gate entered;
    {
        OperationQueue queue(1);
        running = std::make_shared<FunctionOperation>([&](FunctionOperation& self) {
            entered.open();
            while (!self.isCancelled()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
        queue.addOperation(running);
        queue.addOperation(never);
        entered.wait();
    }
    EXPECT_TRUE(running->isFinished());
    EXPECT_FALSE(never->started.load());
    EXPECT_TRUE(never->isCancelled());
}

} // namespace
} // namespace velora
