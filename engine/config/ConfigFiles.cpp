#include "engine/config/ConfigFiles.h"

#include "core/console/GameConsole.h"
#include "core/filesystem/FileReader.h"
#include "core/filesystem/FileSystem.h"
#include "core/filesystem/FileWriter.h"
#include "core/reflection/ObjectRecord.h"
#include "engine/config/EngineConfig.h"
#include "engine/config/ProjectConfig.h"
#include "platform/os/Files.h"
#include "platform/os/Folders.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace
{
constexpr const char* kConfigName = "config";
constexpr const char* kConfigExtension = "bin";
constexpr const char* kOptimalSettingsName = "OptimalSettings.cfg";
constexpr const char* kProjectConfigName = "Project.ConfigBin";
constexpr const char* kDefaultPostprocessShader = "Postprocess";
constexpr uint32_t kOptimalSettingsLineSize = 257; // 256 characters and the terminator
constexpr float kMinResolutionScale = 0.1f;
constexpr float kMaxResolutionScale = 1.0f;

// The read-only configuration file last reported, so that each one is reported once.
std::string gReportedReadOnlyConfig;

bool MountCreated(const char* alias, const std::string& path)
{
    gFileSystem.CreateDirectory(path.c_str(), nullptr);
    return gFileSystem.MountDirectory(alias, path.c_str());
}

// Line 1: quality level n (1 to 5 give 0 to 4, anything else but 0 gives 4); line 2: the
// resolution scale. True when the file was there.
bool ApplyOptimalSettings(EngineConfig& config)
{
    FileReader reader(kOptimalSettingsName, nullptr, "locals", 0);
    if (!reader.IsOpen())
        return false;
    RendererConfigContainer& renderer = config.m_rendererConfig;
    char line[kOptimalSettingsLineSize];
    int level = 0;
    if (reader.ReadLine(line, sizeof(line)) && std::sscanf(line, "%d", &level) == 1 && level != 0)
        renderer.m_gfxQualityLevel = std::min(uint32_t(level) - 1u, RendererConfigContainer::kMaxQualityLevel);
    float scale = 0.0f;
    if (reader.ReadLine(line, sizeof(line)) && std::sscanf(line, "%f", &scale) == 1 && scale != 0.0f)
    {
        // The scale sizes render targets: a value outside the script setter's range is bounded.
        if (!std::isnan(scale))
            renderer.m_semiResolutionScreenScale = std::clamp(scale, kMinResolutionScale, kMaxResolutionScale);
    }
    reader.Close();
    if (!gFileSystem.Delete(kOptimalSettingsName, nullptr, "locals", false))
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "Unable to delete %s", kOptimalSettingsName);
    ConfigFiles::SaveConfig(&config);
    return true;
}
} // namespace

namespace ConfigFiles
{
bool CreateUserFolders(const char* projectName)
{
    if (projectName == nullptr || *projectName == '\0')
        return false;
    const std::string appData = os::GetUserAppDataFolder();
    if (appData.empty())
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "No application data folder: set NORVEX_APPDATA");
        return false;
    }
    MountCreated("user", appData);
    return MountCreated("project", ProjectFolder(projectName));
}

std::string ProjectFolder(const char* projectName)
{
    const std::string appData = os::GetUserAppDataFolder();
    if (appData.empty() || projectName == nullptr || *projectName == '\0')
        return std::string();
    return appData + "/" + kMakerFolder + "/" + projectName;
}

bool LoadConfig(EngineConfig& config)
{
    bool loaded = false;
    {
        FileReader reader(kConfigName, kConfigExtension, "project", 0);
        if (reader.IsOpen())
        {
            loaded = config.SolidDeserializeFromFileReader(reader, kRecordFlags);
            if (!loaded)
                gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "The saved configuration %s.%s is of another version or damaged; "
                                           "the defaults are used",
                                 kConfigName, kConfigExtension);
        }
    }
    ApplyOptimalSettings(config);
    return loaded;
}

bool SaveConfig(EngineConfig* config)
{
    if (config == nullptr)
        return false;
    // A user who made the file read-only means to keep it: a save would put a writable copy in its
    // place, since the folder allows the replacement that the file itself does not.
    char path[kMaxPath];
    if (gFileSystem.ResolvePhysicalPath(kConfigName, kConfigExtension, "project", path, sizeof(path)) &&
        os::IsReadOnly(path))
    {
        if (gReportedReadOnlyConfig != path)
            gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "The configuration %s is read-only: it is left as it is, and "
                                                     "settings changed in this session are not saved", path);
        gReportedReadOnlyConfig = path;
        return false;
    }
    gReportedReadOnlyConfig.clear();
    // The record is complete before the file is opened, and the file replaces the previous one only
    // when closed successfully, so a failed save never destroys the last good configuration.
    Dynarray<uint8_t> record;
    if (!BuildObjectRecord(*config, kRecordFlags, record))
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Unable to serialize the configuration");
        return false;
    }
    FileWriter writer(kConfigName, kConfigExtension, "project", 0);
    if (!writer.IsOpen() || !writer.Write(record.Data(), uint32_t(record.Count())) || !writer.Close())
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Unable to save the configuration %s.%s", kConfigName, kConfigExtension);
        return false;
    }
    return true;
}

bool LoadProjectConfigFile(ProjectConfig& project, EngineConfig* config)
{
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "NorvexEngine::LoadProjectConfigFile");
    project.Clear();
    project.m_postprocessShader = NameString(kDefaultPostprocessShader);
    FileReader reader(kProjectConfigName, nullptr, "common", 0);
    if (!reader.IsOpen())
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Unable to open %s", kProjectConfigName);
        return false;
    }
    // A damaged or foreign project file must stop start-up, not leave silent defaults.
    if (!project.SolidDeserializeFromFileReader(reader, kRecordFlags))
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "%s is damaged or of another version", kProjectConfigName);
        return false;
    }
    // An empty record is a project of defaults; bytes after the record are not the project's and
    // are left unread.
    if (reader.GetRemaining() != 0)
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "%s has %u bytes after its record", kProjectConfigName,
                         reader.GetRemaining());
    if (project.m_postprocessShader.IsEmpty())
        project.m_postprocessShader = NameString(kDefaultPostprocessShader);
    if (config != nullptr)
    {
        if (config->m_musicVolume < 0.0f)
            config->m_musicVolume = project.m_defaultMusicVolume;
        if (config->m_sfxVolume < 0.0f)
            config->m_sfxVolume = project.m_defaultSoundVolume;
        if (config->m_voiceVolume < 0.0f)
            config->m_voiceVolume = project.m_defaultSpeechVolume;
    }
    return true;
}

void ApplyProjectLanguageDefaults(const ProjectConfig& project, EngineConfig& config)
{
    config.m_textLanguage = project.m_textLanguage;
    config.m_voiceLanguage = project.m_voiceLanguage;
    config.m_subtitleMode = uint8_t(project.m_subtitleMode);
}
} // namespace ConfigFiles
