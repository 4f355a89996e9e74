#pragma once
// The registered hot keys, keyed by object identity, published as immutable snapshots.
//
// Writers (the main thread) build a new list and swap it in; readers (the tap thread, on
// every key) take the current list with one short lock and walk it with no lock held, so a
// registration never waits for a key event and a key event never sees a half-made list.

#include <memory>
#include <mutex>
#include <vector>

#include "hotkeys/sg_hot_key.h"

namespace velora {

class HotKeyRegistry {
  public:
    using Snapshot = std::shared_ptr<const std::vector<SGHotKeyRef>>;

    HotKeyRegistry();

    // The current list; never null.
    Snapshot snapshot() const;
    bool contains(const SGHotKeyRef& hotKey) const;
    // Drops every entry of the object, then appends it when `keep`; one published step.
    // Returns the new list.
    Snapshot replace(const SGHotKeyRef& hotKey, bool keep);
    void clear();

  private:
    mutable std::mutex mutex_;
    Snapshot hotKeys_;
};

} // namespace velora
