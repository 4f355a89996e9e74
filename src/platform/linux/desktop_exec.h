#pragma once
// The quoting rules of a desktop entry's Exec value (applied after the string escapes,
// which DesktopFile already removed): words separated by spaces; a word in double quotes may
// hold any character, with '"', '`', '$' and '\' escaped by a backslash inside the quotes;
// "%%" stands for a literal '%'.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velora {

// The words of an Exec value, unquoted, with "%%" turned into '%'; other field codes (%f,
// %U...) are kept as written. None when a quote is left open. Outside quotes, characters
// are taken literally.
std::optional<std::vector<std::string>> splitExec(std::string_view exec);

// One argument as an Exec word: always in double quotes, with the characters that need it
// escaped and '%' doubled. The result still needs escapeDesktopValue() before it is written.
std::string quoteExecArgument(std::string_view argument);

} // namespace velora
