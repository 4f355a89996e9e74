#include "platform/wayland/compositor_config.h"

#include <QString>
#include <QStringList>
#include <utility>

#include "platform/input.h"
#include "platform/wayland/wl_keys.h"
#include "platform/x_keycodes.h"

namespace velora::wl {

namespace {

// The kernel's names of the input codes a virtual key can have (linux/input-event-codes.h).
constexpr std::pair<int, const char*> kEvdevNames[] = {
    {1, "KEY_ESC"},
    {2, "KEY_1"},
    {3, "KEY_2"},
    {4, "KEY_3"},
    {5, "KEY_4"},
    {6, "KEY_5"},
    {7, "KEY_6"},
    {8, "KEY_7"},
    {9, "KEY_8"},
    {10, "KEY_9"},
    {11, "KEY_0"},
    {12, "KEY_MINUS"},
    {13, "KEY_EQUAL"},
    {14, "KEY_BACKSPACE"},
    {15, "KEY_TAB"},
    {16, "KEY_Q"},
    {17, "KEY_W"},
    {18, "KEY_E"},
    {19, "KEY_R"},
    {20, "KEY_T"},
    {21, "KEY_Y"},
    {22, "KEY_U"},
    {23, "KEY_I"},
    {24, "KEY_O"},
    {25, "KEY_P"},
    {26, "KEY_LEFTBRACE"},
    {27, "KEY_RIGHTBRACE"},
    {28, "KEY_ENTER"},
    {29, "KEY_LEFTCTRL"},
    {30, "KEY_A"},
    {31, "KEY_S"},
    {32, "KEY_D"},
    {33, "KEY_F"},
    {34, "KEY_G"},
    {35, "KEY_H"},
    {36, "KEY_J"},
    {37, "KEY_K"},
    {38, "KEY_L"},
    {39, "KEY_SEMICOLON"},
    {40, "KEY_APOSTROPHE"},
    {41, "KEY_GRAVE"},
    {42, "KEY_LEFTSHIFT"},
    {43, "KEY_BACKSLASH"},
    {44, "KEY_Z"},
    {45, "KEY_X"},
    {46, "KEY_C"},
    {47, "KEY_V"},
    {48, "KEY_B"},
    {49, "KEY_N"},
    {50, "KEY_M"},
    {51, "KEY_COMMA"},
    {52, "KEY_DOT"},
    {53, "KEY_SLASH"},
    {54, "KEY_RIGHTSHIFT"},
    {55, "KEY_KPASTERISK"},
    {56, "KEY_LEFTALT"},
    {57, "KEY_SPACE"},
    {58, "KEY_CAPSLOCK"},
    {59, "KEY_F1"},
    {60, "KEY_F2"},
    {61, "KEY_F3"},
    {62, "KEY_F4"},
    {63, "KEY_F5"},
    {64, "KEY_F6"},
    {65, "KEY_F7"},
    {66, "KEY_F8"},
    {67, "KEY_F9"},
    {68, "KEY_F10"},
    {69, "KEY_NUMLOCK"},
    {71, "KEY_KP7"},
    {72, "KEY_KP8"},
    {73, "KEY_KP9"},
    {74, "KEY_KPMINUS"},
    {75, "KEY_KP4"},
    {76, "KEY_KP5"},
    {77, "KEY_KP6"},
    {78, "KEY_KPPLUS"},
    {79, "KEY_KP1"},
    {80, "KEY_KP2"},
    {81, "KEY_KP3"},
    {82, "KEY_KP0"},
    {83, "KEY_KPDOT"},
    {86, "KEY_102ND"},
    {87, "KEY_F11"},
    {88, "KEY_F12"},
    {89, "KEY_RO"},
    {95, "KEY_KPJPCOMMA"},
    {96, "KEY_KPENTER"},
    {97, "KEY_RIGHTCTRL"},
    {98, "KEY_KPSLASH"},
    {100, "KEY_RIGHTALT"},
    {102, "KEY_HOME"},
    {103, "KEY_UP"},
    {104, "KEY_PAGEUP"},
    {105, "KEY_LEFT"},
    {106, "KEY_RIGHT"},
    {107, "KEY_END"},
    {108, "KEY_DOWN"},
    {109, "KEY_PAGEDOWN"},
    {110, "KEY_INSERT"},
    {111, "KEY_DELETE"},
    {113, "KEY_MUTE"},
    {114, "KEY_VOLUMEDOWN"},
    {115, "KEY_VOLUMEUP"},
    {117, "KEY_KPEQUAL"},
    {124, "KEY_YEN"},
    {125, "KEY_LEFTMETA"},
    {126, "KEY_RIGHTMETA"},
    {183, "KEY_F13"},
    {184, "KEY_F14"},
    {185, "KEY_F15"},
    {186, "KEY_F16"},
    {187, "KEY_F17"},
    {188, "KEY_F18"},
    {189, "KEY_F19"},
    {190, "KEY_F20"},
};

// Each compositor's names of Alt, Super, Ctrl and Shift, in that order.
struct ModifierNames {
    const char* alt;
    const char* super;
    const char* ctrl;
    const char* shift;
};

QStringList modifierList(uint64_t flags, const ModifierNames& names) {
    QStringList out;
    if (flags & kEventFlagCommand) out << QString::fromLatin1(names.alt);
    if (flags & kEventFlagOption) out << QString::fromLatin1(names.super);
    if (flags & kEventFlagControl) out << QString::fromLatin1(names.ctrl);
    if (flags & kEventFlagShift) out << QString::fromLatin1(names.shift);
    return out;
}

bool hasToken(const char* list, std::string_view token) {
    if (!list) return false;
    const QStringList tokens = QString::fromUtf8(list).split(QLatin1Char(':'));
    return tokens.contains(QString::fromLatin1(token.data(), qsizetype(token.size())), Qt::CaseInsensitive);
}

// Each compositor's name (as it writes it, and as XDG_CURRENT_DESKTOP names it) and where its
// key bindings go.
struct CompositorInfo {
    Compositor compositor;
    std::string_view name;
    std::string_view place;
};
constexpr CompositorInfo kCompositors[] = {
    {Compositor::Sway, "sway", "~/.config/sway/config"},
    {Compositor::Hyprland, "Hyprland", "~/.config/hypr/hyprland.conf"},
    {Compositor::Niri, "niri", "the binds { } section of ~/.config/niri/config.kdl"},
    {Compositor::Labwc, "labwc", "the <keyboard> section of ~/.config/labwc/rc.xml"},
    {Compositor::River, "river", "~/.config/river/init"},
    {Compositor::Wayfire, "wayfire", "the [command] section of ~/.config/wayfire.ini"},
};

const CompositorInfo* infoOf(Compositor compositor) {
    for (const CompositorInfo& info : kCompositors)
        if (info.compositor == compositor) return &info;
    return nullptr;
}

} // namespace

Compositor detectCompositor(const std::function<const char*(const char*)>& env) {
    const auto set = [&env](const char* name) {
        const char* value = env(name);
        return value && *value;
    };
    if (set("HYPRLAND_INSTANCE_SIGNATURE")) return Compositor::Hyprland;
    if (set("NIRI_SOCKET")) return Compositor::Niri;
    if (set("LABWC_PID")) return Compositor::Labwc;
    if (set("WAYFIRE_CONFIG_FILE")) return Compositor::Wayfire;
    if (set("SWAYSOCK")) return Compositor::Sway;
    const char* desktop = env("XDG_CURRENT_DESKTOP");
    for (const CompositorInfo& info : kCompositors)
        if (hasToken(desktop, info.name)) return info.compositor;
    return Compositor::Other;
}

std::string_view compositorName(Compositor compositor) {
    const CompositorInfo* info = infoOf(compositor);
    return info ? info->name : "the compositor";
}

std::string_view configurationPlace(Compositor compositor) {
    const CompositorInfo* info = infoOf(compositor);
    return info ? info->place : std::string_view{};
}

std::optional<std::string> evdevKeyName(int64_t keyCode) {
    const int code = int(xKeycodeForVirtualKey(keyCode)) - 8;
    for (auto [evdev, name] : kEvdevNames)
        if (evdev == code) return std::string(name);
    return std::nullopt;
}

std::optional<std::string> triggerBindingLine(Compositor compositor, int64_t keyCode, uint64_t flags,
                                              std::string_view trigger) {
    const QString name = QString::fromUtf8(trigger.data(), qsizetype(trigger.size()));
    const QString command = QStringLiteral("velora --trigger ") + name;
    if (compositor == Compositor::Wayfire) {
        const std::optional<std::string> key = evdevKeyName(keyCode);
        if (!key) return std::nullopt;
        QStringList parts = modifierList(flags, {"<alt>", "<super>", "<ctrl>", "<shift>"});
        parts << QString::fromStdString(*key);
        // Option names are made of letters, digits and underscores.
        const QString option =
            QStringLiteral("velora_") + QString(name).replace(QLatin1Char('-'), QLatin1Char('_'));
        return QStringLiteral("binding_%1 = %2\ncommand_%1 = %3")
            .arg(option, parts.join(QLatin1Char(' ')), command)
            .toStdString();
    }
    const std::optional<std::string> sym = keysymNameOfVirtualKey(keyCode);
    if (!sym) return std::nullopt;
    const QString key = QString::fromStdString(*sym);
    QString line;
    switch (compositor) {
    case Compositor::Sway: {
        QStringList parts = modifierList(flags, {"Mod1", "Mod4", "Ctrl", "Shift"});
        parts << key;
        line = QStringLiteral("bindsym --no-repeat %1 exec %2").arg(parts.join(QLatin1Char('+')), command);
        break;
    }
    case Compositor::Hyprland:
        line = QStringLiteral("bind = %1, %2, exec, %3")
                   .arg(modifierList(flags, {"ALT", "SUPER", "CTRL", "SHIFT"}).join(QLatin1Char(' ')), key,
                        command);
        break;
    case Compositor::Niri: {
        QStringList parts = modifierList(flags, {"Alt", "Super", "Ctrl", "Shift"});
        parts << key;
        line = QStringLiteral("%1 repeat=false { spawn \"velora\" \"--trigger\" \"%2\"; }")
                   .arg(parts.join(QLatin1Char('+')), name);
        break;
    }
    case Compositor::Labwc: {
        QStringList parts = modifierList(flags, {"A", "W", "C", "S"});
        parts << key;
        line = QStringLiteral("<keybind key=\"%1\"><action name=\"Execute\" command=\"%2\"/></keybind>")
                   .arg(parts.join(QLatin1Char('-')), command);
        break;
    }
    case Compositor::River: {
        const QStringList mods = modifierList(flags, {"Alt", "Super", "Control", "Shift"});
        line = QStringLiteral("riverctl map normal %1 %2 spawn '%3'")
                   .arg(mods.isEmpty() ? QStringLiteral("None") : mods.join(QLatin1Char('+')), key, command);
        break;
    }
    case Compositor::Wayfire:
    case Compositor::Other:
        return std::nullopt;
    }
    return line.toStdString();
}

} // namespace velora::wl
