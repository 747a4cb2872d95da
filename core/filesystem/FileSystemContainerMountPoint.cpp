#include "core/filesystem/FileSystemContainerMountPoint.h"

#include "core/console/GameConsole.h"
#include "core/filesystem/FileSystem.h"
#include "core/filesystem/FileSystemContainerInputStream.h"
#include "core/filesystem/PhysicalFileReader.h"
#include "platform/os/Files.h"

#include <cstdio>
#include <filesystem>

namespace
{
bool IsFile(const std::string& path)
{
    return os::GetPathType(path.c_str()) == os::PathType::File;
}

uint64_t FileSize(const std::string& path)
{
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(path, error);
    return error ? 0 : static_cast<uint64_t>(size);
}
} // namespace

std::unique_ptr<FileSystemMountPoint> CreateContainerMountPoint(const char* name, const char* dataFilePath,
                                                                uint32_t readerGroup, uint32_t hashMultiplier,
                                                                uint32_t extraParts)
{
    return std::make_unique<FileSystemContainerMountPoint>(name, dataFilePath, readerGroup, hashMultiplier, extraParts);
}

FileSystemContainerMountPoint::FileSystemContainerMountPoint(const char* name, const char* dataFilePath,
                                                             uint32_t readerGroup, uint32_t hashMultiplier,
                                                             uint32_t extraParts)
    : FileSystemMountPoint(name)
{
    m_valid = OpenParts(dataFilePath, readerGroup, hashMultiplier, extraParts);
}

bool FileSystemContainerMountPoint::AddExtraFiles(const char*, const char* dataFilePath, uint32_t readerGroup,
                                                  uint32_t hashMultiplier, uint32_t extraParts)
{
    if (m_partCount >= kMaxParts)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "AddExtraFiles failed - too many containers already added");
        return false;
    }
    return OpenParts(dataFilePath, readerGroup, hashMultiplier, extraParts);
}

bool FileSystemContainerMountPoint::OpenParts(const char* dataFilePath, uint32_t readerGroup, uint32_t hashMultiplier,
                                              uint32_t extraParts)
{
    if (dataFilePath == nullptr || dataFilePath[0] == '\0')
        return false;
    const uint32_t first = m_partCount;
    // Compared without the sum, which a huge count would wrap past the check.
    if (extraParts > kMaxParts - 1 - first)
    {
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "More than MAX_CONTAINER_FILE_NUM container files required");
        extraParts = kMaxParts - 1 - first;
    }
    if (readerGroup > kNoReaderGroup)
    {
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "Container %s: reader group %u out of range, reading without a kept handle",
                         dataFilePath, readerGroup);
        readerGroup = kNoReaderGroup;
    }

    std::string mainPath = dataFilePath;
    for (char& c : mainPath)
        if (c == '\\')
            c = '/';
    for (uint32_t k = 0; k <= extraParts; ++k)
    {
        Part& part = m_parts[first + k];
        if (k == 0 || mainPath.size() < 4)
            part.dataPath = mainPath;
        else
        {
            char suffix[16];
            std::snprintf(suffix, sizeof(suffix), "_%03u.dat", first + k);
            part.dataPath = mainPath.substr(0, mainPath.size() - 4) + suffix;
        }
        part.indexPath = part.dataPath.substr(0, part.dataPath.size() >= 3 ? part.dataPath.size() - 3 : 0) + "idx";
    }

    const bool present = IsFile(m_parts[first].dataPath) && IsFile(m_parts[first].indexPath);
    uint32_t loaded = 0;
    for (uint32_t k = 0; present && k <= extraParts; ++k)
    {
        Part& part = m_parts[first + k];
        if (!IsFile(part.dataPath))
            break;
        part.index.SetHashMultiplier(hashMultiplier);
        if (!part.index.Load(part.indexPath.c_str()))
            break;
        part.dataSize = FileSize(part.dataPath);
        auto mapping = std::make_shared<os::MappedFile>();
        part.mapping = mapping->Open(part.dataPath.c_str()) ? std::move(mapping) : nullptr;
        part.readerGroup = readerGroup;
        if (readerGroup < PhysicalFileReader::kGroupCount)
            gPhysicalFileReader.PostOpenFile(readerGroup, first + k, part.dataPath.c_str());
        ++loaded;
    }
    m_partCount += loaded;
    return present && loaded > 0;
}

int FileSystemContainerMountPoint::FindPart(const char* rest, ContainerIndexRecord& record) const
{
    for (int part = static_cast<int>(m_partCount) - 1; part >= 0; --part)
        if (m_parts[part].index.Find(rest, record))
            return part;
    return -1;
}

bool FileSystemContainerMountPoint::FileExists(const char* rest)
{
    ContainerIndexRecord record;
    return FindPart(rest, record) >= 0;
}

std::unique_ptr<FileSystemInputStream> FileSystemContainerMountPoint::OpenInputStream(const char* rest, uint32_t)
{
    ContainerIndexRecord record;
    const int index = FindPart(rest, record);
    if (index < 0)
        return nullptr;
    const Part& part = m_parts[index];
    if (uint64_t(record.offset) + record.storedSize > part.dataSize)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Container entry %s%s lies outside %s (%u bytes at %u)", GetName(), rest,
                       part.dataPath.c_str(), record.storedSize, record.offset);
        return nullptr;
    }
    std::string entryName = std::string(GetName()) + rest;
    return std::make_unique<FileSystemContainerInputStream>(record, part.index.GetCompressionMethod(), part.readerGroup,
                                                            static_cast<uint32_t>(index), part.dataPath.c_str(),
                                                            entryName.c_str(), part.mapping);
}
