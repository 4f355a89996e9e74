#pragma once
// Starting other programs without a shell. argv[0] names the program (a path, or a name
// looked up in PATH) and is also its first argument; every argument reaches the program
// byte for byte, whatever it contains (spaces, quotes, leading dashes, shell characters,
// bytes that are not UTF-8). An argument with an embedded NUL cannot be passed and makes the
// call fail.
//
// The child starts with stdin on /dev/null, no file descriptors of ours beyond 0-2, every
// signal at its default action and none blocked.

#include <string>
#include <vector>

namespace velora {

// Starts the program detached: in a session of its own, not our child (nothing to reap, no
// zombie left behind), with our stdout and stderr. False when it cannot be started (not
// found, not executable, empty argv).
bool spawnDetached(const std::vector<std::string>& argv);

} // namespace velora
