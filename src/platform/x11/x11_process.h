#pragma once
// What /proc says about a process of this machine.

#include <sys/types.h>

#include <string>

namespace velora::x11 {

enum class ProcessState { Running, Stopped, Gone, Unknown };

// Stopped covers a stop by signal (T) and by a tracer (t); Gone a process that has ended or
// is a zombie.
ProcessState processState(pid_t pid);
// Where the program of the process lies; empty when it cannot be told.
std::string executablePath(pid_t pid);

} // namespace velora::x11
