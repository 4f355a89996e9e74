#include "platform/linux/app_identity.h"

#include <algorithm>
#include <filesystem>

#include "base/xdg_dirs.h"
#include "platform/linux/desktop_entries.h"
#include "platform/linux/desktop_exec.h"

namespace velora {

namespace {

std::string withoutSuffix(const std::string& id) {
    constexpr std::string_view kSuffix = ".desktop";
    if (id.size() > kSuffix.size() && id.compare(id.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0)
        return id.substr(0, id.size() - kSuffix.size());
    return id;
}

// The program an Exec value starts, without its arguments.
std::optional<std::string> programOf(const std::string& exec) {
    auto words = splitExec(exec);
    if (!words || words->empty()) return std::nullopt;
    return std::filesystem::path(words->front()).filename().string();
}

// The file of a desktop entry: the entry's id is its path below "applications" with '/'
// turned into '-', so each '-' may stand for a folder; the earliest data folder wins.
std::string entryFile(const std::string& id) {
    namespace fs = std::filesystem;
    std::vector<fs::path> roots{xdgDataHome()};
    for (const fs::path& d : xdgDataDirs())
        roots.push_back(d);
    std::vector<std::string> candidates{id};
    for (std::size_t i = 0; i < candidates.size() && candidates.size() < 16; ++i) {
        const std::string c = candidates[i]; // a copy: push_back below may move the vector
        for (std::size_t dash = c.find('-'); dash != std::string::npos; dash = c.find('-', dash + 1)) {
            std::string nested = c;
            nested[dash] = '/';
            if (std::find(candidates.begin(), candidates.end(), nested) == candidates.end())
                candidates.push_back(nested);
        }
    }
    std::error_code ec;
    for (const fs::path& root : roots)
        for (const std::string& c : candidates) {
            const fs::path file = root / "applications" / c;
            if (fs::is_regular_file(file, ec)) return file.string();
        }
    return {};
}

} // namespace

AppIdentity identifyApplication(const std::string& instance, const std::string& className) {
    AppIdentity id;
    if (!instance.empty() || !className.empty()) {
        if (auto entry = DesktopEntries::shared().forWMClass(instance, className)) {
            id.bundleIdentifier = withoutSuffix(entry->id);
            id.name = entry->name.empty() ? className : entry->name;
            id.bundlePath = entryFile(entry->id);
            id.iconName = entry->iconName.empty() ? instance : entry->iconName;
            id.exec = entry->exec;
            return id;
        }
    }
    id.bundleIdentifier = className.empty() ? instance : className;
    id.name = id.bundleIdentifier;
    id.iconName = instance;
    return id;
}

std::optional<ApplicationBundleInfo> bundleInfoOfEntry(const std::string& id) {
    auto entry = DesktopEntries::shared().forId(id);
    if (!entry) return std::nullopt;
    ApplicationBundleInfo info;
    info.path = entryFile(entry->id);
    if (!entry->name.empty()) {
        info.displayName = entry->name;
        info.name = entry->name;
    }
    info.executable = programOf(entry->exec);
    return info;
}

} // namespace velora
