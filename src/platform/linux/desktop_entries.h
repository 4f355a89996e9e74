#pragma once
// The index of installed applications: the desktop entries (.desktop files) in the
// "applications" folder of each XDG data directory, $XDG_DATA_HOME first, then each of
// $XDG_DATA_DIRS in order.
//
// - The id of an entry is its path below "applications" with '/' turned into '-'
//   ("kde/konsole.desktop" is "kde-konsole.desktop"). Of several files with one id, the one
//   in the earlier directory wins.
// - Indexed are entries of Type=Application with a Name. Hidden=true means deleted: the
//   entry is left out, and it still hides files with its id in later directories.
//   NoDisplay=true entries are indexed (they still describe running programs).
// - name is Name[locale] for the current messages locale when the file has one, else Name.
//   Values are unescaped; exec is the Exec value as written (see desktop_exec.h).
//
// The index is built on first use and kept while it is current: each lookup compares the
// data directories named by the environment and the modification times of the folders the
// index read (a file added, removed or renamed changes its folder's) and reads them again
// when any differs. A file rewritten in place without a rename is seen at its folder's next
// change, or at rescan(). Every call is thread-safe.

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace velora {

struct DesktopEntry {
    std::string id, name, exec, iconName, startupWMClass;
    std::string file; // the .desktop file the entry was read from
};

class DesktopEntries {
  public:
    static DesktopEntries& shared();

    // The entry for a window's WM_CLASS (instance and class names): first an entry whose
    // StartupWMClass equals the class, then one whose StartupWMClass equals the instance (both
    // exact), then one whose id without ".desktop" equals the class, then the instance (both
    // ASCII case-insensitive). Among several candidates of one step, entries shown in menus
    // come before NoDisplay ones, then the smaller id.
    std::optional<DesktopEntry> forWMClass(const std::string& instance, const std::string& className);
    // By id, with or without the ".desktop" suffix.
    std::optional<DesktopEntry> forId(const std::string& id);
    // Every entry, ordered by id.
    std::vector<DesktopEntry> all();
    void rescan();

  private:
    struct Index;
    std::shared_ptr<const Index> index();

    std::mutex mutex_;
    std::shared_ptr<const Index> index_; // guarded by mutex_; immutable once built
};

} // namespace velora
