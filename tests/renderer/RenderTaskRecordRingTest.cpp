// The task-record ring of gathering: records taken in order, sort keys beside them, the wrap to the
// first record with its overflow mark, and a ring without arrays that takes nothing.
#include "renderer/RenderTaskRecordRing.h"

#include <gtest/gtest.h>

namespace
{
EntityRenderingContext* Context(uintptr_t value) { return reinterpret_cast<EntityRenderingContext*>(value); }
} // namespace

TEST(RenderTaskRecordRingTest, TakesRecordsInOrderWithTheirSortKeys)
{
    RenderTaskRecordRing ring;
    EXPECT_EQ(ring.AllocTaskRecord(), nullptr) << "no arrays before the device exists";
    ring.AddSortKey(1.0f);
    EXPECT_EQ(ring.GetCount(), 0u);

    ring.Allocate();
    RenderTaskRecord* first = ring.AllocTaskRecord();
    ASSERT_NE(first, nullptr);
    first->context = Context(16);
    first->passFlags = 0x20;
    ring.AddSortKey(10002.5f);
    RenderTaskRecord* second = ring.AllocTaskRecord();
    EXPECT_EQ(second, first + 1);
    ring.AddSortKey(10001.0f);
    EXPECT_EQ(ring.GetCount(), 2u);
    EXPECT_EQ(ring.GetRecord(0).context, Context(16));
    EXPECT_FLOAT_EQ(ring.GetSortKey(0).key, 10002.5f);
    EXPECT_EQ(ring.GetSortKey(0).recordIndex, 0u);
    EXPECT_FLOAT_EQ(ring.GetSortKey(1).key, 10001.0f);
    EXPECT_EQ(ring.GetSortKey(1).recordIndex, 1u);

    ring.Clear();
    EXPECT_EQ(ring.GetCount(), 0u);
    RenderTaskRecord* again = ring.AllocTaskRecord();
    EXPECT_EQ(again, first) << "a cleared ring starts at its first record";
    EXPECT_EQ(again->context, nullptr) << "a record is handed out cleared";
    EXPECT_FLOAT_EQ(ring.GetSortKey(0).key, 0.0f);
    ring.Free();
    EXPECT_EQ(ring.AllocTaskRecord(), nullptr);
}

TEST(RenderTaskRecordRingTest, OverflowWrapsToTheFirstRecord)
{
    RenderTaskRecordRing ring;
    ring.Allocate();
    RenderTaskRecord* first = nullptr;
    for (uint32_t i = 0; i < RenderTaskRecordRing::kCapacity; ++i)
    {
        RenderTaskRecord* record = ring.AllocTaskRecord();
        ASSERT_NE(record, nullptr);
        if (i == 0)
            first = record;
        ring.AddSortKey(float(i));
    }
    EXPECT_EQ(ring.GetCount(), 1280u);
    EXPECT_FALSE(ring.HasOverflowed()) << "exactly full is not an overflow";

    EXPECT_EQ(ring.AllocTaskRecord(), first);
    ring.AddSortKey(-1.0f);
    EXPECT_TRUE(ring.HasOverflowed());
    EXPECT_EQ(ring.GetCount(), 1280u);
    EXPECT_FLOAT_EQ(ring.GetSortKey(0).key, -1.0f);
    EXPECT_FLOAT_EQ(ring.GetSortKey(1279).key, 1279.0f);
    EXPECT_EQ(ring.AllocTaskRecord(), first + 1);

    ring.Clear();
    EXPECT_FALSE(ring.HasOverflowed());
}
