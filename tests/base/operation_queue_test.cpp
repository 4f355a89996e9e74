// The picture queue's shutdown; cancelling through the queue is tested with real grabs
// (grab_image_test.cpp).
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <thread>

#include "base/operation_queue.h"

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

TEST(OperationQueueTest, DestructionCancelsTheRunningOperationAndDropsTheQueuedOnes) {
    auto never = std::make_shared<FunctionOperation>();
    std::shared_ptr<FunctionOperation> running;
    {
        OperationQueue queue(1);
        std::promise<void> entered;
        running = std::make_shared<FunctionOperation>([&](FunctionOperation& self) {
            entered.set_value();
            while (!self.isCancelled())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
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
