// The plain harness counts no allocations: the library's own operator new stays in place,
// so sanitizers and the C++ library see exactly what the game does.
#include "HarnessAllocations.h"

bool AllocationCountingAvailable() { return false; }
void StartCountingAllocations() {}
AllocationCount StopCountingAllocations() { return {}; }
