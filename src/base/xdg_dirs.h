#pragma once
// The home folder and the XDG base directories: the one rule every reader of the user's
// files follows (settings, autostart entries, desktop entries, icon themes). Read from the
// environment at each call so that a changed environment (tests, a re-scan) takes effect.
// Relative paths in the variables are invalid and ignored, as the base-directory rules ask;
// a relative $HOME as well.

#include <filesystem>
#include <vector>

namespace velora {

// $HOME when absolute, else the password database's home directory, else "/".
std::filesystem::path homeDirectory();
// $XDG_CONFIG_HOME, else ~/.config.
std::filesystem::path xdgConfigHome();
// $XDG_DATA_HOME, else ~/.local/share.
std::filesystem::path xdgDataHome();
// $XDG_DATA_DIRS, else /usr/local/share and /usr/share; most important first.
std::vector<std::filesystem::path> xdgDataDirs();

} // namespace velora
