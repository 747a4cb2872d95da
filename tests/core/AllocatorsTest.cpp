#include "core/memory/FrameRingAllocator.h"
#include "core/memory/IdAllocator.h"
#include "core/memory/IndexPool.h"

#include "support/ConsoleCapture.h"

#include <gtest/gtest.h>

#include <set>

TEST(IdAllocator, ReturningTheHighestIdsLowersTheCounter)
{
    IdAllocator ids;
    EXPECT_EQ(ids.Allocate(), 0u);
    EXPECT_EQ(ids.Allocate(), 1u);
    EXPECT_EQ(ids.Allocate(), 2u);
    ids.Release(1);
    EXPECT_EQ(ids.GetFreeCount(), 1);
    ids.Release(2);
    EXPECT_EQ(ids.GetNextId(), 1u);
    EXPECT_EQ(ids.GetFreeCount(), 0);
}

TEST(IdAllocator, ReusesReleasedIdsMostRecentFirst)
{
    IdAllocator ids;
    for (int i = 0; i < 6; ++i)
        ids.Allocate();
    ids.Release(1);
    ids.Release(3);
    EXPECT_EQ(ids.Allocate(), 3u);
    EXPECT_EQ(ids.Allocate(), 1u);
    EXPECT_EQ(ids.Allocate(), 6u);

    ConsoleCapture capture;
    ids.Release(40);
    EXPECT_TRUE(capture.Contains("never allocated", CONSOLE_ERROR));
    EXPECT_EQ(ids.GetFreeCount(), 0);
    EXPECT_EQ(ids.GetNextId(), 7u);
}

TEST(FrameRingAllocator, WrapsToTheStartWithANewGeneration)
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

TEST(IndexPool, HandsOutAlignedSlotsHighestIndexFirst)
{
    IndexPool pool(24, 3);
    EXPECT_EQ(pool.GetElementStride(), 32u);
    uint8_t* first = static_cast<uint8_t*>(pool.Allocate());
    uint8_t* second = static_cast<uint8_t*>(pool.Allocate());
    uint8_t* third = static_cast<uint8_t*>(pool.Allocate());
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(first - third, 64);
    EXPECT_EQ(second - third, 32);
    for (uint8_t* element : {first, second, third})
        EXPECT_EQ(reinterpret_cast<uintptr_t>(element) % 16, 0u);
    EXPECT_EQ(pool.Allocate(), nullptr);

    pool.Free(second);
    EXPECT_EQ(pool.Allocate(), second);

    ConsoleCapture capture;
    int outside = 0;
    pool.Free(&outside);
    pool.Free(first + 8);
    EXPECT_EQ(capture.CountOfKind(CONSOLE_ERROR), 2u);
    EXPECT_EQ(pool.GetFreeCount(), 0u);
}

TEST(IndexPool, RefusesMoreThan65536ElementsAndFreesBeyondItsSize)
{
    ConsoleCapture capture;
    IndexPool tooLarge(16, 65537);
    EXPECT_EQ(tooLarge.Allocate(), nullptr);
    EXPECT_EQ(capture.CountOfKind(CONSOLE_ERROR), 1u);
    // An element size whose aligned stride does not fit 32 bits.
    IndexPool hugeElements(UINT32_MAX - 7, 2);
    EXPECT_EQ(hugeElements.Allocate(), nullptr);
    EXPECT_EQ(capture.CountOfKind(CONSOLE_ERROR), 2u);

    IndexPool full(16, 65536);
    std::set<void*> seen;
    for (int i = 0; i < 65536; ++i)
        seen.insert(full.Allocate());
    EXPECT_EQ(seen.size(), 65536u);
    EXPECT_EQ(full.Allocate(), nullptr);
    full.Free(*seen.begin());
    EXPECT_EQ(full.Allocate(), *seen.begin());

    // Freeing into a pool with every index already free would run past the index stack.
    IndexPool pair(16, 2);
    void* element = pair.Allocate();
    pair.Free(element);
    pair.Free(element);
    EXPECT_EQ(pair.GetFreeCount(), 2u);
    EXPECT_EQ(capture.CountOfKind(CONSOLE_ERROR), 3u);
}
