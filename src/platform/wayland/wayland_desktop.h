#pragma once
// The Wayland desktop on a wlroots compositor (sway through its IPC; others through their own
// key bindings running `velora --trigger`): one connection, one event thread, and the ports
// over them. Used like the X11 desktop:
//
//   WaylandDesktop::Failure failure;
//   auto desktop = WaylandDesktop::open(mainThread, failure, error);
//   desktop->setConnectionLostHandler(...);
//   Platform ports = desktop->platform(&http, &loginItems);
//
// See docs/wayland.md for what each port operation does here.

#include <functional>
#include <memory>
#include <string>

#include "platform/platform.h"

namespace velora {

namespace wl {
struct WlContext;
class WlSession;
} // namespace wl

class WaylandDesktop {
  public:
    enum class Failure { None, NoDisplay, Unsupported };
    // Connects to $WAYLAND_DISPLAY. Null with the reason and a message for the user (one
    // line, without the program's name) when there is no compositor or it is not one the
    // backend supports.
    static std::unique_ptr<WaylandDesktop> open(MainThreadPort& mainThread, Failure& failure,
                                                std::string& error);
    ~WaylandDesktop();
    WaylandDesktop(const WaylandDesktop&) = delete;
    WaylandDesktop& operator=(const WaylandDesktop&) = delete;

    Platform platform(HttpPort* http, LoginItemsPort* loginItems);

    // Called once, on the event thread, when the compositor goes away; every port then gives
    // its neutral answers. Set before the first event is read (open() does not start reading).
    void setConnectionLostHandler(std::function<void(const std::string& message)> handler);
    // Starts the event thread.
    void start();
    bool isConnected() const;
    // Removes the compositor bindings, gives the keyboard back and ends the taps.
    void shutdown();

  private:
    WaylandDesktop();
    struct Ports;
    MainThreadPort* mainThread_ = nullptr;
    std::shared_ptr<wl::WlContext> context_;
    std::unique_ptr<wl::WlSession> session_;
    std::unique_ptr<Ports> ports_;
};

} // namespace velora
