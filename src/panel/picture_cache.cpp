#include "panel/picture_cache.h"

#include <algorithm>
#include <vector>

#include "platform/platform.h"

namespace velora {

PictureKey PictureKey::of(Size box, const BadgeOptions& badges) {
    PictureKey key;
    key.box = box;
    key.spaceBadge = badges.spaceBadge;
    key.appBadge = badges.appBadge;
    key.spaceNumber = badges.spaceBadge ? badges.spaceNumber : 0;
    key.appIcon = badges.appBadge ? badges.appIcon.get() : nullptr;
    key.plate = badges.spaceBadge ? badges.plate.get() : nullptr;
    return key;
}

bool PictureKey::operator==(const PictureKey& o) const {
    return box == o.box && spaceBadge == o.spaceBadge && appBadge == o.appBadge &&
           spaceNumber == o.spaceNumber && appIcon == o.appIcon && plate == o.plate;
}

PictureCache& PictureCache::shared() {
    static PictureCache cache;
    return cache;
}

namespace {

std::size_t bytesOf(const ImageRef& picture) {
    std::size_t n = 0;
    if (picture)
        for (const QImage& r : picture->representations())
            n += std::size_t(r.sizeInBytes());
    return n;
}

} // namespace

ImageRef PictureCache::current(uint32_t window, const PictureKey& key) {
    return current(window, key, windowServer().windowContentsVersion(window));
}

ImageRef PictureCache::current(uint32_t window, const PictureKey& key, std::optional<uint64_t> now) {
    std::lock_guard lock(mutex_);
    auto it = entries_.find(window);
    if (it == entries_.end()) return nullptr;
    Entry& e = it->second;
    if (!now || !e.version || *now != *e.version || !(e.key == key)) return nullptr;
    e.lastUse = ++uses_;
    return e.picture;
}

bool PictureCache::changedSince(uint32_t window) const {
    std::optional<uint64_t> kept;
    {
        std::lock_guard lock(mutex_);
        auto it = entries_.find(window);
        if (it == entries_.end() || !it->second.version) return false;
        kept = it->second.version;
    }
    const std::optional<uint64_t> now = windowServer().windowContentsVersion(window);
    return now && *now != *kept;
}

void PictureCache::keep(uint32_t window, ImageRef picture, std::optional<uint64_t> version,
                        const PictureKey& key) {
    if (!picture || !version) return;
    ImageRef previous;             // let go of after the lock
    std::vector<ImageRef> evicted; // likewise
    std::lock_guard lock(mutex_);
    Entry& e = entries_[window];
    previous = std::move(e.picture);
    bytes_ -= e.bytes;
    e.picture = std::move(picture);
    e.version = version;
    e.key = key;
    e.bytes = bytesOf(e.picture);
    e.lastUse = ++uses_;
    bytes_ += e.bytes;
    evict(evicted);
}

void PictureCache::forget(uint32_t window) {
    ImageRef previous;
    std::lock_guard lock(mutex_);
    auto it = entries_.find(window);
    if (it == entries_.end()) return;
    previous = std::move(it->second.picture);
    bytes_ -= it->second.bytes;
    entries_.erase(it);
}

void PictureCache::clear() {
    std::map<uint32_t, Entry> previous;
    std::lock_guard lock(mutex_);
    previous.swap(entries_);
    bytes_ = 0;
}

void PictureCache::evict(std::vector<ImageRef>& evicted) {
    while (bytes_ > limit_ && !entries_.empty()) {
        auto oldest = std::min_element(entries_.begin(), entries_.end(), [](const auto& a, const auto& b) {
            return a.second.lastUse < b.second.lastUse;
        });
        bytes_ -= oldest->second.bytes;
        evicted.push_back(std::move(oldest->second.picture));
        entries_.erase(oldest);
    }
}

std::size_t PictureCache::bytes() const {
    std::lock_guard lock(mutex_);
    return bytes_;
}

std::size_t PictureCache::count() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

void PictureCache::retainOnly(const std::function<bool(uint32_t window)>& exists) {
    std::vector<uint32_t> windows;
    {
        std::lock_guard lock(mutex_);
        for (const auto& [window, entry] : entries_)
            windows.push_back(window);
    }
    for (uint32_t window : windows)
        if (!exists(window)) forget(window);
}

} // namespace velora
