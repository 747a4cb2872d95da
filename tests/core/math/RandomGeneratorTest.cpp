#include "core/math/RandomGenerator.h"

#include "platform/os/Clock.h"

#include <gtest/gtest.h>

TEST(RandomGeneratorTest, SeedsFromFiveCounterReadings)
{
    os::EnableManualCounter(0x123456789ALL);
    RandomGenerator generator;
    os::DisableManualCounter();
    const uint32_t* state = generator.GetState();
    EXPECT_EQ(state[0], 0x3456789Au);
    EXPECT_EQ(state[1], 0x3456789Au);
    EXPECT_EQ(state[2], uint32_t(0x123456789ALL >> 1));
    EXPECT_EQ(state[3], uint32_t(0x123456789ALL >> 2));
    EXPECT_EQ(state[4], uint32_t(0x123456789ALL >> 3));
}

TEST(RandomGeneratorTest, LinearDrawsUseTheHighBitsOfThePreviousState)
{
    RandomGenerator generator;
    generator.Seed({1, 0, 0, 0, 0});
    EXPECT_EQ(generator.NextLinear(), 0u);
    EXPECT_EQ(generator.GetState()[0], 214013u + 2531011u);
    EXPECT_EQ(generator.NextLinear(), (214013u + 2531011u) >> 16);
    generator.Seed({0xFFFFFFFFu, 0, 0, 0, 0});
    EXPECT_EQ(generator.NextLinear(), 0xFFFFu);
    EXPECT_EQ(generator.GetState()[0], 0xFFFFFFFFu * 214013u + 2531011u);
}

TEST(RandomGeneratorTest, MultiplyWithCarryPair)
{
    RandomGenerator generator;
    generator.Seed({0, 0x00010002u, 0x00030004u, 0, 0});
    const uint32_t z = 36969u * 2u + 1u;
    const uint32_t w = 18000u * 4u + 3u;
    EXPECT_EQ(generator.NextMultiplyWithCarry(), (z << 16) + w);
    EXPECT_EQ(generator.GetState()[1], z);
    EXPECT_EQ(generator.GetState()[2], w);
}

TEST(RandomGeneratorTest, GlobalsAreSeeded)
{
    // Three readings of a running 10 MHz counter are not all zero.
    uint32_t any = 0;
    for (const RandomGenerator& generator : gRandomGenerators)
        any |= generator.GetState()[0] | generator.GetState()[1];
    EXPECT_NE(any, 0u);
}
