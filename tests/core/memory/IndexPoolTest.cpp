#include "core/memory/IndexPool.h"

#include "support/ConsoleCapture.h"

#include <gtest/gtest.h>

#include <set>

TEST(IndexPoolTest, HandsOutAlignedSlotsHighestIndexFirst)
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

TEST(IndexPoolTest, RefusesMoreThan65536ElementsAndFreesBeyondItsSize)
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
    EXPECT_EQ(full.GetElementStride(), 16u);
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
