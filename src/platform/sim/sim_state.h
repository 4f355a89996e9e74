#pragma once
// Internal state of the simulated desktop, shared by its ports.

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "platform/sim/sim_desktop.h"

namespace velora::sim {

struct WindowState {
    uint32_t number = 0;
    pid_t pid = 0;
    WindowSpec spec;
    bool destroyed = false;
    uint64_t contentsVersion = 0; // raised by every update of the window (a redraw)
};

struct AppState {
    pid_t pid = 0;
    ApplicationSpec spec;
    bool terminated = false;
};

class SimObserver;
class SimEventTap;

// Ports, each a thin view on State.
std::unique_ptr<AccessibilityPort> makeAccessibility(SimDesktop::State& s);
std::unique_ptr<WindowServerPort> makeWindowServer(SimDesktop::State& s);
std::unique_ptr<WorkspacePort> makeWorkspace(SimDesktop::State& s);
std::unique_ptr<InputPort> makeInput(SimDesktop::State& s);
std::unique_ptr<MainThreadPort> makeMainThread(SimDesktop::State& s);
std::unique_ptr<LoginItemsPort> makeLoginItems(SimDesktop::State& s);
std::unique_ptr<ScriptingPort> makeScripting(SimDesktop::State& s);
std::unique_ptr<HttpPort> makeHttp(SimDesktop::State& s);
std::unique_ptr<SoundPort> makeSound(SimDesktop::State& s);
std::shared_ptr<const KeyboardLayout> makeUSLayout();

struct SimDesktop::State {
    // Guards the desktop model below. Never held while calling out to system code.
    mutable std::recursive_mutex mutex;

    std::map<pid_t, AppState> apps;
    std::vector<pid_t> launchOrder;
    std::vector<pid_t> appOrder; // front to back
    std::map<uint32_t, WindowState> windows;
    std::vector<uint32_t> stacking; // front to back, live windows only
    pid_t nextPid = 1000;
    uint32_t nextWindow = 0x100;
    uint32_t focused = 0;
    pid_t active = 0;
    // Focus change counting for AccessibilityPort::focusChangeCount (off: the focus is polled).
    bool reportsFocusChanges = false;
    uint64_t focusChanges = 0;
    std::pair<pid_t, uint32_t> focusCounted{};
    int32_t currentSpace = 1;
    std::map<std::string, ApplicationBundleInfo> bundles;
    std::function<void(uint32_t)> captureHook;

    bool axEnabled = true;

    uint64_t modifierFlags = 0;
    uint64_t modifierReads = 0; // live-state queries through the input port
    std::vector<DeliveredKey> delivered;
    std::vector<InterceptedKey> intercepted;
    std::vector<InterceptedKey> heldElsewhere; // keys another program holds
    KeyHolder keyHolder;
    bool tapRecording = false;     // the tap was told a shortcut is being recorded
    std::string configLineDesktop; // a desktop whose configuration binds the hot keys
    // Of the intercepted keys, those another program holds.
    std::vector<InterceptedKey> refusedKeys() const;
    std::shared_ptr<const KeyboardLayout> layout;

    std::vector<Call> calls;
    std::vector<LoginItem> loginItems;
    int nextLoginItem = 1;

    // Observers and workspace observers (delivery goes through the main thread).
    std::vector<std::weak_ptr<SimObserver>> observers;
    std::vector<WorkspaceObserver*> workspaceObservers;
    std::map<pid_t, std::shared_ptr<RunningApplication>> appObjects;

    // Event tap.
    SimEventTap* tap = nullptr;
    bool keysFromBindings = false; // a compositor whose bindings run the trigger
    mutable std::condition_variable_any tapChanged;

    // Main thread and clock (own lock: sleepers must not hold the desktop's).
    std::thread::id mainThreadId;
    mutable std::mutex clockMutex;
    std::condition_variable clockChanged;
    double now = 0;
    int sleepers = 0;
    uint64_t wakes = 0; // wakeSleepers() calls, for sleepUnlessWoken
    struct PendingTimer {
        double due;
        uint64_t order;
        std::function<void()> work;
        std::shared_ptr<std::atomic<bool>> valid;
    };
    std::vector<PendingTimer> timers;
    uint64_t timerOrder = 0;
    std::deque<std::function<void()>> mainQueue;
    std::atomic<bool> shuttingDown{false};

    std::unique_ptr<AccessibilityPort> accessibility;
    std::unique_ptr<WindowServerPort> windowServer;
    std::unique_ptr<WorkspacePort> workspace;
    std::unique_ptr<InputPort> input;
    std::unique_ptr<MainThreadPort> mainThread;
    std::unique_ptr<LoginItemsPort> loginItemsPort;
    std::unique_ptr<ScriptingPort> scripting;
    std::unique_ptr<HttpPort> httpPort;
    std::unique_ptr<SoundPort> sound;
    Platform platform;

    // --- helpers, called with `mutex` held unless noted
    void record(std::string kind, pid_t pid = 0, uint32_t window = 0, std::string detail = {});
    AppState* liveApp(pid_t pid);
    WindowState* liveWindow(uint32_t number);
    Rect serverBounds(const WindowState& w) const;
    bool isOnscreen(const WindowState& w) const;
    void bringToFront(uint32_t number);
    void activate(pid_t pid, bool allWindows);
    void focus(uint32_t number);
    // Picks another active application after the active one went away or hid.
    void passActivation();
    // Removes the window and returns the notifications to send (outside the lock).
    std::vector<std::function<void()>> destroy(uint32_t number);
    std::vector<std::function<void()>> terminate(pid_t pid);
    std::vector<std::function<void()>> notifyObservers(pid_t pid, const AXElement& element,
                                                       const std::string& name);
    std::vector<std::function<void()>> notifyWorkspace(const std::function<void(WorkspaceObserver&)>& event);

    // Main thread (no desktop lock needed).
    void post(std::function<void()> work);
    static void run(const std::vector<std::function<void()>>& work);
};

AXElement windowElement(const WindowState& w);
AXElement applicationElement(pid_t pid);

} // namespace velora::sim
