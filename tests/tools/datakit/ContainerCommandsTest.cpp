#include "support/TempFolder.h"
#include "tools/datakit/ContainerReader.h"
#include "tools/datakit/ContainerWriter.h"
#include "tools/datakit/DataRoot.h"
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

// Hash and size of every entry, in index order.
std::vector<std::pair<uint32_t, uint32_t>> IndexEntries(const ContainerReader& reader)
{
    std::vector<std::pair<uint32_t, uint32_t>> entries;
    for (uint32_t i = 0; i < reader.GetIndex().GetCount(); ++i)
        entries.emplace_back(reader.GetIndex().GetRecord(i).hash, reader.GetIndex().GetRecord(i).size);
    return entries;
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
    // Those "<HASH>.bin" files pack back under their hashes, so an extract-edit-pack round trip keeps the index.
    ASSERT_EQ(RunDatakit({"pack", folder / "unnamed", folder / "again.dat", "--method", "gzip"}), 0);
    ContainerReader again;
    ASSERT_TRUE(again.Open(folder / "again.dat"));
    EXPECT_EQ(IndexEntries(again), IndexEntries(reader));

    // A data root's containers come with name lists that name every entry.
    DataRoot root;
    root.AddFile("scenes", "Field/Lightmap.texture", "lit");
    ASSERT_TRUE(root.Write(folder / "root", true));
    ASSERT_EQ(RunDatakit({"extract", folder / "root/scenes.dat", folder / "scenes", "--names", folder / "root/scenes.txt"}), 0);
    EXPECT_EQ(folder.ReadFile("scenes/Field/Lightmap.texture"), "lit");
}

// Names from a name list and links in a packed folder never reach past their folder: such an entry is
// named on stderr, nothing is written for it and the command fails.
TEST(ContainerCommandsTest, KeepsEveryFileInsideItsFolder)
{
    TempFolder f;
    const struct
    {
        std::string name;
        int code;
        std::string written; // where the entry lands, below the temporary folder
    } extracts[] = {
        {"../escaped.txt", 1, "escaped.txt"},
        {"sub/../../escaped.txt", 1, "escaped.txt"},
        {f / "escaped.txt", 1, "escaped.txt"},
        {"..\\escaped.txt", 1, "out/..\\escaped.txt"},
        {"sub/../kept.txt", 0, "out/kept.txt"},
    };
    for (const auto& row : extracts)
    {
        ContainerWriter writer;
        ASSERT_TRUE(writer.Add(row.name, {'x'}) && writer.Add("fine.txt", {'y'}));
        ASSERT_TRUE(writer.Write(f / "c.dat"));
        f.WriteFile("names.txt", row.name + "\nfine.txt\n");
        testing::internal::CaptureStderr();
        EXPECT_EQ(RunDatakit({"extract", f / "c.dat", f / "out", "--names", f / "names.txt"}), row.code) << row.name;
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(said.find(row.name) != std::string::npos, row.code != 0) << row.name;
        EXPECT_EQ(f.ReadFile(row.written), row.code == 0 ? "x" : "") << row.name;
        EXPECT_EQ(f.ReadFile("out/fine.txt"), "y") << "the other entries are written: " << row.name;
        std::filesystem::remove_all(f / "out");
    }

    f.WriteFile("in/sub/real.txt", "real");
    f.WriteFile("mine/notes.txt", "mine");
    const struct
    {
        std::string target;
        int code;
    } links[] = {
        {"sub/real.txt", 0},
        {"../mine/notes.txt", 1},
        {f / "mine/notes.txt", 1},
        {"sub/../../in/sub/real.txt", 0},
    };
    for (const auto& row : links)
    {
        std::filesystem::create_symlink(row.target, f / "in/link.txt");
        testing::internal::CaptureStderr();
        EXPECT_EQ(RunDatakit({"pack", f / "in", f / "p.dat", "--names", f / "p.txt"}), row.code) << row.target;
        EXPECT_EQ(testing::internal::GetCapturedStderr().find("link.txt") != std::string::npos, row.code != 0) << row.target;
        std::filesystem::remove(f / "in/link.txt");
        if (row.code != 0)
            continue;
        // Stored under the link's own name, with the bytes it leads to.
        EXPECT_EQ(f.ReadFile("p.txt"), "link.txt\nsub/real.txt\n") << row.target;
        EXPECT_EQ(RunDatakit({"extract", f / "p.dat", f / "back", "--names", f / "p.txt"}), 0) << row.target;
        EXPECT_EQ(f.ReadFile("back/link.txt"), "real") << row.target;
    }
}
