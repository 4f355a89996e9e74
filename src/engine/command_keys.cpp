#include "engine/command_keys.h"

#include <algorithm>
#include <cctype>
#include <mutex>
#include <string>

#include "platform/platform.h"

namespace velora {

namespace {

struct CommandCharacter {
    char character;
    SwitchCommand command;
};

// In the order in which keys are tried; Escape sits between "r" and "w".
constexpr CommandCharacter kBeforeEscape[] = {
    {',', SwitchCommand::OpenPrefs}, {'q', SwitchCommand::Quit},      {'m', SwitchCommand::Minimize},
    {'h', SwitchCommand::Hide},      {'f', SwitchCommand::ForceQuit}, {'r', SwitchCommand::Reveal},
};
constexpr CommandCharacter kAfterEscape[] = {{'w', SwitchCommand::Close}, {'o', SwitchCommand::HideOthers}};

std::string lowered(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool isCommandCharacter(char16_t unit) {
    if (unit >= 0x80) return false;
    const char c = char(std::tolower(int(unit)));
    for (const CommandCharacter& k : kBeforeEscape)
        if (k.character == c) return true;
    for (const CommandCharacter& k : kAfterEscape)
        if (k.character == c) return true;
    return false;
}

} // namespace

SwitchCommand commandForKey(const KeyEvent& event) {
    const std::string characters = lowered(event.charactersIgnoringModifiers);
    for (const CommandCharacter& k : kBeforeEscape)
        if (characters == std::string(1, k.character)) return k.command;
    if (event.keyCode == kEscapeKeyCode) return SwitchCommand::Cancel;
    for (const CommandCharacter& k : kAfterEscape)
        if (characters == std::string(1, k.character)) return k.command;
    return SwitchCommand::None;
}

std::vector<int64_t> commandKeyCodes() {
    std::shared_ptr<const KeyboardLayout> layout = input().currentKeyboardLayout();
    // Translating 128 codes at every switch is wasted work while the layout stays the same.
    static std::mutex cacheMutex;
    static std::string cachedLayout;
    static std::vector<int64_t> cachedCodes;
    const std::string identifier = layout ? layout->identifier() : std::string();
    std::lock_guard lock(cacheMutex);
    if (!cachedCodes.empty() && identifier == cachedLayout && !identifier.empty()) return cachedCodes;

    std::vector<int64_t> codes{kEscapeKeyCode};
    if (layout) {
        for (uint16_t code = 0; code < 128; ++code) {
            uint32_t deadKeyState = 0;
            const std::u16string units = layout->translate(code, 0, deadKeyState);
            if (units.size() == 1 && isCommandCharacter(units[0])) codes.push_back(code);
        }
    }
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    cachedLayout = identifier;
    cachedCodes = codes;
    return codes;
}

} // namespace velora
