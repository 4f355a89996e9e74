#pragma once
// Finding the program a command name starts, as execvp does.

#include <optional>
#include <string>
#include <string_view>

namespace velora {

// An absolute path is taken as written (normalised); a bare name is looked up in $PATH
// (the system's default search path when unset) for an executable regular file. None for an
// empty name, a relative path with a slash, or a name found nowhere.
std::optional<std::string> resolveProgram(std::string_view command);

} // namespace velora
