#pragma once
// Filter levels: how strictly the windows of one application are filtered. The filters
// dictionary (vl_settings.h, filters_dictionary.h) maps a bundle identifier, or
// "All applications", to one of these.

#include <cstdint>

namespace velora {

inline constexpr int32_t kFilterLevelLow = 0;    // "Low": every titled window
inline constexpr int32_t kFilterLevelMedium = 1; // "Medium": standard windows, others with children
inline constexpr int32_t kFilterLevelHigh =
    2; // "High" (default): as Medium, no floating/unknown, titles compared
inline constexpr int32_t kFilterLevelBlockAll = 3;    // "Block all": nothing of the application
inline constexpr int32_t kFilterLevelTotalFinder = 4; // "TotalFinder": the Finder's default
inline constexpr int32_t kDefaultFilterLevel = kFilterLevelHigh;

// The level the rules apply for a stored one. The filter table stores 0 to 4 only; any other
// number (a hand-edited or damaged setting, negatives included) acts as "Medium". Mapping it
// here also keeps a stored -1 from colliding with the "nothing cached" marker of the
// existence verdict.
constexpr int32_t effectiveFilterLevel(int32_t stored) {
    return stored >= kFilterLevelLow && stored <= kFilterLevelTotalFinder ? stored : kFilterLevelMedium;
}

// The name under which the filter table shows a stored level: the name of the level it acts
// as, so a stored 7 shows as "Medium", the level the rules apply to it.
constexpr const char* filterLevelName(int32_t stored) {
    switch (effectiveFilterLevel(stored)) {
    case kFilterLevelLow:
        return "Low";
    case kFilterLevelMedium:
        return "Medium";
    case kFilterLevelHigh:
        return "High";
    case kFilterLevelBlockAll:
        return "Block all";
    default:
        return "TotalFinder";
    }
}

} // namespace velora
