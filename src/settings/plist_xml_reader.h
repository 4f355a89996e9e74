#pragma once
// A strict reader of XML property-list text.
//
// libplist 2.2's own XML parser accepts truncated text and trailing garbage, reads "12abc" as
// 12, saturates large integers, reads reals through the process's locale and recurses without
// bound. Settings files must be told apart from damaged ones: QXmlStreamReader checks that the
// whole text is well-formed XML, and the property-list rules on top of it check that every
// scalar spells a value of its type exactly.

#include <optional>
#include <string>
#include <string_view>

#include "settings/plist_value.h"

namespace velora {

// The value of a property-list document (a <plist> element holding one value, or one bare
// value), or none with the reason ("line N: ...") in error. The text must be UTF-8 whatever
// its XML declaration says. Control characters XML cannot hold (older writers stored them raw)
// read as U+FFFD; NUL is refused.
std::optional<PlistValue> readPlistXml(std::string_view text, std::string* error);

} // namespace velora
