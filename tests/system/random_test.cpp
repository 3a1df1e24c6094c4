#include <gtest/gtest.h>

#include <cstdint>

#include "system/random.h"

namespace vexel {
namespace {

// The generator's step, written out in 64-bit arithmetic as an independent reference.
int32_t Reference(int32_t state) {
    return static_cast<int32_t>(static_cast<int64_t>(state) * 48271 % 2147483647);
}

TEST(Random, UnseededStartsAt4660AndStepsByTheMinimalStandard) {
    SeedRandom(0);
    EXPECT_EQ(RandomSeed(), 4660);
    const float first = RandomSingle();
    EXPECT_EQ(RandomSeed(), 224942860);
    EXPECT_EQ(first, static_cast<float>(224942860 & 0x0ffffff0) / 268435456.0f);
    int32_t expected = 224942860;
    for (int i = 0; i < 10000; ++i) {
        RandomSingle();
        expected = Reference(expected);
        ASSERT_EQ(RandomSeed(), expected);
    }
}

TEST(Random, SeedEdgeCases) {
    for (int32_t seed : {0, -1, static_cast<int32_t>(0x80000000u), 0x7fffffff}) {
        SeedRandom(seed);
        EXPECT_EQ(RandomSeed(), 4660) << seed;
    }
    SeedRandom(-5);
    EXPECT_EQ(RandomSeed(), 0x7ffffffb);
    SeedRandom(123);
    EXPECT_EQ(RandomSeed(), 123);
}

TEST(Random, RandomFloatCombinesTwoStepsWithTheirMasks) {
    SeedRandom(4660);
    const double u = RandomFloat();
    const int32_t s1 = 224942860;
    const int32_t s2 = Reference(s1);
    EXPECT_EQ(RandomSeed(), s2);
    EXPECT_EQ(u, ((s1 & 0x1ffffffc) + (s2 & 0x1ffffff8) / 134217728.0) / 536870912.0);
    for (int i = 0; i < 100000; ++i) {
        const double v = RandomFloat();
        ASSERT_GE(v, 0.0);
        ASSERT_LT(v, 1.0);
    }
}

TEST(Random, RandomIntCoversBothBoundsInEitherOrderWithTwoStepsPerCall) {
    SeedRandom(99);
    bool seen[2][2] = {};
    for (int i = 0; i < 200; ++i) {
        const int32_t a = RandomInt(0, 1);
        const int32_t b = RandomInt(1, 0);
        ASSERT_TRUE(a == 0 || a == 1);
        ASSERT_TRUE(b == 0 || b == 1);
        seen[0][a] = seen[1][b] = true;
    }
    EXPECT_TRUE(seen[0][0] && seen[0][1] && seen[1][0] && seen[1][1]);

    SeedRandom(7);
    const int32_t before = RandomSeed();
    EXPECT_EQ(RandomInt(5, 5), 5);
    EXPECT_EQ(RandomSeed(), Reference(Reference(before)));

    SeedRandom(7);
    const double u = RandomFloat();
    SeedRandom(7);
    EXPECT_EQ(RandomInt(-10, 10), -10 + static_cast<int32_t>(u * 21));
    SeedRandom(7);
    EXPECT_EQ(RandomInt(10, -10), -10 + static_cast<int32_t>(u * 21));
}

TEST(Random, RandomRangeUsesOneDrawInEitherOrder) {
    SeedRandom(42);
    const double u = RandomFloat();
    SeedRandom(42);
    EXPECT_EQ(RandomRange(2.0, 4.0), 2.0 + u * 2.0);
    SeedRandom(42);
    EXPECT_EQ(RandomRange(4.0, 2.0), 2.0 + u * 2.0);
}

}  // namespace
}  // namespace vexel
