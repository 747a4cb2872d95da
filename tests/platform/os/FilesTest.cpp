#include "platform/os/Files.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>

TEST(FilesTest, ReplacingFileTakesTheUmaskAndReplacesOnlyOnCommit)
{
    TempFolder folder;
    const std::string target = folder / "config.bin";
    folder.WriteFile("config.bin", "old");
    const mode_t previous = umask(027);
    {
        os::ReplacingFile file;
        ASSERT_TRUE(file.Open(target.c_str()));
        std::fputs("new", file.GetFile());
        file.Abandon();
    }
    EXPECT_EQ(folder.ReadFile("config.bin"), "old");
    os::ReplacingFile file;
    ASSERT_TRUE(file.Open(target.c_str()));
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
    EXPECT_EQ(entries, 1);
}
