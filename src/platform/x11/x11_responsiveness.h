#pragma once
// Whether an application answers, within its messaging time-out. X has no request that an
// application must answer, so the backend asks in the two ways it has:
//  - a process of this machine that is stopped (a stop signal, a debugger) answers nothing;
//  - a client that lists _NET_WM_PING in WM_PROTOCOLS is pinged and must send the ping back.
// A client that does not list it is never pinged (some close when sent one). A recent answer
// stands for a short while, so that a burst of questions costs one ping; an unanswered ping
// makes later questions fail at once until a fresh ping is due. No caller waits longer than
// the time-out.

#include <sys/types.h>
#include <xcb/xcb.h>

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "platform/accessibility.h"
#include "platform/x11/x11_window_actions.h"

namespace velora::x11 {

class Responsiveness {
  public:
    // `clock` gives the time in seconds (the main thread's clock; a test's own).
    Responsiveness(const WindowActions& actions, std::function<double()> clock)
        : actions_(actions), now_(std::move(clock)) {}

    static constexpr float kDefaultTimeout = 0.2f;
    // An answer counts for this long (seconds).
    static constexpr double kAnswerStandsFor = 0.5;
    // An unanswered ping is sent again after this long.
    static constexpr double kPingAgainAfter = 1.0;
    // A process seen not stopped counts as such this long for KnownOnly questions (the
    // focused-window poll asks five times a second; each read of /proc costs a file open).
    static constexpr double kStateStandsFor = 0.5;

    // pid 0 sets the time-out of every application; a time-out of 0 or less restores the default.
    void setTimeout(pid_t pid, float seconds);
    float timeout(pid_t pid) const;

    enum class Mode {
        MayPing,   // may ping and wait up to the time-out
        KnownOnly, // answers from what is known already (stopped, an unanswered ping)
    };
    // Success, or CannotComplete for an application that does not answer. `pingable` are the
    // application's windows that list _NET_WM_PING. Never called on the event loop's thread.
    AXError check(pid_t pid, const std::vector<xcb_window_t>& pingable, Mode mode);

    // A ping came back (event loop).
    void answered(xcb_window_t window);
    // A window has gone.
    void forget(xcb_window_t window);
    // Wakes every waiter; later checks do not wait.
    void shutdown();

  private:
    bool stopped(pid_t pid, Mode mode);

    struct Ping {
        double sentAt = -1;
        double answeredAt = -1;
        bool outstanding() const { return sentAt > answeredAt; }
    };

    const WindowActions& actions_;
    const std::function<double()> now_;
    mutable std::mutex mutex_;
    std::condition_variable answer_;
    std::map<xcb_window_t, Ping> pings_;
    float defaultTimeout_ = kDefaultTimeout;
    std::map<pid_t, float> timeouts_;
    std::map<pid_t, double> runningSeenAt_; // last read of /proc that found the process not stopped
    uint32_t nextToken_ = 1;
    bool down_ = false;
};

} // namespace velora::x11
