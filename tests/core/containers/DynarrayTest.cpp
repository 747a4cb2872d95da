#include "core/containers/Dynarray.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
template <typename T>
std::vector<T> Contents(const Dynarray<T>& array)
{
    return std::vector<T>(array.begin(), array.end());
}

struct Named
{
    const char* name;
    int order;
    const char* GetName() const { return name; }
};

struct Counted
{
    explicit Counted(int* deaths) : m_deaths(deaths) {}
    virtual ~Counted() { ++*m_deaths; }
    int* m_deaths;
};
} // namespace

TEST(DynarrayTest, CapacityDoublesFromTwo)
{
    Dynarray<uint32_t> array;
    EXPECT_EQ(array.Capacity(), 0);
    EXPECT_EQ(array.Data(), nullptr);
    std::vector<int32_t> capacities;
    for (uint32_t i = 0; i < 16; ++i)
    {
        EXPECT_EQ(array.Add(i), int32_t(i));
        if (capacities.empty() || capacities.back() != array.Capacity())
            capacities.push_back(array.Capacity());
    }
    EXPECT_EQ(capacities, (std::vector<int32_t>{2, 4, 8, 16}));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(array.Data()) % 16, 0u);
    for (uint32_t i = 0; i < 16; ++i)
        EXPECT_EQ(array[int32_t(i)], i);
    array.RemoveAt(0); // a full block moves its tail down without reading past its end
    EXPECT_EQ(array[14], 15u);
}

TEST(DynarrayTest, InsertAtCountAppendsAndInsideMovesTheTail)
{
    Dynarray<uint32_t> array;
    EXPECT_EQ(array.Insert(5, 0), 0);
    EXPECT_EQ(array.Insert(7, array.Count()), 1);
    EXPECT_EQ(array.Insert(6, 1), 1);
    EXPECT_EQ(array.Insert(4, 0), 0);
    EXPECT_EQ(Contents(array), (std::vector<uint32_t>{4, 5, 6, 7}));
    // A debug build stops on the misuse; the others refuse it and leave the array as it was.
    EXPECT_DEBUG_DEATH(EXPECT_EQ(array.Insert(9, 5), -1), "index");
    EXPECT_EQ(array.Count(), 4);
}

TEST(DynarrayTest, AddingAnElementOfItselfWhileGrowingCopiesItFirst)
{
    Dynarray<uint64_t> array;
    array.Add(11);
    array.Add(22);
    ASSERT_EQ(array.Count(), array.Capacity());
    array.Add(array[0]);
    array.Insert(array[1], 0);
    EXPECT_EQ(Contents(array), (std::vector<uint64_t>{22, 11, 22, 11}));
}

TEST(DynarrayTest, RemovalsKeepOrderAndZeroFreedSlots)
{
    Dynarray<uint32_t> array;
    for (uint32_t value : {3u, 1u, 3u, 2u, 3u, 4u})
        array.Add(value);
    array.RemoveValue(array[0]); // an element of the array itself is compared through a copy
    EXPECT_EQ(Contents(array), (std::vector<uint32_t>{1, 2, 4}));
    EXPECT_EQ(array.Data()[3], 0u);
    EXPECT_EQ(array.Data()[5], 0u);

    EXPECT_DEBUG_DEATH(array.RemoveAt(3), "index");
    EXPECT_DEBUG_DEATH(array.RemoveAt(-1), "index");
    array.RemoveAt(0);
    EXPECT_EQ(Contents(array), (std::vector<uint32_t>{2, 4}));
    EXPECT_EQ(array.Data()[2], 0u);

    for (uint32_t value : {5u, 6u, 7u})
        array.Add(value);
    array.RemoveRange(1, 3);
    EXPECT_EQ(Contents(array), (std::vector<uint32_t>{2, 7}));
    for (int32_t i = 2; i < array.Capacity(); ++i)
        EXPECT_EQ(array.Data()[i], 0u) << i;
}

TEST(DynarrayTest, ResizeOnlyGrowsAndAddZeroedAppendsZeroes)
{
    Dynarray<uint32_t> array;
    array.Add(1);
    array.Add(2);
    array.Add(3);
    array.Resize(1);
    EXPECT_EQ(Contents(array), (std::vector<uint32_t>{1, 2, 3}));
    array.Resize(5);
    EXPECT_EQ(array.Capacity(), 5);
    EXPECT_EQ(Contents(array), (std::vector<uint32_t>{1, 2, 3, 0, 0}));

    EXPECT_EQ(array.AddZeroed(0), 5);
    EXPECT_EQ(array.AddZeroed(2), 5);
    EXPECT_EQ(array.Count(), 7);
    EXPECT_EQ(array.Capacity(), 7);
    EXPECT_EQ(array[6], 0u);
}

// A count past INT32_MAX must end the program as running out of memory does, not wrap and write
// past the block.
TEST(DynarrayDeathTest, AddZeroedPastTheLargestCountEndsTheProgram)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Dynarray<uint32_t> array;
    array.Add(1);
    EXPECT_DEATH(array.AddZeroed(INT32_MAX), "Out of memory");
}

TEST(DynarrayTest, InsertSortedByNameKeepsInsertionOrderOfEqualNames)
{
    Named items[] = {{"beta", 0}, {"alpha", 1}, {"beta", 2}, {"Zulu", 3}, {"alpha", 4}};
    Dynarray<Named*> array;
    for (Named& item : items)
        array.InsertSortedByName(&item);
    std::vector<int> order;
    for (Named* item : array)
        order.push_back(item->order);
    EXPECT_EQ(order, (std::vector<int>{3, 1, 4, 0, 2}));
}

TEST(DynarrayTest, DeleteAllPointersDeletesThroughVirtualDestructorsAndSkipsNull)
{
    int deaths = 0;
    Dynarray<Counted*> array;
    array.Add(new Counted(&deaths));
    array.Add(nullptr);
    array.Add(new Counted(&deaths));
    array.DeleteAllPointers();
    EXPECT_EQ(deaths, 2);
    EXPECT_EQ(array.Count(), 0);
    EXPECT_EQ(array.Capacity(), 0);
    EXPECT_EQ(array.Data(), nullptr);
}

TEST(DynarrayTest, CopiesAreDeepAndMovesTakeTheBlock)
{
    Dynarray<uint32_t> array;
    array.Add(1);
    array.Add(2);
    Dynarray<uint32_t> copy(array);
    copy[0] = 9;
    EXPECT_EQ(array[0], 1u);
    // Assignment replaces what was there, and assigning an array to itself keeps it whole.
    Dynarray<uint32_t> assigned;
    assigned.Add(7);
    assigned = array;
    EXPECT_EQ(Contents(assigned), (std::vector<uint32_t>{1, 2}));
    Dynarray<uint32_t>& same = assigned;
    assigned = same;
    EXPECT_EQ(Contents(assigned), (std::vector<uint32_t>{1, 2}));
    Dynarray<uint32_t> moved(std::move(copy));
    EXPECT_EQ(Contents(moved), (std::vector<uint32_t>{9, 2}));
    EXPECT_EQ(copy.Count(), 0);
    EXPECT_EQ(copy.Data(), nullptr);
}

TEST(DynarraySafeTest, ConstructsSlotsAndMovesElementsThroughAssignment)
{
    DynarraySafe<std::string> array;
    const std::string longText(100, 'x');
    for (int i = 0; i < 9; ++i)
        array.Add(longText + std::to_string(i));
    EXPECT_EQ(array.Capacity(), 16);
    EXPECT_EQ(ArrayCount(array.Data()), 16u);
    EXPECT_TRUE(array.Data()[12].empty());

    array.Insert(array[8], 0);
    EXPECT_EQ(array[0], longText + "8");
    EXPECT_EQ(array[9], longText + "8");
    array.RemoveValue(longText + "8");
    EXPECT_EQ(array.Count(), 8);
    EXPECT_TRUE(array.Data()[8].empty());
    array.RemoveAt(0);
    EXPECT_EQ(array[0], longText + "1");
    array.ClearRange(0, 2);
    EXPECT_TRUE(array[1].empty());
    EXPECT_EQ(array[2], longText + "3");

    DynarraySafe<std::string> copy(array);
    array.FreeStorage();
    EXPECT_EQ(copy.Count(), 7);
    EXPECT_EQ(copy[6], longText + "7");
}

TEST(ArrayNewTest, KeepsItsCountAndRefusesEmptyArrays)
{
    EXPECT_EQ(ArrayNew<std::string>(0), nullptr);
    std::string* strings = ArrayNew<std::string>(3);
    ASSERT_NE(strings, nullptr);
    EXPECT_EQ(ArrayCount(strings), 3u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(strings) % 16, 0u);
    strings[2] = std::string(64, 'y');
    ArrayDelete(strings);
}
