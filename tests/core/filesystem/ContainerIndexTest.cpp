#include "core/filesystem/ContainerIndex.h"
#include "support/ConsoleCapture.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

// Hashes under seed 0x1234 computed apart from the engine: "scripts/main.lua" 0x74C5505E,
// "scenes/level01.scene" 0x7900ED5E, "abc" 0xAD85FB8E.
const Bytes kLittleEndianIndex = {
    0x00, 0x01, 0x02, 0x03, 0x00, 0x00, 0x00, 0x34, 0x12, 0x00, 0x00,                                     // header
    0x5E, 0x50, 0xC5, 0x74, 0x10, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, // main.lua
    0x5E, 0xED, 0x00, 0x79, 0x05, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, // level01
    0x8E, 0xFB, 0x85, 0xAD, 0x03, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x15, 0x00, 0x00, 0x00, 0x00, // abc
};

const Bytes kBigEndianIndex = {
    0x00, 0x03, 0x02, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x12, 0x34,
    0x74, 0xC5, 0x50, 0x5E, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x00, 0x01,
    0x79, 0x00, 0xED, 0x5E, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x10, 0x00,
    0xAD, 0x85, 0xFB, 0x8E, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x15, 0x00,
};

void ExpectHandWrittenContents(const ContainerIndex& index)
{
    EXPECT_EQ(index.GetCount(), 3u);
    EXPECT_EQ(index.GetSeed(), 0x1234u);
    EXPECT_EQ(index.GetCompressionMethod(), CONTAINER_LZX);
    ContainerIndexRecord record;
    ASSERT_TRUE(index.Find("/Scripts/MAIN.lua", record));
    EXPECT_EQ(record.hash, 0x74C5505Eu);
    EXPECT_EQ(record.storedSize, 0x10u);
    EXPECT_EQ(record.size, 0x20u);
    EXPECT_EQ(record.offset, 0u);
    EXPECT_EQ(record.compressed, 1);
    ASSERT_TRUE(index.Find("/scenes/Level01.scene", record));
    EXPECT_EQ(record.offset, 0x10u);
    EXPECT_EQ(record.compressed, 0);
    ASSERT_TRUE(index.Find("/ABC", record));
    EXPECT_EQ(record.offset, 0x15u);
    EXPECT_FALSE(index.Find("/abd", record));
    EXPECT_FALSE(index.Find("", record));
}
} // namespace

TEST(ContainerIndexTest, HandWrittenIndexInBothByteOrders)
{
    ContainerIndex little;
    ASSERT_TRUE(little.LoadFromMemory(kLittleEndianIndex.data(), kLittleEndianIndex.size(), "little"));
    EXPECT_FALSE(little.IsSwapped());
    ExpectHandWrittenContents(little);

    ContainerIndex big;
    ASSERT_TRUE(big.LoadFromMemory(kBigEndianIndex.data(), kBigEndianIndex.size(), "big"));
    EXPECT_TRUE(big.IsSwapped());
    EXPECT_EQ(big.GetPlatform(), 3);
    ExpectHandWrittenContents(big);
}

TEST(ContainerIndexTest, LoadsFromFile)
{
    TempFolder folder;
    folder.WriteFile("x.idx", std::string(kLittleEndianIndex.begin(), kLittleEndianIndex.end()));
    ContainerIndex index;
    EXPECT_FALSE(index.Load((folder / "missing.idx").c_str()));
    ASSERT_TRUE(index.Load((folder / "x.idx").c_str()));
    ExpectHandWrittenContents(index);
}

TEST(ContainerIndexTest, RefusesDamagedIndexes)
{
    ConsoleCapture console;
    ContainerIndex index;

    Bytes version = kLittleEndianIndex;
    version[0] = 1;
    EXPECT_FALSE(index.LoadFromMemory(version.data(), version.size(), "v"));
    ASSERT_FALSE(console.Messages().empty());
    EXPECT_EQ(console.Messages().back().text, "wrong index file version");
    EXPECT_EQ(console.Messages().back().channel, CONSOLE_CHANNEL_CORE);
    EXPECT_EQ(console.Messages().back().kind, uint32_t(CONSOLE_ERROR));

    // A count that claims more records than the file holds, in both byte orders.
    Bytes truncated = kLittleEndianIndex;
    truncated.pop_back();
    EXPECT_FALSE(index.LoadFromMemory(truncated.data(), truncated.size(), "t"));
    Bytes hugeCount = kBigEndianIndex;
    hugeCount[3] = 0xFF;
    EXPECT_FALSE(index.LoadFromMemory(hugeCount.data(), hugeCount.size(), "h"));
    EXPECT_FALSE(index.LoadFromMemory(kLittleEndianIndex.data(), 10, "short header"));

    Bytes platform = kLittleEndianIndex;
    platform[1] = ContainerIndex::kHighestPlatform;
    EXPECT_TRUE(index.LoadFromMemory(platform.data(), platform.size(), "highest platform"));
    platform[1] = ContainerIndex::kHighestPlatform + 1;
    EXPECT_FALSE(index.LoadFromMemory(platform.data(), platform.size(), "p"));
    EXPECT_EQ(console.Messages().back().text, "Index file p has unknown platform code 12");

    Bytes unsorted = kLittleEndianIndex;
    std::swap_ranges(unsorted.begin() + 11, unsorted.begin() + 28, unsorted.begin() + 28);
    EXPECT_FALSE(index.LoadFromMemory(unsorted.data(), unsorted.size(), "u"));

    // A refused load keeps what was loaded before.
    ASSERT_TRUE(index.LoadFromMemory(kLittleEndianIndex.data(), kLittleEndianIndex.size(), "good"));
    EXPECT_FALSE(index.LoadFromMemory(version.data(), version.size(), "v"));
    ExpectHandWrittenContents(index);
}

TEST(ContainerIndexTest, HashesFoldCaseAndRefuseOverlongPaths)
{
    uint32_t lower = 0;
    uint32_t mixed = 0;
    ASSERT_TRUE(ContainerIndex::HashPath("scenes/level01.scene", 0x1234, ContainerIndex::kDefaultHashMultiplier, lower));
    ASSERT_TRUE(ContainerIndex::HashPath("Scenes/LEVEL01.Scene", 0x1234, ContainerIndex::kDefaultHashMultiplier, mixed));
    EXPECT_EQ(lower, 0x7900ED5Eu);
    EXPECT_EQ(mixed, lower);
    // Both ends of the letter range fold.
    ASSERT_TRUE(ContainerIndex::HashPath("az", 0, ContainerIndex::kDefaultHashMultiplier, lower));
    ASSERT_TRUE(ContainerIndex::HashPath("AZ", 0, ContainerIndex::kDefaultHashMultiplier, mixed));
    EXPECT_EQ(mixed, lower);
    const std::string longPath(ContainerIndex::kMaxKeyLength + 1, 'a');
    EXPECT_FALSE(ContainerIndex::HashPath(longPath.c_str(), 0, ContainerIndex::kDefaultHashMultiplier, lower));
}
