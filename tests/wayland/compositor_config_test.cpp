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

std::string line(Compositor c, int64_t key, uint64_t flags, const char* trigger) {
    return triggerBindingLine(c, key, flags, trigger).value_or("(none)");
}

TEST(TriggerBindingLine, EachCompositorsSyntaxForAltTab) {
    EXPECT_EQ(line(Compositor::Sway, vk::Tab, kAlt, "windows"),
              "bindsym --no-repeat Mod1+Tab exec velora --trigger windows");
    EXPECT_EQ(line(Compositor::Hyprland, vk::Tab, kAlt, "windows"),
              "bind = ALT, Tab, exec, velora --trigger windows");
    EXPECT_EQ(line(Compositor::Niri, vk::Tab, kAlt, "windows"),
              R"(Alt+Tab repeat=false { spawn "velora" "--trigger" "windows"; })");
    EXPECT_EQ(
        line(Compositor::Labwc, vk::Tab, kAlt, "windows"),
        R"(<keybind key="A-Tab"><action name="Execute" command="velora --trigger windows"/></keybind>)");
    EXPECT_EQ(line(Compositor::River, vk::Tab, kAlt, "windows"),
              "riverctl map normal Alt Tab spawn 'velora --trigger windows'");
    EXPECT_EQ(line(Compositor::Wayfire, vk::Tab, kAlt, "windows"),
              "binding_velora_windows = <alt> KEY_TAB\ncommand_velora_windows = velora --trigger windows");
    EXPECT_EQ(line(Compositor::Other, vk::Tab, kAlt, "windows"), "(none)");
}

TEST(TriggerBindingLine, ShiftedGraveKeypadAndHighFunctionKeys) {
    // Shift is a modifier of the unshifted key (Tab, not ISO_Left_Tab); all four at once.
    EXPECT_EQ(line(Compositor::Sway, vk::Tab, kAlt | kSuper | kCtrl | kShift, "windows-backward"),
              "bindsym --no-repeat Mod1+Mod4+Ctrl+Shift+Tab exec velora --trigger windows-backward");
    EXPECT_EQ(line(Compositor::Hyprland, vk::Tab, kSuper | kShift, "applications-backward"),
              "bind = SUPER SHIFT, Tab, exec, velora --trigger applications-backward");
    EXPECT_EQ(line(Compositor::River, vk::Tab, kCtrl | kShift, "windows-backward"),
              "riverctl map normal Control+Shift Tab spawn 'velora --trigger windows-backward'");
    // The key left of 1 by its keysym name; wayfire's option names take no hyphen.
    EXPECT_EQ(
        line(Compositor::Labwc, vk::Grave, kAlt | kShift, "application-windows-backward"),
        R"(<keybind key="A-S-grave"><action name="Execute" command="velora --trigger application-windows-backward"/></keybind>)");
    EXPECT_EQ(line(Compositor::Wayfire, vk::Grave, kAlt | kShift, "application-windows-backward"),
              "binding_velora_application_windows_backward = <alt> <shift> KEY_GRAVE\n"
              "command_velora_application_windows_backward = velora --trigger application-windows-backward");
    // The keypad's own keys, not the main row's.
    EXPECT_EQ(line(Compositor::Niri, vk::Keypad1, kSuper | kCtrl, "applications"),
              R"(Super+Ctrl+KP_1 repeat=false { spawn "velora" "--trigger" "applications"; })");
    EXPECT_EQ(line(Compositor::Wayfire, vk::KeypadPlus, kCtrl, "applications"),
              "binding_velora_applications = <ctrl> KEY_KPPLUS\ncommand_velora_applications = velora "
              "--trigger applications");
    // F13 and F20 (a virtual key without a name); no modifier at all.
    EXPECT_EQ(line(Compositor::Hyprland, vk::F13, 0, "windows"),
              "bind = , F13, exec, velora --trigger windows");
    EXPECT_EQ(line(Compositor::River, 90, 0, "windows"),
              "riverctl map normal None F20 spawn 'velora --trigger windows'");
    EXPECT_EQ(line(Compositor::Wayfire, 90, kSuper, "windows"),
              "binding_velora_windows = <super> KEY_F20\ncommand_velora_windows = velora --trigger windows");
    // A key no compositor can name (the Fn key) has no line.
    EXPECT_EQ(line(Compositor::Sway, vk::Function, kAlt, "windows"), "(none)");
    EXPECT_EQ(line(Compositor::Wayfire, vk::Function, kAlt, "windows"), "(none)");
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
    ASSERT_GT(codes.size(), 200u);
    int named = 0;
    for (int64_t vk = 0; vk < 128; ++vk) {
        const int code = int(xKeycodeForVirtualKey(vk)) - 8;
        const std::optional<std::string> name = evdevKeyName(vk);
        if (code < 0) {
            EXPECT_FALSE(name) << vk;
            continue;
        }
        ASSERT_TRUE(name) << "virtual key " << vk << " (input code " << code << ") has no name";
        ASSERT_TRUE(codes.count(*name)) << *name << " is no kernel name";
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
    EXPECT_EQ(detect({{"SWAYSOCK", "/run/user/1000/sway-ipc.sock"}}), Compositor::Sway);
    EXPECT_EQ(detect({{"HYPRLAND_INSTANCE_SIGNATURE", "abc"}, {"XDG_CURRENT_DESKTOP", "sway"}}),
              Compositor::Hyprland);
    EXPECT_EQ(detect({{"NIRI_SOCKET", "/run/user/1000/niri.sock"}}), Compositor::Niri);
    EXPECT_EQ(detect({{"LABWC_PID", "1234"}, {"XDG_CURRENT_DESKTOP", "labwc:wlroots"}}), Compositor::Labwc);
    EXPECT_EQ(detect({{"WAYFIRE_CONFIG_FILE", "/home/u/.config/wayfire.ini"}}), Compositor::Wayfire);
    // river sets none of its own: its session names it.
    EXPECT_EQ(detect({{"XDG_CURRENT_DESKTOP", "river"}}), Compositor::River);
    EXPECT_EQ(detect({{"XDG_CURRENT_DESKTOP", "wlroots:Wayfire"}}), Compositor::Wayfire);
    // An empty variable is no signature; an unknown desktop is none of them.
    EXPECT_EQ(detect({{"NIRI_SOCKET", ""}, {"XDG_CURRENT_DESKTOP", "GNOME"}}), Compositor::Other);
    EXPECT_EQ(detect({}), Compositor::Other);
}

} // namespace
} // namespace velora::wl
