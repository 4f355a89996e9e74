#include "platform/linux/xdg_autostart.h"

#include <algorithm>
#include <set>

#include "base/utf8_text.h"
#include "base/xdg_dirs.h"
#include "platform/linux/desktop_exec.h"
#include "platform/linux/desktop_file.h"
#include "platform/linux/program_search.h"
#include "settings/atomic_file.h"

namespace velora {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kSuffix = ".desktop";

std::optional<std::string> resolveEntry(const fs::path& file) {
    auto desktop = DesktopFile::load(file);
    if (!desktop) return std::nullopt;
    auto exec = desktop->value("Desktop Entry", "Exec");
    if (!exec) return std::nullopt;
    auto words = splitExec(*exec);
    if (!words || words->empty()) return std::nullopt;
    return resolveProgram(words->front());
}

// The slot number of one of our file names: 1 for velora.desktop, N for velora-N.desktop.
std::optional<int> slotOf(const std::string& name) {
    if (name == "velora.desktop") return 1;
    constexpr std::string_view prefix = "velora-";
    if (!name.starts_with(prefix) || !name.ends_with(kSuffix)) return std::nullopt;
    std::string_view digits(name);
    digits = digits.substr(prefix.size(), digits.size() - prefix.size() - kSuffix.size());
    if (digits.empty() || digits.size() > 6 || digits.front() == '0') return std::nullopt;
    int n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n >= 2 ? std::optional<int>(n) : std::nullopt;
}

std::string slotName(int slot) {
    return slot == 1 ? "velora.desktop" : "velora-" + std::to_string(slot) + ".desktop";
}

std::string entryText(const std::string& programPath) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Velora\n"
           "Exec=" +
           escapeDesktopValue(quoteExecArgument(programPath)) +
           "\n"
           "X-GNOME-Autostart-enabled=true\n";
}

} // namespace

fs::path XdgAutostart::directory() {
    return xdgConfigHome() / "autostart";
}

std::vector<LoginItem> XdgAutostart::snapshot() {
    std::vector<LoginItem> items;
    std::error_code ec;
    for (fs::directory_iterator it(directory(), ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.size() <= kSuffix.size() || !name.ends_with(kSuffix) || !it->is_regular_file(ec)) continue;
        items.push_back({name, resolveEntry(it->path())});
    }
    std::sort(items.begin(), items.end(), [](const LoginItem& a, const LoginItem& b) { return a.id < b.id; });
    return items;
}

bool XdgAutostart::insert(const std::string& programPath) {
    if (programPath.empty() || programPath.find('\0') != std::string::npos || !isValidUtf8(programPath))
        return false;
    std::error_code ec;
    std::string program = fs::absolute(programPath, ec).lexically_normal().string();
    if (ec) return false;

    std::lock_guard lock(mutex_);
    fs::path dir = directory();
    fs::create_directories(dir, ec);
    if (ec) return false;

    std::set<int> taken;
    std::optional<int> ours;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        auto slot = slotOf(it->path().filename().string());
        if (!slot) continue;
        taken.insert(*slot);
        if (resolveEntry(it->path()) == program && (!ours || *slot < *ours)) ours = slot;
    }
    if (ec) return false;
    int slot = ours.value_or(1);
    if (!ours)
        while (taken.count(slot))
            ++slot;
    return writeFileAtomically(dir / slotName(slot), entryText(program), 0644).empty();
}

bool XdgAutostart::remove(const std::string& id) {
    if (id.size() <= kSuffix.size() || !id.ends_with(kSuffix) || id.find('/') != std::string::npos ||
        id.find('\0') != std::string::npos)
        return false;
    std::lock_guard lock(mutex_);
    std::error_code ec;
    return fs::remove(directory() / id, ec) && !ec;
}

} // namespace velora
