#pragma once
// Engine tests on the simulated desktop: the engine with a recording panel window and view,
// a recording link to the hot key center and a recording application delegate. The test's
// thread is the main thread; it plays the hot key center's part (actions on the main
// thread, endHandling on a new thread per release, keys from another thread).

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/vl_handler.h"
#include "hotkeys/sg_hot_key_center.h"
#include "model/vl_settings.h"
#include "model/vl_window_manager.h"
#include "panel/picture_cache.h"
#include "platform/virtual_keys.h"
#include "settings/user_defaults.h"
#include "support/panel_fakes.h"
#include "support/sim_fixture.h"
#include "support/temp_dir.h"

namespace velora::test {

// Records whether the backward key (the only hot key the engine registers) and the command
// keys are taken; called from several threads.
class RecordingHotKeyLink final : public VLHotKeyLink {
  public:
    void setDelegate(SGHotKeyCenterDelegate*) override {}
    void registerHotKey(const SGHotKeyRef&) override { backwardRegistered = true; }
    void unregisterHotKey(const SGHotKeyRef&) override { backwardRegistered = false; }
    void setCommandKeys(std::vector<int64_t> keys) override { keysTaken = !keys.empty(); }

    std::atomic<bool> backwardRegistered{false}, keysTaken{false};
};

class RecordingApplicationDelegate final : public VLApplicationDelegate {
  public:
    SGHotKeyRef keyUniversalBackward() override { return backward; }
    void showPreferences() override { preferences.fetch_add(1); }

    SGHotKeyRef backward = std::make_shared<SGHotKey>("KeyUniversalBackward", SGKeyCombo(50, 0x0100));
    std::atomic<int> preferences{0};
};

class EngineTest : public SimTest {
  protected:
    static constexpr uint64_t kOption = kEventFlagOption;
    using Action = void (VLHandler::*)();

    EngineTest() {
        VLSettings::shared().reset();
        PictureCache::shared().clear(); // window numbers start over with each desktop
        UserDefaults::resetStandard(dir / "defaults.plist");
        VLSettings::shared().displayDelay = 0.2f;
        VLSettings::shared().width = 637;
        VLSettings::shared().height = 437;
    }
    ~EngineTest() override {
        sim.shutdown();
        joinReleases();
        VLHandler::resetSharedHandlerForTesting();
        VLWindowManager::resetSharedManagerForTesting();
        VLSettings::shared().reset();
    }

    // The engine, once the window list has scanned and its scanning thread sleeps.
    VLHandler& start() {
        VLHandler::setCoverFlowLoader([this] { return VLPanelOutlets{&window, &view}; });
        VLHandler::setHotKeyLink(&link);
        VLHandler& handler = VLHandler::sharedHandler();
        handler.setApplicationDelegate(&delegate);
        VLWindowManager& windows = VLWindowManager::sharedManager();
        EXPECT_TRUE(sim.pumpUntil([&] { return windows.completedPasses() >= 1 && sim.sleepers() >= 1; }));
        engine = &handler;
        return handler;
    }
    IKBController& panel() { return engine->coverFlow(); }

    static sim::ApplicationSpec application(const std::string& name, bool quitsWhenAsked = true) {
        sim::ApplicationSpec spec;
        spec.quitsWhenAsked = quitsWhenAsked;
        spec.bundleIdentifier = spec.name = name;
        spec.bundlePath = "/opt/" + name;
        spec.executablePath = "/usr/bin/" + name;
        return spec;
    }
    // Applications front to back in the order given, one window each, titled like the application.
    std::vector<pid_t> applications(const std::vector<std::string>& names) {
        std::vector<pid_t> pids;
        for (const std::string& name : names) {
            sim::WindowSpec titled;
            titled.title = name;
            pids.push_back(sim.addApplication(application(name)));
            sim.addWindow(pids.back(), titled);
        }
        for (auto pid = pids.rbegin(); pid != pids.rend(); ++pid)
            sim.focusWindow(windowOf(*pid));
        return pids;
    }
    uint32_t windowOf(pid_t pid) const { return sim.windowsOf(pid).front(); }

    void hold() { sim.setModifierFlags(kOption); }
    // Releases every modifier and, as the hot key center does, starts endHandling on a new thread.
    void release(uint64_t remaining = 0) {
        sim.setModifierFlags(remaining);
        releasesStarted.fetch_add(1);
        releases.emplace_back([this] {
            engine->endHandling();
            releasesFinished.fetch_add(1);
        });
    }
    void joinReleases() {
        for (auto& t : releases)
            t.join();
        releases.clear();
    }
    static KeyEvent keyEvent(int64_t keyCode, uint64_t flags) {
        KeyEvent event;
        event.keyCode = keyCode;
        event.flags = flags;
        event.charactersIgnoringModifiers = vk::usLayoutCharacter(keyCode); // Escape goes by its code
        return event;
    }
    // A key-down offered by the tap thread; true when swallowed.
    bool key(int64_t keyCode, uint64_t flags = kOption) {
        bool swallowed = false;
        std::thread tap([&] { swallowed = engine->shouldHandleKey(keyEvent(keyCode, flags)); });
        tap.join();
        return swallowed;
    }

    // The polling thread has read the modifiers at least `reads` times in all and sleeps
    // (with the window list's thread), or it has ended.
    bool pollerWaits(uint64_t reads) {
        return sim.pumpUntil([&] {
            return engine->pollingThreadsRunning() == 0 ||
                   (sim.modifierFlagReads() >= reads && sim.sleepers() >= 2);
        });
    }
    // One poll interval: the polling thread (asleep first) reads the modifiers once more.
    bool waitedPoll() {
        if (!pollerWaits(sim.modifierFlagReads())) return false;
        const uint64_t reads = sim.modifierFlagReads();
        sim.advance(VLHandler::kPollInterval);
        return pollerWaits(reads + 1);
    }
    void nextPoll() { ASSERT_TRUE(waitedPoll()); }
    // Lets every polling thread finish, then every release; delivers what they handed over.
    void settle() {
        ASSERT_TRUE(sim.advanceUntil([&] { return engine->pollingThreadsRunning() == 0; }, 100.0));
        joinReleases();
        sim.pump();
    }
    // Presses a cycle hot key and waits for its polling thread's first poll.
    void press(Action action) {
        const uint64_t reads = sim.modifierFlagReads();
        VLHandler* handler = engine; // called through a local: UBSan misreads engine->*action
        (handler->*action)();
        ASSERT_TRUE(pollerWaits(reads + 1));
    }
    // Holds the modifiers, presses and holds on until the panel is up.
    void show(Action action) {
        hold();
        press(action);
        while (engine->pollingThreadsRunning())
            nextPoll();
        ASSERT_TRUE(panel().isShown());
    }
    // Presses and lets go at once.
    void quickSwitch(Action action) {
        hold();
        press(action);
        release();
        settle();
    }

    int activations(pid_t pid, const std::string& options) const {
        int n = 0;
        for (const auto& call : sim.calls())
            if (call.kind == "activate" && call.pid == pid && call.detail == options) ++n;
        return n;
    }
    std::string selectedTitle() {
        auto item = panel().selectedElement();
        return item ? item->title().value_or("") : "<none>";
    }
    // The switch is over and left nothing behind.
    void expectSwitchOver() {
        engine->queue().waitUntilAllOperationsAreFinished();
        sim.pump();
        EXPECT_FALSE(panel().isShown());
        EXPECT_TRUE(panel().browserData().empty());
        EXPECT_FALSE(engine->shouldHandleKeys());
        EXPECT_EQ(engine->pollingThreadsRunning(), 0);
        EXPECT_FALSE(link.keysTaken);
        EXPECT_FALSE(link.backwardRegistered);
    }

    TempDir dir;
    FakeImageFlowView view;
    FakePanelWindow window;
    RecordingHotKeyLink link;
    RecordingApplicationDelegate delegate;
    VLHandler* engine = nullptr;
    std::vector<std::thread> releases; // the test's thread alone starts and joins them
    std::atomic<int> releasesStarted{0}, releasesFinished{0};
};

} // namespace velora::test
