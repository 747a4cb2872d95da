// The configuration files through the file system: per-user folders under NORVEX_APPDATA, the user
// record, "OptimalSettings.cfg", the project record, and the start-up road that uses them.
#include "core/Crc32.h"
#include "core/filesystem/FileSystem.h"
#include "core/reflection/RTTIPropertiesBase.h"
#include "engine/config/ConfigFiles.h"
#include "engine/config/GameConfig.h"
#include "engine/config/ProjectConfig.h"
#include "support/ConsoleCapture.h"
#include "support/TempFolder.h"
#include "tools/datakit/DataRoot.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>

namespace
{
namespace fs = std::filesystem;

constexpr const char* kProject = "Tessarine";

class ConfigFilesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const char* previous = std::getenv("NORVEX_APPDATA");
        m_previousAppData = previous != nullptr ? previous : "";
        setenv("NORVEX_APPDATA", (m_root / "appdata").c_str(), 1);
        fs::create_directories(m_root / "locals");
        DataRoot data;
        ProjectConfig& project = data.GetProjectConfig();
        project.m_textLanguage = 3;
        project.m_voiceLanguage = 2;
        project.m_subtitleMode = 1;
        project.m_defaultMusicVolume = 0.6f;
        project.m_defaultSoundVolume = 0.7f;
        project.m_defaultSpeechVolume = 0.8f;
        ASSERT_TRUE(data.Write(m_root / "data", false));
    }
    void TearDown() override
    {
        gFileSystem.UnmountAll();
        if (m_previousAppData.empty())
            unsetenv("NORVEX_APPDATA");
        else
            setenv("NORVEX_APPDATA", m_previousAppData.c_str(), 1);
    }

    // The configuration steps of engine start-up, with fresh mounts as after a restart.
    bool Start(GameConfig& config, bool* projectLoaded = nullptr)
    {
        gFileSystem.UnmountAll();
        EXPECT_TRUE(gFileSystem.MountDirectory("locals", (m_root / "locals").c_str()));
        EXPECT_TRUE(gFileSystem.MountDirectory("common", (m_root / "data/common").c_str()));
        EXPECT_TRUE(ConfigFiles::CreateUserFolders(kProject));
        const bool loaded = ConfigFiles::LoadConfig(config);
        const bool project = ConfigFiles::LoadProjectConfigFile(m_project, &config);
        if (projectLoaded != nullptr)
            *projectLoaded = project;
        if (!loaded)
            ConfigFiles::ApplyProjectLanguageDefaults(m_project, config);
        return loaded;
    }

    std::string ConfigPath() const { return m_root / "appdata/Orvalworks/Tessarine/config.bin"; }
    std::string ProjectPath() const { return m_root / "data/common/Project.ConfigBin"; }

    TempFolder m_root;
    ProjectConfig m_project;
    std::string m_previousAppData;
};

TEST_F(ConfigFilesTest, FirstStartMakesTheFoldersAndTakesTheProjectDefaults)
{
    GameConfig config;
    bool project = false;
    EXPECT_FALSE(Start(config, &project));
    EXPECT_TRUE(project);
    EXPECT_TRUE(fs::is_directory(m_root / "appdata/Orvalworks/Tessarine"));
    EXPECT_NE(gFileSystem.FindMountPoint("user"), nullptr);
    EXPECT_NE(gFileSystem.FindMountPoint("project"), nullptr);
    EXPECT_EQ(config.m_textLanguage, 3u);
    EXPECT_EQ(config.m_voiceLanguage, 2u);
    EXPECT_EQ(config.m_subtitleMode, 1u);
    EXPECT_FLOAT_EQ(config.m_musicVolume, 0.6f);
    EXPECT_FLOAT_EQ(config.m_sfxVolume, 0.7f);
    EXPECT_FLOAT_EQ(config.m_voiceVolume, 0.8f);
    EXPECT_EQ(config.m_rendererConfig.m_gfxQualityLevel, 3u);
    EXPECT_STREQ(m_project.m_postprocessShader.CStr(), "Postprocess");

    // A later start keeps the saved languages.
    config.m_textLanguage = 5;
    ASSERT_TRUE(ConfigFiles::SaveConfig(&config));
    GameConfig again;
    EXPECT_TRUE(Start(again));
    EXPECT_EQ(again.m_textLanguage, 5u);
    EXPECT_EQ(again.m_voiceLanguage, 2u);

    EXPECT_FALSE(ConfigFiles::CreateUserFolders(""));
    EXPECT_FALSE(ConfigFiles::SaveConfig(nullptr));

    // Nowhere to keep user data: the start-up is refused and told how to give a place.
    std::vector<std::pair<const char*, std::string>> kept;
    for (const char* name : {"NORVEX_APPDATA", "XDG_DATA_HOME", "HOME"})
    {
        if (const char* value = std::getenv(name))
            kept.emplace_back(name, value);
        unsetenv(name);
    }
    ConsoleCapture console;
    EXPECT_FALSE(ConfigFiles::CreateUserFolders(kProject));
    EXPECT_TRUE(console.Contains("No application data folder: set NORVEX_APPDATA", CONSOLE_ERROR));
    for (const auto& [name, value] : kept)
        setenv(name, value.c_str(), 1);
}

TEST_F(ConfigFilesTest, UserConfigurationRoundTrips)
{
    GameConfig config;
    Start(config);
    config.m_windowWidth = 1920;
    config.m_useContainerFiles = false;
    config.m_repositoryPath = "../data";
    config.m_mouseSensitivity = 2.5f;
    config.m_rendererConfig.m_brightness = 0.9f;
    config.m_rendererConfig.m_msaaMode = 2;
    config.m_port = 1234;
    config.m_physXDebuggerIP = "10.0.0.2";
    SimpleGUID guid;
    for (uint8_t i = 0; i < 16; ++i)
        guid.bytes[i] = uint8_t(i * 17);
    config.SetUserGUID(guid);
    config.m_userGUIDEstablished = true;
    config.BindKey(112, "ToggleConsole");
    config.BindKey(65, "x = 1");
    config.SetPrimaryControl(0, 3, 0x1000);
    config.SetSecondaryControl(3, 1, 7);
    config.SetPrimaryControl(4, 0, 9); // not saved
    config.m_consoleHistory.Add("print(1)");
    config.m_consoleHistory.Add("print(2)");
    config.m_inGameProfilers.Set(80, true);
    config.m_editorProfilers.Set(3, true);
    config.m_connectToExternalConsole = true;
    config.m_logFrameInfo = 2;
    config.m_consoleShowCommands = true;
    ASSERT_TRUE(ConfigFiles::SaveConfig(&config));

    GameConfig loaded;
    EXPECT_TRUE(Start(loaded));
    EXPECT_TRUE(GameConfig::StaticClassProperties()->AreObjectsEqual(&config, &loaded));
    // Read directly: two rows on one member would still compare equal through the table.
    EXPECT_TRUE(loaded.m_consoleShowCommands && loaded.m_userGUIDEstablished);
    EXPECT_STREQ(loaded.FindKeyBind(112), "ToggleConsole");
    EXPECT_STREQ(loaded.m_consoleHistory.GetAt(0).CStr(), "print(2)");
    EXPECT_TRUE(loaded.m_inGameProfilers.Get(80));
    EXPECT_EQ(loaded.GetControlCount(4), 0);
    EXPECT_EQ(SimpleGUID::Compare(*loaded.GetUserGUID(), guid), 0);

    // Saved before, the history kept its maximum size (32) ahead of its entries; it loads the same.
    const std::string entries("\x01print(2)\0\x01print(1)\0", 20);
    std::string file = m_root.ReadFile("appdata/Orvalworks/Tessarine/config.bin");
    const size_t at = file.find(std::string("\x02\0\0\0", 4) + entries + std::string(" \0\0\0", 4));
    ASSERT_NE(at, std::string::npos);
    file.replace(at, 28, std::string(" \0\0\0\x02\0\0\0", 8) + entries);
    const uint32_t crc = ComputeCrc32(file.data() + 12, file.size() - 12);
    for (int i = 0; i < 4; ++i)
        file[size_t(8 + i)] = char(crc >> (8 * i));
    m_root.WriteFile("appdata/Orvalworks/Tessarine/config.bin", file);
    GameConfig earlier;
    EXPECT_TRUE(Start(earlier));
    EXPECT_TRUE(GameConfig::StaticClassProperties()->AreObjectsEqual(&config, &earlier));
}

TEST_F(ConfigFilesTest, OptimalSettingsApplyOnceAreDeletedAndSaved)
{
    TempFolder& root = m_root;
    root.WriteFile("locals/OptimalSettings.cfg", "3\n0.75\n");
    GameConfig config;
    EXPECT_FALSE(Start(config));
    EXPECT_EQ(config.m_rendererConfig.m_gfxQualityLevel, 2u);
    EXPECT_FLOAT_EQ(config.m_rendererConfig.m_semiResolutionScreenScale, 0.75f);
    EXPECT_FALSE(fs::exists(root / "locals/OptimalSettings.cfg"));
    ASSERT_TRUE(fs::exists(ConfigPath()));

    const std::string saved = root.ReadFile("appdata/Orvalworks/Tessarine/config.bin");
    GameConfig second;
    EXPECT_TRUE(Start(second));
    EXPECT_EQ(second.m_rendererConfig.m_gfxQualityLevel, 2u);
    EXPECT_FLOAT_EQ(second.m_rendererConfig.m_semiResolutionScreenScale, 0.75f);
    EXPECT_EQ(root.ReadFile("appdata/Orvalworks/Tessarine/config.bin"), saved);
}

TEST_F(ConfigFilesTest, OptimalSettingsLinesThatDoNotApply)
{
    struct Case
    {
        const char* text;
        uint32_t quality;
        float scale;
    };
    const Case cases[] = {
        {"0\n0\n", 3, 1.0f},       {"fast\nsmall\n", 3, 1.0f}, {"9\n", 4, 1.0f},
        {"1\n0.5", 0, 0.5f},       {"-4\n7.5\n", 4, 1.0f},     {"5\n0.01\n", 4, 0.1f},
        {"2\nnan\n", 1, 1.0f},     {"", 3, 1.0f},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.text);
        m_root.WriteFile("locals/OptimalSettings.cfg", c.text);
        fs::remove(ConfigPath());
        GameConfig config;
        Start(config);
        EXPECT_EQ(config.m_rendererConfig.m_gfxQualityLevel, c.quality);
        EXPECT_FLOAT_EQ(config.m_rendererConfig.m_semiResolutionScreenScale, c.scale);
        EXPECT_FALSE(fs::exists(m_root / "locals/OptimalSettings.cfg"));
    }
}

TEST_F(ConfigFilesTest, NegativeSavedVolumeTakesTheProjectDefaultAtEveryStartAndMutedStaysMuted)
{
    GameConfig config;
    config.m_sfxVolume = 0.25f;
    config.m_voiceVolume = 0.0f;
    gFileSystem.MountDirectory("locals", (m_root / "locals").c_str());
    ASSERT_TRUE(ConfigFiles::CreateUserFolders(kProject));
    ASSERT_TRUE(ConfigFiles::SaveConfig(&config));
    for (float musicDefault : {0.6f, 0.3f})
    {
        DataRoot data;
        data.GetProjectConfig().m_defaultMusicVolume = musicDefault;
        ASSERT_TRUE(data.Write(m_root / "data", false));
        GameConfig started;
        EXPECT_TRUE(Start(started));
        EXPECT_FLOAT_EQ(started.m_musicVolume, musicDefault);
        EXPECT_FLOAT_EQ(started.m_sfxVolume, 0.25f);
        EXPECT_EQ(started.m_voiceVolume, 0.0f) << "a muted volume is the user's choice";
    }
    config.m_musicVolume = config.m_sfxVolume = 0.0f;
    ASSERT_TRUE(ConfigFiles::SaveConfig(&config));
    GameConfig muted;
    EXPECT_TRUE(Start(muted));
    EXPECT_EQ(muted.m_musicVolume, 0.0f);
    EXPECT_EQ(muted.m_sfxVolume, 0.0f);
}

TEST_F(ConfigFilesTest, MissingOrDamagedProjectConfigurationFailsStartUp)
{
    const std::string good = m_root.ReadFile("data/common/Project.ConfigBin");
    ASSERT_GT(good.size(), 12u);
    std::string wrongMagic = good;
    wrongMagic[4] ^= 1;
    std::string wrongCrc = good;
    wrongCrc[good.size() - 1] ^= 0x40;
    std::string oversized = good;
    oversized[0] = char(uint8_t(oversized[0]) + 1);
    const struct
    {
        const char* name;
        std::string bytes;
        const char* message;
    } cases[] = {
        {"magic", wrongMagic, "magic check error"},
        {"crc", wrongCrc, "CRC check error"},
        {"truncated", good.substr(0, good.size() - 3), "truncated"},
        {"size beyond the file", oversized, "truncated"},
        {"empty", "", "truncated"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ConsoleCapture console;
        m_root.WriteFile("data/common/Project.ConfigBin", c.bytes);
        GameConfig config;
        bool project = true;
        Start(config, &project);
        EXPECT_FALSE(project);
        EXPECT_TRUE(console.Contains(c.message, CONSOLE_ERROR));
    }

    ConsoleCapture console;
    fs::remove(ProjectPath());
    GameConfig config;
    bool project = true;
    Start(config, &project);
    EXPECT_FALSE(project);
    EXPECT_TRUE(console.Contains("Unable to open Project.ConfigBin", CONSOLE_ERROR));
}

// Empty is not broken: an empty record is a project of defaults; bytes after a good record are
// left with a warning and the record's values stand.
TEST_F(ConfigFilesTest, AnEmptyProjectRecordGivesTheDefaultsAndTrailingBytesAWarning)
{
    const std::string good = m_root.ReadFile("data/common/Project.ConfigBin");
    const struct
    {
        const char* name;
        std::string bytes;
        float musicVolume;
        bool warned;
    } cases[] = {
        {"empty record", std::string(4, '\0'), ProjectConfig().m_defaultMusicVolume, false},
        {"trailing bytes", good + "xyz", 0.6f, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ConsoleCapture console;
        m_root.WriteFile("data/common/Project.ConfigBin", c.bytes);
        GameConfig config;
        bool project = false;
        Start(config, &project);
        EXPECT_TRUE(project);
        EXPECT_EQ(console.CountOfKind(CONSOLE_ERROR), 0u);
        EXPECT_FLOAT_EQ(m_project.m_defaultMusicVolume, c.musicVolume);
        EXPECT_STREQ(m_project.m_postprocessShader.CStr(), "Postprocess");
        EXPECT_EQ(console.Contains("Project.ConfigBin has 3 bytes after its record", CONSOLE_WARNING), c.warned);
    }
}

TEST_F(ConfigFilesTest, RecordOfAnotherLayoutIsRefusedWholeWithAWarning)
{
    // An EngineConfig record lacks the game's three properties: another layout.
    EngineConfig other;
    other.m_port = 4444;
    other.m_rendererConfig.m_gfxQualityLevel = 0;
    fs::create_directories(m_root / "appdata/Orvalworks/Tessarine");
    ASSERT_TRUE(DataRoot::WriteConfigRecord(other, ConfigPath()));

    ConsoleCapture console;
    GameConfig config;
    EXPECT_FALSE(Start(config));
    EXPECT_TRUE(console.Contains("another version or damaged", CONSOLE_WARNING));
    EXPECT_EQ(config.m_port, 9876u);
    EXPECT_EQ(config.m_rendererConfig.m_gfxQualityLevel, 3u);
    // Refused means a first start: the project languages apply.
    EXPECT_EQ(config.m_textLanguage, 3u);
}

TEST_F(ConfigFilesTest, EnumerationsAndKeyBindOrderFromAFileAreBounded)
{
    GameConfig written;
    written.m_textLanguage = 40;
    written.m_rendererConfig.m_gfxQualityLevel = 77;
    written.m_rendererConfig.m_msaaMode = 3;
    KeyBindDef bind;
    bind.m_keyCode = 90;
    written.m_keyBinds.Add(bind);
    bind.m_keyCode = 10;
    bind.m_command = "Ten";
    written.m_keyBinds.Add(bind);
    fs::create_directories(m_root / "appdata/Orvalworks/Tessarine");
    ASSERT_TRUE(DataRoot::WriteConfigRecord(written, ConfigPath()));

    GameConfig config;
    EXPECT_TRUE(Start(config));
    EXPECT_EQ(config.m_textLanguage, 12u);
    EXPECT_EQ(config.m_rendererConfig.m_gfxQualityLevel, 4u);
    EXPECT_EQ(config.m_rendererConfig.m_msaaMode, 0u);
    EXPECT_STREQ(config.FindKeyBind(10), "Ten");
    EXPECT_STREQ(config.FindKeyBind(90), "");
}

TEST_F(ConfigFilesTest, AFailedSaveKeepsThePreviousGoodFile)
{
    GameConfig config;
    Start(config);
    config.m_port = 1111;
    ASSERT_TRUE(ConfigFiles::SaveConfig(&config));
    const std::string good = m_root.ReadFile("appdata/Orvalworks/Tessarine/config.bin");

    // A configuration larger than the file size limit cannot be written completely.
    for (uint32_t key = 0; key < 400; ++key)
        config.BindKey(key, "a long enough command for the record to outgrow the limit");
    config.m_port = 2222;
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = previous;
    limited.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    ConsoleCapture console;
    const bool saved = ConfigFiles::SaveConfig(&config);
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(saved);
    EXPECT_TRUE(console.Contains("Unable to save the configuration", CONSOLE_ERROR));
    EXPECT_EQ(m_root.ReadFile("appdata/Orvalworks/Tessarine/config.bin"), good);
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(m_root / "appdata/Orvalworks/Tessarine"))
        ++files;
    EXPECT_EQ(files, 1u); // no temporary file left behind
    GameConfig loaded;
    EXPECT_TRUE(Start(loaded));
    EXPECT_EQ(loaded.m_port, 1111u);

    // A read-only configuration is the user's to keep: it stays as it is, and a save says so once.
    fs::permissions(ConfigPath(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    ConsoleCapture readOnly;
    EXPECT_FALSE(ConfigFiles::SaveConfig(&loaded));
    EXPECT_FALSE(ConfigFiles::SaveConfig(&loaded));
    EXPECT_EQ(m_root.ReadFile("appdata/Orvalworks/Tessarine/config.bin"), good);
    EXPECT_EQ(fs::status(ConfigPath()).permissions() & fs::perms::owner_write, fs::perms::none);
    EXPECT_EQ(readOnly.CountOfKind(CONSOLE_WARNING), 1u);
    EXPECT_TRUE(readOnly.Contains(ConfigPath() + " is read-only: it is left as it is", CONSOLE_WARNING));
    fs::permissions(ConfigPath(), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_TRUE(ConfigFiles::SaveConfig(&loaded));
}
} // namespace
