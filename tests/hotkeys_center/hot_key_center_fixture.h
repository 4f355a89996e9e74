#pragma once
// A hot key center running on the simulated desktop's tap, with a delegate that records what
// it is offered and hot keys that count their firings.

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "hotkeys/sg_hot_key_center.h"
#include "support/sim_fixture.h"

namespace velora::test {

class RecordingDelegate final : public SGHotKeyCenterDelegate {
  public:
    bool shouldHandleKey(const KeyEvent& event) override {
        if (mainThread().isMainThread()) offeredOnMain.fetch_add(1);
        std::lock_guard lock(mutex_);
        offered_.push_back(event);
        return answer.load();
    }
    void endHandling() override { ends.fetch_add(1); }

    std::vector<KeyEvent> offered() const {
        std::lock_guard lock(mutex_);
        return offered_;
    }

    std::atomic<bool> answer{false};
    std::atomic<int> ends{0};
    std::atomic<int> offeredOnMain{0};

  private:
    mutable std::mutex mutex_;
    std::vector<KeyEvent> offered_;
};

class HotKeyCenterTest : public SimTest {
  protected:
    HotKeyCenterTest() {
        center().setDelegate(&delegate);
        EXPECT_TRUE(sim.waitForTap());
    }
    ~HotKeyCenterTest() override { finish(); }

    static SGHotKeyCenter& center() { return SGHotKeyCenter::sharedCenter(); }

    // Ends the desktop and joins every thread of the center, so that counts are final.
    void finish() {
        sim.shutdown();
        SGHotKeyCenter::resetForTesting();
    }

    // Registers a hot key whose action counts its firings (and whether one ran off the main thread).
    SGHotKeyRef registerHotKey(const std::string& identifier, int64_t keyCode, int64_t modifiers) {
        auto hotKey = std::make_shared<SGHotKey>(
            identifier, SGKeyCombo::keyComboWithKeyCode(keyCode, modifiers), [this, identifier] {
                ++fired_[identifier];
                if (!mainThread().isMainThread()) ++firedOffMain_;
            });
        EXPECT_TRUE(center().registerHotKey(hotKey));
        return hotKey;
    }

    // Runs what the tap handed to the main thread, then reads the count.
    int firings(const std::string& identifier) {
        sim.pump();
        return firedSoFar(identifier);
    }
    int firedSoFar(const std::string& identifier) const {
        EXPECT_EQ(firedOffMain_, 0);
        return fired_.count(identifier) ? fired_.at(identifier) : 0;
    }

    RecordingDelegate delegate;

  private:
    std::map<std::string, int> fired_; // main thread only
    int firedOffMain_ = 0;
};

} // namespace velora::test
