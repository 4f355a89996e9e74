#include "hotkeys/sg_hot_key.h"

#include "platform/platform.h"

namespace velora {

SGHotKey::SGHotKey() : SGHotKey(std::string(), SGKeyCombo::clearKeyCombo()) {}

SGHotKey::SGHotKey(std::string identifier, SGKeyCombo combo)
    : identifier_(std::move(identifier)), combo_(combo) {}

SGHotKey::SGHotKey(std::string identifier, SGKeyCombo combo, std::function<void()> action)
    : identifier_(std::move(identifier)), combo_(combo), action_(std::move(action)) {}

const std::string& SGHotKey::identifier() const {
    return identifier_;
}

void SGHotKey::setIdentifier(std::string identifier) {
    std::lock_guard lock(mutex_);
    identifier_ = std::move(identifier);
}

bool SGHotKey::hasIdentifier(std::string_view identifier) const {
    std::lock_guard lock(mutex_);
    return identifier_ == identifier;
}

const std::string& SGHotKey::name() const {
    return name_;
}

void SGHotKey::setName(std::string name) {
    std::lock_guard lock(mutex_);
    name_ = std::move(name);
}

SGKeyCombo SGHotKey::keyCombo() const {
    std::lock_guard lock(mutex_);
    return combo_;
}

void SGHotKey::setKeyCombo(const SGKeyCombo& combo) {
    std::lock_guard lock(mutex_);
    combo_ = combo;
}

void SGHotKey::setAction(std::function<void()> action) {
    std::lock_guard lock(mutex_);
    action_ = std::move(action);
}

void SGHotKey::invoke() {
    std::function<void()> action;
    {
        std::lock_guard lock(mutex_);
        action = action_;
    }
    if (!action) return;
    mainThread().scheduleTimer(0.0, std::move(action));
}

void SGHotKey::setHotKeyID(uint32_t signature, uint32_t id) {
    std::lock_guard lock(mutex_);
    signature_ = signature;
    id_ = id;
}

bool SGHotKey::matchesHotKeyID(uint32_t signature, uint32_t id) const {
    std::lock_guard lock(mutex_);
    return signature_ == signature && id_ == id;
}

bool SGHotKey::keyDownReceived() const {
    std::lock_guard lock(mutex_);
    return keyDownReceived_;
}

void SGHotKey::setKeyDownReceived(bool received) {
    std::lock_guard lock(mutex_);
    keyDownReceived_ = received;
}

std::string SGHotKey::description() const {
    std::string identifier;
    SGKeyCombo combo = SGKeyCombo::clearKeyCombo();
    {
        std::lock_guard lock(mutex_);
        identifier = identifier_;
        combo = combo_;
    }
    return "<SGHotKey: " + identifier + ", " + combo.description() + ">";
}

} // namespace velora
