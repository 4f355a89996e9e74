#pragma once
// A strict reader of XML property-list text.
//
// libplist 2.2's own XML parser accepts truncated text and trailing garbage, reads "12abc" as
// 12, saturates large integers, reads reals through the process's locale, takes quadratic
// time over character references and recurses without bound. Settings files must be told
// apart from damaged ones, so the text is read here instead, in one linear pass: the whole
// document must be well-formed and every scalar must spell a value of its type exactly.

#include <optional>
#include <string>
#include <string_view>

#include "settings/plist_value.h"

namespace velora {

// The value of a property-list document (a <plist> element holding one value, or one bare
// value), or none with the reason ("line N: ...") in error.
std::optional<PlistValue> readPlistXml(std::string_view text, std::string* error);

} // namespace velora
