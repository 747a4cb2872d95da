#include "platform/os/DirectoryFind.h"
#include "platform/os/Files.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

TEST(FilesTest, ReplacingFileTakesTheUmaskAndReplacesOnlyOnCommit)
{
    TempFolder folder;
    const std::string target = folder / "config.bin";
    folder.WriteFile("config.bin", "old");
    const mode_t previous = umask(027);
    std::string temporary;
    {
        os::ReplacingFile file;
        EXPECT_FALSE(file.Commit()) << "nothing open";
        ASSERT_TRUE(file.Open(target.c_str()));
        for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
            if (entry.path().filename() != "config.bin")
                temporary = entry.path().filename().string();
        std::fputs("new", file.GetFile());
        file.Abandon();
    }
    EXPECT_EQ(folder.ReadFile("config.bin"), "old");
    // Leftovers under the next temporary names (an earlier process had this id) are stepped over.
    const std::string prefix = "config.bin." + std::to_string(getpid()) + ".";
    const unsigned long next = std::stoul(temporary.substr(prefix.size())) + 1;
    for (unsigned long n : {next, next + 1})
        folder.WriteFile(prefix + std::to_string(n) + ".tmp", "left");
    os::ReplacingFile file;
    ASSERT_TRUE(file.Open(target.c_str()));
    ASSERT_TRUE(file.Open(target.c_str())); // drops the first temporary file
    std::fputs("new", file.GetFile());
    ASSERT_TRUE(file.Commit());
    umask(previous);
    EXPECT_EQ(folder.ReadFile("config.bin"), "new");
    struct stat info;
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
        entries += entry.is_regular_file();
    EXPECT_EQ(entries, 3) << "the new file and the two leftovers";
    os::ReplacingFile first, second;
    EXPECT_TRUE(first.Open(target.c_str()) && second.Open(target.c_str())) << "two writers at once take two names";
    // Write times keep their fractions of a second, which tell two saves within one second apart.
    FILE* stamped = std::fopen(target.c_str(), "rb");
    const timespec times[2] = {{0, UTIME_OMIT}, {1700000000, 123456700}};
    ASSERT_EQ(futimens(fileno(stamped), times), 0);
    EXPECT_EQ(os::GetLastWriteTime(stamped), os::UnixToFileTime(1700000000, 123456700));
    EXPECT_EQ(os::GetLastWriteTime(nullptr), 0u);
    std::fclose(stamped);
}

// Each level resolves without case into a buffer with room for the end; file calls keep to their kind.
TEST(FilesTest, PathsResolveWithoutCaseAndFileCallsKeepToTheirKind)
{
    TempFolder folder;
    folder.WriteFile("Sub/Zed.txt", "z");
    const std::string expected = folder / "Sub/Zed.txt";
    char out[256];
    ASSERT_TRUE(os::ResolvePathNoCase(folder.Path().c_str(), "SUB/zED.TXT", out, expected.size() + 1));
    EXPECT_EQ(out, expected);
    EXPECT_FALSE(os::ResolvePathNoCase(folder.Path().c_str(), "SUB/zED.TXT", out, expected.size()));
    EXPECT_FALSE(os::DeleteFile((folder / "Sub").c_str()));
    EXPECT_EQ(os::OpenFile((folder / "Sub").c_str(), "rb"), nullptr);
    ASSERT_EQ(chmod(expected.c_str(), 0444), 0);
    ASSERT_TRUE(os::ClearReadOnly(expected.c_str()));
    EXPECT_EQ(std::filesystem::status(expected).permissions(), std::filesystem::perms(0644));
    EXPECT_TRUE(os::DeleteFile(expected.c_str()));
    EXPECT_FALSE(os::ClearReadOnly(expected.c_str()));
    EXPECT_EQ(os::UnixToFileTime(0, 100), 116444736000000001u);
    os::DirectoryFind find;
    ASSERT_TRUE(find.Open(folder.Path().c_str(), "s*"));
    bool isDirectory = false;
    EXPECT_STREQ(find.Next(isDirectory), "Sub");
    EXPECT_TRUE(isDirectory);
}

TEST(FilesTest, WildcardsMatchWholeNamesWithoutCase)
{
    using Case = std::tuple<const char*, const char*, bool>;
    for (const auto& [pattern, name, matches] : {Case{"*.PAK", "data.pak", true}, Case{"a**", "a", true},
                                                  Case{"*b*c", "abxbc", true}, Case{"?.txt", "ab.txt", false},
                                                  Case{"*.pak", "data.pak2", false}, Case{nullptr, "a", false},
                                                  Case{"*", nullptr, false}})
        EXPECT_EQ(os::MatchWildcard(pattern, name), matches) << pattern << " " << name;
}
