// The tap hub: the compositor's bindings follow the enabled taps' exact keys, and the
// keyboard is given back when a switch's keys (any modifiers) are withdrawn.
#include <gtest/gtest.h>

#include <thread>

#include "platform/virtual_keys.h"
#include "platform/wayland/wl_event_tap.h"

namespace velora::wl {
namespace {

TEST(TapHub, BindingsFollowTheEnabledTapsAndTheEndOfASwitchGivesTheKeyboardBack) {
    TapHub hub;
    std::vector<InterceptedKey> bound;
    int releases = 0, forgets = 0;
    hub.setHooks({[&](const std::vector<InterceptedKey>& keys) {
                      bound = keys;
                      return TapHub::Refusal{};
                  },
                  [&] { ++releases; }, [&] { ++forgets; }});
    const InterceptedKey altTab{vk::Tab, kEventFlagCommand, false}, escape{vk::Escape, 0, true};
    {
        WlEventTap tap(hub, nullptr, [](const KeyEvent&) { return TapVerdict::Pass; });
        tap.setInterceptedKeys({altTab});
        EXPECT_EQ(bound, std::vector<InterceptedKey>{altTab});
        tap.setInterceptedKeys({altTab, escape}); // a switch begins: its keys are not bindings
        EXPECT_EQ(bound, std::vector<InterceptedKey>{altTab});
        EXPECT_EQ(releases, 0);
        tap.setInterceptedKeys({altTab}); // Escape ended it with the modifiers still down
        EXPECT_EQ(releases, 1);
        tap.setEnabled(false);
        EXPECT_TRUE(bound.empty());
        tap.setEnabled(true);
        EXPECT_EQ(bound, std::vector<InterceptedKey>{altTab});
        tap.setRecording(true); // the compositor must let the keys reach the recording window
        EXPECT_TRUE(bound.empty());
        tap.setRecording(false);
        EXPECT_EQ(bound, std::vector<InterceptedKey>{altTab});
        bound.clear();
        hub.bindAgain(); // the compositor dropped them: all are bound again
        EXPECT_EQ(forgets, 1);
        EXPECT_EQ(bound, std::vector<InterceptedKey>{altTab});
    }
    EXPECT_TRUE(bound.empty()); // a tap that goes takes its bindings along
}

TEST(TapHub, EventsReachTheTapsThreadAndShutdownEndsItsLoopAndEveryBinding) {
    TapHub hub;
    std::vector<InterceptedKey> bound;
    hub.setHooks({[&](const std::vector<InterceptedKey>& keys) {
                      bound = keys;
                      return TapHub::Refusal{};
                  },
                  [] {}, [] {}});
    std::vector<int64_t> seen;
    WlEventTap tap(hub, nullptr, [&](const KeyEvent& e) {
        seen.push_back(e.keyCode);
        if (seen.size() == 2) hub.shutdown();
        return TapVerdict::Swallow;
    });
    tap.setInterceptedKeys({{vk::Tab, kEventFlagCommand, false}});
    std::thread loop([&] { tap.run(); });
    KeyEvent tab, w;
    tab.keyCode = vk::Tab;
    w.keyCode = vk::W;
    hub.deliver({tab, w});
    loop.join();
    EXPECT_EQ(seen, (std::vector<int64_t>{vk::Tab, vk::W}));
    EXPECT_TRUE(bound.empty());
}

TEST(TapHub, KeysTheCompositorRefusesAreToldOnceAndKeptWhileARecordingWithholdsThem) {
    TapHub hub;
    const InterceptedKey altTab{vk::Tab, kEventFlagCommand, false}, superF20{90, kEventFlagOption, false};
    bool refuseF20 = true;
    std::vector<InterceptedKey> tried;
    hub.setHooks({[&](const std::vector<InterceptedKey>& keys) {
                      tried = keys;
                      TapHub::Refusal refusal;
                      for (const InterceptedKey& key : keys)
                          if (key == superF20 && refuseF20) refusal.keys.push_back(key);
                      if (!refusal.keys.empty()) refusal.reason = "Invalid bindsym command";
                      return refusal;
                  },
                  [] {}, [] {}});
    std::vector<std::vector<InterceptedKey>> told;
    WlEventTap tap(hub, nullptr, [](const KeyEvent&) { return TapVerdict::Pass; });
    tap.setRefusalObserver([&](std::vector<InterceptedKey> refused) { told.push_back(std::move(refused)); });
    tap.setInterceptedKeys({altTab, superF20});
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], std::vector<InterceptedKey>{superF20});
    EXPECT_EQ(tap.refusedKeys(), std::vector<InterceptedKey>{superF20});
    EXPECT_EQ(hub.refusal().reason, "Invalid bindsym command");
    tap.retryRefusedKeys(); // refused again: nothing new to tell
    EXPECT_EQ(told.size(), 1u);
    tap.setRecording(true); // withheld, not tried: the refusal stands
    EXPECT_TRUE(tried.empty());
    EXPECT_EQ(tap.refusedKeys(), std::vector<InterceptedKey>{superF20});
    EXPECT_EQ(told.size(), 1u);
    refuseF20 = false;
    tap.setRecording(false); // tried again with the rest, and taken
    EXPECT_EQ(tried, (std::vector<InterceptedKey>{altTab, superF20}));
    ASSERT_EQ(told.size(), 2u);
    EXPECT_TRUE(told[1].empty());
    tap.setRefusalObserver(nullptr);
}

} // namespace
} // namespace velora::wl
