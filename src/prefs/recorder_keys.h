#pragma once
// Keys as the shortcut recorder sees them: Qt key events turned into the system's virtual key
// codes and event modifier flags, the stored modifiers converted to and from event flags, and
// combinations named the way the desktop names them ("Super+Tab", "Alt+Shift+`").
//
// Modifiers map by position on a PC keyboard: Alt = Command, Super = Option, Ctrl = Control,
// Shift = Shift. So the stored Option-Tab reads "Super+Tab" and Command-` reads "Alt+`".

#include <QString>
#include <Qt>
#include <cstdint>

class QKeyEvent;

namespace velora {

// Stored modifiers (the key combination's bits, hotkeys/sg_key_combo.h) to event flags; other bits are
// dropped, and a negative value (the clear combination's -1) gives no flags.
uint64_t carbonToCocoaFlags(int64_t modifiers);
// Event flags to stored modifiers; flags other than the four modifiers are dropped.
int64_t cocoaToCarbonFlags(uint64_t flags);

// Alt -> Command, Super (Meta) -> Option, Ctrl -> Control, Shift -> Shift.
uint64_t eventFlagsForQtModifiers(Qt::KeyboardModifiers modifiers);
// The event's modifiers as event flags, with Caps Lock (kEventFlagAlphaShift) taken from the
// native X modifier state (its Lock bit) when the event carries one.
uint64_t eventFlagsForKeyEvent(const QKeyEvent& event);
// Whether Control is the only modifier of the event, Caps Lock off: the preference windows'
// own key equivalents (Ctrl+W, Ctrl+C...) take these and leave every other combination alone.
bool isControlOnlyKeyEvent(const QKeyEvent& event);

// Whether the Qt key is a modifier key on its own (Shift, Ctrl, Alt, Super, Caps Lock...).
bool isModifierKey(int qtKey);
// The virtual key code of the key the event is for, or -1 when it has none. Under X11 the
// native key code gives the key's position (so a shortcut means the same key on every
// layout, platform/x_keycodes.h); otherwise the Qt key is taken by its character on a US layout.
int64_t virtualKeyForKeyEvent(const QKeyEvent& event);
// The virtual key code for a Qt key (keypad keys when keypad is set), or -1.
int64_t virtualKeyForQtKey(int qtKey, bool keypad);

// "Tab", "Esc", "F5", "Keypad 7", "A", "`"...; empty for codes without a name.
QString keyNameForVirtualKey(int64_t keyCode);
// "Super+Ctrl+Alt+Shift+" for the flags present (in that order), empty for none.
QString modifierNamesForFlags(uint64_t flags);
// The combination as the desktop names it ("Super+Tab"); empty when there is no key.
QString displayNameForCombination(uint64_t flags, int64_t keyCode);

} // namespace velora
