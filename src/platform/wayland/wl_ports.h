#pragma once
// The ports of the Wayland desktop over the shared context (see docs/wayland.md for the
// mapping of each operation).

#include <memory>

#include "platform/accessibility.h"
#include "platform/input.h"
#include "platform/linux/linux_workspace.h"
#include "platform/panel_surface.h"
#include "platform/services.h"
#include "platform/window_server.h"
#include "platform/workspace.h"

namespace velora::wl {

struct WlContext;
struct WlWindow;

class WlAccessibility final : public AccessibilityPort {
  public:
    explicit WlAccessibility(std::shared_ptr<WlContext> context) : w_(std::move(context)) {}
    bool isAPIEnabled() override;
    AXError setMessagingTimeout(const AXElement& element, float seconds) override;
    AXElement createSystemWide() override;
    AXElement createApplication(pid_t pid) override;
    AXError copyAttributeValue(const AXElement& element, const std::string& attribute, AXValue& out) override;
    AXError setAttributeValue(const AXElement& element, const std::string& attribute,
                              const AXValue& value) override;
    AXError performAction(const AXElement& element, const std::string& action) override;
    AXError getPid(const AXElement& element, pid_t& out) override;
    // A window element's id is its number in the window table, as in the window list.
    uint32_t windowNumber(const AXElement& element) override;
    std::shared_ptr<AXObserver> createObserver(pid_t pid, AXObserverCallback callback) override;
    std::optional<uint64_t> focusChangeCount() override;

  private:
    AXError applicationAttribute(const AXElement& e, const std::string& attribute, AXValue& out);
    AXError windowAttribute(const WlWindow& w, const std::string& attribute, AXValue& out);
    std::shared_ptr<WlContext> w_;
};

class WlWindowServer final : public WindowServerPort {
  public:
    explicit WlWindowServer(std::shared_ptr<WlContext> context) : w_(std::move(context)) {}
    WindowInfoList copyWindowInfo(uint32_t option, uint32_t relativeToWindow) override;
    bool windowBounds(uint32_t windowNumber, Rect& out) override;
    int32_t windowSpace(uint32_t windowNumber) override;
    std::vector<uint32_t> spaceWindowList(int32_t space) override;
    // Cut from the reading of the screen when the switch began (wl_screen_capture.h); null for
    // a window not visible then.
    QImage captureWindow(uint32_t windowNumber, Size size) override;
    // The number of the last reading that saw the window: its pictures stay current while it
    // is out of sight.
    std::optional<uint64_t> windowContentsVersion(uint32_t windowNumber) override;
    bool compositingActive() override { return true; } // every Wayland compositor blends

  private:
    std::shared_ptr<WlContext> w_;
};

class WlWorkspace final : public LinuxWorkspace {
  public:
    explicit WlWorkspace(std::shared_ptr<WlContext> context) : w_(std::move(context)) {}
    std::vector<RunningApplicationRef> runningApplications() override;
    RunningApplicationRef runningApplicationWithProcessIdentifier(pid_t pid) override;
    std::vector<pid_t> processesInFrontToBackOrder() override;
    void addObserver(WorkspaceObserver* observer) override;
    void removeObserver(WorkspaceObserver* observer) override;

  private:
    std::shared_ptr<WlContext> w_;
};

class WlInput final : public InputPort {
  public:
    explicit WlInput(std::shared_ptr<WlContext> context) : w_(std::move(context)) {}
    // What the program last learnt: the modifiers of the binding that began a switch, then
    // those its overlay surface's keyboard reports.
    uint64_t currentModifierFlags() override;
    std::unique_ptr<EventTap> createEventTap(EventTapCallback callback) override;
    // The US layout for now (the compositor's keymap reaches the program only while its
    // surface has the keyboard).
    std::shared_ptr<const KeyboardLayout> currentKeyboardLayout() override;
    // A compositor tells no client who else binds a key.
    bool isKeyHeldElsewhere(const InterceptedKey&) override { return false; }
    // The compositor itself, with its reason, when it refused a binding; else no one.
    KeyHolder keyHolder() override;
    // The line for the running compositor (compositor_config.h), except where sway's IPC
    // takes the bindings.
    std::optional<HotKeyConfigLine> hotKeyConfigLine(const InterceptedKey& key,
                                                     const std::string& triggerName) override;
    // Taken as a binding of the compositor that fired: the same path as sway's binding event.
    bool pressKeyFromBinding(const InterceptedKey& key) override;

  private:
    std::shared_ptr<WlContext> w_;
};

// The panel on an overlay layer surface of the focused output (wl_panel_layer.h).
class WlPanelSurface final : public PanelSurfacePort {
  public:
    explicit WlPanelSurface(std::shared_ptr<WlContext> context) : w_(std::move(context)) {}
    // sway's focused output, at the scale the compositor gives it; without sway's IPC the
    // output of the activated window (the one the compositor puts the panel on).
    std::optional<PanelOutput> panelOutput() override;
    void present(const QImage& image, PanelPlacement placement) override;
    void withdraw() override;
    void setPointerHandler(std::function<void(const PanelPointerEvent&)> handler) override;

  private:
    std::shared_ptr<WlContext> w_;
};

// Nothing to grant: the compositor's protocols are open to every client.
class WlScripting final : public ScriptingPort {
  public:
    bool enableAssistiveAccess() override { return false; }
    bool openAccessibilitySettings() override { return false; }
};

} // namespace velora::wl
