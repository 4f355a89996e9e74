#pragma once
// Input port: live modifier state, the event tap that sees every key of the session, and the
// keyboard layout. Key codes are virtual key codes (48 Tab, 50 the key left of 1, 53 Escape...)
// on every desktop; a backend translates its own codes to and from them.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velora {

// Event modifier flags.
inline constexpr uint64_t kEventFlagAlphaShift = 0x10000; // Caps Lock
inline constexpr uint64_t kEventFlagShift = 0x20000;
inline constexpr uint64_t kEventFlagControl = 0x40000;
inline constexpr uint64_t kEventFlagOption = 0x80000;
inline constexpr uint64_t kEventFlagCommand = 0x100000;
inline constexpr uint64_t kEventFlagNumericPad = 0x200000;
inline constexpr uint64_t kEventFlagHelp = 0x400000;
inline constexpr uint64_t kEventFlagFunction = 0x800000;
inline constexpr uint64_t kEventFlagsDeviceIndependentMask = 0xFFFF0000;
// The four modifiers a hot key is made of.
inline constexpr uint64_t kEventFlagsTrackedMask = 0x1E0000;

enum class KeyEventType : uint32_t {
    KeyDown = 10,
    KeyUp = 11,
    FlagsChanged = 12,
    TapDisabledByTimeout = 0xFFFFFFFE,
    TapDisabledByUserInput = 0xFFFFFFFF,
};

struct KeyEvent {
    KeyEventType type = KeyEventType::KeyDown;
    int64_t keyCode = 0; // virtual key code
    uint64_t flags = 0;  // event modifier flags held when the event happened
    bool isAutoRepeat = false;
    std::string charactersIgnoringModifiers; // UTF-8, the key's character on the current layout
};

enum class TapVerdict { Pass, Swallow };
// Runs on the tap's thread for every event; must return quickly.
using EventTapCallback = std::function<TapVerdict(const KeyEvent&)>;

// A key that the tap means to swallow. Desktops that cannot withdraw an event after the fact
// (X11) take these keys away from the focused client ahead of time; the callback's verdict
// then only confirms what was taken.
struct InterceptedKey {
    int64_t keyCode = 0;
    uint64_t modifiers = 0; // exact tracked event flags, unless anyModifiers
    bool anyModifiers = false;
    friend bool operator==(const InterceptedKey&, const InterceptedKey&) = default;
};

// The program that holds keys this one was refused, as far as the desktop can tell (on X11
// the window manager, which binds its keys on the root window as this program does).
struct KeyHolder {
    std::string name; // empty when unknown
    int64_t pid = 0;  // 0 when unknown
    // The configuration file the manager reads, when it says (openbox: _OB_CONFIG_FILE).
    std::string configFile;
    // Set when the desktop itself refused the keys and said why (sway's answer to a binding
    // it cannot make); no other program holds them then.
    std::string refusal;
};

// A line of the desktop's own configuration that makes a key run `velora --trigger NAME`.
struct HotKeyConfigLine {
    std::string desktop; // who reads it ("niri")
    std::string place;   // where it goes ("the binds { } section of ~/.config/niri/config.kdl")
    std::string text;    // the line (wayfire's takes two)
    friend bool operator==(const HotKeyConfigLine&, const HotKeyConfigLine&) = default;
};

// Called with the intercepted keys the desktop refused, whenever that list changes.
using RefusalObserver = std::function<void(std::vector<InterceptedKey> refused)>;

class EventTap {
  public:
    virtual ~EventTap() = default;
    virtual void setEnabled(bool enabled) = 0;
    virtual void setInterceptedKeys(std::vector<InterceptedKey> keys) = 0;
    // The intercepted keys the desktop refused because another program holds them. Such a key
    // still shows in the tap's events, but reaches the other program too: swallowing it is
    // impossible. A refused key is taken as soon as the desktop gives it (the backend retries
    // on its own), and the list shrinks.
    virtual std::vector<InterceptedKey> refusedKeys() const = 0;
    // The observer runs on any thread, while the backend may be applying grabs: it must return
    // quickly and must not call back into the tap (hand the work to another thread).
    virtual void setRefusalObserver(RefusalObserver observer) = 0;
    // Tries the refused keys again now (another program was just asked to let them go).
    virtual void retryRefusedKeys() = 0;
    // A shortcut is being recorded: its keys must reach the recording window. Where a window
    // cannot take the keyboard ahead of the tap's keys (a Wayland compositor matches its
    // bindings before any client sees a key), the exact keys are withdrawn until recording
    // ends; on X11 the recorder's keyboard grab already wins over the tap's key grabs.
    virtual void setRecording(bool recording) = 0;
    // Runs the tap's loop on the calling thread, delivering events to the callback, until the
    // platform shuts down.
    virtual void run() = 0;
};

// One keyboard layout, able to tell which character a key shows.
class KeyboardLayout {
  public:
    virtual ~KeyboardLayout() = default;
    virtual std::string identifier() const = 0;
    // The UTF-16 units the key produces for display with the given modifier state, carrying
    // dead-key state from one call to the next.
    virtual std::u16string translate(uint16_t keyCode, uint32_t modifierState,
                                     uint32_t& deadKeyState) const = 0;
};

class InputPort {
  public:
    virtual ~InputPort() = default;
    // Live state of the modifier keys (event flags), not that of any event.
    virtual uint64_t currentModifierFlags() = 0;
    // Null when the desktop gives no tap (no permission, no extension).
    virtual std::unique_ptr<EventTap> createEventTap(EventTapCallback callback) = 0;
    virtual std::shared_ptr<const KeyboardLayout> currentKeyboardLayout() = 0;
    // Whether another program holds the key, so that a tap could not take it. Keys this
    // program holds already count as free. Asks the desktop; main thread.
    virtual bool isKeyHeldElsewhere(const InterceptedKey& key) = 0;
    // Who holds keys this program is refused, as far as the desktop can tell.
    virtual KeyHolder keyHolder() = 0;
    // Where the desktop takes no key bindings from this program (a Wayland compositor other
    // than sway), the line of its configuration that makes the key run `velora --trigger
    // <triggerName>`; none where the program binds its keys itself (X11, sway) or the key
    // cannot be named there.
    virtual std::optional<HotKeyConfigLine> hotKeyConfigLine(const InterceptedKey& key,
                                                             const std::string& triggerName) = 0;
};

} // namespace velora
