// Keeping the session's login items in line with "startAtLogin".
#include <filesystem>
#include <system_error>

#include "app/velora_controller.h"
#include "platform/platform.h"
#include "settings/user_defaults.h"

namespace velora {

std::string VeloraController::programPath() const {
    if (!programPathOverride_.empty()) return programPathOverride_;
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : self.string();
}

void VeloraController::enforceRunAtLogin() {
    const std::string self = programPath();
    if (self.empty()) return;
    LoginItemsPort& items = loginItems();
    const bool wanted = UserDefaults::standard().integerForKey("startAtLogin") != 0;
    bool present = false;
    for (const LoginItem& item : items.snapshot()) {
        // Only an entry that resolves to exactly this program is ours; a path that merely
        // begins with ours (velora-helper) belongs to another program.
        if (!item.resolved || *item.resolved != self) continue;
        if (wanted)
            present = true;
        else
            items.remove(item.id);
    }
    if (wanted && !present) items.insert(self);
}

} // namespace velora
