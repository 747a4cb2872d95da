// ctest-labels: thread
// The slot pool: slots of one size follow each other on 64-byte boundaries, a freed
// slot is the next one its size hands out, blocks never hand out more than they hold, and two
// threads never get the same slot.
#include "core/memory/SlotPool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

namespace
{
using Pool = SlotPool;

uintptr_t Address(const void* slot)
{
    return reinterpret_cast<uintptr_t>(slot);
}

// Sizes no context or entity of the suite has, so that other tests' frees do not reorder these.
TEST(SlotPoolTest, SlotsOfOneSizeFollowEachOtherOnTheRoundedSize)
{
    const struct
    {
        size_t bytes, slot;
    } cases[] = {{1, 64}, {64, 64}, {65, 128}, {2999, 3008}, {4096, 4096}};
    for (const auto& c : cases)
    {
        void* const a = Pool::Allocate(c.bytes);
        void* const b = Pool::Allocate(c.bytes);
        EXPECT_EQ(Address(a) % Pool::kSlotAlignment, 0u) << c.bytes;
        // Within one block the next slot starts right after; a new block starts anywhere.
        if (Address(a) / Pool::kBlockBytes == Address(b) / Pool::kBlockBytes)
        {
            EXPECT_EQ(Address(b) - Address(a), c.slot) << c.bytes;
        }
        std::memset(a, 0xA5, c.bytes);
        std::memset(b, 0x5A, c.bytes);
        // Freed in reverse, so a repeated run gets the same two slots in the same order.
        Pool::Free(b, c.bytes);
        Pool::Free(a, c.bytes);
    }
}

TEST(SlotPoolTest, AFreedSlotIsTheNextOneOfItsSizeOnly)
{
    void* const first = Pool::Allocate(1984);
    Pool::Free(first, 1984);
    void* const other = Pool::Allocate(2048); // the next size up
    EXPECT_NE(other, first);
    void* const again = Pool::Allocate(1950); // the same rounded size
    EXPECT_EQ(again, first);
    Pool::Free(again, 1950);
    Pool::Free(other, 2048);
}

TEST(SlotPoolTest, BlocksHandOutOnlyWhatTheyHoldAndLargeObjectsUseTheHeap)
{
    // Over two blocks' worth of the largest slot: every slot whole, aligned and apart from the others
    // (filling each one makes an overrun past a block's end a sanitizer error).
    std::vector<void*> slots;
    for (size_t i = 0; i < 2 * Pool::kBlockBytes / Pool::kLargestSlot + 2; ++i)
    {
        slots.push_back(Pool::Allocate(Pool::kLargestSlot));
        std::memset(slots.back(), int(i), Pool::kLargestSlot);
    }
    std::vector<uintptr_t> sorted;
    for (void* slot : slots)
        sorted.push_back(Address(slot));
    std::sort(sorted.begin(), sorted.end());
    for (size_t i = 1; i < sorted.size(); ++i)
        ASSERT_GE(sorted[i] - sorted[i - 1], Pool::kLargestSlot);
    for (size_t i = 0; i < slots.size(); ++i)
    {
        ASSERT_EQ(Address(slots[i]) % Pool::kSlotAlignment, 0u);
        EXPECT_EQ(static_cast<uint8_t*>(slots[i])[Pool::kLargestSlot - 1], uint8_t(i)) << i;
    }
    // Freed in reverse, so the size's free list hands them out again in this order.
    for (auto slot = slots.rbegin(); slot != slots.rend(); ++slot)
        Pool::Free(*slot, Pool::kLargestSlot);

    void* const large = Pool::Allocate(Pool::kLargestSlot + 1);
    EXPECT_EQ(Address(large) % Pool::kSlotAlignment, 0u);
    std::memset(large, 1, Pool::kLargestSlot + 1);
    Pool::Free(large, Pool::kLargestSlot + 1);
    // An object aligned past the slots' boundary comes from the heap on its own boundary.
    const std::align_val_t wide{4 * Pool::kSlotAlignment};
    void* const aligned = Pool::AllocateObject(48, wide);
    EXPECT_EQ(Address(aligned) % (4 * Pool::kSlotAlignment), 0u);
    Pool::FreeObject(aligned, 48, wide);
}

TEST(SlotPoolTest, ThreadsMakingAndFreeingAtOnceNeverShareASlot)
{
    constexpr size_t kBytes = 960;
    constexpr uint32_t kRounds = 200, kSlots = 50;
    bool shared[2] = {false, false};
    auto work = [&](uint8_t id) {
        std::vector<uint8_t*> mine;
        for (uint32_t round = 0; round < kRounds; ++round)
        {
            for (uint32_t i = 0; i < kSlots; ++i)
            {
                mine.push_back(static_cast<uint8_t*>(Pool::Allocate(kBytes)));
                std::memset(mine.back(), id, kBytes);
            }
            for (uint8_t* slot : mine)
                if (slot[0] != id || slot[kBytes - 1] != id)
                    shared[id] = true;
            for (uint8_t* slot : mine)
                Pool::Free(slot, kBytes);
            mine.clear();
        }
    };
    std::thread other(work, uint8_t(1));
    work(0);
    other.join();
    EXPECT_FALSE(shared[0]);
    EXPECT_FALSE(shared[1]);
}
} // namespace
