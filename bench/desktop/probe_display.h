#pragma once
// The measuring client's view of the display: keys typed through XTest, and the two events
// the measurement waits for (a new _NET_ACTIVE_WINDOW, a mapped override-redirect window),
// each stamped on the monotonic clock the moment it is read off the connection.
#include <xcb/xcb.h>

#include <cstdint>
#include <optional>

namespace probe {

// Nanoseconds on CLOCK_MONOTONIC, the clock velora's trace lines use as well.
int64_t nowNs();
void sleepMs(double ms);

class Display {
  public:
    // Null when the display cannot be opened.
    static std::optional<Display> open();
    Display(Display&& other) noexcept;
    Display& operator=(Display&&) = delete;
    ~Display();

    // The key codes of the left Alt key and Tab in the current keymap.
    void press(uint8_t keycode);
    void release(uint8_t keycode);
    uint8_t alt() const { return alt_; }
    uint8_t tab() const { return tab_; }

    // The current _NET_ACTIVE_WINDOW (one round trip); 0 when none.
    uint32_t activeWindow();
    // Waits for _NET_ACTIVE_WINDOW to become a non-zero window other than `old` (it reads 0
    // for an instant while the focus moves). The time it was seen, or nullopt on time-out.
    std::optional<int64_t> waitForActiveChange(uint32_t old, double timeoutMs);
    // Waits for an override-redirect window (a switcher's panel) to be mapped.
    std::optional<int64_t> waitForPanelMap(double timeoutMs);
    // Reads and drops what has arrived.
    void drain();

  private:
    Display() = default;
    // The next event within the deadline (monotonic ns), stamped on arrival.
    xcb_generic_event_t* nextEvent(int64_t deadlineNs, int64_t& stamp);
    uint32_t readActive();

    xcb_connection_t* c_ = nullptr;
    xcb_window_t root_ = 0;
    xcb_atom_t activeAtom_ = 0;
    uint8_t alt_ = 0;
    uint8_t tab_ = 0;
};

} // namespace probe
