#pragma once
// Window pictures kept from one switch to the next, each scaled once to the size the panel
// shows it at and carrying its badges, so that a switch reads pixels only for the windows
// that changed since. The window server's contents version (raised by a window's drawing,
// a resize, a new showing) tells whether a kept picture is still what the window shows;
// learning of a change reads nothing. A window that is minimised or on another desktop
// does not draw, so its last picture stays current.
//
// Bounded: past the byte limit the pictures used longest ago are dropped (a dropped
// picture is read again when next needed). Safe on any thread.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>

#include "panel/badge_drawing.h"
#include "platform/image.h"

namespace velora {

// What a kept picture was made for: the size it fits into and the badges drawn on it.
struct PictureKey {
    Size box;
    bool spaceBadge = false, appBadge = false;
    int spaceNumber = 0;
    const void* appIcon = nullptr;
    const void* plate = nullptr;

    static PictureKey of(Size box, const BadgeOptions& badges);
    bool operator==(const PictureKey& o) const;
};

class PictureCache {
  public:
    static constexpr std::size_t kDefaultByteLimit = std::size_t(64) << 20;

    explicit PictureCache(std::size_t byteLimit = kDefaultByteLimit) : limit_(byteLimit) {}
    // The process's cache of the switch panel.
    static PictureCache& shared();

    // The kept picture of the window, when it was made for that key and the window is still at
    // the contents version `now` it was read at; null when it has to be read.
    ImageRef current(uint32_t window, const PictureKey& key, std::optional<uint64_t> now);
    // The same at the window's version as the window server tells it now.
    ImageRef current(uint32_t window, const PictureKey& key);
    // Whether the window changed since its picture was kept (false without a kept picture, or
    // when the window server does not follow its changes): a live panel reads it again.
    bool changedSince(uint32_t window) const;
    // Keeps a picture read at the given contents version (asked for before the read). Without
    // a version (the server does not follow the window's drawing) nothing is kept: such a
    // picture could never be known current.
    void keep(uint32_t window, ImageRef picture, std::optional<uint64_t> version, const PictureKey& key);
    void forget(uint32_t window);
    void clear();

    std::size_t bytes() const;
    std::size_t count() const;
    std::size_t byteLimit() const { return limit_; }
    // Drops the pictures of windows for which `exists` answers false.
    void retainOnly(const std::function<bool(uint32_t window)>& exists);

  private:
    struct Entry {
        ImageRef picture;
        std::optional<uint64_t> version;
        PictureKey key;
        std::size_t bytes = 0;
        uint64_t lastUse = 0;
    };
    void evict(std::vector<ImageRef>& evicted); // under mutex_; the caller frees them after it

    const std::size_t limit_;
    mutable std::mutex mutex_;
    std::map<uint32_t, Entry> entries_;
    std::size_t bytes_ = 0;
    uint64_t uses_ = 0;
};

} // namespace velora
