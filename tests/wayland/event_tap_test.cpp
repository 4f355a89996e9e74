// The tap hub: the compositor's bindings follow the enabled taps' exact keys, and the
// keyboard is given back when a switch's keys (any modifiers) are withdrawn.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "platform/virtual_keys.h"
#include "platform/wayland/wl_event_tap.h"

namespace velora::wl {
namespace {

// A hub whose compositor binds what it is given but the keys in `refused`.
class TapHubTest : public ::testing::Test {
  protected:
    TapHubTest() {
        hub.setHooks({[this](const std::vector<InterceptedKey>& keys) {
                          bound = keys;
                          TapHub::Refusal refusal;
                          for (const InterceptedKey& key : keys)
                              if (std::ranges::find(refused, key) != refused.end())
                                  refusal.keys.push_back(key);
                          if (!refusal.keys.empty()) refusal.reason = "Invalid bindsym command";
                          return refusal;
                      },
                      [this] { ++releases; }, [] {}});
    }

    TapHub hub;
    std::vector<InterceptedKey> bound, refused;
    int releases = 0;
    const InterceptedKey altTab{vk::Tab, kEventFlagCommand, false}, superF20{90, kEventFlagOption, false};
};

TEST_F(TapHubTest, ASwitchsKeysAreNoBindingsAndTheirEndGivesTheKeyboardBack) {
    {
        WlEventTap tap(hub, nullptr, [](const KeyEvent&) { return TapVerdict::Pass; });
        tap.setInterceptedKeys({altTab});
        tap.setInterceptedKeys({altTab, {vk::Escape, 0, true}}); // a switch begins
        EXPECT_EQ(bound, std::vector<InterceptedKey>{altTab});
        EXPECT_EQ(releases, 0);
        tap.setInterceptedKeys({altTab}); // Escape ended it with the modifiers still down
        EXPECT_EQ(releases, 1);
    }
    EXPECT_TRUE(bound.empty()); // a tap that goes takes its bindings along
}

TEST_F(TapHubTest, EventsReachTheTapsThreadAndShutdownEndsItsLoopAndEveryBinding) {
    std::vector<int64_t> seen;
    WlEventTap tap(hub, nullptr, [&](const KeyEvent& e) {
        seen.push_back(e.keyCode);
        if (seen.size() == 2) hub.shutdown();
        return TapVerdict::Swallow;
    });
    tap.setInterceptedKeys({altTab});
    std::thread loop([&] { tap.run(); });
    KeyEvent tab, w;
    tab.keyCode = vk::Tab;
    w.keyCode = vk::W;
    hub.deliver({tab, w});
    loop.join();
    EXPECT_EQ(seen, (std::vector<int64_t>{vk::Tab, vk::W}));
    EXPECT_TRUE(bound.empty());
}

TEST_F(TapHubTest, KeysTheCompositorRefusesAreToldOnceAndKeptWhileARecordingWithholdsThem) {
    refused = {superF20};
    using Told = std::vector<std::vector<InterceptedKey>>;
    Told told;
    WlEventTap tap(hub, nullptr, [](const KeyEvent&) { return TapVerdict::Pass; });
    tap.setRefusalObserver([&](std::vector<InterceptedKey> keys) { told.push_back(std::move(keys)); });
    tap.setInterceptedKeys({altTab, superF20});
    EXPECT_EQ(told, Told{{superF20}});
    EXPECT_EQ(tap.refusedKeys(), std::vector<InterceptedKey>{superF20});
    EXPECT_EQ(hub.refusal().reason, "Invalid bindsym command");
    tap.retryRefusedKeys(); // refused again: nothing new to tell
    tap.setRecording(true); // withheld, not tried: the refusal stands
    EXPECT_EQ(tap.refusedKeys(), std::vector<InterceptedKey>{superF20});
    EXPECT_EQ(told, Told{{superF20}});
    refused.clear();
    tap.setRecording(false); // tried again with the rest, and taken
    EXPECT_EQ(bound, (std::vector<InterceptedKey>{altTab, superF20}));
    EXPECT_EQ(told, (Told{{superF20}, {}}));
}

} // namespace
} // namespace velora::wl
