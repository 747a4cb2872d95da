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
// The position an entity's index takes, in a list held in the cell whose slots past its entries
// still hold entries removed before (they must not count), and in a list spilled to a block.
TEST(PathGridCellListTest, LowerBoundCountsOnlyTheEntriesHeld)
{
    PathGridCellList inlineList;
    std::vector<uint32_t> expected;
    for (uint32_t index : {10u, 20u, 30u, 40u, 50u, 60u})
        InsertSorted(inlineList, expected, index);
    // Left behind in the slots past the count: 50 and 60.
    inlineList.RemoveAt(4);
    inlineList.RemoveAt(4);
    PathGridCellList spilled;
    expected.clear();
    for (uint32_t index = 1; index <= 13; ++index)
        InsertSorted(spilled, expected, index * 10);
    ASSERT_TRUE(spilled.IsSpilled());
    const struct
    {
        const PathGridCellList* list;
        uint32_t index;
        int32_t at;
    } cases[] = {
        {&inlineList, 0, 0},   {&inlineList, 10, 0},  {&inlineList, 11, 1},  {&inlineList, 40, 3},
        {&inlineList, 41, 4},  {&inlineList, 55, 4},  {&inlineList, 99, 4},  {&spilled, 5, 0},
        {&spilled, 10, 0},     {&spilled, 65, 6},     {&spilled, 130, 12},   {&spilled, 131, 13},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.list->LowerBound(c.index), c.at) << (c.list == &spilled ? "spilled " : "inline ") << c.index;
}

} // namespace
