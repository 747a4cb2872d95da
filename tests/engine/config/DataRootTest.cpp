// A data root made by the kit mounts and reads back through the file system, as folders and as
// containers, and the datakit command makes one.
#include "core/filesystem/FileReader.h"
#include "core/filesystem/FileSystem.h"
#include "core/filesystem/FileSystemContainerMountPoint.h"
#include "engine/config/ConfigFiles.h"
#include "engine/config/GameConfig.h"
#include "support/TempFolder.h"
#include "tools/datakit/DataRoot.h"
#include "tools/datakit/DatakitCommand.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace
{
constexpr uint32_t kMultiplier = 0x5BD1E995u;

std::string ReadWhole(const char* path, const char* base)
{
    FileReader reader(path, nullptr, base, 0);
    if (!reader.IsOpen())
        return "<missing>";
    std::string bytes(reader.GetSize(), '\0');
    if (!bytes.empty() && !reader.Read(bytes.data(), uint32_t(bytes.size())))
        return "<unreadable>";
    return bytes;
}

class DataRootTest : public ::testing::Test
{
protected:
    void TearDown() override { gFileSystem.UnmountAll(); }

    void MakeRoot(bool containers)
    {
        DataRoot data;
        data.GetProjectConfig().m_defaultScene = "Level01";
        data.GetProjectConfig().m_maxParticles = 100;
        data.AddFile("common", "scripts/Main.lua", "print('main')\n");
        data.AddFile("scenes", "Level01/Level01.lua", "-- level\n");
        data.AddFile("textures", "ui/cursor.tga", std::string("\0\x01\x02", 3));
        ASSERT_TRUE(data.Write(m_root / "data", containers));
    }

    void ExpectReadBack()
    {
        EXPECT_EQ(ReadWhole("scripts/Main.lua", "common"), "print('main')\n");
        EXPECT_EQ(ReadWhole("Level01/Level01.lua", "scenes"), "-- level\n");
        EXPECT_EQ(ReadWhole("ui/cursor.tga", "textures"), std::string("\0\x01\x02", 3));
        ProjectConfig project;
        GameConfig config;
        ASSERT_TRUE(ConfigFiles::LoadProjectConfigFile(project, &config));
        EXPECT_EQ(project.m_defaultScene, "Level01");
        EXPECT_EQ(project.m_maxParticles, 100u);
    }

    TempFolder m_root;
};

TEST_F(DataRootTest, FolderModeMountsEveryAlias)
{
    MakeRoot(false);
    for (const std::string& alias : DataRoot::GetFolderNames())
        ASSERT_TRUE(gFileSystem.MountDirectory(alias.c_str(), (m_root / "data/" + alias).c_str())) << alias;
    ExpectReadBack();
}

TEST_F(DataRootTest, ContainerModeMountsEveryContainer)
{
    MakeRoot(true);
    for (const std::string& name : DataRoot::GetContainerNames())
    {
        const std::string alias = name == "textures-s3" ? "textures" : name;
        ASSERT_TRUE(gFileSystem.MountContainer(alias.c_str(), (m_root / "data/" + name + ".dat").c_str(),
                                               FileSystemContainerMountPoint::kNoReaderGroup, kMultiplier, 0))
            << name;
    }
    ExpectReadBack();
}

TEST_F(DataRootTest, DatakitCommandWritesARootAndAUserConfiguration)
{
    ASSERT_EQ(RunDatakit({"dataroot", m_root / "data", "--default-scene", "Start", "--text",
                          "common/strings/en.txt=Hello", "--user-config", m_root / "config.bin"}),
              0);
    ASSERT_TRUE(gFileSystem.MountDirectory("common", (m_root / "data/common").c_str()));
    EXPECT_EQ(ReadWhole("strings/en.txt", "common"), "Hello");
    ProjectConfig project;
    ASSERT_TRUE(ConfigFiles::LoadProjectConfigFile(project, nullptr));
    EXPECT_EQ(project.m_defaultScene, "Start");
    GameConfig config;
    config.m_port = 1;
    EXPECT_TRUE(config.LoadFromFile((m_root / "config.bin").c_str(), nullptr, nullptr, ConfigFiles::kRecordFlags));
    EXPECT_EQ(config.m_port, 9876u);
    // Loaded as the game loads it, the user configuration plays the loose root just made, and so does
    // the same configuration printed and written back from its text.
    ASSERT_TRUE(gFileSystem.MountDirectory("project", m_root.Path().c_str()));
    const auto loadAsTheGame = [] {
        GameConfig game;
        const bool loaded = ConfigFiles::LoadConfig(game);
        return std::make_tuple(loaded, game.m_repositoryPath, game.m_useContainerFiles);
    };
    const auto playsTheRoot = std::make_tuple(true, m_root / "data", false);
    EXPECT_EQ(loadAsTheGame(), playsTheRoot);
    testing::internal::CaptureStdout();
    ASSERT_EQ(RunDatakit({"record-print", "GameConfig", m_root / "config.bin"}), 0);
    m_root.WriteFile("config.txt", testing::internal::GetCapturedStdout());
    ASSERT_EQ(RunDatakit({"record-write", "GameConfig", m_root / "config.txt", m_root / "config.bin", "--base",
                          m_root / "config.bin"}),
              0);
    EXPECT_EQ(loadAsTheGame(), playsTheRoot);

    EXPECT_NE(RunDatakit({"dataroot"}), 0);
    EXPECT_NE(RunDatakit({"dataroot", m_root / "x", "--text", "no-folder"}), 0);
}
} // namespace
