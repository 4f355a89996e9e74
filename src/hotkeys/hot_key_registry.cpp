#include "hotkeys/hot_key_registry.h"

#include <algorithm>
#include <utility>

namespace velora {

HotKeyRegistry::HotKeyRegistry() : hotKeys_(std::make_shared<const std::vector<SGHotKeyRef>>()) {}

HotKeyRegistry::Snapshot HotKeyRegistry::snapshot() const {
    std::lock_guard lock(mutex_);
    return hotKeys_;
}

bool HotKeyRegistry::contains(const SGHotKeyRef& hotKey) const {
    Snapshot current = snapshot();
    return std::find(current->begin(), current->end(), hotKey) != current->end();
}

HotKeyRegistry::Snapshot HotKeyRegistry::replace(const SGHotKeyRef& hotKey, bool keep) {
    Snapshot previous; // let go of outside the lock: it may hold the last reference to a hot key
    std::lock_guard lock(mutex_);
    auto next = std::make_shared<std::vector<SGHotKeyRef>>(*hotKeys_);
    std::erase(*next, hotKey);
    if (keep) next->push_back(hotKey);
    previous = std::exchange(hotKeys_, std::move(next));
    return hotKeys_;
}

void HotKeyRegistry::clear() {
    Snapshot previous;
    std::lock_guard lock(mutex_);
    previous = std::exchange(hotKeys_, std::make_shared<const std::vector<SGHotKeyRef>>());
}

} // namespace velora
