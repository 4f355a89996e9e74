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
    hub.setHooks({[&](const std::vector<InterceptedKey>& keys) { bound = keys; }, [&] { ++releases; },
                  [&] { ++forgets; }});
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
    hub.setHooks({[&](const std::vector<InterceptedKey>& keys) { bound = keys; }, [] {}, [] {}});
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

} // namespace
} // namespace velora::wl
