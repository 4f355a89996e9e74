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
#include "platform/user_defaults.h"
#include "platform/virtual_keys.h"
#include "support/panel_fakes.h"
#include "support/sim_fixture.h"
#include "support/temp_dir.h"

namespace velora::test {

class RecordingHotKeyLink final : public VLHotKeyLink {
public:
    void setDelegate(SGHotKeyCenterDelegate* d) override {
        std::lock_guard lock(mutex);
        delegate = d;
    }
    void registerHotKey(const SGHotKeyRef& key) override {
        std::lock_guard lock(mutex);
        registered.push_back(key);
    }
    void unregisterHotKey(const SGHotKeyRef& key) override {
        std::lock_guard lock(mutex);
        std::erase(registered, key);
    }
    void setCommandKeys(std::vector<int64_t> keys) override {
        std::lock_guard lock(mutex);
        commandKeys = std::move(keys);
    }
    bool isRegistered(const SGHotKeyRef& key) {
        std::lock_guard lock(mutex);
        return std::find(registered.begin(), registered.end(), key) != registered.end();
    }
    std::vector<int64_t> takenKeys() {
        std::lock_guard lock(mutex);
        return commandKeys;
    }

    std::mutex mutex;
    SGHotKeyCenterDelegate* delegate = nullptr;
    std::vector<SGHotKeyRef> registered;
    std::vector<int64_t> commandKeys;
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

    EngineTest() {
        VLSettings::shared().reset();
        UserDefaults::resetStandard(dir / "defaults.plist");
        VLSettings::shared().displayDelay = 0.2f;
        VLSettings::shared().width = 637;
        VLSettings::shared().height = 437;
    }
    ~EngineTest() override {
        sim.shutdown();
        joinReleases();
        if (usesSharedCenter) SGHotKeyCenter::resetForTesting();
        VLHandler::resetSharedHandlerForTesting();
        VLWindowManager::resetSharedManagerForTesting();
        VLSettings::shared().reset();
    }

    // The engine, once the window list has scanned and its scanning thread sleeps.
    VLHandler& start(bool sharedCenter = false) {
        usesSharedCenter = sharedCenter;
        VLHandler::setCoverFlowLoader([this] { return VLPanelOutlets{&window, &view}; });
        VLHandler::setHotKeyLink(sharedCenter ? nullptr : &link);
        VLHandler& handler = VLHandler::sharedHandler();
        handler.setApplicationDelegate(&delegate);
        VLWindowManager& windows = VLWindowManager::sharedManager();
        EXPECT_TRUE(sim.pumpUntil([&] { return windows.completedPasses() >= 1 && sim.sleepers() >= 1; }));
        engine = &handler;
        return handler;
    }
    IKBController& panel() { return engine->coverFlow(); }

    // --- the user's hands

    void hold(uint64_t flags = kOption) { sim.setModifierFlags(flags); }
    // Releases every modifier and, as the hot key center does, starts endHandling on a new thread.
    void release(uint64_t remaining = 0) {
        sim.setModifierFlags(remaining);
        std::lock_guard lock(releasesMutex);
        releases.emplace_back([this] { engine->endHandling(); });
    }
    void joinReleases() {
        std::vector<std::thread> done;
        {
            std::lock_guard lock(releasesMutex);
            done.swap(releases);
        }
        for (auto& t : done) t.join();
    }
    // A key-down offered by the tap thread; true when swallowed.
    bool key(int64_t keyCode, uint64_t flags = kOption) {
        KeyEvent event;
        event.keyCode = keyCode;
        event.flags = flags;
        if (keyCode == vk::Escape) event.charactersIgnoringModifiers = "\x1b";
        else event.charactersIgnoringModifiers = vk::usLayoutCharacter(uint16_t(keyCode));
        if (flags & kEventFlagShift)
            for (char& c : event.charactersIgnoringModifiers) c = char(std::toupper(static_cast<unsigned char>(c)));
        bool swallowed = false;
        std::thread tap([&] { swallowed = engine->shouldHandleKey(event); });
        tap.join();
        return swallowed;
    }

    // --- the clock

    // The polling thread has read the modifiers at least `reads` times in all and sleeps
    // (with the window list's thread), or it has ended.
    bool pollerWaits(uint64_t reads) {
        return sim.pumpUntil([&] {
            return engine->pollingThreadsRunning() == 0 || (sim.modifierFlagReads() >= reads && sim.sleepers() >= 2);
        });
    }
    // One poll interval: the polling thread (asleep first) reads the modifiers once more.
    void nextPoll() {
        ASSERT_TRUE(pollerWaits(sim.modifierFlagReads()));
        const uint64_t reads = sim.modifierFlagReads();
        sim.advance(VLHandler::kPollInterval);
        ASSERT_TRUE(pollerWaits(reads + 1));
    }
    // Lets every polling thread finish, then every release; delivers what they handed over.
    void settle() {
        ASSERT_TRUE(sim.advanceUntil([&] { return engine->pollingThreadsRunning() == 0; }, 100.0));
        joinReleases();
        sim.pump();
    }
    // Presses a cycle hot key and waits for its polling thread's first poll.
    void press(void (VLHandler::*action)()) {
        const uint64_t reads = sim.modifierFlagReads();
        (engine->*action)();
        ASSERT_TRUE(pollerWaits(reads + 1));
    }

    // --- what happened

    int activations(pid_t pid, const std::string& options) const {
        int n = 0;
        for (const auto& call : sim.calls())
            if (call.kind == "activate" && call.pid == pid && call.detail == options) ++n;
        return n;
    }
    std::vector<std::string> panelTitles() const {
        std::vector<std::string> out;
        for (const auto& item : engine->coverFlow().browserData()) out.push_back(item->title().value_or(""));
        return out;
    }
    std::string selectedTitle() {
        auto item = panel().selectedElement();
        return item ? item->title().value_or("") : "<none>";
    }

    TempDir dir;
    FakeImageFlowView view;
    FakePanelWindow window;
    RecordingHotKeyLink link;
    RecordingApplicationDelegate delegate;
    VLHandler* engine = nullptr;
    bool usesSharedCenter = false;
    std::mutex releasesMutex;
    std::vector<std::thread> releases;
};

} // namespace velora::test
