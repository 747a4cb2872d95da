#include "core/memory/FrameRingAllocator.h"

#include <gtest/gtest.h>

TEST(FrameRingAllocatorTest, WrapsToTheStartWithANewGeneration)
{
    FrameRingAllocator ring;
    ring.Init(64);
    void* first = nullptr;
    void* second = nullptr;
    uint32_t generation = 99;
    ASSERT_TRUE(ring.Allocate(40, first, generation));
    EXPECT_EQ(generation, 0u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(first) % 16, 0u);
    ASSERT_TRUE(ring.Allocate(40, second, generation));
    EXPECT_EQ(second, first);
    EXPECT_EQ(generation, 1u);

    void* small = nullptr;
    ASSERT_TRUE(ring.Allocate(1, small, generation));
    EXPECT_EQ(static_cast<uint8_t*>(small), static_cast<uint8_t*>(first) + 48);
    void* whole = nullptr;
    EXPECT_FALSE(ring.Allocate(65, whole, generation));
    EXPECT_FALSE(ring.Allocate(0xFFFFFFFFu, whole, generation));

    ring.NextGeneration();
    ASSERT_TRUE(ring.Allocate(64, whole, generation));
    EXPECT_EQ(whole, first);
    EXPECT_EQ(generation, 2u);

    ring.Init(4096);
    EXPECT_EQ(ring.GetSize(), 64u);
    EXPECT_EQ(ring.GetGeneration(), 0u);
    ring.Release();
    EXPECT_FALSE(ring.Allocate(16, whole, generation));
}
