#include "platform/qt/qt_main_thread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <map>
#include <numeric>
#include <thread>
#include <vector>

namespace velora {
namespace {

// Turns the event loop until the condition holds; false after thirty seconds.
template <typename Condition> bool spinUntil(Condition done) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

void spinFor(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// Handed-over work runs on the main thread in each sender's order; a synchronous call
// returns after it ran, behind the sender's earlier asynchronous work.
TEST(QtMainThreadTest, WorkFromManyThreadsRunsOnTheMainThreadInEachSendersOrder) {
    QtMainThread main;
    constexpr int kThreads = 8, kItems = 200;
    std::map<int, std::vector<int>> received; // touched on the main thread only
    std::atomic<int> offMain{0}, outOfOrder{0}, finished{0};
    std::vector<std::thread> senders;
    for (int t = 0; t < kThreads; ++t)
        senders.emplace_back([&, t] {
            for (int i = 0; i < kItems; ++i) {
                main.performAsync([&, t, i] {
                    if (!main.isMainThread()) ++offMain;
                    received[t].push_back(i);
                });
                if (i % 50 == 49) {
                    size_t seen = 0;
                    main.performSync([&] { seen = main.isMainThread() ? received[t].size() : 0; });
                    if (seen != size_t(i + 1)) ++outOfOrder;
                }
            }
            ++finished;
        });
    ASSERT_TRUE(spinUntil([&] { return finished == kThreads; }));
    for (auto& s : senders) s.join();
    EXPECT_EQ(offMain, 0);
    EXPECT_EQ(outOfOrder, 0);
    for (int t = 0; t < kThreads; ++t) {
        std::vector<int> expected(kItems);
        std::iota(expected.begin(), expected.end(), 0);
        EXPECT_EQ(received[t], expected) << "sender " << t;
    }
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

TEST(QtMainThreadTest, TimersFireOnTheMainThreadUnlessInvalidated) {
    QtMainThread main;
    std::atomic<int> fired{0}, offMain{0};
    auto count = [&] {
        if (!main.isMainThread()) ++offMain;
        ++fired;
    };
    TimerRef zero = main.scheduleTimer(0, count);
    TimerRef later = main.scheduleTimer(0.05, count);
    TimerRef cancelled = main.scheduleTimer(0.05, [&] { fired += 100; });
    TimerRef fromThread;
    std::thread([&] { fromThread = main.scheduleTimer(0.01, count); }).join();
    TimerRef cancelledFromThread = main.scheduleTimer(0.05, [&] { fired += 100; });
    const double start = main.now();
    std::atomic<double> measuredAt{0};
    main.scheduleTimer(0.0301, [&] { measuredAt = main.now(); });
    EXPECT_EQ(fired, 0); // never inline, even at zero seconds
    EXPECT_TRUE(cancelled->isValid());
    cancelled->invalidate();
    std::thread([&] { cancelledFromThread->invalidate(); }).join();
    EXPECT_FALSE(cancelled->isValid());

    ASSERT_TRUE(spinUntil([&] { return fired >= 3 && measuredAt > 0; }));
    EXPECT_GE(measuredAt - start, 0.030) << "interval cut short";
    spinFor(150); // the cancelled timers' time has passed
    EXPECT_EQ(fired, 3);
    EXPECT_EQ(offMain, 0);
    for (const TimerRef& done : {zero, later, fromThread}) EXPECT_FALSE(done->isValid());
    zero->invalidate(); // harmless after firing
}

// A wake-up ends the sleeps that asked for one (also one counted before the sleep began)
// and leaves plain sleeps alone; shutdown ends every sleep, and later ones fail at once.
TEST(QtMainThreadTest, WakeUpsEndOnlySleepsThatAskForThemAndShutdownEndsAll) {
    QtMainThread main;
    EXPECT_TRUE(main.sleepFor(0.001));
    const uint64_t seen = main.wakeCount();
    std::atomic<int> woken{-1}, slept{-1};
    std::atomic<double> plainSlept{0};
    std::thread waker([&] { woken = main.sleepUnlessWoken(3600, seen) ? 1 : 0; });
    std::thread plain([&] {
        const double start = main.now();
        main.sleepFor(0.2);
        plainSlept = main.now() - start;
    });
    spinFor(20);
    main.wakeSleepers();
    waker.join();
    plain.join();
    EXPECT_EQ(woken, 1);
    EXPECT_GE(plainSlept.load(), 0.2);
    EXPECT_TRUE(main.sleepUnlessWoken(3600, seen)); // woken since `seen`: returns at once

    std::thread sleeper([&] { slept = main.sleepFor(3600) ? 1 : 0; });
    spinFor(20);
    main.shutdown();
    sleeper.join();
    EXPECT_EQ(slept, 0);
    EXPECT_TRUE(main.isShuttingDown());
    EXPECT_FALSE(main.sleepFor(3600));
    EXPECT_FALSE(main.sleepUnlessWoken(3600, main.wakeCount()));
}

// A thread winding down must not wait on an event loop that no longer turns, and work it
// handed over must not run after it returned (its captures may be gone).
TEST(QtMainThreadTest, ShutdownReleasesAWaitingPerformSyncAndDropsItsWork) {
    QtMainThread main;
    std::atomic<bool> returned{false}, ran{false};
    std::thread waiter([&] {
        main.performSync([&] { ran = true; });
        returned = true;
    });
    // The event loop does not turn while the waiter waits.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    main.shutdown();
    waiter.join();
    EXPECT_TRUE(returned);
    spinFor(20);
    EXPECT_FALSE(ran);
}

} // namespace
} // namespace velora
