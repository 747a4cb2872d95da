// NorvexEngine's data folders and configuration files. Main thread.
#include "core/Core.h"
#include "core/console/GameConsole.h"
#include "core/filesystem/FileSystem.h"
#include "engine/NorvexEngine.h"
#include "engine/config/ConfigFiles.h"
#include "engine/config/EngineConfig.h"
#include "engine/config/ProjectConfig.h"

#include <cstdio>
#include <filesystem>

namespace
{
// Mount aliases by bit of the mount mask.
constexpr const char* kDataFolders[NorvexEngine::kDataFolderCount] = {
    "animations", "common", "scenes", "sounds", "templates", "voices", "videos",
    "textures", "textures-pvr", "textures-ati", "textures-s3"};
// Bits 8 to 10 are alternative texture folders that no container stands for.
constexpr uint32_t kNoContainerBits = 0x700u;
constexpr int32_t kNoGroup = -1;
constexpr int32_t kMaxGroups = 32;

struct ContainerRecord
{
    uint32_t bit;
    uint32_t nameIndex;
    uint8_t optional;
    int32_t group;
};
// Bits 0 to 6 under their own names; the textures (bit 7) come from "textures-s3".
constexpr ContainerRecord kContainers[] = {{0, 0, 0, kNoGroup}, {1, 1, 0, kNoGroup}, {2, 2, 0, kNoGroup},
                                           {3, 3, 0, kNoGroup}, {4, 4, 0, kNoGroup}, {5, 5, 0, kNoGroup},
                                           {6, 6, 0, kNoGroup}, {7, 10, 0, kNoGroup}};
// One extra part: "<name>.dat" and an optional "<name>_001.dat".
constexpr uint32_t kContainerExtraParts = 1;
} // namespace

std::string NorvexEngine::FindDataDirectory() const
{
    namespace fs = std::filesystem;
    const fs::path programFolder = Core::GetApplicationDirectory();
    const std::string repository = m_config != nullptr ? m_config->m_repositoryPath : std::string();
    const fs::path path = repository.empty()                      ? programFolder
                          : fs::path(repository).is_absolute() ? fs::path(repository)
                                                                : programFolder / repository;
    // The folder's own trailing '/' would double the one that joins a data file's name to it.
    std::string text = path.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

std::string NorvexEngine::DescribeMissingConfig() const
{
    const std::string folder = ConfigFiles::ProjectFolder(m_projectName.c_str());
    return "no user configuration names a data root (looked for " +
           (folder.empty() ? std::string("no user folder") : folder + "/config.bin") +
           "; NORVEX_APPDATA sets the user folder, scripts/run-demo sets up the demo)";
}

void NorvexEngine::AddMountedContainer(uint32_t bit, uint32_t nameIndex, uint8_t optional, int32_t group)
{
    m_containers.Add(MountedContainer{bit, nameIndex, optional, group});
}

bool NorvexEngine::MountDataFolders(uint32_t mask)
{
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "Mounting internal file system: 0x%X", mask);
    const std::string directory = FindDataDirectory();
    bool ok = true;
    char path[kMaxPath];
    // Whether the data is packed comes from the user configuration's "Use container files" (the
    // project configuration has no such setting); only GameConfig answers true.
    if (m_config == nullptr || !m_config->UsesContainerFiles())
    {
        for (uint32_t bit = 0; bit < kDataFolderCount; ++bit)
        {
            if ((mask & (1u << bit)) == 0)
                continue;
            std::snprintf(path, sizeof(path), "%s/%s", directory.c_str(), kDataFolders[bit]);
            if (gFileSystem.MountDirectory(kDataFolders[bit], path))
                m_mountedMask |= 1u << bit;
            else
                ok = false;
        }
    }
    else
    {
        bool groupMounted[kMaxGroups] = {};
        for (const ContainerRecord& record : kContainers)
        {
            if ((mask & ~kNoContainerBits & (1u << record.bit)) == 0)
                continue;
            if (record.group >= 0 && record.group < kMaxGroups && groupMounted[record.group])
                continue;
            std::snprintf(path, sizeof(path), "%s/%s.dat", directory.c_str(), kDataFolders[record.nameIndex]);
            if (gFileSystem.MountContainer(kDataFolders[record.bit], path, record.nameIndex, kContainerHashMultiplier,
                                           kContainerExtraParts))
            {
                m_mountedMask |= 1u << record.bit;
                AddMountedContainer(record.bit, record.nameIndex, record.optional, record.group);
                if (record.group >= 0 && record.group < kMaxGroups)
                    groupMounted[record.group] = true;
            }
            else if (record.optional == 0)
                ok = false;
        }
    }
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, "Mounted (ok:%d)", ok ? 1 : 0);
    return ok;
}

void NorvexEngine::UnmountDataFolders()
{
    for (uint32_t bit = 0; bit < kDataFolderCount; ++bit)
        if ((m_mountedMask & (1u << bit)) != 0)
            gFileSystem.Unmount(kDataFolders[bit]);
    m_mountedMask = 0;
    m_containers.FreeStorage();
}

bool NorvexEngine::CreateUserFolders()
{
    return ConfigFiles::CreateUserFolders(m_projectName.c_str());
}

// The file name ("Game.Config" from the platform layer) is not used: the record is "config.bin".
bool NorvexEngine::LoadConfig(const char*)
{
    return m_config != nullptr && ConfigFiles::LoadConfig(*m_config);
}

bool NorvexEngine::SaveConfig()
{
    return ConfigFiles::SaveConfig(m_config);
}

bool NorvexEngine::LoadProjectConfigFile()
{
    return ConfigFiles::LoadProjectConfigFile(gProjectConfig, m_config);
}
