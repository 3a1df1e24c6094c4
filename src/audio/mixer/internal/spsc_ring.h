#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace vexel {

// A fixed ring between exactly one producer thread and one consumer thread, without locks.
// The indices are free-running 32-bit sequence numbers: the ring is empty when they are
// equal and full when they are `Capacity` apart, so every entry is usable and wrapping of
// the numbers needs no special case. Push publishes the item with release order and Pop
// takes it with acquire order, so whatever the producer wrote into the item before Push is
// visible to the consumer after Pop.
template <typename T, size_t Capacity>
class SpscRing {
    static_assert(Capacity > 0 && (Capacity & (Capacity - 1)) == 0, "capacity is a power of 2");
    static_assert(Capacity <= (size_t{1} << 31), "sequence numbers must tell full from empty");
    static_assert(std::atomic<uint32_t>::is_always_lock_free, "the mixer thread must not block");

  public:
    // `start` is the first sequence number; tests start near the wrap.
    explicit SpscRing(uint32_t start = 0) : head_(start), tail_(start) {}
    SpscRing(const SpscRing&) = delete;
    SpscRing& operator=(const SpscRing&) = delete;

    // Producer thread only. False when the ring is full.
    bool Push(const T& item) {
        const uint32_t tail = tail_.load(std::memory_order_relaxed);
        if (tail - head_.load(std::memory_order_acquire) == Capacity) return false;
        items_[tail & (Capacity - 1)] = item;
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }

    // Consumer thread only. False when the ring is empty.
    bool Pop(T& item) {
        const uint32_t head = head_.load(std::memory_order_relaxed);
        if (tail_.load(std::memory_order_acquire) == head) return false;
        item = items_[head & (Capacity - 1)];
        head_.store(head + 1, std::memory_order_release);
        return true;
    }

    static constexpr size_t capacity() { return Capacity; }

  private:
    std::array<T, Capacity> items_{};
    // Each index on its own cache line: one is written only by the consumer, the other only
    // by the producer.
    alignas(64) std::atomic<uint32_t> head_;
    alignas(64) std::atomic<uint32_t> tail_;
};

}  // namespace vexel
