#include "platform/linux/app_identity.h"

#include <filesystem>

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

} // namespace

AppIdentity identifyApplication(const std::string& instance, const std::string& className) {
    AppIdentity id;
    if (!instance.empty() || !className.empty()) {
        if (auto entry = DesktopEntries::shared().forWMClass(instance, className)) {
            id.bundleIdentifier = withoutSuffix(entry->id);
            id.name = entry->name.empty() ? className : entry->name;
            id.bundlePath = entry->file;
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
    info.path = entry->file;
    if (!entry->name.empty()) {
        info.displayName = entry->name;
        info.name = entry->name;
    }
    info.executable = programOf(entry->exec);
    return info;
}

} // namespace velora
