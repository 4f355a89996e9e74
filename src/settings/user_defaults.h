#pragma once
// The user defaults database: typed settings by key, kept in an XML property list at
// $XDG_CONFIG_HOME/velora/defaults.plist (~/.config when unset).
//
// - An absent key reads as 0, 0.0, NO or nothing; no defaults are registered.
// - synchronize() writes the whole file at once, atomically (temporary file, fsync, rename),
//   with mode 0600. A failed write leaves the old file whole and is reported once.
// - A damaged or unreadable file is never overwritten silently: it is moved aside as
//   defaults.plist.damaged-<time>, a message says so once on standard error, and the store
//   starts from empty settings.
// - Safe to read from any thread while another thread writes.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "settings/plist_value.h"

namespace velora {

class UserDefaults {
  public:
    // The process's store, at the XDG location; created on first use.
    static UserDefaults& standard();
    // Replaces the process's store by one at the given file (tests, and the program when
    // told where its settings live). Not to be called while other threads use the store.
    static void resetStandard(const std::filesystem::path& file);
    // $XDG_CONFIG_HOME/velora/defaults.plist, or ~/.config/velora/defaults.plist.
    static std::filesystem::path defaultLocation();

    explicit UserDefaults(std::filesystem::path file);

    const std::filesystem::path& file() const { return file_; }

    PlistValue objectForKey(const std::string& key) const;
    int64_t integerForKey(const std::string& key) const;
    float floatForKey(const std::string& key) const;
    bool boolForKey(const std::string& key) const;
    std::optional<std::string> stringForKey(const std::string& key) const;
    // None when the key is absent or does not hold a dictionary.
    std::optional<PlistValue::Dictionary> dictionaryForKey(const std::string& key) const;

    void setObject(const std::string& key, PlistValue value);
    void setInteger(const std::string& key, int64_t value);
    void setFloat(const std::string& key, float value);
    void setBool(const std::string& key, bool value);
    void removeObject(const std::string& key);

    // Writes the settings out now, when they changed since the last write. False when the
    // file could not be written; the old file then stays as it was. The failure is reported (standard error
    // and the failure handler) once until a write succeeds again.
    bool synchronize();
    void setWriteFailureHandler(std::function<void(const std::string& message)> handler);

  private:
    void load();
    // Moves an unreadable file aside; false when it stays in the way. Called with mutex_ held.
    bool setDamagedFileAside(const std::string& reason);
    void reportWriteFailure(const std::string& message);

    std::filesystem::path file_;
    mutable std::mutex mutex_; // guards the fields below
    PlistValue::Dictionary values_;
    uint64_t changeCount_ = 0;      // bumped by every change
    uint64_t savedChangeCount_ = 0; // the change count the file holds
    std::function<void(const std::string&)> failureHandler_;
    bool failureReported_ = false;
    // Why the file at file_ could not be read, while it could not be moved aside either.
    std::string damagedFileInTheWay_;
    std::mutex writeMutex_; // one write at a time, in the order of the snapshots
};

} // namespace velora
