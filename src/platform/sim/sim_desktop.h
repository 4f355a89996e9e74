#pragma once
// The simulated desktop: every port in memory, deterministic and scriptable from tests.
//
// - Applications and their windows; each window is seen both as an accessibility element and
//   as a window-server entry, and a test can make the two views disagree (titles, bounds).
// - Hung applications answer every accessibility request with CannotComplete (-25204).
// - Spaces, focus, the active application, the front-to-back order.
// - Modifier state and injected key events through the event tap.
// - A virtual clock: sleeps of other threads wait until the test advances the clock, so 0.05 s
//   polls and 0.2 s scans run without real waiting. Sleeps on the main thread (the test's own
//   thread) pass their time at once.
// - The main thread is the thread that made the desktop; work handed to it runs when the test
//   pumps (pump, pumpUntil).
// - Everything asked of it is recorded (calls), so tests can assert on it.
//
// All members are safe to call from any thread.

#include <sys/types.h>

#include <QColor>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace velora::sim {

struct WindowSpec {
    // Accessibility side.
    std::optional<std::string> title = std::string("Window"); // none: unreadable
    std::optional<std::string> role = std::string("AXWindow");
    std::optional<std::string> subrole = std::string("AXStandardWindow");
    Point position{100, 100};
    Size size{640, 480};
    bool minimized = false;
    int childCount = 2;
    std::optional<std::string> document;
    bool hasCloseButton = true, closeEnabled = true;
    bool hasMinimizeButton = true, minimizeEnabled = true;
    bool listedInApplication = true;        // appears in the application's "AXWindows"
    bool roleReadableWhenDestroyed = false; // a destroyed element that still answers "AXRole"

    // Window-server side.
    bool inWindowServer = true;
    std::optional<Rect> serverBounds;      // default: position and size
    std::optional<std::string> serverName; // default: the title
    int32_t layer = 0;
    int32_t space = 1;                   // 0: on no space
    bool desktopElement = false;         // left out by option 16
    QColor color = QColor(70, 110, 160); // what a picture of it shows
    bool captureFails = false;
};

struct ApplicationSpec {
    std::string bundleIdentifier; // empty: none
    std::string name = "App";
    std::string bundlePath;
    std::string executablePath;
    bool hidden = false;
    bool finishedLaunching = true;
    bool hung = false;
    bool hasAccessibility = true;    // an application element can be made for it
    bool quitsWhenAsked = true;      // terminate ends it at once
    std::optional<QColor> iconColor; // default: derived from the pid
};

struct Call {
    std::string kind; // "activate", "raise", "windowList", "capture", "launch", "beep"...
    pid_t pid = 0;
    uint32_t window = 0;
    std::string detail;
};

struct DeliveredKey {
    KeyEvent event;
    pid_t toPid = 0; // the focused application that received it
};

class SimDesktop {
  public:
    SimDesktop();
    ~SimDesktop();
    SimDesktop(const SimDesktop&) = delete;
    SimDesktop& operator=(const SimDesktop&) = delete;

    // The ports, and installing them as the process's platform.
    const Platform& ports() const;
    void install();
    // Wakes every sleeping or waiting thread and makes later sleeps return false.
    void shutdown();

    // --- applications and windows
    pid_t addApplication(const ApplicationSpec& spec);
    // Announces the launch to workspace observers.
    pid_t launchApplication(const ApplicationSpec& spec);
    // Ends the application: its windows are destroyed (notifications go out) and the
    // workspace announces the termination.
    void terminateApplication(pid_t pid);
    void setApplicationHung(pid_t pid, bool hung);
    void setApplicationHidden(pid_t pid, bool hidden);
    bool isApplicationRunning(pid_t pid) const;
    bool isApplicationHidden(pid_t pid) const;

    uint32_t addWindow(pid_t pid, const WindowSpec& spec = {});
    // Destroys the window; observers hear "AXUIElementDestroyed".
    void destroyWindow(uint32_t window);
    // Any change counts as a redraw: the window's contents version rises.
    void updateWindow(uint32_t window, const std::function<void(WindowSpec&)>& change);
    WindowSpec window(uint32_t window) const;
    bool windowExists(uint32_t window) const;
    std::vector<uint32_t> windowsOf(pid_t pid) const; // front to back

    // Focus: the window goes to the front, its application becomes active and frontmost.
    void focusWindow(uint32_t window);
    void clearFocus();
    // Off by default. When on, the accessibility port counts focus changes, and focusWindow()
    // and clearFocus() wake the sleepers of the main-thread port, as an event-driven desktop does.
    void setReportsFocusChanges(bool reports);
    uint32_t focusedWindow() const;
    std::vector<uint32_t> stackingOrder() const; // front to back
    void setCurrentSpace(int32_t space);         // announces the change
    int32_t currentSpace() const;
    // Called (outside the desktop's lock) at the start of every capture, on the capturing thread.
    void setCaptureHook(std::function<void(uint32_t window)> hook);

    // --- accessibility permission
    void setAccessibilityEnabled(bool enabled);

    // --- input
    void setModifierFlags(uint64_t flags);
    uint64_t modifierFlags() const;
    // How often the live modifier state has been asked for through the input port.
    uint64_t modifierFlagReads() const;
    // Sends an event through the tap (or straight to the focused application when no tap
    // runs or it is disabled) and returns what the tap decided. FlagsChanged events also set
    // the live modifier state.
    TapVerdict injectKey(const KeyEvent& event);
    TapVerdict pressKey(int64_t keyCode, uint64_t flags, bool autoRepeat = false);
    TapVerdict releaseKey(int64_t keyCode, uint64_t flags);
    TapVerdict changeModifiers(uint64_t flags);
    // Acts as a compositor whose key bindings run the trigger: pressKeyFromBinding is taken
    // (the modifiers go down and the key goes through the tap). Off by default, as on X11.
    void setKeysFromBindings(bool on);
    // Blocks (real time) until a tap runs; false on time-out.
    bool waitForTap(double seconds = 5.0) const;
    std::vector<DeliveredKey> deliveredKeys() const;
    std::vector<InterceptedKey> interceptedKeys() const;
    // Another program (named by the holder) holds the key: the tap is refused it, and is told
    // so; letting it go gives it to the tap at once, as the desktop's retry would.
    void holdKeyElsewhere(const InterceptedKey& key);
    void releaseKeyHeldElsewhere(const InterceptedKey& key);
    void setKeyHolder(KeyHolder holder);
    // Whether the tap was last told that a shortcut is being recorded.
    bool tapRecording() const;
    // The desktop takes no bindings from the program: the input port answers configuration
    // lines for it ("<flags>+<key code> velora --trigger NAME"); empty: none (the default).
    void setConfigLineDesktop(std::string desktop);
    std::vector<InterceptedKey> refusedKeys() const;
    void setKeyboardLayout(std::shared_ptr<const KeyboardLayout> layout);

    // --- main thread and clock
    // Runs the work handed to the main thread and the timers that are due. Returns how many ran.
    int pump();
    // Pumps until the condition holds; false when it does not within the real time-out.
    bool pumpUntil(const std::function<bool()>& condition, double seconds = 5.0);
    double now() const;
    // Moves the virtual clock on and wakes the sleepers whose time has come.
    void advance(double seconds);
    // Advances in steps, pumping after each, until the condition holds or the virtual time runs out.
    bool advanceUntil(const std::function<bool()>& condition, double maxVirtualSeconds, double step = 0.05);
    // Number of threads sleeping on the virtual clock right now.
    int sleepers() const;
    // Blocks (real time) until at least n threads sleep; false on time-out. Pumps meanwhile.
    bool waitForSleepers(int n, double seconds = 5.0);

    // --- records
    std::vector<Call> calls() const;
    int countCalls(const std::string& kind) const;
    void clearCalls();
    int beeps() const;
    std::vector<LoginItem> loginItemList() const;
    void addLoginItem(const std::string& id, std::optional<std::string> resolved);

    struct State; // internal

  private:
    void wakeOnFocusChange();
    // The running tap looks again at which of its keys are held elsewhere.
    void retryTap();

    std::unique_ptr<State> state_;
};

} // namespace velora::sim
