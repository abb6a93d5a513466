#pragma once
// Benchmarks time processor time, not the wall clock: other work on the machine counts less.
#include <ctime>

inline double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}
