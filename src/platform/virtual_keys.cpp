#include "platform/virtual_keys.h"

#include <array>
#include <utility>

namespace velora::vk {

namespace {

constexpr std::array<std::pair<int64_t, char>, 62> kUsLayout{{
    {A, 'a'},
    {S, 's'},
    {D, 'd'},
    {F, 'f'},
    {H, 'h'},
    {G, 'g'},
    {Z, 'z'},
    {X, 'x'},
    {C, 'c'},
    {V, 'v'},
    {B, 'b'},
    {Q, 'q'},
    {W, 'w'},
    {E, 'e'},
    {R, 'r'},
    {Y, 'y'},
    {T, 't'},
    {Key1, '1'},
    {Key2, '2'},
    {Key3, '3'},
    {Key4, '4'},
    {Key6, '6'},
    {Key5, '5'},
    {Equal, '='},
    {Key9, '9'},
    {Key7, '7'},
    {Minus, '-'},
    {Key8, '8'},
    {Key0, '0'},
    {RightBracket, ']'},
    {O, 'o'},
    {U, 'u'},
    {LeftBracket, '['},
    {I, 'i'},
    {P, 'p'},
    {L, 'l'},
    {J, 'j'},
    {Quote, '\''},
    {K, 'k'},
    {Semicolon, ';'},
    {Backslash, '\\'},
    {Comma, ','},
    {Slash, '/'},
    {N, 'n'},
    {M, 'm'},
    {Period, '.'},
    {Grave, '`'},
    {Space, ' '},
    {KeypadDecimal, '.'},
    {KeypadMultiply, '*'},
    {KeypadPlus, '+'},
    {KeypadDivide, '/'},
    {KeypadMinus, '-'},
    {KeypadEquals, '='},
    {Keypad0, '0'},
    {Keypad1, '1'},
    {Keypad2, '2'},
    {Keypad3, '3'},
    {Keypad4, '4'},
    {Keypad5, '5'},
    {Keypad6, '6'},
    {Keypad7, '7'},
}};
constexpr std::array<std::pair<int64_t, char>, 2> kUsKeypadTail{{{Keypad8, '8'}, {Keypad9, '9'}}};

} // namespace

std::string usLayoutCharacter(int64_t keyCode) {
    for (auto [code, ch] : kUsLayout)
        if (code == keyCode) return std::string(1, ch);
    for (auto [code, ch] : kUsKeypadTail)
        if (code == keyCode) return std::string(1, ch);
    return {};
}

int64_t keyCodeForUSCharacter(char32_t character) {
    for (auto [code, ch] : kUsLayout)
        if (char32_t(ch) == character) return code;
    return -1;
}

} // namespace velora::vk
