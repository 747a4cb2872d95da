#include "platform/os/Folders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

TEST(FoldersTest, AppDataFollowsTheEnvironmentInOrder)
{
    const char* home = std::getenv("HOME");
    setenv("NORVEX_APPDATA", "/data/norvex/", 1);
    setenv("XDG_DATA_HOME", "//", 1);
    EXPECT_EQ(os::GetUserAppDataFolder(), "/data/norvex");
    unsetenv("NORVEX_APPDATA");
    EXPECT_EQ(os::GetUserAppDataFolder(), "/") << "the root keeps its slash";
    unsetenv("XDG_DATA_HOME");
    setenv("HOME", "/home/player/", 1);
    EXPECT_EQ(os::GetUserAppDataFolder(), "/home/player/.local/share");
    if (home != nullptr)
        setenv("HOME", home, 1);

    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    setenv("NORVEX_RUNTIME_DIR", "/run/norvex/", 1);
    EXPECT_EQ(os::GetRuntimeFolder(), "/run/norvex");
    unsetenv("NORVEX_RUNTIME_DIR");
    setenv("XDG_RUNTIME_DIR", "/run/user/7", 1);
    EXPECT_EQ(os::GetRuntimeFolder(), "/run/user/7");
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(os::GetRuntimeFolder(), "/tmp");
    if (runtime != nullptr)
        setenv("XDG_RUNTIME_DIR", runtime, 1);
}

TEST(FoldersTest, ExecutableFolderHoldsThisTest)
{
    const std::string folder = os::GetExecutableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back() == '/', folder == "/");
    EXPECT_NE(folder.find("tests"), std::string::npos);
}
