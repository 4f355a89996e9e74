#pragma once
// One hot key: an identifier, a key combination and the action it fires.
//
// Hot keys are shared objects (SGHotKeyRef) and compared by identity only: two hot keys with
// the same identifier and combination are still two hot keys.
//
// Threads: the combination, the action and the identifier test are guarded by a small lock,
// since the hot key center's tap thread reads them while the main thread may set them.
// identifier() and name() hand out references and are meant for the thread that sets them
// (the main thread); the tap thread uses hasIdentifier(). A registered hot key whose
// combination changes should be registered again, so that the tap intercepts its new key.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "hotkeys/sg_key_combo.h"

namespace velora {

class SGHotKey {
  public:
    SGHotKey(); // no identifier, the clear combination
    SGHotKey(std::string identifier, SGKeyCombo combo);
    SGHotKey(std::string identifier, SGKeyCombo combo, std::function<void()> action);
    SGHotKey(const SGHotKey&) = delete;
    SGHotKey& operator=(const SGHotKey&) = delete;

    const std::string& identifier() const;
    void setIdentifier(std::string identifier);
    bool hasIdentifier(std::string_view identifier) const;

    // Display name; carried, never consulted.
    const std::string& name() const;
    void setName(std::string name);

    SGKeyCombo keyCombo() const;
    void setKeyCombo(const SGKeyCombo& combo);

    // What firing runs (on the main thread).
    void setAction(std::function<void()> action);

    // Fires the hot key: the action runs from a zero-interval timer on the main run loop, so
    // never inside the caller. Called on the main thread.
    void invoke();

    // The pair that identifies the hot key to a platform hot key service; carried, never
    // consulted by the tap.
    void setHotKeyID(uint32_t signature, uint32_t id);
    bool matchesHotKeyID(uint32_t signature, uint32_t id) const;

    // Carried, never consulted.
    bool keyDownReceived() const;
    void setKeyDownReceived(bool received);

    // "<SGHotKey: identifier, combination description>"
    std::string description() const;

  private:
    mutable std::mutex mutex_;
    std::string identifier_;
    std::string name_;
    SGKeyCombo combo_;
    std::function<void()> action_;
    uint32_t signature_ = 0;
    uint32_t id_ = 0;
    bool keyDownReceived_ = false;
};

using SGHotKeyRef = std::shared_ptr<SGHotKey>;

} // namespace velora
