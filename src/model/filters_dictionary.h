#pragma once
// The filters dictionary as stored in the user defaults under "filters": bundle identifier
// (or "All applications") to filter level (filter_levels.h). The engine loads it at set-up
// into VLSettings; the filter table edits it and writes it back.

#include "model/vl_settings.h"
#include "settings/plist_value.h"

namespace velora {

inline constexpr const char* kFiltersDefaultsKey = "filters";

// A copy of the stored dictionary, or {"All applications": 2} when none is stored (the key
// is absent, or holds something other than a dictionary).
FilterDictionary getFiltersDictionary();

// The stored value converted. Entries whose value is not a number (strings, booleans,
// dates...) are dropped; numbers are read as 32-bit integers (reals truncated, values beyond
// the 32-bit range clamped). Levels outside 0 to 4 are kept as stored; the rules treat them
// as level 1 (effectiveFilterLevel). None when the value is not a dictionary.
std::optional<FilterDictionary> filtersFromStoredValue(const PlistValue& stored);

} // namespace velora
