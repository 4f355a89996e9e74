#pragma once
// The one X event loop of the backend, on a thread of its own. It keeps the cache current
// (root properties, managed windows and their properties, frames, pop-ups), names the frames'
// pixmaps, answers pings, turns keyboard events into key events for the taps, and announces
// windows and applications that come and go. When the connection breaks it says so once,
// through the handler, and the desktop goes quiet: the cache empties, taps end, waiters wake.

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/x11/x11_client.h"
#include "platform/x11/x11_context.h"
#include "platform/x11/x11_key_tracker.h"

namespace velora::x11 {

class EventLoop {
  public:
    explicit EventLoop(std::shared_ptr<X11Context> context);
    ~EventLoop();
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    // Reads the desktop as it is, then starts the thread.
    void start();
    // Ends the thread (the connection stays open).
    void stop();
    // Returns once every event the server had sent before the call has been handled; false
    // when the loop does not run.
    bool sync(double timeoutSeconds = 5.0);
    // Called once, on the loop's thread, with a message for the user. Set before start() or
    // later; set after the loss, it is called at once.
    void setConnectionLostHandler(std::function<void(const std::string&)> handler);

  private:
    void run();
    void handle(const xcb_generic_event_t* event);
    void connectionLost();

    void readRoot();
    void onRootProperty(xcb_atom_t atom);
    void onClientProperty(xcb_window_t window, xcb_atom_t atom);
    void refreshClientList();
    void addClient(xcb_window_t window);
    void removeClient(xcb_window_t window);
    // Retires the applications that no longer own a managed window.
    void updateApplications();
    void onRootChildMapped(xcb_window_t window, bool overrideRedirect);
    // Names the window's pixmap again.
    void refreshPicture(xcb_window_t window);
    void readExistingRootChildren();
    void onKey(bool press, uint8_t keycode, uint32_t time);
    void onXkb(const xcb_generic_event_t* event);
    void onGeneric(const xcb_generic_event_t* event);
    void keyboardChanged();
    void deliver(const std::vector<KeyEvent>& events);
    void selectInput();

    std::shared_ptr<X11Context> context_;
    X11Context& x_;
    ClientReader reader_;
    KeyTracker tracker_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    uint64_t focusChangesSeen_ = 0; // the event thread's own

    std::mutex mutex_;
    std::condition_variable synced_;
    uint32_t syncSent_ = 0, syncSeen_ = 0;                // guarded by mutex_
    bool running_ = false;                                // guarded by mutex_
    bool lostReported_ = false;                           // guarded by mutex_
    std::string lostMessage_;                             // guarded by mutex_
    std::function<void(const std::string&)> lostHandler_; // guarded by mutex_
};

} // namespace velora::x11
