#include "prefs/recorder_keys.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <string_view>
#include <utility>

#include "hotkeys/sg_key_combo.h"
#include "platform/input.h"
#include "platform/virtual_keys.h"

namespace velora {

namespace {

// X's Lock bit in a key event's state.
constexpr quint32 kXLockMask = 0x2;

// Keys without a character, by Qt key.
constexpr std::pair<int, int64_t> kNamedQtKeys[] = {
    {Qt::Key_Tab, vk::Tab}, {Qt::Key_Backtab, vk::Tab}, {Qt::Key_Return, vk::Return},
    {Qt::Key_Enter, vk::KeypadEnter}, {Qt::Key_Escape, vk::Escape}, {Qt::Key_Space, vk::Space},
    {Qt::Key_Backspace, vk::Delete}, {Qt::Key_Delete, vk::ForwardDelete}, {Qt::Key_Insert, vk::Help},
    {Qt::Key_Help, vk::Help}, {Qt::Key_Home, vk::Home}, {Qt::Key_End, vk::End},
    {Qt::Key_PageUp, vk::PageUp}, {Qt::Key_PageDown, vk::PageDown}, {Qt::Key_Left, vk::LeftArrow},
    {Qt::Key_Right, vk::RightArrow}, {Qt::Key_Up, vk::UpArrow}, {Qt::Key_Down, vk::DownArrow},
    {Qt::Key_Clear, vk::KeypadClear}, {Qt::Key_F1, vk::F1}, {Qt::Key_F2, vk::F2}, {Qt::Key_F3, vk::F3},
    {Qt::Key_F4, vk::F4}, {Qt::Key_F5, vk::F5}, {Qt::Key_F6, vk::F6}, {Qt::Key_F7, vk::F7},
    {Qt::Key_F8, vk::F8}, {Qt::Key_F9, vk::F9}, {Qt::Key_F10, vk::F10}, {Qt::Key_F11, vk::F11},
    {Qt::Key_F12, vk::F12}, {Qt::Key_F13, vk::F13}, {Qt::Key_F14, vk::F14}, {Qt::Key_F15, vk::F15},
    {Qt::Key_F16, vk::F16}, {Qt::Key_F17, vk::F17},
};

// Keypad keys by the character they type.
constexpr std::pair<char, int64_t> kKeypadKeys[] = {
    {'0', vk::Keypad0}, {'1', vk::Keypad1}, {'2', vk::Keypad2}, {'3', vk::Keypad3}, {'4', vk::Keypad4},
    {'5', vk::Keypad5}, {'6', vk::Keypad6}, {'7', vk::Keypad7}, {'8', vk::Keypad8}, {'9', vk::Keypad9},
    {'.', vk::KeypadDecimal}, {'*', vk::KeypadMultiply}, {'+', vk::KeypadPlus}, {'-', vk::KeypadMinus},
    {'/', vk::KeypadDivide}, {'=', vk::KeypadEquals},
};

// The characters Shift gives on a US layout, and the keys that give them.
constexpr std::string_view kShiftedUS = "~!@#$%^&*()_+{}|:\"<>?";
constexpr std::string_view kUnshiftedUS = "`1234567890-=[]\\;',./";

// X key codes of the evdev keymap (the X server's default on Linux), by position.
constexpr std::pair<uint32_t, int64_t> kXKeyCodes[] = {
    {9, vk::Escape}, {10, vk::Key1}, {11, vk::Key2}, {12, vk::Key3}, {13, vk::Key4}, {14, vk::Key5},
    {15, vk::Key6}, {16, vk::Key7}, {17, vk::Key8}, {18, vk::Key9}, {19, vk::Key0}, {20, vk::Minus},
    {21, vk::Equal}, {22, vk::Delete}, {23, vk::Tab}, {24, vk::Q}, {25, vk::W}, {26, vk::E}, {27, vk::R},
    {28, vk::T}, {29, vk::Y}, {30, vk::U}, {31, vk::I}, {32, vk::O}, {33, vk::P}, {34, vk::LeftBracket},
    {35, vk::RightBracket}, {36, vk::Return}, {38, vk::A}, {39, vk::S}, {40, vk::D}, {41, vk::F},
    {42, vk::G}, {43, vk::H}, {44, vk::J}, {45, vk::K}, {46, vk::L}, {47, vk::Semicolon}, {48, vk::Quote},
    {49, vk::Grave}, {51, vk::Backslash}, {52, vk::Z}, {53, vk::X}, {54, vk::C}, {55, vk::V}, {56, vk::B},
    {57, vk::N}, {58, vk::M}, {59, vk::Comma}, {60, vk::Period}, {61, vk::Slash}, {63, vk::KeypadMultiply},
    {65, vk::Space}, {67, vk::F1}, {68, vk::F2}, {69, vk::F3}, {70, vk::F4}, {71, vk::F5}, {72, vk::F6},
    {73, vk::F7}, {74, vk::F8}, {75, vk::F9}, {76, vk::F10}, {79, vk::Keypad7}, {80, vk::Keypad8},
    {81, vk::Keypad9}, {82, vk::KeypadMinus}, {83, vk::Keypad4}, {84, vk::Keypad5}, {85, vk::Keypad6},
    {86, vk::KeypadPlus}, {87, vk::Keypad1}, {88, vk::Keypad2}, {89, vk::Keypad3}, {90, vk::Keypad0},
    {91, vk::KeypadDecimal}, {95, vk::F11}, {96, vk::F12}, {104, vk::KeypadEnter}, {106, vk::KeypadDivide},
    {110, vk::Home}, {111, vk::UpArrow}, {112, vk::PageUp}, {113, vk::LeftArrow}, {114, vk::RightArrow},
    {115, vk::End}, {116, vk::DownArrow}, {117, vk::PageDown}, {118, vk::Help}, {119, vk::ForwardDelete},
    {125, vk::KeypadEquals}, {191, vk::F13}, {192, vk::F14}, {193, vk::F15}, {194, vk::F16}, {195, vk::F17},
};

// Names of keys without a character.
constexpr std::pair<int64_t, const char*> kKeyNames[] = {
    {vk::Tab, "Tab"}, {vk::Return, "Return"}, {vk::KeypadEnter, "Enter"}, {vk::Escape, "Esc"},
    {vk::Space, "Space"}, {vk::Delete, "Backspace"}, {vk::ForwardDelete, "Delete"}, {vk::Help, "Insert"},
    {vk::Home, "Home"}, {vk::End, "End"}, {vk::PageUp, "Page Up"}, {vk::PageDown, "Page Down"},
    {vk::LeftArrow, "Left"}, {vk::RightArrow, "Right"}, {vk::UpArrow, "Up"}, {vk::DownArrow, "Down"},
    {vk::KeypadClear, "Clear"}, {vk::F1, "F1"}, {vk::F2, "F2"}, {vk::F3, "F3"}, {vk::F4, "F4"},
    {vk::F5, "F5"}, {vk::F6, "F6"}, {vk::F7, "F7"}, {vk::F8, "F8"}, {vk::F9, "F9"}, {vk::F10, "F10"},
    {vk::F11, "F11"}, {vk::F12, "F12"}, {vk::F13, "F13"}, {vk::F14, "F14"}, {vk::F15, "F15"},
    {vk::F16, "F16"}, {vk::F17, "F17"}, {vk::CapsLock, "Caps Lock"}, {vk::Function, "Fn"},
};

bool isKeypadKey(int64_t keyCode) {
    for (auto [ch, code] : kKeypadKeys)
        if (code == keyCode) return true;
    return keyCode == vk::KeypadEnter || keyCode == vk::KeypadClear;
}

} // namespace

uint64_t carbonToCocoaFlags(int64_t modifiers) {
    if (modifiers < 0) return 0;
    return SGKeyCombo::keyComboWithKeyCode(0, modifiers).modifierMask();
}

int64_t cocoaToCarbonFlags(uint64_t flags) {
    int64_t modifiers = 0;
    if (flags & kEventFlagCommand) modifiers |= kCommandKeyModifier;
    if (flags & kEventFlagShift) modifiers |= kShiftKeyModifier;
    if (flags & kEventFlagOption) modifiers |= kOptionKeyModifier;
    if (flags & kEventFlagControl) modifiers |= kControlKeyModifier;
    return modifiers;
}

uint64_t eventFlagsForQtModifiers(Qt::KeyboardModifiers modifiers) {
    uint64_t flags = 0;
    if (modifiers & Qt::AltModifier) flags |= kEventFlagCommand;
    if (modifiers & Qt::MetaModifier) flags |= kEventFlagOption;
    if (modifiers & Qt::ControlModifier) flags |= kEventFlagControl;
    if (modifiers & Qt::ShiftModifier) flags |= kEventFlagShift;
    return flags;
}

uint64_t eventFlagsForKeyEvent(const QKeyEvent& event) {
    uint64_t flags = eventFlagsForQtModifiers(event.modifiers());
    if (event.nativeModifiers() & kXLockMask) flags |= kEventFlagAlphaShift;
    return flags;
}

bool isControlOnlyKeyEvent(const QKeyEvent& event) {
    return (eventFlagsForKeyEvent(event) & kEventFlagsDeviceIndependentMask) == kEventFlagControl;
}

bool isModifierKey(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Shift: case Qt::Key_Control: case Qt::Key_Alt: case Qt::Key_AltGr: case Qt::Key_Meta:
    case Qt::Key_Super_L: case Qt::Key_Super_R: case Qt::Key_Hyper_L: case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock: case Qt::Key_NumLock: case Qt::Key_ScrollLock:
        return true;
    default:
        return false;
    }
}

int64_t virtualKeyForXKeyCode(uint32_t xKeyCode) {
    for (auto [x, code] : kXKeyCodes)
        if (x == xKeyCode) return code;
    return -1;
}

int64_t virtualKeyForQtKey(int qtKey, bool keypad) {
    for (auto [key, code] : kNamedQtKeys)
        if (key == qtKey) return code;
    if (qtKey < 0x20 || qtKey > 0x7e) return -1;
    char ch = char(qtKey);
    if (keypad)
        for (auto [c, code] : kKeypadKeys)
            if (c == ch) return code;
    if (ch >= 'A' && ch <= 'Z') ch = char(ch - 'A' + 'a');
    if (auto at = kShiftedUS.find(ch); at != std::string_view::npos) ch = kUnshiftedUS[at];
    return vk::keyCodeForUSCharacter(char32_t(ch));
}

int64_t virtualKeyForKeyEvent(const QKeyEvent& event) {
    if (isModifierKey(event.key())) return -1;
    if (event.nativeScanCode() != 0 && QGuiApplication::platformName() == QLatin1String("xcb")) {
        int64_t code = virtualKeyForXKeyCode(event.nativeScanCode());
        if (code >= 0) return code;
    }
    return virtualKeyForQtKey(event.key(), event.modifiers().testFlag(Qt::KeypadModifier));
}

QString keyNameForVirtualKey(int64_t keyCode) {
    if (keyCode < 0) return {};
    for (auto [code, name] : kKeyNames)
        if (code == keyCode) return QString::fromLatin1(name);
    const QString character = QString::fromStdString(vk::usLayoutCharacter(keyCode)).toUpper();
    if (character.isEmpty()) return QStringLiteral("Key %1").arg(keyCode);
    return isKeypadKey(keyCode) ? QStringLiteral("Keypad ") + character : character;
}

QString modifierNamesForFlags(uint64_t flags) {
    QString names;
    if (flags & kEventFlagOption) names += QStringLiteral("Super+");
    if (flags & kEventFlagControl) names += QStringLiteral("Ctrl+");
    if (flags & kEventFlagCommand) names += QStringLiteral("Alt+");
    if (flags & kEventFlagShift) names += QStringLiteral("Shift+");
    return names;
}

QString displayNameForCombination(uint64_t flags, int64_t keyCode) {
    if (keyCode < 0) return {};
    return modifierNamesForFlags(flags) + keyNameForVirtualKey(keyCode);
}

} // namespace velora
