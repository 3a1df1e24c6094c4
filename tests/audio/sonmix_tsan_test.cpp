// The mixer's thread hand-off under ThreadSanitizer: the rings between two threads, with
// sequence numbers that wrap, and the mixer core driven from a "main" and a "mixer" thread
// at once. A plain program (the rest of the tests use another sanitizer, which cannot be
// combined with this one); it prints what failed and exits non-zero.
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <thread>
#include <vector>

#include "audio/mixer/internal/sonmix_mixer.h"
#include "audio/mixer/internal/spsc_ring.h"

namespace {

int failures = 0;

void Check(bool ok, const char* what) {
    if (!ok) {
        std::printf("FAILED: %s\n", what);
        ++failures;
    }
}

// Full and empty edges on a ring whose sequence numbers wrap while it is full.
void RingEdgesAcrossTheWrap() {
    vexel::SpscRing<uint32_t, 8> ring(UINT32_MAX - 3);
    uint32_t value = 0;
    Check(!ring.Pop(value), "a new ring is empty");
    for (uint32_t i = 0; i < 8; ++i)
        Check(ring.Push(i), "push until full");
    Check(!ring.Push(99), "a full ring refuses");
    for (uint32_t i = 0; i < 8; ++i)
        Check(ring.Pop(value) && value == i, "pop in order");
    Check(!ring.Pop(value), "an emptied ring is empty");
    Check(ring.Push(8) && ring.Pop(value) && value == 8, "usable after the wrap");
}

// One producer, one consumer, a small ring so both edges are hit often, and sequence
// numbers starting just below the wrap.
void RingStress() {
    constexpr uint32_t kItems = 200000;
    vexel::SpscRing<uint32_t, 16> ring(UINT32_MAX - 1000);
    std::atomic<bool> in_order{true};
    std::thread consumer([&] {
        uint32_t expected = 0;
        uint32_t value = 0;
        while (expected < kItems) {
            if (!ring.Pop(value)) continue;
            if (value != expected) in_order = false;
            ++expected;
        }
    });
    for (uint32_t i = 0; i < kItems;) {
        if (ring.Push(i)) ++i;
    }
    consumer.join();
    Check(in_order, "every item arrives once and in order");
}

// Main-thread calls on voices racing the mixer thread's passes.
void MixerHandOff() {
    vexel::SonmixMixer mixer;
    std::vector<uint8_t> pcm(2 * 300, 0x10);
    const auto sound = vexel::SonmixCoreSound::Create(pcm.data(), 300, 22050, 1, 16, false);
    const auto looped = vexel::SonmixCoreSound::Create(pcm.data(), 300, 44100, 1, 16, true);
    std::atomic<bool> run{true};
    std::atomic<int> passes{0};
    std::thread mixer_thread([&] {
        int16_t out[vexel::SonmixMixer::kBlockValues];
        while (run.load(std::memory_order_acquire)) {
            mixer.MixBlock(out, 0);
            passes.fetch_add(1, std::memory_order_relaxed);
        }
    });
    const uint32_t channel = mixer.AllocHandle();
    for (int i = 0; i < 3000; ++i) {
        const uint32_t handle = mixer.Start(i % 3 ? sound : looped, i % 5 == 0, 0, -20);
        mixer.SetVolume(handle, i % 4096);
        mixer.SetPan(handle, 2048 - i % 4096);
        mixer.SetRate(handle, 30000 + i);
        if (i % 7 == 0) mixer.SetPaused(handle, false);
        if (i % 2 == 0) mixer.FreeHandle(handle);
        if (i % 11 == 0) mixer.Stop(handle);
        mixer.Start(sound, false, channel, -20);
        mixer.Playing(channel);
        mixer.Position(channel);
    }
    while (passes.load(std::memory_order_relaxed) < 50)
        std::this_thread::yield();
    run = false;
    mixer_thread.join();
    Check(mixer.HandleValid(channel), "the allocated channel survives");
}

}  // namespace

int main() {
    RingEdgesAcrossTheWrap();
    RingStress();
    MixerHandOff();
    std::printf("%d failed\n", failures);
    return failures == 0 ? 0 : 1;
}
