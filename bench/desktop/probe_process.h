#pragma once
// What /proc says about the measured program: CPU time and resident memory.
#include <sys/types.h>

#include <cstdint>

namespace probe {

// User and system CPU of the whole process, threads that have ended included, in
// nanoseconds (the kernel counts it in clock ticks, 10 ms here). -1 when the process is gone.
int64_t processCpuNs(pid_t pid);
// CPU of the process's live threads, to the nanosecond (from each thread's schedstat);
// right over spans in which no thread ends, such as an idle minute.
int64_t liveThreadsCpuNs(pid_t pid);
// Resident set size in kB (VmRSS); -1 when unknown.
int64_t residentKb(pid_t pid);
// From smaps_rollup, in kB: "Pss" (shared pages divided among their users) or "Anonymous"
// (the process's own memory, without mapped files); -1 when unknown.
int64_t rollupKb(pid_t pid, const char* field);

} // namespace probe
