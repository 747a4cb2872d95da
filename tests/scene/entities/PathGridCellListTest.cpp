#include "scene/entities/PathGridCellList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace
{
std::vector<uint32_t> Indices(const PathGridCellList& list)
{
    std::vector<uint32_t> indices;
    for (const PathGridEntry& entry : list)
        indices.push_back(entry.index);
    return indices;
}

// Inserts `index` where it keeps the list sorted, as the grid does.
void InsertSorted(PathGridCellList& list, std::vector<uint32_t>& expected, uint32_t index)
{
    const auto at = std::lower_bound(expected.begin(), expected.end(), index);
    list.InsertAt(int32_t(at - expected.begin()), {index, index + 1000, nullptr});
    expected.insert(at, index);
}

TEST(PathGridCellListTest, EntriesStayInOrderThroughTheSpillOutOfTheCellAndBack)
{
    PathGridCellList list;
    std::vector<uint32_t> expected;
    // Past the inline room and past the first block's, front, back and middle.
    const uint32_t order[] = {50, 10, 90, 30, 70, 20, 60, 80, 40, 5, 95, 55, 15, 85, 45};
    for (uint32_t index : order)
    {
        InsertSorted(list, expected, index);
        ASSERT_EQ(Indices(list), expected) << "after inserting " << index;
        EXPECT_EQ(list.IsSpilled(), list.Count() > PathGridCellList::kInline) << list.Count();
    }
    EXPECT_EQ(list[3].typeId, 1020u) << "each entry moves whole";
    // Removing first, last and middle entries; the list keeps its block.
    const int32_t removals[] = {0, 13, 6, 6, 0, 8, 4, 1, 2, 0, 2, 1, 0, 1, 0};
    for (int32_t at : removals)
    {
        list.RemoveAt(at);
        expected.erase(expected.begin() + at);
        ASSERT_EQ(Indices(list), expected) << "after removing position " << at;
    }
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_TRUE(list.IsSpilled());
    InsertSorted(list, expected, 7);
    InsertSorted(list, expected, 3);
    EXPECT_EQ(Indices(list), (std::vector<uint32_t>{3, 7}));
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.begin(), list.end());
}

TEST(PathGridCellListTest, AListFilledToItsInlineRoomStaysInTheCell)
{
    PathGridCellList list;
    std::vector<uint32_t> expected;
    for (uint32_t index = 0; index < uint32_t(PathGridCellList::kInline); ++index)
        InsertSorted(list, expected, 10 - index);
    EXPECT_FALSE(list.IsSpilled());
    EXPECT_EQ(list.Data(), list.begin());
    EXPECT_EQ(Indices(list), expected);
    InsertSorted(list, expected, 100);
    EXPECT_TRUE(list.IsSpilled());
    EXPECT_EQ(Indices(list), expected);
}
} // namespace
