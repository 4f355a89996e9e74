#include "base/xdg_dirs.h"

#include <unistd.h>

#include <cstdlib>
#include <string_view>

#include "base/system_text.h"

namespace velora {

namespace {

std::filesystem::path absoluteFromEnvironment(const char* name) {
    const char* v = std::getenv(name);
    if (!v || *v != '/') return {};
    return v;
}

} // namespace

std::filesystem::path homeDirectory() {
    if (auto home = absoluteFromEnvironment("HOME"); !home.empty()) return home;
    if (std::string home = passwordHomeFolder(); !home.empty()) return home;
    return "/";
}

std::filesystem::path xdgConfigHome() {
    if (auto dir = absoluteFromEnvironment("XDG_CONFIG_HOME"); !dir.empty()) return dir;
    return homeDirectory() / ".config";
}

std::filesystem::path xdgDataHome() {
    if (auto dir = absoluteFromEnvironment("XDG_DATA_HOME"); !dir.empty()) return dir;
    return homeDirectory() / ".local" / "share";
}

std::vector<std::filesystem::path> xdgDataDirs() {
    std::vector<std::filesystem::path> dirs;
    const char* v = std::getenv("XDG_DATA_DIRS");
    std::string_view list = v ? v : "";
    while (!list.empty()) {
        auto colon = list.find(':');
        std::string_view item = list.substr(0, colon);
        list = colon == std::string_view::npos ? std::string_view() : list.substr(colon + 1);
        if (!item.empty() && item.front() == '/') dirs.emplace_back(item);
    }
    if (dirs.empty()) dirs = {"/usr/local/share", "/usr/share"};
    return dirs;
}

} // namespace velora
