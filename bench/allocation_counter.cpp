// The global operator new and delete of the benchmark programs that count allocations: both
// go through malloc and free, and new counts only while asked to, so that benchmarks timed
// in the same program pay no more than a load of the flag.
#include "allocation_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<bool> counting{false};
std::atomic<int64_t> allocations{0};
std::atomic<int64_t> allocated_bytes{0};

}  // namespace

void* operator new(std::size_t size) {
    if (counting.load(std::memory_order_relaxed)) {
        allocations.fetch_add(1, std::memory_order_relaxed);
        allocated_bytes.fetch_add(static_cast<int64_t>(size), std::memory_order_relaxed);
    }
    if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}

namespace vexel::bench {

void ResetAllocationCount() {
    allocations.store(0, std::memory_order_relaxed);
    allocated_bytes.store(0, std::memory_order_relaxed);
}

void StartCountingAllocations() {
    counting.store(true, std::memory_order_relaxed);
}

void StopCountingAllocations() {
    counting.store(false, std::memory_order_relaxed);
}

AllocationCount CountedAllocations() {
    return {allocations.load(std::memory_order_relaxed),
            allocated_bytes.load(std::memory_order_relaxed)};
}

}  // namespace vexel::bench
