// Figures of a running process read from /proc.
#pragma once

#include <sys/types.h>

struct MemoryFigures {
  long rssKib = -1;  // VmRSS: resident now
  long hwmKib = -1;  // VmHWM: the most that was ever resident
};

struct ThreadTotals {
  long long cpuNs = 0;     // time on a CPU, every thread added up (schedstat)
  long long switches = 0;  // voluntary context switches: each one a sleep and a wake-up
};

MemoryFigures ReadMemory(pid_t pid);
ThreadTotals ReadThreadTotals(pid_t pid);
