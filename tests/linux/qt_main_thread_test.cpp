#include "platform/qt/qt_main_thread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

#include "support/wait.h"

namespace velora {
namespace {

// Turns the event loop until the condition holds; false after thirty seconds.
bool spinUntil(const std::function<bool()>& done) {
    return test::waitFor(done, std::chrono::seconds(30), [] { QCoreApplication::processEvents(); });
}

// Handed-over work runs on the main thread in each sender's order; a synchronous call
// returns after it ran, behind the sender's earlier asynchronous work.
TEST(QtMainThreadTest, WorkFromManyThreadsRunsOnTheMainThreadInEachSendersOrder) {
    QtMainThread main;
    constexpr int kThreads = 8, kItems = 200;
    std::vector<size_t> received(kThreads, 0); // touched on the main thread only
    std::atomic<int> faults{0}, finished{0};
    std::vector<std::thread> senders;
    for (int t = 0; t < kThreads; ++t)
        senders.emplace_back([&, t] {
            for (int i = 0; i < kItems; ++i) {
                main.performAsync([&, t, i] {
                    if (!main.isMainThread() || received[t] != size_t(i)) ++faults;
                    ++received[t];
                });
                if (i % 50 == 49) {
                    size_t seen = 0;
                    main.performSync([&] { seen = main.isMainThread() ? received[t] : 0; });
                    if (seen != size_t(i + 1)) ++faults;
                }
            }
            ++finished;
        });
    ASSERT_TRUE(spinUntil([&] { return finished == kThreads; }));
    for (auto& s : senders)
        s.join();
    EXPECT_EQ(faults, 0);
    EXPECT_EQ(received, std::vector<size_t>(kThreads, kItems));
}

// A modal alert runs a nested event loop inside handed-over work; work sent meanwhile must
// still reach the main thread, or a waiting thread would hang until the alert closes. On the
// main thread itself, synchronous work runs inline and asynchronous work at the next turn.
TEST(QtMainThreadTest, WorkArrivesWhileEarlierWorkRunsANestedEventLoop) {
    QtMainThread main;
    bool innerRan = false, outerDone = false, ranInline = false;
    main.performSync([&] { ranInline = true; });
    EXPECT_TRUE(ranInline);
    std::thread sender;
    main.performAsync([&] {
        QEventLoop nested;
        sender = std::thread([&] {
            main.performSync([&] {
                innerRan = true;
                nested.quit();
            });
        });
        nested.exec();
        outerDone = true;
    });
    EXPECT_FALSE(outerDone);
    ASSERT_TRUE(spinUntil([&] { return outerDone; }));
    sender.join();
    EXPECT_TRUE(innerRan);
}

// Timers never fire inline, even at zero seconds; set or invalidated from another
// thread, they fire on the main thread or not at all.
TEST(QtMainThreadTest, TimersFireOnTheMainThreadUnlessInvalidated) {
    QtMainThread main;
    std::atomic<int> fired{0}, offMain{0};
    TimerRef zero = main.scheduleTimer(0, [&] { ++fired; });
    TimerRef fromThread, cancelled = main.scheduleTimer(0.05, [&] { fired += 100; });
    std::thread([&] {
        fromThread = main.scheduleTimer(0.01, [&] {
            if (!main.isMainThread()) ++offMain;
            ++fired;
        });
        cancelled->invalidate();
    }).join();
    EXPECT_EQ(fired, 0);
    ASSERT_TRUE(spinUntil([&] { return fired >= 2; }));
    std::atomic<bool> later{false}; // due after the cancelled timer, so its time has passed
    TimerRef marker = main.scheduleTimer(0.06, [&] { later = true; });
    ASSERT_TRUE(spinUntil([&] { return later.load(); }));
    EXPECT_EQ(fired, 2);
    EXPECT_EQ(offMain, 0);
    EXPECT_FALSE(zero->isValid() || fromThread->isValid() || cancelled->isValid());
}

// A wake-up ends the sleeps that asked for one, also one counted before the sleep began.
// Shutdown ends every sleep and releases a thread waiting in performSync on an event loop
// that no longer turns, without running its work later (its captures may be gone).
TEST(QtMainThreadTest, WakeUpsEndTheSleepsThatAskForThemAndShutdownReleasesEveryWait) {
    QtMainThread main;
    const uint64_t seen = main.wakeCount();
    std::atomic<bool> woken{false};
    std::thread waker([&] { woken = main.sleepUnlessWoken(3600, seen); });
    ASSERT_TRUE(spinUntil([&] { return main.waitingThreads() == 1; }));
    main.wakeSleepers();
    waker.join();
    EXPECT_TRUE(woken);
    EXPECT_TRUE(main.sleepUnlessWoken(3600, seen)); // woken since `seen`: returns at once

    std::atomic<bool> slept{true}, ran{false};
    std::thread sleeper([&] { slept = main.sleepFor(3600); });
    std::thread waiter([&] { main.performSync([&] { ran = true; }); });
    // Both are waiting; the event loop does not turn meanwhile.
    ASSERT_TRUE(test::waitFor([&] { return main.waitingThreads() == 2; }));
    main.shutdown();
    sleeper.join();
    waiter.join();
    EXPECT_FALSE(slept);
    EXPECT_FALSE(main.sleepFor(3600));
    std::atomic<bool> behind{false};
    main.performAsync([&] { behind = true; }); // queued behind the dropped work
    ASSERT_TRUE(spinUntil([&] { return behind.load(); }));
    EXPECT_FALSE(ran);
}

} // namespace
} // namespace velora
