// The picture queue: cancellation before and during a run, and shutdown.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <thread>

#include "panel/operation_queue.h"

namespace velora {
namespace {

// An operation that runs a function.
class FunctionOperation final : public Operation {
public:
    explicit FunctionOperation(std::function<void(FunctionOperation&)> work = {}) : work_(std::move(work)) {}
    void main() override {
        started.store(true);
        if (work_) work_(*this);
        setIsFinished(true);
    }
    std::atomic<bool> started{false};

private:
    std::function<void(FunctionOperation&)> work_;
};

TEST(OperationQueueTest, CancelledBeforeItRunsNeverRunsAndTheRunningOneSeesTheCancel) {
    OperationQueue queue(1);
    std::promise<void> entered, release;
    std::atomic<bool> sawCancel{false};
    auto running = std::make_shared<FunctionOperation>([&](FunctionOperation& self) {
        entered.set_value();
        release.get_future().wait();
        sawCancel.store(self.isCancelled());
    });
    auto waiting = std::make_shared<FunctionOperation>();
    queue.addOperation(running);
    queue.addOperation(waiting);
    entered.get_future().wait();
    EXPECT_EQ(queue.operationCount(), 2u);

    queue.cancelAllOperations();
    EXPECT_EQ(queue.operationCount(), 1u); // the waiting one is dropped at once
    release.set_value();
    queue.waitUntilAllOperationsAreFinished();

    EXPECT_TRUE(sawCancel.load());
    EXPECT_TRUE(running->isFinished());
    EXPECT_FALSE(waiting->started.load());
    EXPECT_FALSE(waiting->isFinished()); // nobody waits for a dropped operation
    EXPECT_TRUE(waiting->isCancelled());
}

TEST(OperationQueueTest, DestructionCancelsTheRunningOperationAndDropsTheQueuedOnes) {
    auto never = std::make_shared<FunctionOperation>();
    std::shared_ptr<FunctionOperation> running;
    {
        OperationQueue queue(1);
        std::promise<void> entered;
        running = std::make_shared<FunctionOperation>([&](FunctionOperation& self) {
            entered.set_value();
            while (!self.isCancelled()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
        queue.addOperation(running);
        queue.addOperation(never);
        entered.get_future().wait();
    }
    EXPECT_TRUE(running->isFinished());
    EXPECT_FALSE(never->started.load());
    EXPECT_TRUE(never->isCancelled());
}

} // namespace
} // namespace velora
