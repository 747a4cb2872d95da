#include "support/TempFolder.h"
#include "tools/datakit/ContainerReader.h"
#include "tools/datakit/DatakitCommand.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

namespace
{
std::string RandomBytes(size_t size, uint32_t seed)
{
    std::mt19937 random(seed);
    std::string out(size, '\0');
    for (char& c : out)
        c = static_cast<char>(random() % 7 == 0 ? random() : 'a' + random() % 4);
    return out;
}
} // namespace

TEST(ContainerCommandsTest, PacksListsAndExtractsByteIdentical)
{
    TempFolder folder;
    const std::vector<std::pair<std::string, std::string>> files = {
        {"empty.bin", ""},
        {"Scripts/Main.lua", "print('hello')\r\nreturn 1\n"},
        {"scenes/Level01/data.bin", RandomBytes(65537, 1)},
        {"textures/big.raw", RandomBytes(200000, 2)},
    };
    for (const auto& [name, bytes] : files)
        folder.WriteFile("in/" + name, bytes);

    for (const char* method : {"stored", "gzip", "lzx"})
    {
        const std::string data = folder / (std::string(method) + ".dat");
        const std::string names = folder / (std::string(method) + ".txt");
        const std::string out = folder / (std::string("out-") + method);
        ASSERT_EQ(RunDatakit({"pack", folder / "in", data, "--method", method, "--lzx-blocks", "mixed", "--names", names}), 0);
        EXPECT_EQ(RunDatakit({"list", data, "--names", names}), 0);
        ASSERT_EQ(RunDatakit({"extract", data, out, "--names", names}), 0);
        for (const auto& [name, bytes] : files)
            EXPECT_EQ(folder.ReadFile(std::string("out-") + method + "/" + name), bytes) << method << " " << name;

        ContainerReader reader;
        ASSERT_TRUE(reader.Open(data));
        EXPECT_EQ(reader.GetIndex().GetCount(), files.size());
        EXPECT_EQ(reader.GetIndex().GetCompressionMethod(), std::string(method) == "stored" ? 0 : std::string(method) == "gzip" ? 1 : 2);
        // An entry whose data ends before the size its record claims is damaged, not padded out.
        for (uint32_t i = 0; i < reader.GetIndex().GetCount(); ++i)
        {
            ContainerIndexRecord longer = reader.GetIndex().GetRecord(i);
            ++longer.size;
            std::vector<uint8_t> bytes;
            EXPECT_FALSE(reader.ReadEntry(longer, bytes)) << method << " " << i;
        }
    }

    // The block kind shows in the stored sizes: uncompressed blocks keep every byte, and verbatim is the default.
    std::vector<uint64_t> stored;
    for (const char* blocks : {"uncompressed", "verbatim", ""})
    {
        std::vector<std::string> command = {"pack", folder / "in", folder / "kind.dat", "--method", "lzx"};
        if (*blocks != '\0')
            command.insert(command.end(), {"--lzx-blocks", blocks});
        ASSERT_EQ(RunDatakit(command), 0);
        ContainerReader kind;
        ASSERT_TRUE(kind.Open(folder / "kind.dat"));
        stored.push_back(0);
        for (uint32_t i = 0; i < kind.GetIndex().GetCount(); ++i)
            stored.back() += kind.GetIndex().GetRecord(i).storedSize;
    }
    EXPECT_EQ(stored, (std::vector<uint64_t>{265784, 141074, 141074})) << "the files hold 265563 bytes";

    // Big-endian part files, and extraction without a name list.
    const std::string part = folder / "be.dat";
    ASSERT_EQ(RunDatakit({"pack", folder / "in", part, "--method", "gzip", "--platform", "3", "--part", "1"}), 0);
    ContainerReader reader;
    ASSERT_TRUE(reader.Open(folder / "be_001.dat"));
    EXPECT_TRUE(reader.GetIndex().IsSwapped());
    ASSERT_EQ(RunDatakit({"extract", folder / "be_001.dat", folder / "unnamed"}), 0);
    size_t extracted = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder / "unnamed"))
        extracted += entry.is_regular_file();
    EXPECT_EQ(extracted, files.size());
}
