// tools/harness/HarnessAllocations.h: counting the program's heap allocations, for the
// harness's measure-allocations command.
//
// Two builds of the harness share every other file: tomarugi-harness links the variant that
// counts nothing (its allocations are the C++ library's own), and the benchmark harness
// tomarugi-harness-counting links one that replaces the global operator new and counts each
// call while counting is on. Counting is program-wide: the loader thread's allocations in
// the window are counted too.
#pragma once

#include <cstddef>

struct AllocationCount {
    std::size_t calls = 0; // operator new calls (every form: array, aligned, nothrow)
    std::size_t bytes = 0; // bytes asked for by those calls
};

// False in tomarugi-harness, where nothing is counted.
bool AllocationCountingAvailable();
// Starts a fresh count.
void StartCountingAllocations();
// Stops counting and returns the count since the start.
AllocationCount StopCountingAllocations();
