#include "model/filters_dictionary.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "model/filter_levels.h"
#include "settings/user_defaults.h"

namespace velora {

namespace {

int32_t clampToLevel(double value) {
    constexpr double lowest = std::numeric_limits<int32_t>::min();
    constexpr double highest = std::numeric_limits<int32_t>::max();
    return int32_t(std::clamp(std::trunc(value), lowest, highest));
}

std::optional<int32_t> levelFromStored(const PlistValue& value) {
    switch (value.type()) {
    case PlistValue::Type::Integer: {
        int64_t n = value.toInteger();
        return int32_t(
            std::clamp<int64_t>(n, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
    }
    case PlistValue::Type::Real: {
        double d = value.toReal();
        if (!std::isfinite(d)) return std::nullopt;
        return clampToLevel(d);
    }
    default:
        return std::nullopt;
    }
}

} // namespace

std::optional<FilterDictionary> filtersFromStoredValue(const PlistValue& stored) {
    const PlistValue::Dictionary* dictionary = stored.asDictionary();
    if (!dictionary) return std::nullopt;
    FilterDictionary filters;
    for (const auto& [key, value] : *dictionary)
        if (auto level = levelFromStored(value)) filters[key] = *level;
    return filters;
}

FilterDictionary getFiltersDictionary() {
    if (auto filters = filtersFromStoredValue(UserDefaults::standard().objectForKey(kFiltersDefaultsKey)))
        return *filters;
    return FilterDictionary{{kAllApplications, kDefaultFilterLevel}};
}

} // namespace velora
