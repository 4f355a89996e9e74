#pragma once
// The settings that steer a switch, mirrored from the user defaults by the application
// controller on the main thread and read from any thread (the window list's scanning thread,
// the polling thread, picture operations, the tap thread). Each value is an atomic, so a read
// is never torn; the filters dictionary is published as an immutable snapshot that an edit
// replaces (copy-on-write), so a reader keeps a whole dictionary while the preferences edit it.
//
// The switching engine exposes these as its own properties; the window model, the panel and
// the engine read them here, which keeps the model free of the engine.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace velora {

// Bundle identifier (or "All applications") to filter level.
using FilterDictionary = std::map<std::string, int32_t>;

inline constexpr const char* kAllApplications = "All applications";

class VLSettings {
  public:
    static VLSettings& shared();

    std::atomic<int32_t> showSpaceBadges{0};
    std::atomic<int32_t> showAppBadges{0};
    std::atomic<int32_t> ignoreMinimized{0};
    std::atomic<int32_t> ignoreHidden{0};
    std::atomic<int32_t> fullScreenWindows{0};
    std::atomic<int32_t> fullScreenApps{0};
    std::atomic<int32_t> ignoreNoWindowApps{0};
    std::atomic<int32_t> ignoreHiddenApps{0};
    std::atomic<int32_t> shouldReOpen{0};
    std::atomic<int32_t> windowShowWindowName{0};
    std::atomic<int32_t> windowShowAppName{0};
    std::atomic<int32_t> appShowAppName{0};
    std::atomic<float> width{0};
    std::atomic<float> height{0};
    std::atomic<float> displayDelay{0};

    // The current filters; never null.
    std::shared_ptr<const FilterDictionary> filters() const;
    void setFilters(FilterDictionary filters);
    // Edits a copy and publishes it as one step; concurrent editors do not lose each other's edits.
    void updateFilters(const std::function<void(FilterDictionary&)>& edit);

    // Back to the state of a fresh process (all 0, the filters empty). For tests.
    void reset();

  private:
    VLSettings();
    mutable std::mutex filtersMutex_;
    std::shared_ptr<const FilterDictionary> filters_;
};

} // namespace velora
