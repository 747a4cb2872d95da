#include "core/memory/IdAllocator.h"

#include "support/ConsoleCapture.h"

#include <gtest/gtest.h>

TEST(IdAllocatorTest, ReturningTheHighestIdsLowersTheCounter)
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

    // Reusing an id can uncover freed ids at the top: they go back to the counter too.
    for (int i = 0; i < 5; ++i)
        ids.Allocate();
    for (const uint32_t id : {1u, 3u, 4u, 2u, 5u})
        ids.Release(id);
    EXPECT_EQ(ids.Allocate(), 2u);
    EXPECT_EQ(ids.GetNextId(), 3u);
    EXPECT_EQ(ids.Allocate(), 1u) << "the lowest free id, not one the counter should have taken back";
}

TEST(IdAllocatorTest, ReusesReleasedIdsMostRecentFirst)
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
    ids.Release(ids.GetNextId());
    EXPECT_TRUE(capture.Contains("never allocated", CONSOLE_ERROR));
    EXPECT_EQ(ids.GetFreeCount(), 0);
    EXPECT_EQ(ids.GetNextId(), 7u);
}
