#pragma once
// Virtual key codes (the system's key codes on every desktop) and what they show on a US
// keyboard layout. Backends translate their own key codes to and from these by key position.

#include <cstdint>
#include <string>

namespace velora::vk {

inline constexpr int64_t A = 0, S = 1, D = 2, F = 3, H = 4, G = 5, Z = 6, X = 7, C = 8, V = 9;
inline constexpr int64_t B = 11, Q = 12, W = 13, E = 14, R = 15, Y = 16, T = 17;
inline constexpr int64_t Key1 = 18, Key2 = 19, Key3 = 20, Key4 = 21, Key6 = 22, Key5 = 23;
inline constexpr int64_t Equal = 24, Key9 = 25, Key7 = 26, Minus = 27, Key8 = 28, Key0 = 29;
inline constexpr int64_t RightBracket = 30, O = 31, U = 32, LeftBracket = 33, I = 34, P = 35;
inline constexpr int64_t Return = 36, L = 37, J = 38, Quote = 39, K = 40, Semicolon = 41;
inline constexpr int64_t Backslash = 42, Comma = 43, Slash = 44, N = 45, M = 46, Period = 47;
inline constexpr int64_t Tab = 48, Space = 49, Grave = 50, Delete = 51, Escape = 53;
inline constexpr int64_t Command = 55, Shift = 56, CapsLock = 57, Option = 58, Control = 59;
inline constexpr int64_t RightShift = 60, RightOption = 61, RightControl = 62, Function = 63;
inline constexpr int64_t F17 = 64, KeypadDecimal = 65, KeypadMultiply = 67, KeypadPlus = 69;
inline constexpr int64_t KeypadClear = 71, KeypadDivide = 75, KeypadEnter = 76, KeypadMinus = 78;
inline constexpr int64_t KeypadEquals = 81, Keypad0 = 82, Keypad1 = 83, Keypad2 = 84, Keypad3 = 85;
inline constexpr int64_t Keypad4 = 86, Keypad5 = 87, Keypad6 = 88, Keypad7 = 89, Keypad8 = 91, Keypad9 = 92;
inline constexpr int64_t F5 = 96, F6 = 97, F7 = 98, F3 = 99, F8 = 100, F9 = 101, F11 = 103;
inline constexpr int64_t F13 = 105, F16 = 106, F14 = 107, F10 = 109, F12 = 111, F15 = 113;
inline constexpr int64_t Help = 114, Home = 115, PageUp = 116, ForwardDelete = 117, F4 = 118;
inline constexpr int64_t End = 119, F2 = 120, PageDown = 121, F1 = 122;
inline constexpr int64_t LeftArrow = 123, RightArrow = 124, DownArrow = 125, UpArrow = 126;

// The character the key shows on a US layout without modifiers (UTF-8); empty for keys
// without one (Tab, arrows, function keys...).
std::string usLayoutCharacter(int64_t keyCode);
// The key that shows the character on a US layout, or -1.
int64_t keyCodeForUSCharacter(char32_t character);

} // namespace velora::vk
