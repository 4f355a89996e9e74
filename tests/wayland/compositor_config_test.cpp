// The lines each compositor's configuration takes to run `velora --trigger NAME` on a hot key,
// and which compositor a session runs.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>

#include "platform/input.h"
#include "platform/virtual_keys.h"
#include "platform/wayland/compositor_config.h"
#include "platform/x_keycodes.h"

namespace velora::wl {
namespace {

constexpr uint64_t kAlt = kEventFlagCommand, kSuper = kEventFlagOption, kCtrl = kEventFlagControl,
                   kShift = kEventFlagShift;

// sway's syntax, the one scripts/test-wayland-trigger.sh gives a real sway: the four modifiers in
// the order the flags have them, Shift as a modifier of the unshifted key (Tab, not
// ISO_Left_Tab). wayfire's: the kernel's key names (checked below), option names without a
// hyphen. (The other compositors' lines are known from their documentation only.)
TEST(TriggerBindingLine, SwayAndWayfireSyntax) {
    const char* trigger = "application-windows-backward";
    EXPECT_EQ(
        triggerBindingLine(Compositor::Sway, vk::Tab, kAlt | kSuper | kCtrl | kShift, trigger),
        "bindsym --no-repeat Mod1+Mod4+Ctrl+Shift+Tab exec velora --trigger application-windows-backward");
    EXPECT_EQ(triggerBindingLine(Compositor::Wayfire, vk::KeypadPlus, kCtrl | kShift, trigger),
              "binding_velora_application_windows_backward = <ctrl> <shift> KEY_KPPLUS\n"
              "command_velora_application_windows_backward = velora --trigger application-windows-backward");
    // A key no compositor can name (the Fn key) has no line; nor has an unknown compositor.
    EXPECT_FALSE(triggerBindingLine(Compositor::Sway, vk::Function, kAlt, "windows"));
    EXPECT_FALSE(triggerBindingLine(Compositor::Wayfire, vk::Function, kAlt, "windows"));
    EXPECT_FALSE(triggerBindingLine(Compositor::Other, vk::Tab, kAlt, "windows"));
}

// wayfire reads key names with the kernel's names of input codes: each name given must be the
// kernel's name of the key's code, checked against the kernel's own header.
TEST(EvdevKeyName, EveryNameIsTheKernelsNameOfTheKeysInputCode) {
    std::ifstream header("/usr/include/linux/input-event-codes.h");
    ASSERT_TRUE(header) << "the kernel's input-event-codes.h (linux-libc-dev) is needed";
    std::map<std::string, int> codes;
    const std::regex define(R"(^#define\s+(KEY_\w+)\s+(0x[0-9a-fA-F]+|\d+)\b)");
    for (std::string text; std::getline(header, text);) {
        std::smatch m;
        if (std::regex_search(text, m, define)) codes[m[1]] = std::stoi(m[2], nullptr, 0);
    }
    int named = 0;
    for (int64_t vk = 0; vk < 128; ++vk) {
        // Every key with an input code has a name, and that name is the code's.
        const int code = int(xKeycodeForVirtualKey(vk)) - 8;
        const std::optional<std::string> name = evdevKeyName(vk);
        EXPECT_EQ(name.has_value(), code >= 0) << "virtual key " << vk << ", input code " << code;
        if (!name) continue;
        EXPECT_EQ(codes[*name], code) << *name;
        ++named;
    }
    EXPECT_GT(named, 100);
}

TEST(DetectCompositor, TheCompositorsOwnVariableThenTheDesktopName) {
    const auto detect = [](std::map<std::string, std::string> env) {
        return detectCompositor([&env](const char* name) -> const char* {
            auto it = env.find(name);
            return it == env.end() ? nullptr : it->second.c_str();
        });
    };
    // A compositor's own variable comes before the desktop's name; an empty one is none.
    EXPECT_EQ(detect({{"HYPRLAND_INSTANCE_SIGNATURE", "abc"}, {"XDG_CURRENT_DESKTOP", "sway"}}),
              Compositor::Hyprland);
    EXPECT_EQ(detect({{"NIRI_SOCKET", ""}, {"XDG_CURRENT_DESKTOP", "GNOME"}}), Compositor::Other);
    // The desktop's name is a list, in any case.
    EXPECT_EQ(detect({{"XDG_CURRENT_DESKTOP", "wlroots:Wayfire"}}), Compositor::Wayfire);
}

} // namespace
} // namespace velora::wl
