#pragma once
// `velora --trigger NAME`: what a compositor's key binding runs for a hot key (on a
// compositor that takes no bindings from programs). It tells the running program of the
// same user and display, through its single-instance socket, that the hot key NAME was
// pressed, and ends: no Qt, no display connection, one connect and one line each way, so
// that a press costs little more than starting a process.

#include <optional>

namespace velora {

// The exit status when the arguments ask for a trigger: 0 sent and taken; 1 no velora runs
// here, or the running one refused or did not answer (one line on standard error says
// which); 2 a missing or unknown name. None when the arguments are not a trigger.
std::optional<int> runTriggerIfAsked(int argc, char** argv);

} // namespace velora
