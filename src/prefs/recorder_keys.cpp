#include "prefs/recorder_keys.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <string_view>
#include <utility>

#include "hotkeys/sg_key_combo.h"
#include "platform/input.h"
#include "platform/virtual_keys.h"
#include "platform/x_keycodes.h"

namespace velora {

namespace {

// X's Lock bit in a key event's state.
constexpr quint32 kXLockMask = 0x2;

// Keys without a character, by Qt key.
constexpr std::pair<int, int64_t> kNamedQtKeys[] = {
    {Qt::Key_Tab, vk::Tab},
    {Qt::Key_Backtab, vk::Tab},
    {Qt::Key_Return, vk::Return},
    {Qt::Key_Enter, vk::KeypadEnter},
    {Qt::Key_Escape, vk::Escape},
    {Qt::Key_Space, vk::Space},
    {Qt::Key_Backspace, vk::Delete},
    {Qt::Key_Delete, vk::ForwardDelete},
    {Qt::Key_Insert, vk::Help},
    {Qt::Key_Help, vk::Help},
    {Qt::Key_Home, vk::Home},
    {Qt::Key_End, vk::End},
    {Qt::Key_PageUp, vk::PageUp},
    {Qt::Key_PageDown, vk::PageDown},
    {Qt::Key_Left, vk::LeftArrow},
    {Qt::Key_Right, vk::RightArrow},
    {Qt::Key_Up, vk::UpArrow},
    {Qt::Key_Down, vk::DownArrow},
    {Qt::Key_Clear, vk::KeypadClear},
    {Qt::Key_F1, vk::F1},
    {Qt::Key_F2, vk::F2},
    {Qt::Key_F3, vk::F3},
    {Qt::Key_F4, vk::F4},
    {Qt::Key_F5, vk::F5},
    {Qt::Key_F6, vk::F6},
    {Qt::Key_F7, vk::F7},
    {Qt::Key_F8, vk::F8},
    {Qt::Key_F9, vk::F9},
    {Qt::Key_F10, vk::F10},
    {Qt::Key_F11, vk::F11},
    {Qt::Key_F12, vk::F12},
    {Qt::Key_F13, vk::F13},
    {Qt::Key_F14, vk::F14},
    {Qt::Key_F15, vk::F15},
    {Qt::Key_F16, vk::F16},
    {Qt::Key_F17, vk::F17},
};

// Keypad keys by the character they type.
constexpr std::pair<char, int64_t> kKeypadKeys[] = {
    {'0', vk::Keypad0},    {'1', vk::Keypad1},     {'2', vk::Keypad2},       {'3', vk::Keypad3},
    {'4', vk::Keypad4},    {'5', vk::Keypad5},     {'6', vk::Keypad6},       {'7', vk::Keypad7},
    {'8', vk::Keypad8},    {'9', vk::Keypad9},     {'.', vk::KeypadDecimal}, {'*', vk::KeypadMultiply},
    {'+', vk::KeypadPlus}, {'-', vk::KeypadMinus}, {'/', vk::KeypadDivide},  {'=', vk::KeypadEquals},
};

// The characters Shift gives on a US layout, and the keys that give them.
constexpr std::string_view kShiftedUS = "~!@#$%^&*()_+{}|:\"<>?";
constexpr std::string_view kUnshiftedUS = "`1234567890-=[]\\;',./";

// Names of keys without a character.
constexpr std::pair<int64_t, const char*> kKeyNames[] = {
    {vk::Tab, "Tab"},
    {vk::Return, "Return"},
    {vk::KeypadEnter, "Enter"},
    {vk::Escape, "Esc"},
    {vk::Space, "Space"},
    {vk::Delete, "Backspace"},
    {vk::ForwardDelete, "Delete"},
    {vk::Help, "Insert"},
    {vk::Home, "Home"},
    {vk::End, "End"},
    {vk::PageUp, "Page Up"},
    {vk::PageDown, "Page Down"},
    {vk::LeftArrow, "Left"},
    {vk::RightArrow, "Right"},
    {vk::UpArrow, "Up"},
    {vk::DownArrow, "Down"},
    {vk::KeypadClear, "Clear"},
    {vk::F1, "F1"},
    {vk::F2, "F2"},
    {vk::F3, "F3"},
    {vk::F4, "F4"},
    {vk::F5, "F5"},
    {vk::F6, "F6"},
    {vk::F7, "F7"},
    {vk::F8, "F8"},
    {vk::F9, "F9"},
    {vk::F10, "F10"},
    {vk::F11, "F11"},
    {vk::F12, "F12"},
    {vk::F13, "F13"},
    {vk::F14, "F14"},
    {vk::F15, "F15"},
    {vk::F16, "F16"},
    {vk::F17, "F17"},
    {vk::CapsLock, "Caps Lock"},
    {vk::Function, "Fn"},
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
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
        return true;
    default:
        return false;
    }
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
    if (event.nativeScanCode() != 0 && event.nativeScanCode() <= 0xff &&
        QGuiApplication::platformName() == QLatin1String("xcb")) {
        int64_t code = virtualKeyForXKeycode(uint8_t(event.nativeScanCode()));
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
