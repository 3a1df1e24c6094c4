#pragma once

#include <cstdint>

namespace vexel::bench {

// The allocations made through the global operator new while counting was on (from any
// thread), and the bytes they asked for. Only programs that link allocation_counter.cpp have
// them: it replaces the global operator new and delete, whose only other cost is one relaxed
// load of a flag per allocation.
struct AllocationCount {
    int64_t allocations = 0;
    int64_t bytes = 0;
};

// Sets the count to zero.
void ResetAllocationCount();
// Counting is on between these two; the count adds up over several such stretches.
void StartCountingAllocations();
void StopCountingAllocations();
AllocationCount CountedAllocations();

}  // namespace vexel::bench
