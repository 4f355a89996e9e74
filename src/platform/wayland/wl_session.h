#pragma once
// The connection to the Wayland compositor and its one event thread. The thread owns every
// Wayland object: it follows the foreign toplevels into the window table, reads the
// compositor's "binding" events, and holds the keyboard through a small overlay layer
// surface while a switch runs. Other threads ask it for work (activate, close, minimise,
// give the keyboard back) through a queue that wakes its poll.
//
// Supported: compositors that offer zwlr_foreign_toplevel_manager_v1 and zwlr_layer_shell_v1.
// With sway's IPC ($SWAYSOCK) each window's pid and rectangle are known and the hot keys are
// bindings added at run time; without it windows are grouped by app_id and the hot keys come
// from the compositor's own bindings running `velora --trigger` (pressBoundKey).

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QImage>

#include "platform/geometry.h"
#include "platform/panel_surface.h"

namespace velora::wl {

struct WlContext;

class WlSession {
  public:
    enum class Failure { None, NoDisplay, Unsupported };
    // Connects and reads the compositor's globals and windows. Null with a reason and a
    // message (one line) when there is no compositor, or it lacks what the backend needs.
    static std::unique_ptr<WlSession> connect(WlContext& context, Failure& failure, std::string& error);
    ~WlSession();
    WlSession(const WlSession&) = delete;
    WlSession& operator=(const WlSession&) = delete;

    void start();
    // Ends the event thread (the program is ending); the keyboard is given back first.
    void stop();

    // Any thread.
    void activate(uint32_t number);
    void close(uint32_t number);
    void setMinimized(uint32_t number, bool minimized);
    void releaseKeyboard();
    // A binding of the compositor fired for the key (a trigger): as sway's binding event.
    void pressBoundKey(int64_t keyCode, uint64_t modifiers);
    // The switch panel on its overlay surface (wl_panel_layer.h): shows or replaces the image,
    // over the whole output when it covers it, or takes it away.
    void showPanel(const QImage& image, bool coverOutput);
    void hidePanel();
    // Who hears the primary button and the wheel on the panel's surface
    // (platform/panel_surface.h); called on the event thread, never again once this returns.
    void setPanelPointerHandler(std::function<void(const PanelPointerEvent&)> handler);
    // The window's picture from the reading of the screen when the switch began
    // (wl_screen_capture.h), and the version of the last reading that saw it.
    QImage windowPicture(uint32_t number, Size size);
    std::optional<uint64_t> windowPictureVersion(uint32_t number);
    // The scale the compositor gives the named output (wl_output.scale); 0 when unknown.
    int outputScale(const std::string& name);
    // The output of the activated window (else the first output), from wl_output alone.
    std::optional<PanelOutput> focusedOutput();
    // Called once, on the event thread, when the compositor goes away.
    void setLostHandler(std::function<void(const std::string&)> handler);

    struct State;

  private:
    explicit WlSession(WlContext& context);
    std::unique_ptr<State> s_;
};

} // namespace velora::wl
