#pragma once
// The XDG base directories, read from the environment at each call so that a changed
// environment (tests, a re-scan) takes effect. Relative paths in the variables are invalid
// and ignored, as the base-directory rules ask.

#include <filesystem>
#include <vector>

namespace velora {

// $HOME, else the password database's home directory.
std::filesystem::path homeDirectory();
// $XDG_CONFIG_HOME, else ~/.config.
std::filesystem::path xdgConfigHome();
// $XDG_DATA_HOME, else ~/.local/share.
std::filesystem::path xdgDataHome();
// $XDG_DATA_DIRS, else /usr/local/share and /usr/share; most important first.
std::vector<std::filesystem::path> xdgDataDirs();

} // namespace velora
