#include "platform/qt/qt_main_thread.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace velora {

namespace {

// A one-shot timer: valid until it fires or is invalidated. The work is handed to the main
// thread with the timer and touched only there.
class QtTimer final : public Timer {
  public:
    explicit QtTimer(std::function<void()> work) : work_(std::move(work)) {}

    bool isValid() const override { return valid_.load(); }
    void invalidate() override { valid_.store(false); }

    // Main thread only.
    void fire() {
        auto work = std::move(work_);
        work_ = nullptr;
        if (valid_.exchange(false) && work) work();
    }

  private:
    std::atomic<bool> valid_{true};
    std::function<void()> work_;
};

// Whole milliseconds, rounded up so that a timer never fires early.
int timerMilliseconds(double seconds) {
    if (!(seconds > 0.0)) return 0; // also NaN
    double ms = std::ceil(seconds * 1000.0);
    return ms >= double(INT_MAX) ? INT_MAX : int(ms);
}

void startQtTimer(QObject* context, const std::shared_ptr<QtTimer>& timer, int milliseconds) {
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, context, [timer] { timer->fire(); });
}

} // namespace

// One performSync hand-off. Its state is guarded by the port's mutex.
struct QtMainThread::SyncJob {
    enum class State { pending, running, done, dropped };
    State state = State::pending;
};

QtMainThread::QtMainThread() : mainThreadId_(std::this_thread::get_id()) {
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0) {
        // Without its wake-up the main thread would never see handed-over work.
        std::perror("velora: eventfd");
        std::abort();
    }
    notifier_ = std::make_unique<QSocketNotifier>(wakeFd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] {
        eventfd_t ignored = 0;
        eventfd_read(wakeFd_, &ignored);
        drainQueue();
    });
}

QtMainThread::~QtMainThread() {
    shutdown();
    notifier_.reset(); // also ends timers, whose context it is
    ::close(wakeFd_);
}

bool QtMainThread::isMainThread() const {
    return std::this_thread::get_id() == mainThreadId_;
}

void QtMainThread::performAsync(std::function<void()> work) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(work));
    }
    eventfd_write(wakeFd_, 1);
}

// One item at a time, so that work which runs a nested event loop (a modal alert) lets the
// items behind it run from the nested loop.
void QtMainThread::drainQueue() {
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) return;
            work = std::move(queue_.front());
            queue_.pop_front();
        }
        if (work) work();
    }
}

void QtMainThread::performSync(std::function<void()> work) {
    if (isMainThread()) {
        if (work) work();
        return;
    }
    auto job = std::make_shared<SyncJob>();
    performAsync([this, job, work = std::move(work)] {
        {
            std::lock_guard lock(mutex_);
            if (job->state == SyncJob::State::dropped) return;
            job->state = SyncJob::State::running;
        }
        if (work) work();
        {
            std::lock_guard lock(mutex_);
            job->state = SyncJob::State::done;
        }
        syncFinished_.notify_all();
    });
    std::unique_lock lock(mutex_);
    ++waiting_;
    syncFinished_.wait(lock, [&] {
        return job->state == SyncJob::State::done ||
               (job->state == SyncJob::State::pending && shuttingDown_.load());
    });
    --waiting_;
    if (job->state == SyncJob::State::pending) job->state = SyncJob::State::dropped;
}

TimerRef QtMainThread::scheduleTimer(double seconds, std::function<void()> work) {
    auto timer = std::make_shared<QtTimer>(std::move(work));
    int ms = timerMilliseconds(seconds);
    if (isMainThread()) {
        startQtTimer(notifier_.get(), timer, ms);
    } else {
        performAsync([this, timer, ms] { startQtTimer(notifier_.get(), timer, ms); });
    }
    return timer;
}

bool QtMainThread::sleepFor(double seconds) {
    std::unique_lock lock(mutex_);
    if (seconds > 0.0) {
        // Capped (about three years) so that the deadline cannot overflow the clock.
        auto duration = std::chrono::duration<double>(std::min(seconds, 1.0e8));
        ++waiting_;
        shutdownSignal_.wait_for(lock, duration, [&] { return shuttingDown_.load(); });
        --waiting_;
    }
    return !shuttingDown_.load();
}

uint64_t QtMainThread::wakeCount() const {
    return wakes_.load();
}

void QtMainThread::wakeSleepers() {
    {
        // Under the lock, so that no sleeper can miss the change between its check and its wait.
        std::lock_guard lock(mutex_);
        wakes_.fetch_add(1);
    }
    shutdownSignal_.notify_all();
}

bool QtMainThread::sleepUnlessWoken(double seconds, uint64_t seenWakeCount) {
    std::unique_lock lock(mutex_);
    if (seconds > 0.0) {
        auto duration = std::chrono::duration<double>(std::min(seconds, 1.0e8));
        ++waiting_;
        shutdownSignal_.wait_for(lock, duration,
                                 [&] { return shuttingDown_.load() || wakes_.load() != seenWakeCount; });
        --waiting_;
    }
    return !shuttingDown_.load();
}

double QtMainThread::now() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int QtMainThread::waitingThreads() const {
    return waiting_.load();
}

bool QtMainThread::isShuttingDown() const {
    return shuttingDown_.load();
}

void QtMainThread::shutdown() {
    {
        // Under the lock, so that no waiter can miss the change between its check and its wait.
        std::lock_guard lock(mutex_);
        shuttingDown_.store(true);
    }
    syncFinished_.notify_all();
    shutdownSignal_.notify_all();
}

} // namespace velora
