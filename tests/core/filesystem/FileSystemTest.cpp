#include "core/filesystem/FileReader.h"
#include "core/filesystem/FileSystem.h"
#include "core/filesystem/FileWriter.h"
#include "support/ConsoleCapture.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <unistd.h>

namespace
{
class FileSystemTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_folder.WriteFile("common/Scripts/Main.lua", "print(1)\n");
        ASSERT_TRUE(gFileSystem.MountDirectory("common", (m_folder / "common").c_str()));
    }
    void TearDown() override { gFileSystem.UnmountAll(); }

    std::string ReadAll(const char* path, const char* extension = nullptr, const char* base = nullptr)
    {
        FileReader reader(path, extension, base, 0);
        std::string bytes(reader.GetSize(), '\0');
        if (!reader.IsOpen() || (!bytes.empty() && !reader.Read(bytes.data(), static_cast<uint32_t>(bytes.size()))))
            return "<unreadable>";
        return bytes;
    }

    std::set<std::string> List(const char* path, const char* pattern)
    {
        std::set<std::string> names;
        FileSystemIterator iterator(path, pattern);
        while (const char* name = iterator.Next())
            names.insert(std::string(name) + (iterator.IsDirectory() ? "/" : ""));
        return names;
    }

    TempFolder m_folder;
};
} // namespace

TEST_F(FileSystemTest, MountConflictsIgnoreCase)
{
    ConsoleCapture capture;
    EXPECT_FALSE(gFileSystem.MountDirectory("common", m_folder.Path().c_str()));
    EXPECT_FALSE(gFileSystem.MountDirectory("COMMON", m_folder.Path().c_str()));
    EXPECT_FALSE(gFileSystem.MountDirectory("CoMmOn", m_folder.Path().c_str()));
    EXPECT_TRUE(capture.Contains("Mount point COMMON already mounted", CONSOLE_ERROR));
    EXPECT_FALSE(gFileSystem.MountDirectory("missing", (m_folder / "nowhere").c_str()));
    EXPECT_TRUE(capture.Contains("Unable to mount directory: " + m_folder.Path() + "/nowhere", CONSOLE_ERROR));
    EXPECT_EQ(gFileSystem.FindMountPoint("missing"), nullptr);

    // Many mounts stay findable in any case through the sorted table.
    for (const char* name : {"scenes", "Animations", "b", "zeta", "Alpha", "sounds"})
        ASSERT_TRUE(gFileSystem.MountDirectory(name, m_folder.Path().c_str())) << name;
    for (const char* name : {"SCENES", "animations", "B", "Zeta", "alpha", "Sounds", "Common"})
        EXPECT_NE(gFileSystem.FindMountPoint(name), nullptr) << name;
    EXPECT_EQ(gFileSystem.FindMountPoint("scene"), nullptr);
    EXPECT_TRUE(capture.Contains("Mounting directory " + m_folder.Path() + " to zeta", CONSOLE_MESSAGE));
    // Unmounting takes the mount of that name alone, not the one sorted before it.
    EXPECT_FALSE(gFileSystem.Unmount("scene"));
    EXPECT_TRUE(gFileSystem.Unmount("ZETA"));
    EXPECT_EQ(gFileSystem.FindMountPoint("zeta"), nullptr);
    EXPECT_NE(gFileSystem.FindMountPoint("common"), nullptr);
}

TEST_F(FileSystemTest, LookupInsideDirectoryMountsIgnoresCase)
{
    EXPECT_EQ(ReadAll("Common/Scripts/Main.lua"), "print(1)\n");
    EXPECT_EQ(ReadAll("common/scripts/main.lua"), "print(1)\n");
    EXPECT_EQ(ReadAll("scripts/MAIN", "LUA", "COMMON"), "print(1)\n");
    EXPECT_TRUE(gFileSystem.FileExists("common/SCRIPTS/main.lua", nullptr, nullptr));
    EXPECT_TRUE(gFileSystem.DirectoryExists("common/scripts", nullptr, nullptr));
    EXPECT_FALSE(gFileSystem.DirectoryExists("scripts", "lua", "common")) << "the extension is part of the name";

    // An exact match wins over a case-folded one.
    m_folder.WriteFile("common/Scripts/main.lua", "exact");
    EXPECT_EQ(ReadAll("common/scripts/main.lua"), "exact");
    EXPECT_EQ(ReadAll("common/Scripts/Main.lua"), "print(1)\n");

    // Writing through a differently cased folder lands in the existing folder.
    FileWriter writer("common/SCRIPTS/New.lua", nullptr, nullptr, 0);
    ASSERT_TRUE(writer.Write("x", 1) && writer.Close());
    EXPECT_EQ(m_folder.ReadFile("common/Scripts/New.lua"), "x");
    // A long name written through a mount keeps every character.
    const std::string longName = "common/Scripts/" + std::string(120, 'n') + ".lua";
    FileWriter longWriter(longName.c_str(), nullptr, nullptr, 0);
    ASSERT_TRUE(longWriter.Write("y", 1) && longWriter.Close());
    EXPECT_EQ(m_folder.ReadFile(longName), "y");

    char physical[260];
    ASSERT_TRUE(gFileSystem.ResolvePhysicalPath("common/scripts/MAIN.lua", nullptr, nullptr, physical, 260));
    EXPECT_EQ(std::string(physical), m_folder.Path() + "/common/Scripts/Main.lua");
    // A buffer without room for the terminator is refused.
    const size_t length = std::strlen(physical);
    EXPECT_FALSE(gFileSystem.ResolvePhysicalPath("common/scripts/MAIN.lua", nullptr, nullptr, physical, length));
}

TEST_F(FileSystemTest, UnmountedPathsFailQuietly)
{
    ConsoleCapture capture;
    EXPECT_EQ(gFileSystem.OpenInputStream("nothing/here.bin", nullptr, nullptr, 0), nullptr);
    EXPECT_FALSE(gFileSystem.FileExists("nothing/here.bin", nullptr, nullptr));
    EXPECT_EQ(gFileSystem.OpenOutputStream("nothing/here.bin", nullptr, nullptr, 0), nullptr);
    EXPECT_EQ(gFileSystem.OpenInputStream("common/missing.bin", nullptr, nullptr, 0), nullptr);
    EXPECT_FALSE(FileSystemIterator("nothing", "*").IsValid());
    EXPECT_FALSE(FileSystemIterator("common/missing", "*").IsValid());
    EXPECT_FALSE(FileSystemIterator((m_folder / "missing").c_str(), "*").IsValid());
    EXPECT_EQ(FileSystemIterator(nullptr, "*").Next(), nullptr);
    EXPECT_TRUE(capture.Messages().empty());
}

TEST_F(FileSystemTest, DiskPathsBypassTheMounts)
{
    const std::string absolute = m_folder / "common/Scripts/Main.lua";
    EXPECT_EQ(ReadAll(absolute.c_str()), "print(1)\n");
    EXPECT_EQ(ReadAll(("/" + absolute).c_str()), "print(1)\n");
    EXPECT_TRUE(gFileSystem.FileExists(("/" + absolute).c_str(), nullptr, nullptr));
    EXPECT_FALSE(gFileSystem.FileExists((m_folder / "common/scripts/main.lua").c_str(), nullptr, nullptr));
    EXPECT_TRUE(gFileSystem.DirectoryExists((m_folder / "common/Scripts").c_str(), nullptr, nullptr));
    EXPECT_FALSE(gFileSystem.DirectoryExists(absolute.c_str(), nullptr, nullptr));

    // A drive-letter path is a disk path too (here relative to the working folder).
    m_folder.WriteFile("C:/x.bin", "drive");
    const std::string previous = std::filesystem::current_path().string();
    ASSERT_EQ(chdir(m_folder.Path().c_str()), 0);
    EXPECT_EQ(ReadAll("C:/x.bin"), "drive");
    EXPECT_TRUE(gFileSystem.FileExists("C:\\x", "bin", nullptr));
    ASSERT_EQ(chdir(previous.c_str()), 0);

    char physical[260];
    ASSERT_TRUE(gFileSystem.ResolvePhysicalPath("//server/x", "bin", nullptr, physical, sizeof(physical)));
    EXPECT_STREQ(physical, "//server/x.bin");
    // A buffer one byte short holds as much as fits, terminated, and nothing lands past it.
    std::memset(physical, '#', sizeof(physical));
    ASSERT_TRUE(gFileSystem.ResolvePhysicalPath("//server/x", "bin", nullptr, physical, 14));
    EXPECT_EQ(std::string(physical, 15), std::string("//server/x.bi\0#", 15));

    // A base of separators alone is the disk's root: what the path names under it is on the disk.
    EXPECT_EQ(ReadAll(("." + absolute).c_str(), nullptr, "/"), "print(1)\n");
}

TEST_F(FileSystemTest, DotsNeverLeaveTheMountsForTheDisk)
{
    m_folder.WriteFile("secret.txt", "secret");
    const std::string secret = m_folder / "secret.txt";
    ASSERT_TRUE(gFileSystem.FileExists(secret.c_str(), nullptr, nullptr));

    // A relative path keeps being relative once its leading dots are gone.
    for (const std::string& escape : {".." + secret, "." + secret, "..\\" + secret.substr(1)})
    {
        EXPECT_FALSE(gFileSystem.FileExists(escape.c_str(), nullptr, nullptr)) << escape;
        EXPECT_EQ(gFileSystem.OpenInputStream(escape.c_str(), nullptr, nullptr, 0), nullptr) << escape;
        EXPECT_EQ(gFileSystem.OpenOutputStream(escape.c_str(), nullptr, nullptr, 0), nullptr) << escape;
        EXPECT_FALSE(gFileSystem.DirectoryExists(escape.substr(0, escape.size() - 11).c_str(), nullptr, nullptr));
        EXPECT_FALSE(FileSystemIterator(escape.substr(0, escape.size() - 11).c_str(), "*").IsValid());
        char physical[260];
        EXPECT_FALSE(gFileSystem.ResolvePhysicalPath(escape.c_str(), nullptr, nullptr, physical, sizeof(physical)));
        gFileSystem.PreheatInputStream(escape.c_str(), nullptr, nullptr, 0);
        gFileSystem.OpenPreheatedStream();
        EXPECT_EQ(gFileSystem.OpenInputStream(escape.c_str(), nullptr, nullptr, 0), nullptr) << escape;
    }
    EXPECT_EQ(gFileSystem.OpenInputStream("secret", "txt", ".", 0), nullptr);

    // Inside a directory mount ".." may move around but never above the root.
    EXPECT_EQ(ReadAll("common/Scripts/../Scripts/./Main.lua"), "print(1)\n");
    m_folder.WriteFile("common/Scripts/..x.lua", "dots");
    EXPECT_EQ(ReadAll("common/Scripts/./..x.lua"), "dots") << "a name that starts with two dots is a name";
    m_folder.WriteFile("common/Scripts/.x", "dot");
    EXPECT_EQ(ReadAll("common/Scripts/.x"), "dot") << "so is a two-character name that starts with one";
    ConsoleCapture capture;
    EXPECT_FALSE(gFileSystem.FileExists("common/../secret.txt", nullptr, nullptr));
    EXPECT_EQ(gFileSystem.OpenInputStream("common/../secret.txt", nullptr, nullptr, 0), nullptr);
    EXPECT_EQ(gFileSystem.OpenInputStream("common/Scripts/../../secret", "txt", nullptr, 0), nullptr);
    EXPECT_EQ(gFileSystem.OpenInputStream("../../secret", "txt", "common/Scripts", 0), nullptr);
    EXPECT_EQ(gFileSystem.OpenOutputStream("common/../written.txt", nullptr, nullptr, 0), nullptr);
    EXPECT_FALSE(std::filesystem::exists(m_folder / "written.txt"));
    EXPECT_TRUE(capture.Contains("Path leaves mount point common: /../secret.txt", CONSOLE_WARNING));
}

TEST_F(FileSystemTest, LocalStreamsReportSizeTimeAndKeepPosition)
{
    m_folder.WriteFile("common/data.bin", std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8));
    FileReader reader("common/data.bin", nullptr, nullptr, 0);
    ASSERT_TRUE(reader.IsOpen());
    uint16_t first = 0;
    ASSERT_TRUE(reader.ReadU16(first));
    EXPECT_EQ(first, 0x0201);
    EXPECT_EQ(reader.GetSize(), 8u);
    uint32_t next = 0;
    ASSERT_TRUE(reader.ReadU32(next));
    EXPECT_EQ(next, 0x06050403u);
    EXPECT_EQ(reader.GetRemaining(), 2u);
    EXPECT_FALSE(reader.ReadU32(next));
    EXPECT_FALSE(reader.Skip(3));
    EXPECT_TRUE(reader.Skip(2));
    // Windows file time of a file written moments ago: after 2020-01-01.
    EXPECT_GT(reader.GetLastWriteTime(), 132223104000000000ull);
    FILE* file = reader.DetachFile(true);
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    EXPECT_FALSE(reader.Read(nullptr, 1));
    // Reading nothing succeeds only on an open reader.
    EXPECT_FALSE(FileReader().Read(nullptr, 0));

    FileWriter written("common/lines.txt", nullptr, nullptr, 0);
    EXPECT_NE(written.GetFile(), nullptr);
    ASSERT_TRUE(written.WriteU64(0x0807060504030201ull) && written.WriteU64(0x0807060504030201ull, FileWriter::kByteSwapFlag) &&
                written.Write("\n9", 2) && written.Close());
    FileReader lines("common/lines.txt", nullptr, nullptr, 0);
    uint64_t wide = 0, swapped = 0;
    ASSERT_TRUE(lines.ReadU64(wide) && lines.ReadU64(swapped));
    EXPECT_EQ(wide, 0x0807060504030201ull);
    EXPECT_EQ(swapped, 0x0102030405060708ull);
    char line[8];
    ASSERT_TRUE(lines.ReadLine(line, sizeof(line)));
    EXPECT_EQ(lines.GetRemaining(), 1u);
    EXPECT_FALSE(lines.ReadU64(wide));
}

TEST_F(FileSystemTest, CreateDirectoryMakesEveryMissingLevel)
{
    EXPECT_TRUE(gFileSystem.CreateDirectory("a/B/c", "common"));
    EXPECT_TRUE(std::filesystem::is_directory(m_folder / "common/a/B/c"));
    EXPECT_FALSE(gFileSystem.CreateDirectory("a/b/c", "common"));
    EXPECT_TRUE(gFileSystem.CreateDirectory("A/b/d", "common"));
    EXPECT_TRUE(std::filesystem::is_directory(m_folder / "common/a/B/d"));
    EXPECT_FALSE(gFileSystem.CreateDirectory("scripts/main.lua/x", "common"));
    EXPECT_FALSE(gFileSystem.CreateDirectory("x", "unmounted"));
}

TEST_F(FileSystemTest, IterationMatchesPatterns)
{
    m_folder.WriteFile("common/Scripts/Util.LUA", "");
    m_folder.WriteFile("common/Scripts/notes.txt", "");
    m_folder.WriteFile("common/Scripts/sub/x.lua", "");
    EXPECT_EQ(List("common/scripts", "*.lua"), (std::set<std::string>{"Main.lua", "Util.LUA"}));
    EXPECT_EQ(List("common/Scripts", "*"),
              (std::set<std::string>{"./", "../", "Main.lua", "Util.LUA", "notes.txt", "sub/"}));
    EXPECT_EQ(List("common/Scripts", "?ain.*"), (std::set<std::string>{"Main.lua"}));
    EXPECT_EQ(List((m_folder / "common/Scripts/").c_str(), "s*"), (std::set<std::string>{"sub/"}));
    EXPECT_EQ(List("common/Scripts", "*.bin"), std::set<std::string>{});
}

TEST_F(FileSystemTest, RecursiveDeleteRemovesLinksNotTheirTargets)
{
    m_folder.WriteFile("outside/precious.txt", "keep");
    m_folder.WriteFile("common/tree/a/b/file.txt", "x");
    m_folder.WriteFile("common/tree/top.txt", "x");
    std::filesystem::create_directory_symlink(m_folder / "outside", m_folder / "common/tree/a/linkdir");
    std::filesystem::create_symlink(m_folder / "outside/precious.txt", m_folder / "common/tree/linkfile");
    std::filesystem::permissions(m_folder / "common/tree/top.txt", std::filesystem::perms::owner_read);

    EXPECT_FALSE(gFileSystem.Delete("common/tree", nullptr, nullptr, false));
    EXPECT_TRUE(gFileSystem.Delete("common/TREE", nullptr, nullptr, true));
    EXPECT_FALSE(std::filesystem::exists(m_folder / "common/tree"));
    EXPECT_EQ(m_folder.ReadFile("outside/precious.txt"), "keep");
    EXPECT_FALSE(gFileSystem.Delete("common/tree", nullptr, nullptr, true));
    EXPECT_TRUE(gFileSystem.Delete("common/scripts/main", "lua", nullptr, false));
    EXPECT_FALSE(std::filesystem::exists(m_folder / "common/Scripts/Main.lua"));
}

TEST_F(FileSystemTest, PreheatedStreamIsHandedToTheMatchingOpen)
{
    m_folder.WriteFile("common/b.bin", "B");
    m_folder.WriteFile("common/a.bin", "A");
    ConsoleCapture capture;
    gFileSystem.PreheatInputStream("b", "bin", "common", 0);
    gFileSystem.OpenPreheatedStream();
    EXPECT_EQ(ReadAll("common/a.bin"), "A");
    EXPECT_TRUE(capture.Contains("Preheated stream conflict. Serious performance degradation occured! Expected: "
                                 "common/b.bin, got: common/a.bin",
                                 CONSOLE_ERROR));
    // Remove the file: only the stream opened ahead can still deliver it.
    std::filesystem::remove(m_folder / "common/b.bin");
    EXPECT_EQ(ReadAll("COMMON/B.bin"), "B");
    EXPECT_EQ(gFileSystem.OpenInputStream("common/b.bin", nullptr, nullptr, 0), nullptr);

    gFileSystem.PreheatInputStream("common/none.bin", nullptr, nullptr, 0);
    gFileSystem.OpenPreheatedStream();
    EXPECT_TRUE(capture.Contains("Cannot preheat input stream: common/none.bin", CONSOLE_WARNING));

    gFileSystem.PreheatInputStream("common/a.bin", nullptr, nullptr, 0);
    gFileSystem.OpenPreheatedStream();
    EXPECT_FALSE(capture.Contains("Previous preheated stream not consumed"));
    gFileSystem.PreheatInputStream("common/a.bin", nullptr, nullptr, 0);
    gFileSystem.OpenPreheatedStream();
    EXPECT_TRUE(capture.Contains("Previous preheated stream not consumed", CONSOLE_ERROR));
}
