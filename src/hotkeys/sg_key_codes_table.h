#pragma once
// The "SGKeyCodes" table: names of keys by key code, shipped as a property-list resource.
//
// Its top level is a dictionary. With "version" greater than 0 it is a new-style table:
// "unmappedKeys" maps decimal key codes to fixed names, "padKeys" lists the keypad's key
// codes and "padKeyString" is put before a keypad key's character. Otherwise (a legacy table)
// the top level itself maps decimal key codes to names.

#include <QString>
#include <optional>
#include <string>
#include <string_view>

#include "settings/plist_value.h"

namespace velora {

// The table shipped with the program, read on first use and kept until the process ends.
const PlistValue& keyCodesTable();

// A table from property-list text: none, with the reason, unless the text is a property list
// whose top level is a dictionary.
std::optional<PlistValue> parseKeyCodesTable(std::string_view text, std::string* error);

// Reads a table from a file or resource path. A table that cannot be read is a programming
// error: the process aborts with "Contents of SGKeyCodes is nil".
PlistValue readKeyCodesTable(const QString& path);

// Where the shipped table lives among the program's resources.
inline constexpr const char* kKeyCodesResource = ":/velora/SGKeyCodes.plist";

} // namespace velora
