#include "core/filesystem/ContainerReadAhead.h"
#include "core/filesystem/FileReader.h"
#include "core/filesystem/FileSystem.h"
#include "core/filesystem/FileSystemContainerMountPoint.h"
#include "core/filesystem/PhysicalFileReader.h"
#include "platform/os/CachedFileReader.h"
#include "support/ConsoleCapture.h"
#include "support/TempFolder.h"
#include "tools/datakit/ContainerWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;
constexpr uint32_t kNoGroup = FileSystemContainerMountPoint::kNoReaderGroup;
constexpr uint32_t kMultiplier = ContainerIndex::kDefaultHashMultiplier;

Bytes MountPointSample(size_t size, uint32_t seed)
{
    std::mt19937 random(seed);
    Bytes out;
    static const char* kWords[] = {"tower ", "squad\r\n", "level ", "guard\n", "scene "};
    while (out.size() < size)
    {
        if (random() % 4 == 0)
            out.push_back(static_cast<uint8_t>(random()));
        else
            for (const char* c = kWords[random() % 5]; *c; ++c)
                out.push_back(static_cast<uint8_t>(*c));
    }
    out.resize(size);
    return out;
}

Bytes ToBytes(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

class FileSystemContainerMountPointTest : public testing::Test
{
protected:
    void TearDown() override { gFileSystem.UnmountAll(); }

    std::unique_ptr<FileSystemInputStream> Open(const std::string& path)
    {
        return gFileSystem.OpenInputStream(path.c_str(), nullptr, nullptr, 0);
    }

    // Reads a whole entry in steps of `step` bytes; false when a read fails.
    bool ReadAll(const std::string& path, uint32_t step, Bytes& out)
    {
        auto stream = Open(path);
        if (!stream)
            return false;
        out.assign(stream->GetSize(), 0);
        for (uint32_t done = 0; done < out.size();)
        {
            const uint32_t count = std::min<uint32_t>(step, static_cast<uint32_t>(out.size()) - done);
            if (!stream->Read(out.data() + done, count))
                return false;
            done += count;
        }
        return true;
    }

    bool ReadBytes(const std::string& path, Bytes& out)
    {
        auto stream = Open(path);
        if (!stream)
            return false;
        out.clear();
        uint8_t byte = 0;
        while (stream->ReadByte(byte))
            out.push_back(byte);
        return out.size() == stream->GetSize();
    }

    TempFolder m_folder;
};
} // namespace

TEST_F(FileSystemContainerMountPointTest, StoredEntriesAtBlockBoundaries)
{
    const Bytes exact = MountPointSample(65536, 1);
    const Bytes over = MountPointSample(65537, 2);
    ContainerWriter writer;
    ASSERT_TRUE(writer.Add("empty.bin", {}));
    ASSERT_TRUE(writer.Add("exact.bin", exact));
    ASSERT_TRUE(writer.Add("Sub/Over.bin", over));
    ASSERT_TRUE(writer.Write(m_folder / "stored.dat"));
    ASSERT_TRUE(gFileSystem.MountContainer("stored", (m_folder / "stored.dat").c_str(), 0, kMultiplier, 1));

    auto empty = Open("stored/empty.bin");
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->GetSize(), 0u);
    uint8_t byte = 0;
    EXPECT_FALSE(empty->Read(&byte, 1));
    EXPECT_FALSE(empty->ReadByte(byte));

    for (const uint32_t step : {1u, 100u, 4096u, 65537u})
    {
        Bytes out;
        ASSERT_TRUE(ReadAll("stored/exact.bin", step, out));
        EXPECT_EQ(out, exact);
        ASSERT_TRUE(ReadAll("STORED/sub/OVER.BIN", step, out)) << step;
        EXPECT_EQ(out, over);
    }
    // Reading past the end fails; skipping works like reading.
    auto stream = Open("stored/sub/over.bin");
    ASSERT_TRUE(stream->Read(nullptr, 65536));
    ASSERT_TRUE(stream->ReadByte(byte));
    EXPECT_EQ(byte, over.back());
    EXPECT_FALSE(stream->Read(&byte, 1));
    // So does a read that starts inside the entry and would end past it.
    stream = Open("stored/sub/over.bin");
    ASSERT_TRUE(stream->Read(nullptr, 65536));
    uint8_t tail[2] = {};
    EXPECT_FALSE(stream->Read(tail, 2));

    EXPECT_TRUE(gFileSystem.FileExists("stored/Sub/over.bin", nullptr, nullptr));
    EXPECT_FALSE(gFileSystem.FileExists("stored/sub/other.bin", nullptr, nullptr));
    EXPECT_EQ(Open("stored/missing.bin"), nullptr);
    EXPECT_EQ(gFileSystem.OpenOutputStream("stored/new.bin", nullptr, nullptr, 0), nullptr);
}

TEST_F(FileSystemContainerMountPointTest, CompressedEntriesReadIdenticallyForEveryReadSize)
{
    const Bytes big = MountPointSample(150000, 3);
    const Bytes small = MountPointSample(40000, 4);
    LzxEncoderOptions mixed;
    mixed.blockKind = LzxBlockKind::Mixed;
    mixed.blockSize = 20000;
    for (const uint8_t method : {uint8_t(1), uint8_t(2)})
    {
        ContainerWriter writer(method);
        writer.SetLzxOptions(mixed);
        ASSERT_TRUE(writer.Add("big.bin", big));
        ASSERT_TRUE(writer.Add("small.bin", small));
        ASSERT_TRUE(writer.Add("plain.bin", small, false));
        ASSERT_TRUE(writer.Add("text.txt", ToBytes("first line\r\nsecond\rthird\n\nlast")));
        const std::string name = method == 1 ? "gz" : "lzx";
        ASSERT_TRUE(writer.Write(m_folder / (name + ".dat")));
        ASSERT_TRUE(gFileSystem.MountContainer(name.c_str(), (m_folder / (name + ".dat")).c_str(), kNoGroup, kMultiplier, 1));

        for (const uint32_t step : {1u, 100u, 4096u, 150000u})
        {
            Bytes out;
            if (step == 1 || step == 100)
            {
                ASSERT_TRUE(ReadAll(name + "/small.bin", step, out)) << name << " step " << step;
                EXPECT_EQ(out, small) << name << " step " << step;
                continue;
            }
            ASSERT_TRUE(ReadAll(name + "/big.bin", step, out)) << name << " step " << step;
            EXPECT_EQ(out, big) << name << " step " << step;
        }
        Bytes out;
        ASSERT_TRUE(ReadBytes(name + "/small.bin", out)) << name;
        EXPECT_EQ(out, small);
        ASSERT_TRUE(ReadAll(name + "/plain.bin", 4096, out));
        EXPECT_EQ(out, small);

        // Skipping compressed bytes, then reading on.
        auto stream = Open(name + "/big.bin");
        ASSERT_TRUE(stream->Read(nullptr, 100000));
        Bytes rest(50000);
        ASSERT_TRUE(stream->Read(rest.data(), 50000));
        EXPECT_TRUE(std::equal(rest.begin(), rest.end(), big.begin() + 100000));

        // Text lines come out of containers too.
        auto text = Open(name + "/text.txt");
        char line[64];
        ASSERT_TRUE(text->ReadLine(line, sizeof(line)));
        EXPECT_STREQ(line, "first line");
        ASSERT_TRUE(text->ReadLine(line, sizeof(line)));
        EXPECT_STREQ(line, "second\rthird");
        ASSERT_TRUE(text->ReadLine(line, sizeof(line)));
        EXPECT_STREQ(line, "");
        ASSERT_TRUE(text->ReadLine(line, sizeof(line)));
        EXPECT_STREQ(line, "last");
        EXPECT_FALSE(text->ReadLine(line, sizeof(line)));
    }
}

TEST_F(FileSystemContainerMountPointTest, ExtraPartsOverrideAndAreLimitedToFour)
{
    ConsoleCapture console;
    // Parts 2 and 3 come from a second container whose own part numbers continue the first's; a
    // fifth part beside them is never read.
    const std::string main = m_folder / "scenes.dat";
    const std::string more = m_folder / "more.dat";
    for (uint32_t part = 0; part < 5; ++part)
    {
        ContainerWriter writer(part % 2 ? 1 : 0, part == 2 ? 3 : 1);
        ASSERT_TRUE(writer.Add("shared.txt", ToBytes("part " + std::to_string(part))));
        ASSERT_TRUE(writer.Add("only" + std::to_string(part) + ".txt", ToBytes("x")));
        ASSERT_TRUE(writer.Write(part < 2 ? ContainerWriter::PartPath(main, part) : part == 2 ? more : ContainerWriter::PartPath(more, part)));
    }
    ContainerWriter other;
    ASSERT_TRUE(other.Add("other.txt", ToBytes("o")));
    ASSERT_TRUE(other.Write(m_folder / "other.dat"));

    // name.dat and name_001.dat: the later part wins. Asking for every part up to the fourth, some
    // of them missing, is no excess.
    ASSERT_TRUE(gFileSystem.MountContainer("scenes", main.c_str(), 1, kMultiplier, 3));
    EXPECT_FALSE(console.Contains("More than MAX_CONTAINER_FILE_NUM"));
    Bytes out;
    ASSERT_TRUE(ReadAll("scenes/shared.txt", 100, out));
    EXPECT_EQ(std::string(out.begin(), out.end()), "part 1");
    EXPECT_TRUE(gFileSystem.FileExists("scenes/only0.txt", nullptr, nullptr));

    // Adding a missing container reports the failure.
    EXPECT_FALSE(gFileSystem.MountContainer("scenes", (m_folder / "missing.dat").c_str(), 1, kMultiplier, 0));
    EXPECT_TRUE(console.Contains("Mount point scenes already mounted", CONSOLE_ERROR));

    // Asking for two more parts, one past the fourth part, gets only up to the fourth; `\` separates as `/` does.
    console.Clear();
    const std::string moreWithBackslash = std::string(more).replace(more.rfind('/'), 1, "\\");
    ASSERT_TRUE(gFileSystem.MountContainer("scenes", moreWithBackslash.c_str(), kNoGroup, kMultiplier, 2));
    EXPECT_TRUE(console.Contains("More than MAX_CONTAINER_FILE_NUM container files required", CONSOLE_WARNING));
    EXPECT_FALSE(console.Contains("out of range")) << "no reader group is a group of its own";
    auto* mount = static_cast<FileSystemContainerMountPoint*>(gFileSystem.FindMountPoint("scenes"));
    ASSERT_NE(mount, nullptr);
    EXPECT_EQ(mount->GetPartCount(), 4u);
    EXPECT_TRUE(mount->GetIndex(2).IsSwapped());
    ASSERT_TRUE(ReadAll("scenes/shared.txt", 100, out));
    EXPECT_EQ(std::string(out.begin(), out.end()), "part 3");

    console.Clear();
    EXPECT_FALSE(gFileSystem.MountContainer("scenes", (m_folder / "other.dat").c_str(), 1, kMultiplier, 0));
    EXPECT_TRUE(console.Contains("AddExtraFiles failed - too many containers already added", CONSOLE_ERROR));
    EXPECT_FALSE(gFileSystem.FileExists("scenes/other.txt", nullptr, nullptr));
}

TEST_F(FileSystemContainerMountPointTest, EntriesAreFoundWithTheMountsHashMultiplier)
{
    constexpr uint32_t kOther = 0x01000193u;
    ContainerWriter writer(0, 1, ContainerWriter::kDefaultSeed, kOther);
    ASSERT_TRUE(writer.Add("a.txt", ToBytes("a")));
    ASSERT_TRUE(writer.Write(m_folder / "m.dat"));
    ASSERT_TRUE(gFileSystem.MountContainer("m", (m_folder / "m.dat").c_str(), kNoGroup, kOther, 0));
    EXPECT_TRUE(gFileSystem.FileExists("m/a.txt", nullptr, nullptr));
}

TEST_F(FileSystemContainerMountPointTest, BadIndexesRefuseTheMount)
{
    ConsoleCapture console;
    ContainerWriter writer;
    ASSERT_TRUE(writer.Add("a.txt", ToBytes("a")));
    // An entry whose hash is taken or whose path cannot be hashed is refused, and so is a write nowhere.
    EXPECT_FALSE(writer.Add("A.TXT", ToBytes("b")));
    EXPECT_FALSE(writer.Add(std::string(ContainerIndex::kMaxKeyLength + 1, 'p'), ToBytes("b")));
    EXPECT_FALSE(writer.Write(m_folder / "no/such/v.dat"));
    EXPECT_TRUE(console.Contains("Entry A.TXT has the hash of an earlier entry", CONSOLE_ERROR));
    EXPECT_TRUE(console.Contains("Entry path too long: ppp", CONSOLE_ERROR));
    EXPECT_TRUE(console.Contains("Unable to write " + (m_folder / "no/such/v.dat"), CONSOLE_ERROR));
    EXPECT_EQ(ContainerWriter::IndexPath("ab"), "abidx");
    ASSERT_TRUE(writer.Write(m_folder / "v.dat"));
    std::string index = m_folder.ReadFile("v.idx");
    index[0] = 1;
    m_folder.WriteFile("v.idx", index);
    EXPECT_FALSE(gFileSystem.MountContainer("v", (m_folder / "v.dat").c_str(), kNoGroup, kMultiplier, 1));
    EXPECT_TRUE(console.Contains("wrong index file version", CONSOLE_ERROR));
    EXPECT_TRUE(console.Contains("Unable to mount container: " + (m_folder / "v.dat"), CONSOLE_ERROR));

    EXPECT_FALSE(gFileSystem.MountContainer("none", (m_folder / "none.dat").c_str(), kNoGroup, kMultiplier, 1));

    // A stored entry whose index gives it more or fewer bytes than it stores does not open.
    for (const char size : {'\0', '\2'})
    {
        std::string sizes = m_folder.ReadFile("v.idx");
        sizes[0] = 0;
        sizes[11 + 8] = size;
        m_folder.WriteFile("v.idx", sizes);
        ASSERT_TRUE(gFileSystem.MountContainer("v", (m_folder / "v.dat").c_str(), kNoGroup, kMultiplier, 0));
        EXPECT_EQ(Open("v/a.txt"), nullptr) << int(size);
        EXPECT_TRUE(console.Contains("Stored container entry v/a.txt has 1 stored bytes for " + std::to_string(size),
                                     CONSOLE_ERROR));
        gFileSystem.UnmountAll();
    }

    // A compressed entry under a method byte nobody knows does not open.
    ContainerWriter packed(1);
    ASSERT_TRUE(packed.Add("a.txt", ToBytes("abc")));
    ASSERT_TRUE(packed.Write(m_folder / "z.dat"));
    std::string methods = m_folder.ReadFile("z.idx");
    methods[2] = 3;
    m_folder.WriteFile("z.idx", methods);
    ASSERT_TRUE(gFileSystem.MountContainer("z", (m_folder / "z.dat").c_str(), kNoGroup, kMultiplier, 0));
    EXPECT_EQ(Open("z/a.txt"), nullptr);
    EXPECT_TRUE(console.Contains("Container entry z/a.txt uses unknown compression method 3", CONSOLE_ERROR));

    // A compressed entry whose recorded size its stored bytes could never give does not open, and says
    // so with the container's name; the densest data each method really makes (zeros, over 1023 bytes
    // per stored byte in gzip) still opens.
    for (const uint8_t method : {uint8_t(1), uint8_t(2)})
    {
        const std::string name = "y" + std::to_string(method);
        const Bytes allZeros(4000000, 0);
        const std::string path = m_folder / (name + ".dat");
        ContainerWriter dense(method);
        ASSERT_TRUE(dense.Add("a.txt", ToBytes("abc")) && dense.Add("zeros.bin", allZeros) && dense.Write(path));
        ASSERT_TRUE(gFileSystem.MountContainer(name.c_str(), path.c_str(), kNoGroup, kMultiplier, 0));
        Bytes zeros;
        EXPECT_TRUE(ReadAll(name + "/zeros.bin", 65536, zeros) && zeros == allZeros) << name;
        const ContainerIndex& index =
            static_cast<FileSystemContainerMountPoint*>(gFileSystem.FindMountPoint(name.c_str()))->GetIndex(0);
        ContainerIndexRecord record;
        ASSERT_TRUE(index.Find("/a.txt", record));
        const uint32_t at = index.GetRecord(0).hash == record.hash ? 0 : 1;
        gFileSystem.UnmountAll();
        std::string claimed = m_folder.ReadFile(name + ".idx");
        std::memcpy(&claimed[ContainerIndex::kHeaderSize + ContainerIndex::kRecordSize * at + 8], "\xF0\xFF\xFF\xFF", 4);
        m_folder.WriteFile(name + ".idx", claimed);
        ASSERT_TRUE(gFileSystem.MountContainer(name.c_str(), path.c_str(), kNoGroup, kMultiplier, 0));
        EXPECT_EQ(Open(name + "/a.txt"), nullptr) << name;
        EXPECT_TRUE(console.Contains("Container entry " + name + "/a.txt records 4294967280 bytes, more than its " +
                                         std::to_string(record.storedSize) + " stored bytes can give (" + path + ")",
                                     CONSOLE_ERROR))
            << name;
        EXPECT_TRUE(ReadAll(name + "/zeros.bin", 65536, zeros)) << name;
        gFileSystem.UnmountAll();
    }
}

TEST_F(FileSystemContainerMountPointTest, DamagedDataFailsTheRead)
{
    ConsoleCapture console;
    const Bytes data = MountPointSample(100000, 5);
    LzxEncoderOptions options;
    for (const uint8_t method : {uint8_t(0), uint8_t(1), uint8_t(2)})
    {
        const std::string name = "damaged" + std::to_string(method);
        const std::string path = m_folder / (name + ".dat");
        ContainerWriter writer(method);
        ASSERT_TRUE(writer.Add("entry.bin", data));
        ASSERT_TRUE(writer.Add("second.bin", data));
        ASSERT_TRUE(writer.Write(path));
        ASSERT_TRUE(gFileSystem.MountContainer(name.c_str(), path.c_str(), 2 + method, kMultiplier, 0));
        Bytes out;
        ASSERT_TRUE(ReadAll(name + "/entry.bin", 4096, out));

        // Cut the data file after mounting: the reads of the missing tail come back short.
        const uintmax_t size = std::filesystem::file_size(path);
        std::filesystem::resize_file(path, size - 1000);
        EXPECT_FALSE(ReadAll(name + "/second.bin", 100000, out)) << name;
        EXPECT_TRUE(console.Contains("Container read failed", CONSOLE_ERROR));
        console.Clear();
        gFileSystem.UnmountAll();

        // A data file already short at mount time: entries beyond its end do not open.
        ASSERT_TRUE(gFileSystem.MountContainer((name + "x").c_str(), path.c_str(), kNoGroup, kMultiplier, 0));
        auto& index = static_cast<FileSystemContainerMountPoint*>(gFileSystem.FindMountPoint((name + "x").c_str()))->GetIndex(0);
        ContainerIndexRecord record;
        ASSERT_TRUE(index.Find("/second.bin", record));
        if (record.offset + record.storedSize > size - 1000)
        {
            EXPECT_EQ(Open(name + "x/second.bin"), nullptr);
        }
        gFileSystem.UnmountAll();
    }

    // Damage inside the compressed bytes: the gzip trailer's CRC catches any of it; LZX carries no
    // check, so its damage is to a block header or a frame size.
    struct Damage
    {
        uint8_t method;
        uint32_t where;
        uint8_t mask;
    };
    for (const Damage damage : {Damage{1, 20, 0x5A}, Damage{1, 500, 0x01}, Damage{1, 3000, 0x80}, Damage{2, 3, 0x70},
                                Damage{2, 0, 0x7F}})
    {
        const uint8_t method = damage.method;
        const uint32_t where = damage.where;
        {
            const std::string path = m_folder / "flip.dat";
            ContainerWriter writer(method);
            ASSERT_TRUE(writer.Add("entry.bin", data));
            ASSERT_TRUE(writer.Write(path));
            std::string bytes = m_folder.ReadFile("flip.dat");
            bytes[where] = static_cast<char>(bytes[where] ^ damage.mask);
            m_folder.WriteFile("flip.dat", bytes);
            ASSERT_TRUE(gFileSystem.MountContainer("flip", path.c_str(), kNoGroup, kMultiplier, 0));
            Bytes out;
            const bool ok = ReadAll("flip/entry.bin", 4096, out);
            EXPECT_FALSE(ok && out == data) << "method " << int(method) << " at " << where;
            EXPECT_FALSE(ok) << "method " << int(method) << " at " << where;
            gFileSystem.UnmountAll();
        }
    }
}

TEST_F(FileSystemContainerMountPointTest, GzipTrailerMismatchFailsTheLastRead)
{
    // Every data byte decodes right; only the trailer's CRC or length disagrees with them. The
    // entry is sized so that the trailer lies in the second 32 KB read-ahead block: the last data
    // byte is out before the decompressor has seen it.
    Bytes data;
    std::string good;
    ContainerIndexRecord record;
    const std::string path = m_folder / "trailer.dat";
    bool placed = false;
    for (size_t size = 32600; size < 32800 && !placed; ++size)
    {
        data = Bytes(size);
        std::mt19937 generator{uint32_t(size)};
        for (uint8_t& byte : data)
            byte = uint8_t(generator());
        ContainerWriter writer(1);
        ASSERT_TRUE(writer.Add("entry.bin", data));
        ASSERT_TRUE(writer.Write(path));
        ASSERT_TRUE(gFileSystem.MountContainer("trailer", path.c_str(), kNoGroup, kMultiplier, 0));
        auto* mount = static_cast<FileSystemContainerMountPoint*>(gFileSystem.FindMountPoint("trailer"));
        ASSERT_TRUE(mount->GetIndex(0).Find("/entry.bin", record));
        gFileSystem.UnmountAll();
        placed = record.storedSize > 32768 && record.storedSize - 8 < 32768;
    }
    ASSERT_TRUE(placed);
    good = m_folder.ReadFile("trailer.dat");

    ConsoleCapture console;
    for (const uint32_t fromEnd : {8u, 5u, 4u, 1u})
    {
        std::string bytes = good;
        bytes[record.offset + record.storedSize - fromEnd] ^= 0x10;
        m_folder.WriteFile("trailer.dat", bytes);
        ASSERT_TRUE(gFileSystem.MountContainer("trailer", path.c_str(), kNoGroup, kMultiplier, 0));
        Bytes out;
        EXPECT_FALSE(ReadAll("trailer/entry.bin", 4096, out)) << fromEnd << " bytes from the end";
        EXPECT_TRUE(console.Contains("Corrupt compressed container entry trailer/entry.bin", CONSOLE_ERROR));
        console.Clear();
        gFileSystem.UnmountAll();
    }
    m_folder.WriteFile("trailer.dat", good);
    ASSERT_TRUE(gFileSystem.MountContainer("trailer", path.c_str(), kNoGroup, kMultiplier, 0));
    Bytes out;
    ASSERT_TRUE(ReadAll("trailer/entry.bin", 4096, out));
    EXPECT_EQ(out, data);

    // An index that gives the entry one byte fewer than its stream holds fails it the same way.
    gFileSystem.UnmountAll();
    std::string index = m_folder.ReadFile("trailer.idx");
    const uint32_t shorter = uint32_t(data.size() - 1);
    std::memcpy(&index[11 + 8], &shorter, 4);
    m_folder.WriteFile("trailer.idx", index);
    ASSERT_TRUE(gFileSystem.MountContainer("trailer", path.c_str(), kNoGroup, kMultiplier, 0));
    EXPECT_FALSE(ReadAll("trailer/entry.bin", 4096, out));
    EXPECT_TRUE(console.Contains("Corrupt compressed container entry trailer/entry.bin", CONSOLE_ERROR));
}

TEST_F(FileSystemContainerMountPointTest, FailedOpenFailsTheReadsBehindIt)
{
    ConsoleCapture console;
    uint8_t buffer[16] = {};
    uint32_t bytesRead = 12345;
    // A part past the kept handles keeps none: its reads open the file themselves.
    gPhysicalFileReader.PostOpenFile(10, PhysicalFileReader::kMaxParts, (m_folder / "elsewhere.dat").c_str());
    gPhysicalFileReader.PostOpenFile(10, 3, (m_folder / "nowhere.dat").c_str());
    const uint32_t ticket = gPhysicalFileReader.PostRead(10, 3, (m_folder / "nowhere.dat").c_str(), 0, buffer, 16, &bytesRead);
    gPhysicalFileReader.WaitFor(ticket);
    EXPECT_EQ(bytesRead, 0u);
    EXPECT_TRUE(console.Contains("Unable to open container data file", CONSOLE_ERROR));
    EXPECT_FALSE(console.Contains("elsewhere.dat"));

    // Tickets compare across the wrap of the 32-bit counter.
    EXPECT_TRUE(gPhysicalFileReader.IsComplete(ticket));
    EXPECT_TRUE(gPhysicalFileReader.IsComplete(ticket - 5));
    EXPECT_FALSE(gPhysicalFileReader.IsComplete(ticket + 1));
    EXPECT_FALSE(gPhysicalFileReader.IsComplete(ticket + 0x7FFFFFFFu));

    // A read naming another file under the same group and part opens that file and reads from it.
    m_folder.WriteFile("somewhere.dat", "kept");
    gPhysicalFileReader.WaitFor(gPhysicalFileReader.PostRead(10, 3, (m_folder / "somewhere.dat").c_str(), 1, buffer, 3, &bytesRead));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer), bytesRead), "ept");
}

TEST_F(FileSystemContainerMountPointTest, LastBlockRequestOpensThePreheatedStream)
{
    ConsoleCapture console;
    ContainerWriter writer(1);
    ASSERT_TRUE(writer.Add("a.bin", MountPointSample(70000, 6)));
    ASSERT_TRUE(writer.Add("b.bin", MountPointSample(1000, 7)));
    ASSERT_TRUE(writer.Write(m_folder / "pre.dat"));
    ASSERT_TRUE(gFileSystem.MountContainer("pre", (m_folder / "pre.dat").c_str(), kNoGroup, kMultiplier, 0));
    gFileSystem.PreheatInputStream("pre/b", "bin", nullptr, 0);
    Bytes out;
    ASSERT_TRUE(ReadAll("pre/a.bin", 4096, out));
    ASSERT_TRUE(ReadAll("pre/b.bin", 4096, out));
    EXPECT_EQ(out, MountPointSample(1000, 7));
    EXPECT_FALSE(console.Contains("Preheated stream conflict"));
    EXPECT_FALSE(console.Contains("Cannot preheat"));
    // The compressed entry's last block opened the preheated stream before any other open asked.
    gFileSystem.PreheatInputStream("pre/b", "bin", nullptr, 0);
    ASSERT_TRUE(ReadAll("pre/a.bin", 4096, out));
    ConsoleCapture other;
    Open("pre/a.bin");
    EXPECT_TRUE(other.Contains("Expected: pre/b.bin, got: pre/a.bin", CONSOLE_ERROR));
}

TEST_F(FileSystemContainerMountPointTest, RemountWithTheSameReaderGroupReadsTheNewFile)
{
    // A shutdown and a new start-up mount other data files under the same reader group and part.
    const uint32_t group = 7;
    for (const char* name : {"first", "second"})
    {
        ContainerWriter padding;
        ASSERT_TRUE(padding.Add("pad.bin", MountPointSample(name[0] == 'f' ? 10 : 5000, 8)));
        ASSERT_TRUE(padding.Add("entry.txt", ToBytes(std::string("data of ") + name)));
        const std::string path = m_folder / (std::string(name) + ".dat");
        ASSERT_TRUE(padding.Write(path));
        ASSERT_TRUE(gFileSystem.MountContainer("data", path.c_str(), group, kMultiplier, 0));
        Bytes out;
        ASSERT_TRUE(ReadAll("data/entry.txt", 100, out)) << name;
        EXPECT_EQ(std::string(out.begin(), out.end()), std::string("data of ") + name);
        // The group's kept handle (open once a read posted after the mount is done) still reads a
        // data file taken out of the folder while mounted.
        uint8_t byte = 0;
        uint32_t got = 0;
        gPhysicalFileReader.WaitFor(gPhysicalFileReader.PostRead(group, 0, path.c_str(), 0, &byte, 1, &got));
        std::filesystem::remove(path);
        EXPECT_TRUE(ReadAll("data/entry.txt", 100, out)) << name;
        gFileSystem.UnmountAll();
    }
}

TEST_F(FileSystemContainerMountPointTest, HugeExtraPartCountIsCappedAtFourParts)
{
    ConsoleCapture console;
    ContainerWriter writer;
    ASSERT_TRUE(writer.Add("a.txt", ToBytes("a")));
    ASSERT_TRUE(writer.Write(m_folder / "huge.dat"));
    ASSERT_TRUE(gFileSystem.MountContainer("huge", (m_folder / "huge.dat").c_str(), kNoGroup, kMultiplier, 0xFFFFFFFFu));
    EXPECT_TRUE(console.Contains("More than MAX_CONTAINER_FILE_NUM container files required", CONSOLE_WARNING));
    EXPECT_TRUE(gFileSystem.FileExists("huge/a.txt", nullptr, nullptr));
    // A reader group past the kept handles reads through handles opened per read.
    ASSERT_TRUE(gFileSystem.MountContainer("far", (m_folder / "huge.dat").c_str(), 99, kMultiplier, 0));
    EXPECT_TRUE(console.Contains("reader group 99 out of range, reading without a kept handle", CONSOLE_WARNING));
    Bytes out;
    ASSERT_TRUE(ReadAll("far/a.txt", 10, out));
    EXPECT_EQ(out, ToBytes("a"));
}

namespace
{
// Reads posted to the reader thread so far (a throw-away read of our own takes the next ticket).
uint32_t PostedReads(const std::string& dataPath)
{
    uint8_t byte = 0;
    uint32_t bytesRead = 0;
    const uint32_t ticket = gPhysicalFileReader.PostRead(PhysicalFileReader::kNoGroup, 0, dataPath.c_str(), 0, &byte, 1,
                                                         &bytesRead);
    gPhysicalFileReader.WaitFor(ticket);
    return ticket;
}
} // namespace

// Bytes in memory are read straight into the caller's buffer; a skip hands the entry to the
// read-ahead from that position on. Both roads, and a switch between them, give the same bytes.
TEST_F(FileSystemContainerMountPointTest, CachedReadsAndTheReadAheadGiveTheSameBytes)
{
    const Bytes data = MountPointSample(300001, 9);
    const std::string path = m_folder / "hot.dat";
    ContainerWriter writer;
    ASSERT_TRUE(writer.Add("pad.bin", MountPointSample(777, 3)));
    ASSERT_TRUE(writer.Add("entry.bin", data));
    ASSERT_TRUE(writer.Write(path));
    ASSERT_TRUE(gFileSystem.MountContainer("hot", path.c_str(), kNoGroup, kMultiplier, 0));
    // Written just now, so the data file is in memory.
    const uint32_t before = PostedReads(path);
    Bytes direct;
    ASSERT_TRUE(ReadAll("hot/entry.bin", 7000, direct));
    EXPECT_EQ(direct, data);
    const uint32_t afterDirect = PostedReads(path);

    // Skipped bytes go to the read-ahead, which keeps the entry from there.
    auto stream = Open("hot/entry.bin");
    ASSERT_TRUE(stream);
    Bytes mixed(data.size());
    ASSERT_TRUE(stream->Read(mixed.data(), 5000));
    ASSERT_TRUE(stream->Read(nullptr, 40000));
    ASSERT_TRUE(stream->Read(mixed.data() + 45000, uint32_t(data.size() - 45000)));
    EXPECT_FALSE(stream->Read(mixed.data(), 1));
    stream.reset();
    EXPECT_TRUE(std::equal(mixed.begin(), mixed.begin() + 5000, data.begin()));
    EXPECT_TRUE(std::equal(mixed.begin() + 45000, mixed.end(), data.begin() + 45000));
    const uint32_t afterMixed = PostedReads(path);

    // Where the file system can tell what is in memory, the first pass never used the reader
    // thread (only the count's own read moved it); the second used it for the bytes after the skip.
    os::CachedFileReader probe;
    ASSERT_TRUE(probe.Open(path.c_str()));
    uint8_t head[64];
    if (probe.ReadIfCached(0, head, sizeof(head)) == sizeof(head))
    {
        EXPECT_EQ(afterDirect - before, 1u);
    }
    EXPECT_GE(afterMixed - afterDirect, 1u + (data.size() - 45000) / ContainerReadAhead::kBlockSize);
}

// A whole stored entry in memory is lent in place and leaves the reader at its end. Compressed,
// empty and partly read entries, loose files and entries the data file no longer holds are not
// lent, and read (or fail) as ever.
TEST_F(FileSystemContainerMountPointTest, WholeStoredEntriesInMemoryAreLentInPlace)
{
    ConsoleCapture console;
    const Bytes data = MountPointSample(100001, 10);
    ContainerWriter writer(1);
    ASSERT_TRUE(writer.Add("pad.bin", MountPointSample(333, 11)));
    ASSERT_TRUE(writer.Add("stored.bin", data, false));
    ASSERT_TRUE(writer.Add("packed.bin", data));
    ASSERT_TRUE(writer.Add("empty.bin", {}, false));
    ASSERT_TRUE(writer.Add("last.bin", data, false));
    const std::string path = m_folder / "lend.dat";
    ASSERT_TRUE(writer.Write(path));
    m_folder.WriteFile("loose/stored.bin", std::string(data.begin(), data.end()));
    ASSERT_TRUE(gFileSystem.MountContainer("lend", path.c_str(), kNoGroup, kMultiplier, 0));
    ASSERT_TRUE(gFileSystem.MountDirectory("loose", (m_folder / "loose").c_str()));

    struct Case
    {
        const char* path;
        uint32_t readFirst;
        bool lent;
        size_t size;
    };
    for (const Case& entry : {Case{"lend/stored.bin", 0, true, data.size()}, Case{"lend/stored.bin", 1, false, data.size()},
                              Case{"lend/packed.bin", 0, false, data.size()}, Case{"lend/empty.bin", 0, false, 0},
                              Case{"loose/stored.bin", 0, false, data.size()}})
    {
        FileReader reader(entry.path, nullptr, nullptr, 0);
        ASSERT_TRUE(reader.IsOpen()) << entry.path;
        Bytes out(entry.size);
        ASSERT_TRUE(reader.Read(out.data(), entry.readFirst));
        const uint8_t* lent = reader.ReadWholeInPlace();
        EXPECT_EQ(lent != nullptr, entry.lent) << entry.path << " after " << entry.readFirst;
        if (lent != nullptr)
            std::copy(lent, lent + entry.size, out.begin());
        else
            EXPECT_TRUE(reader.Read(out.data() + entry.readFirst, uint32_t(entry.size - entry.readFirst))) << entry.path;
        EXPECT_TRUE(std::equal(out.begin(), out.end(), data.begin())) << entry.path;
        EXPECT_EQ(reader.GetPosition(), entry.size) << entry.path;
        EXPECT_EQ(reader.ReadWholeInPlace(), nullptr) << entry.path;
        uint8_t byte = 0;
        EXPECT_FALSE(reader.Read(&byte, 1)) << entry.path;
    }

    // Lending the whole entry is asking for its last block: it opens the stream asked to be ready next.
    gFileSystem.PreheatInputStream("lend/missing.bin", nullptr, nullptr, 0);
    FileReader preheating("lend/stored.bin", nullptr, nullptr, 0);
    ASSERT_NE(preheating.ReadWholeInPlace(), nullptr);
    EXPECT_TRUE(console.Contains("Cannot preheat input stream: lend/missing.bin", CONSOLE_WARNING));

    // The last entry's last byte cut off: the mapping would fault there, so the reader reads, and
    // fails. Entries the file still holds are read, not lent.
    std::filesystem::resize_file(path, std::filesystem::file_size(path) - 1);
    for (const char* name : {"lend/last.bin", "lend/stored.bin"})
    {
        FileReader cut(name, nullptr, nullptr, 0);
        ASSERT_TRUE(cut.IsOpen());
        EXPECT_EQ(cut.ReadWholeInPlace(), nullptr) << name;
        Bytes out(data.size());
        EXPECT_EQ(cut.Read(out.data(), uint32_t(out.size())), name[5] == 's') << name;
    }
}
