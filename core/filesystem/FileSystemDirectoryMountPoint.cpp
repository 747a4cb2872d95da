#include "core/filesystem/FileSystemDirectoryMountPoint.h"

#include "core/console/GameConsole.h"
#include "core/filesystem/FileSystem.h"
#include "core/filesystem/FileSystemLocalFileInputStream.h"
#include "core/filesystem/FileSystemLocalFileOutputStream.h"
#include "core/filesystem/FileSystemWholeFileCRCInputStream.h"
#include "core/filesystem/FileSystemWholeFileCRCOutputStream.h"
#include "core/strings/StringUtils.h"
#include "platform/os/Files.h"

#include <algorithm>
#include <cstring>
#include <string>

FileSystemDirectoryMountPoint::FileSystemDirectoryMountPoint(const char* name, const char* physicalRoot)
    : FileSystemMountPoint(name), m_root(physicalRoot != nullptr ? physicalRoot : "")
{
    std::replace(m_root.begin(), m_root.end(), '\\', '/');
    m_valid = !m_root.empty() && os::GetPathType(m_root.c_str()) == os::PathType::Directory;
}

namespace
{
// Resolves "." and ".." inside the rest of a path; a ".." that would climb above the mount's root
// fails, so a name from data or a script cannot reach files beside the mounted folder.
bool CollapseDots(const char* rest, std::string& out)
{
    out.clear();
    const char* cursor = rest != nullptr ? rest : "";
    while (*cursor != '\0')
    {
        while (*cursor == '/')
            ++cursor;
        const char* end = cursor;
        while (*end != '\0' && *end != '/')
            ++end;
        const size_t length = static_cast<size_t>(end - cursor);
        if (length == 2 && cursor[0] == '.' && cursor[1] == '.')
        {
            const size_t parent = out.rfind('/');
            if (parent == std::string::npos)
                return false;
            out.resize(parent);
        }
        else if (length != 0 && !(length == 1 && cursor[0] == '.'))
        {
            out += '/';
            out.append(cursor, length);
        }
        cursor = end;
    }
    return true;
}
} // namespace

bool FileSystemDirectoryMountPoint::GetPhysicalPath(const char* rest, char* out, size_t outSize)
{
    std::string inside;
    if (!CollapseDots(rest, inside))
    {
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "Path leaves mount point %s: %s", GetName(), rest);
        return false;
    }
    char path[kMaxPath];
    if (!os::ResolvePathNoCase(m_root.c_str(), inside.c_str(), path, sizeof(path)))
        return false;
    const size_t length = std::strlen(path);
    if (out == nullptr || length + 1 > outSize)
        return false;
    std::memcpy(out, path, length + 1);
    return true;
}

bool FileSystemDirectoryMountPoint::FileExists(const char* rest)
{
    char path[kMaxPath];
    if (!GetPhysicalPath(rest, path, sizeof(path)))
        return false;
    FILE* const file = os::OpenFile(path, "rb");
    if (file == nullptr)
        return false;
    std::fclose(file);
    return true;
}

bool FileSystemDirectoryMountPoint::DirectoryExists(const char* rest)
{
    char path[kMaxPath];
    return GetPhysicalPath(rest, path, sizeof(path)) && os::GetPathType(path) == os::PathType::Directory;
}

std::unique_ptr<FileSystemInputStream> FileSystemDirectoryMountPoint::OpenInputStream(const char* rest, uint32_t flags)
{
    char path[kMaxPath];
    if (!GetPhysicalPath(rest, path, sizeof(path)))
        return nullptr;
    if ((flags & kFileSystemOpenCrc) != 0)
        return std::make_unique<FileSystemWholeFileCRCInputStream>(path);
    return std::make_unique<FileSystemLocalFileInputStream>(path);
}

std::unique_ptr<FileSystemOutputStream> FileSystemDirectoryMountPoint::OpenOutputStream(const char* rest,
                                                                                         uint32_t flags)
{
    char path[kMaxPath];
    if (!GetPhysicalPath(rest, path, sizeof(path)))
        return nullptr;
    if ((flags & kFileSystemOpenCrc) != 0)
        return std::make_unique<FileSystemWholeFileCRCOutputStream>(path);
    return std::make_unique<FileSystemLocalFileOutputStream>(path);
}

std::unique_ptr<FileSystemIteratorInternals> FileSystemDirectoryMountPoint::CreateIterator(const char* rest,
                                                                                            const char* pattern)
{
    char path[kMaxPath];
    if (!GetPhysicalPath(rest, path, sizeof(path)))
        return nullptr;
    return std::make_unique<FileSystemDirectoryIteratorInternals>(path, pattern);
}

FileSystemDirectoryIteratorInternals::FileSystemDirectoryIteratorInternals(const char* directory,
                                                                           const char* pattern)
{
    m_valid = m_find.Open(directory, pattern);
}

const char* FileSystemDirectoryIteratorInternals::Next()
{
    if (!m_valid)
        return nullptr;
    const char* const name = m_find.Next(m_isDirectory);
    if (name == nullptr)
        return nullptr;
    std::strncpy(m_name, name, sizeof(m_name) - 1);
    m_name[sizeof(m_name) - 1] = '\0';
    return m_name;
}
