#include "hotkeys/sg_key_code_translator.h"

#include <QString>

#include "platform/platform.h"

namespace velora {

std::shared_ptr<SGKeyCodeTranslator> SGKeyCodeTranslator::currentTranslator() {
    static std::mutex cacheMutex;
    static std::shared_ptr<SGKeyCodeTranslator> cached;
    static std::string cachedIdentifier;

    if (!hasPlatform() || !platform().input) return nullptr;
    std::shared_ptr<const KeyboardLayout> layout = input().currentKeyboardLayout();
    if (!layout) return nullptr;
    const std::string identifier = layout->identifier();

    std::lock_guard lock(cacheMutex);
    if (cached && identifier == cachedIdentifier) {
        // The same layout handed out as a new object: serve it, keep the dead-key state.
        if (cached->keyboardLayout() != layout) cached->setKeyboardLayout(std::move(layout));
        return cached;
    }
    cached = std::make_shared<SGKeyCodeTranslator>(std::move(layout));
    cachedIdentifier = identifier;
    return cached;
}

SGKeyCodeTranslator::SGKeyCodeTranslator(std::shared_ptr<const KeyboardLayout> keyboardLayout)
    : keyboardLayout_(std::move(keyboardLayout)) {}

std::string SGKeyCodeTranslator::translateKeyCode(int64_t keyCode) {
    std::lock_guard lock(mutex_);
    if (!keyboardLayout_) return {};
    const std::u16string units =
        keyboardLayout_->translate(static_cast<uint16_t>(keyCode & 0xFFFF), 0, deadKeyState_);
    if (units.empty()) return {};
    // The first character: one unit, or two when they form a surrogate pair.
    const bool pair =
        units.size() >= 2 && QChar::isHighSurrogate(units[0]) && QChar::isLowSurrogate(units[1]);
    const QString character = QString::fromUtf16(units.data(), pair ? 2 : 1);
    if (!pair && QChar::isSurrogate(units[0])) return "\uFFFD";
    return character.toStdString();
}

std::shared_ptr<const KeyboardLayout> SGKeyCodeTranslator::keyboardLayout() const {
    std::lock_guard lock(mutex_);
    return keyboardLayout_;
}

void SGKeyCodeTranslator::setKeyboardLayout(std::shared_ptr<const KeyboardLayout> keyboardLayout) {
    std::lock_guard lock(mutex_);
    keyboardLayout_ = std::move(keyboardLayout);
}

uint32_t SGKeyCodeTranslator::deadKeyState() const {
    std::lock_guard lock(mutex_);
    return deadKeyState_;
}

} // namespace velora
