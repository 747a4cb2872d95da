#include "support/TempFolder.h"
#include "tools/datakit/ContainerReader.h"
#include "tools/datakit/ContainerWriter.h"
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

        // A record claiming more than its stored bytes can give is refused by name before anything is
        // reserved for it, and the other entries still come out.
        uint32_t hash = 0;
        const ContainerIndex& index = reader.GetIndex();
        ASSERT_TRUE(ContainerIndex::HashPath(files[3].first.c_str(), index.GetSeed(), index.GetHashMultiplier(), hash));
        uint32_t at = 0;
        while (index.GetRecord(at).hash != hash)
            ++at;
        std::string claimed = folder.ReadFile(std::string(method) + ".idx");
        claimed.replace(ContainerIndex::kHeaderSize + ContainerIndex::kRecordSize * at + 8, 4, "\xF0\xFF\xFF\xFF");
        folder.WriteFile(std::string(method) + ".idx", claimed);
        std::filesystem::remove_all(out);
        testing::internal::CaptureStderr();
        EXPECT_EQ(RunDatakit({"extract", data, out, "--names", names}), 1) << method;
        EXPECT_NE(testing::internal::GetCapturedStderr().find(" textures/big.raw records 4294967280 bytes, which its " +
                                                              std::to_string(index.GetRecord(at).storedSize) +
                                                              " stored bytes cannot give; not extracted"),
                  std::string::npos)
            << method;
        for (const auto& [name, bytes] : files)
            EXPECT_EQ(folder.ReadFile(std::string("out-") + method + "/" + name), name == files[3].first ? "" : bytes)
                << method << " " << name;
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
    // Those "<HASH>.bin" files pack back under their hashes: an extract-edit-pack round trip keeps the index.
    ASSERT_EQ(RunDatakit({"pack", folder / "unnamed", folder / "again.dat"}), 0);
    ContainerReader again;
    ASSERT_TRUE(again.Open(folder / "again.dat") && again.GetIndex().GetCount() == files.size());
    for (uint32_t i = 0; i < files.size(); ++i)
        EXPECT_EQ(again.GetIndex().GetRecord(i).hash, reader.GetIndex().GetRecord(i).hash) << i;
    // An empty container extracts to an empty folder, so it round-trips too.
    std::filesystem::create_directory(folder / "none");
    ASSERT_EQ(RunDatakit({"pack", folder / "none", folder / "none.dat"}), 0);
    ASSERT_EQ(RunDatakit({"extract", folder / "none.dat", folder / "none-out"}), 0);
    EXPECT_EQ(RunDatakit({"pack", folder / "none-out", folder / "none-again.dat"}), 0);
    // Packed again into its own folder, a container leaves out the data, index and list it wrote there.
    for (int run = 0; run < 2; ++run)
        ASSERT_EQ(RunDatakit({"pack", folder / "in", folder / "in/self.dat", "--names", folder / "in/self.txt"}), 0);
    ContainerReader self;
    ASSERT_TRUE(self.Open(folder / "in/self.dat"));
    EXPECT_EQ(self.GetIndex().GetCount(), files.size());
}

// Listed names that reach past their folder in either reading of '\\' (the engine's '/', or a letter
// on this disk), writes through a link already in the output folder, and packed links that lead out of
// their folder, to a folder or to no file are named on stderr, nothing is written for them and the
// command fails.
TEST(ContainerCommandsTest, KeepsEveryFileInsideItsFolder)
{
    TempFolder f;
    f.WriteFile("in/sub/real.txt", "real");
    f.WriteFile("mine/notes.txt", "mine");
    const struct
    {
        bool extract; // else pack with a link
        std::string name; // the entry's listed name, or the link's target
        int code;
        std::string landing; // where an extracted entry lands, below the temporary folder
    } rows[] = {
        {true, "../escaped.txt", 1, "escaped.txt"}, {true, "sub/../../escaped.txt", 1, "escaped.txt"},
        {true, f / "escaped.txt", 1, "escaped.txt"}, {true, "..\\escaped.txt", 1, "out/..\\escaped.txt"},
        {true, "sub\\x/../../escaped.txt", 1, "escaped.txt"}, {true, "link/escaped.txt", 1, "in/sub/escaped.txt"},
        {true, "sub/../kept.txt", 0, "out/kept.txt"}, {true, "a\\b.txt", 0, "out/a\\b.txt"},
        {false, "../mine/notes.txt", 1, ""}, {false, f / "mine/notes.txt", 1, ""}, {false, "sub", 1, ""},
        {false, "missing.txt", 1, ""}, {false, "link.txt", 1, ""}, {false, "/dev/null", 1, ""},
        {false, "sub/real.txt", 0, ""},
        {false, "sub/../../in/sub/real.txt", 0, ""},
    };
    for (const auto& [extract, name, code, landing] : rows)
    {
        ContainerWriter writer;
        ASSERT_TRUE(writer.Add(name, {'x'}) && writer.Add("fine.txt", {'y'}) && writer.Write(f / "c.dat"));
        f.WriteFile("names.txt", name + "\nfine.txt\n");
        std::filesystem::remove_all(f / "out");
        std::filesystem::remove(f / "p.txt");
        std::filesystem::create_directory(f / "out");
        std::filesystem::create_directory_symlink("../in/sub", f / "out/link");
        if (!extract)
            std::filesystem::create_symlink(name, f / "in/link.txt");
        testing::internal::CaptureStderr();
        EXPECT_EQ(extract ? RunDatakit({"extract", f / "c.dat", f / "out", "--names", f / "names.txt"})
                          : RunDatakit({"pack", f / "in", f / "p.dat", "--names", f / "p.txt"}),
                  code) << name;
        EXPECT_EQ(testing::internal::GetCapturedStderr().find(extract ? name : "link.txt") != std::string::npos, code != 0);
        if (extract)
            EXPECT_EQ(f.ReadFile(landing) + f.ReadFile("out/fine.txt"), code == 0 ? "xy" : "y") << name;
        else // stored under the link's own name
            EXPECT_EQ(f.ReadFile("p.txt"), code == 0 ? "link.txt\nsub/real.txt\n" : "") << name;
        std::filesystem::remove(f / "in/link.txt");
    }
}
