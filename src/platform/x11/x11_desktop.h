#pragma once
// The X11 desktop: one connection to the X server, one event loop on its own thread, and the
// ports over them (accessibility, window server, workspace, input, sound, scripting). The
// main thread, HTTP and login items are not X11's: the program brings them, and platform()
// puts everything together for installPlatform().
//
//   std::string error;
//   auto desktop = X11Desktop::open(mainThread, error);
//   if (!desktop) { fprintf(stderr, "velora: %s\n", error.c_str()); return 1; }
//   desktop->setConnectionLostHandler([](const std::string& message) { ... end the program ... });
//   Platform ports = desktop->platform(&http, &loginItems);
//   installPlatform(&ports);
//
// See docs/x11.md for what each port operation does on X11.

#include <functional>
#include <memory>
#include <string>

#include "platform/platform.h"

namespace velora {

namespace x11 {
struct X11Context;
class EventLoop;
} // namespace x11

class X11Desktop {
  public:
    // Opens the display (DISPLAY when none is named) and reads the desktop as it is. Null,
    // with a message for the user in `error` (one line, without the program's name), when
    // the display cannot be opened.
    static std::unique_ptr<X11Desktop> open(MainThreadPort& mainThread, std::string& error,
                                            const char* displayName = nullptr);
    ~X11Desktop();
    X11Desktop(const X11Desktop&) = delete;
    X11Desktop& operator=(const X11Desktop&) = delete;

    AccessibilityPort& accessibility();
    WindowServerPort& windowServer();
    WorkspacePort& workspace();
    InputPort& input();
    SoundPort& sound();
    ScriptingPort& scripting();
    // Every port, with the main thread given to open() and the services given here.
    Platform platform(HttpPort* http, LoginItemsPort* loginItems);

    // Called once, on the event loop's thread, when the connection to the X server breaks,
    // with a message for the user (one line, without the program's name); every port then gives its neutral
    // answers. Set after the loss, it is called at once.
    void setConnectionLostHandler(std::function<void(const std::string& message)> handler);
    bool isConnected() const;
    // Ends the taps' run loops and wakes every waiting caller (the program is ending).
    void shutdown();
    // Returns once the event loop has handled every event the server sent before the call.
    bool sync(double timeoutSeconds = 5.0);

  private:
    X11Desktop();
    struct Ports;

    MainThreadPort* mainThread_ = nullptr;
    std::shared_ptr<x11::X11Context> context_;
    std::unique_ptr<x11::EventLoop> loop_;
    std::unique_ptr<Ports> ports_;
};

} // namespace velora
