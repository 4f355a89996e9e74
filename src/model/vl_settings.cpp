#include "model/vl_settings.h"

namespace velora {

VLSettings& VLSettings::shared() {
    static VLSettings instance;
    return instance;
}

VLSettings::VLSettings() : filters_(std::make_shared<const FilterDictionary>()) {}

std::shared_ptr<const FilterDictionary> VLSettings::filters() const {
    std::lock_guard lock(filtersMutex_);
    return filters_;
}

void VLSettings::setFilters(FilterDictionary filters) {
    auto next = std::make_shared<const FilterDictionary>(std::move(filters));
    std::lock_guard lock(filtersMutex_);
    filters_ = std::move(next);
}

void VLSettings::updateFilters(const std::function<void(FilterDictionary&)>& edit) {
    std::lock_guard lock(filtersMutex_);
    FilterDictionary copy = *filters_;
    edit(copy);
    filters_ = std::make_shared<const FilterDictionary>(std::move(copy));
}

void VLSettings::reset() {
    for (auto* v : {&showSpaceBadges, &showAppBadges, &ignoreMinimized, &ignoreHidden, &fullScreenWindows,
                    &fullScreenApps, &ignoreNoWindowApps, &ignoreHiddenApps, &shouldReOpen,
                    &windowShowWindowName, &windowShowAppName, &appShowAppName})
        v->store(0);
    width = 0;
    height = 0;
    displayDelay = 0;
    setFilters({});
}

} // namespace velora
