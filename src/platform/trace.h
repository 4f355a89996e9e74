#pragma once
// Opt-in timing marks for measuring the panel from outside (bench/desktop, scripts/perf.sh).
//
// With VELORA_TRACE_FD=N in the environment, each mark writes one line "EVENT NANOSECONDS\n"
// to the open file descriptor N, stamped on CLOCK_MONOTONIC so that a measuring client on the
// same machine can compare it with its own key presses. The marks are:
//   panel     the panel window was ordered front
//   pictures  the last window picture of the filled panel reached its cell
// Without the variable (the default) a mark costs one test of a flag read once.
namespace velora::trace {

bool enabled();
void mark(const char* event);

} // namespace velora::trace
