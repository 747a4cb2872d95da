#include "core/containers/SafePointer.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace
{
struct Target : SafePointerRoot
{
    int value = 0;
};
} // namespace

TEST(SafePointerTest, TargetDeathClearsEveryPointerToItOnly)
{
    auto a = std::make_unique<Target>();
    auto b = std::make_unique<Target>();
    SafePointer<Target> first(a.get());
    SafePointer<Target> second = first;
    SafePointer<Target> other(b.get());
    a.reset();
    EXPECT_EQ(first.Get(), nullptr);
    EXPECT_EQ(second.Get(), nullptr);
    EXPECT_EQ(other.Get(), b.get());
    EXPECT_TRUE(b->HasSafePointers());
}

TEST(SafePointerTest, RepointingLeavesTheOldTargetsList)
{
    auto a = std::make_unique<Target>();
    Target b;
    SafePointer<Target> pointer(a.get());
    pointer = &b;
    EXPECT_FALSE(a->HasSafePointers());
    a.reset();
    EXPECT_EQ(pointer.Get(), &b);
    pointer = nullptr;
    EXPECT_FALSE(b.HasSafePointers());
}

TEST(SafePointerTest, PointersDyingInAnyOrderKeepTheListWhole)
{
    auto target = std::make_unique<Target>();
    auto first = std::make_unique<SafePointer<Target>>(target.get());
    auto middle = std::make_unique<SafePointer<Target>>(target.get());
    auto last = std::make_unique<SafePointer<Target>>(target.get());
    middle.reset();
    last.reset();
    EXPECT_TRUE(target->HasSafePointers());
    target.reset();
    EXPECT_EQ(first->Get(), nullptr);
}

TEST(SafePointerTest, ACopyOfATargetIsNotPointedAt)
{
    auto original = std::make_unique<Target>();
    original->value = 7;
    SafePointer<Target> pointer(original.get());
    auto copy = std::make_unique<Target>(*original);
    EXPECT_EQ(copy->value, 7);
    EXPECT_FALSE(copy->HasSafePointers());
    *copy = *original;
    EXPECT_FALSE(copy->HasSafePointers());
    copy.reset();
    EXPECT_EQ(pointer.Get(), original.get());
}

TEST(SafePointerTest, InvalidateClearsPointersButTheTargetLives)
{
    Target target;
    SafePointer<Target> pointer(&target);
    target.InvalidateSafePointers();
    EXPECT_FALSE(pointer);
    pointer = &target;
    EXPECT_EQ(pointer.Get(), &target);

    // Pointers cleared together keep no links to each other: relinking one must not bring back
    // another, and unlinking one must not cut another out of the list it has joined since.
    auto other = std::make_unique<Target>();
    SafePointer<Target> watcher(other.get());
    SafePointer<Target> moved(&target);
    target.InvalidateSafePointers();
    moved = &target;
    moved = nullptr;
    EXPECT_FALSE(target.HasSafePointers());
    moved = other.get();
    pointer = &target;
    pointer = nullptr;
    other.reset();
    EXPECT_EQ(watcher.Get(), nullptr);
}

// Growth must relink the elements: bytewise copies would leave each target's list pointing into
// the freed old block.
TEST(SafePointerArrayTest, ElementsStayLinkedWhileTheArrayGrows)
{
    std::vector<std::unique_ptr<Target>> targets;
    for (int i = 0; i < 20; ++i)
        targets.push_back(std::make_unique<Target>());

    SafePointerArray<Target> array;
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(array.Add(SafePointer<Target>(targets[size_t(i)].get())), i);
    EXPECT_EQ(array.Capacity(), 32);
    array.Insert(array[3], 0);
    array.RemoveAt(5);

    for (int i = 0; i < 20; i += 2)
        targets[size_t(i)].reset();
    for (int i = 0; i < array.Count(); ++i)
    {
        const Target* pointed = array[i].Get();
        if (pointed == nullptr)
            continue;
        bool alive = false;
        for (const auto& target : targets)
            alive = alive || target.get() == pointed;
        EXPECT_TRUE(alive) << i;
    }
    EXPECT_EQ(array[0].Get(), targets[3].get());
    EXPECT_EQ(array[1].Get(), nullptr);
    EXPECT_EQ(array[2].Get(), targets[1].get());
    EXPECT_EQ(array[5].Get(), targets[5].get());

    array.FreeStorage();
    for (const auto& target : targets)
    {
        if (target)
        {
            EXPECT_FALSE(target->HasSafePointers());
        }
    }
}

TEST(SafePointerArrayTest, RemoveValueDropsEveryPointerToOneTarget)
{
    Target a;
    Target b;
    SafePointerArray<Target> array;
    array.Add(&a);
    array.Add(&b);
    array.Add(&a);
    array.RemoveValue(SafePointer<Target>(&a));
    ASSERT_EQ(array.Count(), 1);
    EXPECT_EQ(array[0].Get(), &b);
    EXPECT_FALSE(a.HasSafePointers());
}
