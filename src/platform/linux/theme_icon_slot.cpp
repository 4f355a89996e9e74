#include "platform/linux/theme_icon_slot.h"

#include <chrono>

#include "platform/linux/theme_icons.h"

namespace velora {

void ThemeIconSlot::resolve() {
    if (isResolved()) return;
    ImageRef image = themeIcon(name_);
    std::lock_guard lock(mutex_);
    if (resolved_) return;
    icon_ = std::move(image);
    resolved_ = true;
    resolvedChanged_.notify_all();
}

ImageRef ThemeIconSlot::get(bool onMainThread) {
    if (onMainThread) resolve();
    std::unique_lock lock(mutex_);
    resolvedChanged_.wait_for(lock, std::chrono::seconds(1), [this] { return resolved_; });
    return icon_;
}

bool ThemeIconSlot::isResolved() const {
    std::lock_guard lock(mutex_);
    return resolved_;
}

} // namespace velora
