#include "core/Core.h"
#include "core/CoreConfig.h"
#include "core/SimpleGUID.h"
#include "core/filesystem/FileSystem.h"
#include "core/reflection/RTTIPropertiesBase.h"
#include "platform/os/Clock.h"
#include "platform/os/Folders.h"
#include "support/ConsoleCapture.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>

namespace
{
bool HasThreadNamed(const std::string& name)
{
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
    {
        std::ifstream comm(task.path() / "comm");
        std::string line;
        if (std::getline(comm, line) && line == name)
            return true;
    }
    return false;
}
} // namespace

TEST(CoreTest, InitMountsTheExecutablesFolderAndShutdownUnmounts)
{
    CoreConfig config;
    ConsoleCapture capture;
    ASSERT_TRUE(Core::Init(&config));
    EXPECT_EQ(Core::GetConfig(), &config);
    EXPECT_EQ(Core::GetSystemMemoryMB(), 1024u);
    EXPECT_TRUE(capture.Contains("System memory: 1024 MB"));
    EXPECT_EQ(std::string(Core::GetApplicationDirectory()), os::GetExecutableFolder() + "/");
    EXPECT_NE(Core::GetMainThreadId(), 0u);

    // The test program itself lies in the mounted folder.
    const std::string self = std::string("locals/") + program_invocation_short_name;
    EXPECT_TRUE(gFileSystem.FileExists(self.c_str(), nullptr, nullptr));

    ASSERT_TRUE(HasThreadNamed("Console"));
    Core::Shutdown();
    // The console thread is gone; what is logged after shutdown is still written.
    EXPECT_FALSE(HasThreadNamed("Console"));
    gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "after shutdown");
    EXPECT_TRUE(capture.Contains("after shutdown"));
    EXPECT_EQ(gFileSystem.FindMountPoint("locals"), nullptr);
    EXPECT_FALSE(gFileSystem.FileExists(self.c_str(), nullptr, nullptr));
    EXPECT_EQ(Core::GetConfig(), nullptr);
}

TEST(CoreTest, StartupGUIDIsGeneratedAfterSeedingFromTheCounter)
{
    CoreConfig config;
    os::EnableManualCounter(1234567);
    ASSERT_TRUE(Core::Init(&config));
    const std::string first = Core::GetStartupGUIDText();
    Core::Shutdown();
    os::SetManualCounter(7654321);
    ASSERT_TRUE(Core::Init(&config));
    const std::string second = Core::GetStartupGUIDText();
    Core::Shutdown();
    os::DisableManualCounter();

    ASSERT_EQ(first.size(), 36u);
    EXPECT_NE(first, second);
    SimpleGUID parsed;
    ASSERT_TRUE(parsed.FromString(first.c_str()));
    EXPECT_EQ(parsed.bytes[9] >> 4, 4);
}

TEST(CoreTest, CoreConfigSavesAndLoads)
{
    TempFolder folder;
    CoreConfig saved;
    saved.m_breakOnAssert = true;
    saved.m_logFrameInfo = CoreConfig::LOG_FRAME_INFO_WHEN_CHANGED;
    const std::string path = folder / "config";
    ASSERT_TRUE(saved.SaveToFile(path.c_str(), "bin", nullptr, 16));
    EXPECT_EQ(folder.ReadFile("config.bin").size(), 12u + 3u);

    CoreConfig loaded;
    ASSERT_TRUE(loaded.LoadFromFile(path.c_str(), "bin", nullptr, 16));
    EXPECT_TRUE(CoreConfig::StaticClassProperties()->AreObjectsEqual(&saved, &loaded));
    EXPECT_FALSE(loaded.m_connectToExternalConsole);
    EXPECT_EQ(loaded.m_logFrameInfo, CoreConfig::LOG_FRAME_INFO_WHEN_CHANGED);
}
