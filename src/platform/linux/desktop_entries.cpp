#include "platform/linux/desktop_entries.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <set>

#include "base/xdg_dirs.h"
#include "platform/linux/desktop_file.h"

namespace velora {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kGroup = "Desktop Entry";
constexpr std::string_view kSuffix = ".desktop";
// Deep enough for any real menu layout, shallow enough to stop a symbolic-link loop.
constexpr int kMaxDepth = 8;

struct Record {
    DesktopEntry entry;
    bool noDisplay = false;
};

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

std::string_view stem(std::string_view id) {
    if (id.size() >= kSuffix.size() && id.substr(id.size() - kSuffix.size()) == kSuffix)
        id.remove_suffix(kSuffix.size());
    return id;
}

// A folder as the index saw it: its modification time, or none when it did not exist.
struct FolderStamp {
    fs::path folder;
    std::optional<std::pair<std::int64_t, std::int64_t>> modified; // seconds, nanoseconds

    static FolderStamp of(const fs::path& folder) {
        struct stat st {};
        if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return {folder, std::nullopt};
        return {folder, std::pair<std::int64_t, std::int64_t>(st.st_mtim.tv_sec, st.st_mtim.tv_nsec)};
    }
    bool operator==(const FolderStamp&) const = default;
};

// The data directories whose "applications" folders hold the entries, most important first.
std::vector<fs::path> dataDirectories() {
    std::vector<fs::path> dirs{xdgDataHome()};
    for (auto& d : xdgDataDirs())
        dirs.push_back(d);
    return dirs;
}

// The .desktop files below a folder with their ids, in name order; each folder read is
// stamped.
void collectFiles(const fs::path& dir, const std::string& idPrefix, int depth,
                  std::vector<std::pair<std::string, fs::path>>& out, std::vector<FolderStamp>& stamps) {
    stamps.push_back(FolderStamp::of(dir));
    std::error_code ec;
    std::vector<fs::directory_entry> children;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        children.push_back(*it);
    std::sort(children.begin(), children.end(),
              [](const auto& a, const auto& b) { return a.path().filename() < b.path().filename(); });
    for (const auto& child : children) {
        std::string name = child.path().filename().string();
        if (child.is_directory(ec)) {
            if (depth < kMaxDepth) collectFiles(child.path(), idPrefix + name + "-", depth + 1, out, stamps);
        } else if (name.size() > kSuffix.size() && name.ends_with(kSuffix) && child.is_regular_file(ec)) {
            out.emplace_back(idPrefix + name, child.path());
        }
    }
}

std::optional<Record> readEntry(const std::string& id, const fs::path& file, const std::string& locale) {
    auto desktop = DesktopFile::load(file);
    if (!desktop || !desktop->hasGroup(kGroup)) return std::nullopt;
    if (desktop->value(kGroup, "Type") != "Application" || desktop->boolean(kGroup, "Hidden"))
        return std::nullopt;
    auto name = desktop->localeValue(kGroup, "Name", locale);
    if (!name) return std::nullopt;
    Record r;
    r.entry.id = id;
    r.entry.name = *name;
    r.entry.exec = desktop->value(kGroup, "Exec").value_or("");
    r.entry.iconName = desktop->value(kGroup, "Icon").value_or("");
    r.entry.startupWMClass = desktop->value(kGroup, "StartupWMClass").value_or("");
    r.entry.file = file.string();
    r.noDisplay = desktop->boolean(kGroup, "NoDisplay");
    return r;
}

} // namespace

struct DesktopEntries::Index {
    std::vector<Record> records; // ordered by id
    std::vector<fs::path> dataDirs;
    std::string locale;
    std::vector<FolderStamp> stamps; // every folder read, in reading order
    // A folder changed within the file system's time resolution of the scan: a change right
    // after it could leave the same time, so the next lookup reads the folders again.
    bool racy = false;

    // Whether the environment and the folders are as the index read them.
    bool isCurrent() const {
        if (racy || dataDirectories() != dataDirs || messagesLocale() != locale) return false;
        return std::all_of(stamps.begin(), stamps.end(),
                           [](const FolderStamp& s) { return FolderStamp::of(s.folder) == s; });
    }

    static std::shared_ptr<const Index> scan() {
        auto index = std::make_shared<Index>();
        index->locale = messagesLocale();
        index->dataDirs = dataDirectories();
        const std::string& locale = index->locale;
        const std::vector<fs::path>& dataDirs = index->dataDirs;

        std::set<fs::path> seenDirs;
        std::set<std::string, std::less<>> claimed;
        for (const auto& dataDir : dataDirs) {
            fs::path apps = (dataDir / "applications").lexically_normal();
            if (!seenDirs.insert(apps).second) continue;
            std::vector<std::pair<std::string, fs::path>> files;
            collectFiles(apps, "", 0, files, index->stamps);
            for (const auto& [id, file] : files) {
                // The first file with an id owns it, whether or not it is a usable entry.
                if (!claimed.insert(id).second) continue;
                if (auto record = readEntry(id, file, locale)) index->records.push_back(std::move(*record));
            }
        }
        std::sort(index->records.begin(), index->records.end(),
                  [](const Record& a, const Record& b) { return a.entry.id < b.entry.id; });
        constexpr std::int64_t kResolutionSeconds = 2; // generous: coarse clocks, network file systems
        const std::int64_t now = std::time(nullptr);
        index->racy = std::any_of(index->stamps.begin(), index->stamps.end(), [now](const FolderStamp& s) {
            // Bounded on both sides: a folder stamped in the future (clock skew) is not racy
            // forever, which would make every lookup read the folders again.
            return s.modified && s.modified->first >= now - kResolutionSeconds &&
                   s.modified->first <= now + kResolutionSeconds;
        });
        return index;
    }

    template <typename Match> std::optional<DesktopEntry> best(Match matches) const {
        const Record* hidden = nullptr;
        for (const auto& r : records) {
            if (!matches(r.entry)) continue;
            if (!r.noDisplay) return r.entry;
            if (!hidden) hidden = &r;
        }
        if (hidden) return hidden->entry;
        return std::nullopt;
    }
};

DesktopEntries& DesktopEntries::shared() {
    static DesktopEntries entries;
    return entries;
}

std::shared_ptr<const DesktopEntries::Index> DesktopEntries::index() {
    std::lock_guard lock(mutex_);
    if (!index_ || !index_->isCurrent()) index_ = Index::scan();
    return index_;
}

void DesktopEntries::rescan() {
    auto fresh = Index::scan();
    std::lock_guard lock(mutex_);
    index_ = std::move(fresh);
}

std::optional<DesktopEntry> DesktopEntries::forWMClass(const std::string& instance,
                                                       const std::string& className) {
    auto idx = index();
    const std::string* steps[] = {&className, &instance};
    for (const std::string* name : steps) {
        if (name->empty()) continue;
        if (auto e = idx->best([&](const DesktopEntry& d) { return d.startupWMClass == *name; })) return e;
    }
    for (const std::string* name : steps) {
        if (name->empty()) continue;
        if (auto e = idx->best([&](const DesktopEntry& d) { return equalsIgnoringCase(stem(d.id), *name); }))
            return e;
    }
    return std::nullopt;
}

std::optional<DesktopEntry> DesktopEntries::forId(const std::string& id) {
    auto idx = index();
    std::string full = id.ends_with(kSuffix) ? id : id + std::string(kSuffix);
    auto it = std::lower_bound(idx->records.begin(), idx->records.end(), full,
                               [](const Record& r, const std::string& key) { return r.entry.id < key; });
    if (it == idx->records.end() || it->entry.id != full) return std::nullopt;
    return it->entry;
}

std::vector<DesktopEntry> DesktopEntries::all() {
    auto idx = index();
    std::vector<DesktopEntry> out;
    out.reserve(idx->records.size());
    for (const auto& r : idx->records)
        out.push_back(r.entry);
    return out;
}

} // namespace velora
