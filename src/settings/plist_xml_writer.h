#pragma once
// Writes property-list values as XML text (QXmlStreamWriter).

#include <string>

#include "settings/plist_value.h"

namespace velora {

// The XML document of the value; empty when it has none (see PlistValue::toXml).
std::string writePlistXml(const PlistValue& value);

} // namespace velora
