// Kept apart from FileSystem.cpp so that programs without containers need not link them.
#include "core/filesystem/FileSystem.h"

#include "core/console/GameConsole.h"

bool FileSystem::MountContainer(const char* name, const char* dataFilePath, uint32_t readerGroup,
                                uint32_t hashMultiplier, uint32_t extraParts)
{
    if (name == nullptr || dataFilePath == nullptr)
        return false;
    os::ScopedLock lock(m_lock);
    if (FileSystemMountPoint* existing = FindMountPoint(name))
    {
        gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, "Adding extra files to mounted container %s at %s", dataFilePath, name);
        if (existing->AddExtraFiles(name, dataFilePath, readerGroup, hashMultiplier, extraParts))
            return true;
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Mount point %s already mounted", name);
        return false;
    }
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, "Mounting container %s at %s", dataFilePath, name);
    std::unique_ptr<FileSystemMountPoint> mount =
        CreateContainerMountPoint(name, dataFilePath, readerGroup, hashMultiplier, extraParts);
    if (mount == nullptr || !mount->IsValid())
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Unable to mount container: %s", dataFilePath);
        return false;
    }
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "Container mounted successfully: %s", dataFilePath);
    InsertMountPoint(std::move(mount));
    return true;
}
