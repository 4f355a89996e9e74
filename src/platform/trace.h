#pragma once
// Opt-in marks for measuring and watching the program from outside (bench/desktop,
// scripts/perf.sh, the end-to-end tests).
//
// With VELORA_TRACE_FD=N in the environment, each mark writes one line "EVENT NANOSECONDS\n"
// to the open file descriptor N, stamped on CLOCK_MONOTONIC so that a measuring client on the
// same machine can compare it with its own key presses. The marks are:
//   panel     the panel window was ordered front
//   pictures  the last window picture of the filled panel is in its cell, the panel up
//   hotkeys   the hot keys have been registered (at start and after a settings change)
//   bindings  the compositor was asked to change its key bindings (Wayland: at start, after
//             a settings change and after the compositor's configuration was reloaded)
//   recent:W  the focused-window poll found window W (its number, in decimal) focused and put
//             it first in the recency order
//   activate:W
//             this program asked the window manager to activate window W (X11)
//   reported:W
//             the window manager reported window W active (X11, _NET_ACTIVE_WINDOW; 0: none)
//   hold      the panel is about to be hidden: the active window stands until the next
//             activation request (X11)
//   beep      the program beeped (a command that cannot be done)
//   end:quick, end:activate, end:cancel
//             a switch ended: released before its panel showed, released with the panel up,
//             or cancelled (Escape)
// and one figure line per switch whose panel came up (the number instead of the time):
//   picture_cache  bytes of the kept window pictures
// Without the variable (the default) a mark costs one test of a flag read once.
namespace velora::trace {

bool enabled();
void mark(const char* event);
void value(const char* name, long long number);

} // namespace velora::trace
