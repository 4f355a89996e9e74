// Hot paths of the X11 desktop against a real X server (Xvfb and a window manager, with the
// windows already on the display; scripts/perf.sh starts 200): one window-server list fetch,
// one accessibility scan of every window, populateItems for every listed window (200 under
// the script), one window picture, and the event tap's path for a key that is not a hot key.
// Without DISPLAY every benchmark skips.
#include <benchmark/benchmark.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>

#include "engine/vl_handler.h"
#include "hotkeys/sg_hot_key_center.h"
#include "model/vl_element.h"
#include "model/vl_settings.h"
#include "model/vl_window_manager.h"
#include "platform/ax_names.h"
#include "platform/x11/x11_desktop.h"
#include "settings/user_defaults.h"
#include "support/panel_fakes.h"
#include "test_main_thread.h"

namespace velora {
namespace {

class NoHotKeys final : public VLHotKeyLink {
  public:
    void setDelegate(SGHotKeyCenterDelegate*) override {}
    void registerHotKey(const SGHotKeyRef&) override {}
    void unregisterHotKey(const SGHotKeyRef&) override {}
    void setCommandKeys(std::vector<int64_t>) override {}
};

// The X11 desktop installed as the platform, once for the program.
struct Desktop {
    Desktop() {
        if (!std::getenv("DISPLAY")) return;
        std::string error;
        x11 = X11Desktop::open(mainThread, error);
        if (!x11) return;
        ports = x11->platform(nullptr, nullptr);
        installPlatform(&ports);
        x11->sync();
    }
    static Desktop& shared() {
        static Desktop* desktop = new Desktop; // lives to the end: threads may still use it
        return *desktop;
    }
    // The managed windows, front to back.
    std::vector<WindowInfo> windows() {
        std::vector<WindowInfo> managed;
        WindowInfoList list = windowServer().copyWindowInfo(kWindowListExcludeDesktopElements, kNullWindowID);
        if (list)
            for (const WindowInfo& w : *list)
                if (w.layer == 0) managed.push_back(w);
        return managed;
    }

    test::TestMainThread mainThread;
    std::unique_ptr<X11Desktop> x11;
    Platform ports;
};

bool skipWithoutDisplay(benchmark::State& state) {
    if (Desktop::shared().x11) return false;
    state.SkipWithError("no X display (DISPLAY unset or not reachable)");
    return true;
}

void WindowListFetch(benchmark::State& state) {
    if (skipWithoutDisplay(state)) return;
    std::size_t n = 0;
    for (auto _ : state) {
        WindowInfoList list = windowServer().copyWindowInfo(kWindowListExcludeDesktopElements, kNullWindowID);
        n = list ? list->size() : 0;
        benchmark::DoNotOptimize(list.get());
    }
    state.SetLabel(std::to_string(n) + " windows");
}
BENCHMARK(WindowListFetch)->Unit(benchmark::kMicrosecond);

// What a rescan asks of every window: its list per application, then title, role, subrole,
// position and size.
void AccessibilityScan(benchmark::State& state) {
    if (skipWithoutDisplay(state)) return;
    std::size_t n = 0;
    for (auto _ : state) {
        n = 0;
        for (const RunningApplicationRef& app : workspace().runningApplications()) {
            AXElement element = accessibility().createApplication(app->processIdentifier());
            AXValue windows;
            if (accessibility().copyAttributeValue(element, ax::Windows, windows) != AXError::Success)
                continue;
            for (const AXElement& window : std::get<std::vector<AXElement>>(windows)) {
                for (const char* attribute : {ax::Title, ax::Role, ax::Subrole, ax::Position, ax::SizeAttr}) {
                    AXValue value;
                    accessibility().copyAttributeValue(window, attribute, value);
                    benchmark::DoNotOptimize(value);
                }
                ++n;
            }
        }
    }
    state.SetLabel(std::to_string(n) + " windows");
}
BENCHMARK(AccessibilityScan)->Unit(benchmark::kMillisecond);

// One pass of the window list's focused-window poll, as its thread makes five times a second:
// the focused application and its focused window, from the desktop cache.
void FocusedWindowPoll(benchmark::State& state) {
    if (skipWithoutDisplay(state)) return;
    for (auto _ : state)
        benchmark::DoNotOptimize(VLElement::elementOfFocusedWindow());
}
BENCHMARK(FocusedWindowPoll)->Unit(benchmark::kMicrosecond);

void PictureGrab(benchmark::State& state) {
    if (skipWithoutDisplay(state)) return;
    std::vector<WindowInfo> windows = Desktop::shared().windows();
    if (windows.empty()) {
        state.SkipWithError("no managed windows on the display");
        return;
    }
    const uint32_t number = windows.back().number; // the one at the back: covered by the rest
    for (auto _ : state) {
        QImage picture = windowServer().captureWindow(number, Size{256, 160});
        benchmark::DoNotOptimize(picture.constBits());
    }
}
BENCHMARK(PictureGrab)->Unit(benchmark::kMicrosecond);

// Filling the hidden panel with every listed window; the grabs it queues are cancelled and
// drained outside the timing.
void PopulateItems(benchmark::State& state) {
    if (skipWithoutDisplay(state)) return;
    Desktop& desktop = Desktop::shared();
    VLSettings::shared().reset();
    UserDefaults::resetStandard(std::filesystem::temp_directory_path() / "velora-x11-bench.plist");
    test::FakeImageFlowView view;
    test::FakePanelWindow window;
    NoHotKeys hotKeys;
    VLHandler::setCoverFlowLoader([&] { return VLPanelOutlets{&window, &view}; });
    VLHandler::setHotKeyLink(&hotKeys);
    VLHandler& engine = VLHandler::sharedHandler();
    VLWindowManager::sharedManager().windowsForPID(0);
    const VLCandidateList candidates = VLHandler::candidatesForMode(IKBController::kModeAllWindows);
    IKBController& panel = engine.coverFlow();
    auto settle = [&] {
        engine.queue().cancelAllOperations();
        engine.queue().waitUntilAllOperationsAreFinished();
        desktop.mainThread.pump();
    };
    panel.populateItems(candidates); // every record matched once, as after the first switch
    settle();
    for (auto _ : state) {
        panel.populateItems(candidates);
        benchmark::DoNotOptimize(panel.browserData().size());
        state.PauseTiming();
        settle();
        state.ResumeTiming();
    }
    state.SetLabel(std::to_string(panel.browserData().size()) + " items");
    panel.clearItems();
    settle();
}
BENCHMARK(PopulateItems)->Unit(benchmark::kMicrosecond)->Iterations(50);

// The tap's path for a key that is no hot key: from the server's key event (typed through
// XTest on a connection of its own) through the event loop, the key tracker and the tap
// thread to the hot key center's callback offering the key to its delegate, with seven hot
// keys registered. The figure includes the server's own handling of the faked key.
class CountingDelegate final : public SGHotKeyCenterDelegate {
  public:
    bool shouldHandleKey(const KeyEvent& event) override {
        if (event.type == KeyEventType::KeyDown) {
            std::lock_guard lock(mutex);
            ++seen;
            offered.notify_all();
        }
        return false;
    }
    void endHandling() override {}
    std::mutex mutex;
    std::condition_variable offered;
    int seen = 0;
};

void TapPathForOtherKey(benchmark::State& state) {
    if (skipWithoutDisplay(state)) return;
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const uint8_t keyA = 38; // "a" on a PC keyboard (kernel code 30 + 8)
    CountingDelegate delegate;
    SGHotKeyCenter& center = SGHotKeyCenter::sharedCenter();
    center.setDelegate(&delegate);
    std::vector<SGHotKeyRef> keys;
    for (int64_t code : {48, 50, 49, 36, 51, 117, 122}) { // Tab, `, space, Return, Delete, fwd Delete, F1
        auto key =
            std::make_shared<SGHotKey>("bench" + std::to_string(code), SGKeyCombo(code, kEventFlagCommand));
        if (center.registerHotKey(key)) keys.push_back(key);
    }
    Desktop::shared().x11->sync();
    int expected = 0;
    for (auto _ : state) {
        xcb_test_fake_input(c, XCB_KEY_PRESS, keyA, XCB_CURRENT_TIME, root, 0, 0, 0);
        xcb_flush(c);
        ++expected;
        std::unique_lock lock(delegate.mutex);
        if (!delegate.offered.wait_for(lock, std::chrono::seconds(1),
                                       [&] { return delegate.seen >= expected; })) {
            state.SkipWithError("the tap never offered the key");
            break;
        }
        lock.unlock();
        state.PauseTiming();
        xcb_test_fake_input(c, XCB_KEY_RELEASE, keyA, XCB_CURRENT_TIME, root, 0, 0, 0);
        xcb_flush(c);
        state.ResumeTiming();
    }
    for (const SGHotKeyRef& key : keys)
        center.unregisterHotKey(key);
    center.setDelegate(nullptr);
    xcb_disconnect(c);
}
BENCHMARK(TapPathForOtherKey)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace
} // namespace velora

BENCHMARK_MAIN();
