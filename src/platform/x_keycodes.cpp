#include "platform/x_keycodes.h"

#include <array>
#include <utility>

#include "platform/virtual_keys.h"

namespace velora {

namespace {

// Kernel input codes (linux/input-event-codes.h) of the virtual keys.
constexpr std::pair<int64_t, int> kPositions[] = {
    {vk::A, 30},
    {vk::S, 31},
    {vk::D, 32},
    {vk::F, 33},
    {vk::H, 35},
    {vk::G, 34},
    {vk::Z, 44},
    {vk::X, 45},
    {vk::C, 46},
    {vk::V, 47},
    {10, 86} /* ISO section: the key left of Z */,
    {vk::B, 48},
    {vk::Q, 16},
    {vk::W, 17},
    {vk::E, 18},
    {vk::R, 19},
    {vk::Y, 21},
    {vk::T, 20},
    {vk::Key1, 2},
    {vk::Key2, 3},
    {vk::Key3, 4},
    {vk::Key4, 5},
    {vk::Key6, 7},
    {vk::Key5, 6},
    {vk::Equal, 13},
    {vk::Key9, 10},
    {vk::Key7, 8},
    {vk::Minus, 12},
    {vk::Key8, 9},
    {vk::Key0, 11},
    {vk::RightBracket, 27},
    {vk::O, 24},
    {vk::U, 22},
    {vk::LeftBracket, 26},
    {vk::I, 23},
    {vk::P, 25},
    {vk::Return, 28},
    {vk::L, 38},
    {vk::J, 36},
    {vk::Quote, 40},
    {vk::K, 37},
    {vk::Semicolon, 39},
    {vk::Backslash, 43},
    {vk::Comma, 51},
    {vk::Slash, 53},
    {vk::N, 49},
    {vk::M, 50},
    {vk::Period, 52},
    {vk::Tab, 15},
    {vk::Space, 57},
    {vk::Grave, 41},
    {vk::Delete, 14},
    {vk::Escape, 1},
    // Modifiers by position: Command = left Alt, Option = left Super.
    {54, 100} /* right Command = right Alt */,
    {vk::Command, 56},
    {vk::Shift, 42},
    {vk::CapsLock, 58},
    {vk::Option, 125},
    {vk::Control, 29},
    {vk::RightShift, 54},
    {vk::RightOption, 126},
    {vk::RightControl, 97},
    {vk::F17, 187},
    {vk::KeypadDecimal, 83},
    {vk::KeypadMultiply, 55},
    {vk::KeypadPlus, 78},
    {vk::KeypadClear, 69},
    {72, 115} /* volume up */,
    {73, 114} /* volume down */,
    {74, 113} /* mute */,
    {vk::KeypadDivide, 98},
    {vk::KeypadEnter, 96},
    {vk::KeypadMinus, 74},
    {79, 188} /* F18 */,
    {80, 189} /* F19 */,
    {vk::KeypadEquals, 117},
    {vk::Keypad0, 82},
    {vk::Keypad1, 79},
    {vk::Keypad2, 80},
    {vk::Keypad3, 81},
    {vk::Keypad4, 75},
    {vk::Keypad5, 76},
    {vk::Keypad6, 77},
    {vk::Keypad7, 71},
    {90, 190} /* F20 */,
    {vk::Keypad8, 72},
    {vk::Keypad9, 73},
    {93, 124} /* JIS yen */,
    {94, 89} /* JIS ro */,
    {95, 95} /* JIS keypad comma */,
    {vk::F5, 63},
    {vk::F6, 64},
    {vk::F7, 65},
    {vk::F3, 61},
    {vk::F8, 66},
    {vk::F9, 67},
    {vk::F11, 87},
    {vk::F13, 183},
    {vk::F16, 186},
    {vk::F14, 184},
    {vk::F10, 68},
    {vk::F12, 88},
    {vk::F15, 185},
    {vk::Help, 110} /* Insert */,
    {vk::Home, 102},
    {vk::PageUp, 104},
    {vk::ForwardDelete, 111},
    {vk::F4, 62},
    {vk::End, 107},
    {vk::F2, 60},
    {vk::PageDown, 109},
    {vk::F1, 59},
    {vk::LeftArrow, 105},
    {vk::RightArrow, 106},
    {vk::DownArrow, 108},
    {vk::UpArrow, 103},
};

constexpr int kEvdevOffset = 8;

struct Tables {
    std::array<int64_t, 256> toVirtual{};
    std::array<uint8_t, 128> toX{};
    Tables() {
        toVirtual.fill(-1);
        toX.fill(0);
        for (auto [virtualKey, kernel] : kPositions) {
            const int x = kernel + kEvdevOffset;
            if (x > 255) continue;
            toVirtual[std::size_t(x)] = virtualKey;
            toX[std::size_t(virtualKey)] = uint8_t(x);
        }
    }
};

const Tables& tables() {
    static const Tables t;
    return t;
}

} // namespace

int64_t virtualKeyForXKeycode(uint8_t xKeycode) {
    return tables().toVirtual[xKeycode];
}

uint8_t xKeycodeForVirtualKey(int64_t virtualKey) {
    if (virtualKey < 0 || virtualKey >= 128) return 0;
    return tables().toX[std::size_t(virtualKey)];
}

} // namespace velora
