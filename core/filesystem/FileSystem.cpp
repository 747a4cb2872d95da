#include "core/filesystem/FileSystem.h"

#include "core/console/GameConsole.h"
#include "core/filesystem/FileSystemDirectoryMountPoint.h"
#include "core/filesystem/FileSystemLocalFileInputStream.h"
#include "core/filesystem/FileSystemLocalFileOutputStream.h"
#include "core/filesystem/FileSystemWholeFileCRCInputStream.h"
#include "core/filesystem/FileSystemWholeFileCRCOutputStream.h"
#include "core/strings/StringUtils.h"
#include "platform/os/DirectoryFind.h"
#include "platform/os/Files.h"

#include <cstring>

FileSystem gFileSystem;

namespace
{
std::unique_ptr<FileSystemInputStream> OpenDiskInputStream(const char* path, uint32_t flags)
{
    if ((flags & kFileSystemOpenCrc) != 0)
        return std::make_unique<FileSystemWholeFileCRCInputStream>(path);
    return std::make_unique<FileSystemLocalFileInputStream>(path);
}

bool CopyBounded(char* out, size_t outSize, const char* text)
{
    if (out == nullptr || outSize == 0)
        return false;
    const size_t length = std::strlen(text);
    const size_t count = length < outSize ? length : outSize - 1;
    std::memcpy(out, text, count);
    out[count] = '\0';
    return true;
}

// The caller's own text decides whether a path is a disk path: BuildPath drops leading dots, so
// "../x" would come out as "/x" and reach the disk's root if the joined text were judged.
bool IsDiskPath(const char* path, const char* base, const char* joined)
{
    bool baseMeaningful = false;
    for (const char* cursor = base; cursor != nullptr && *cursor != '\0'; ++cursor)
        baseMeaningful = baseMeaningful || (*cursor != '/' && *cursor != '\\' && *cursor != '.');
    const char* const leading = base != nullptr && (baseMeaningful || IsAbsolutePath(base)) ? base : path;
    return IsAbsolutePath(leading) && IsAbsolutePath(joined);
}
} // namespace

FileSystem::~FileSystem()
{
    UnmountAll();
}

size_t FileSystem::UpperBound(const char* name) const
{
    size_t low = 0;
    size_t high = m_mounts.size();
    while (low < high)
    {
        const size_t middle = (low + high) / 2;
        if (StrICmp(m_mounts[middle]->GetName(), name) <= 0)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

void FileSystem::InsertMountPoint(std::unique_ptr<FileSystemMountPoint> mount)
{
    const size_t position = UpperBound(mount->GetName());
    m_mounts.insert(m_mounts.begin() + static_cast<std::ptrdiff_t>(position), std::move(mount));
}

FileSystemMountPoint* FileSystem::FindMountPoint(const char* name)
{
    if (name == nullptr)
        return nullptr;
    char key[kMaxPath];
    CopyBounded(key, sizeof(key), name);
    os::ScopedLock lock(m_lock);
    const size_t position = UpperBound(key);
    if (position == 0 || StrICmp(m_mounts[position - 1]->GetName(), key) != 0)
        return nullptr;
    return m_mounts[position - 1].get();
}

bool FileSystem::MountDirectory(const char* name, const char* physicalPath)
{
    if (name == nullptr || physicalPath == nullptr)
        return false;
    os::ScopedLock lock(m_lock);
    if (FindMountPoint(name) != nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Mount point %s already mounted", name);
        return false;
    }
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, "Mounting directory %s to %s", physicalPath, name);
    auto mount = std::make_unique<FileSystemDirectoryMountPoint>(name, physicalPath);
    if (!mount->IsValid())
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Unable to mount directory: %s", physicalPath);
        return false;
    }
    InsertMountPoint(std::move(mount));
    return true;
}

void FileSystem::UnmountAll()
{
    os::ScopedLock lock(m_lock);
    m_preheated.reset();
    m_preheatedPath.clear();
    m_preheatRequest.clear();
    m_mounts.clear();
}

FileSystem::Route FileSystem::RoutePath(const char* path, const char* base, const char* joined)
{
    Route route;
    if (IsDiskPath(path, base, joined))
    {
        route.absolute = true;
        route.rest = joined;
        return route;
    }
    char component[kMaxPath];
    GetFirstPathComponent(component, sizeof(component), joined);
    route.mount = FindMountPoint(component);
    route.rest = joined + std::strlen(component);
    return route;
}

std::unique_ptr<FileSystemInputStream> FileSystem::OpenInputStream(const char* path, const char* extension,
                                                                   const char* base, uint32_t flags)
{
    char joined[kMaxPath];
    BuildPath(joined, sizeof(joined), path, extension, base);
    os::ScopedLock lock(m_lock);
    if (m_preheated != nullptr)
    {
        if (StrICmp(m_preheatedPath.c_str(), joined) == 0)
        {
            m_preheatedPath.clear();
            return std::move(m_preheated);
        }
        gConsole.Error(CONSOLE_CHANNEL_ENGINE,
                       "Preheated stream conflict. Serious performance degradation occured! Expected: %s, got: %s",
                       m_preheatedPath.c_str(), joined);
    }
    const Route route = RoutePath(path, base, joined);
    std::unique_ptr<FileSystemInputStream> stream;
    if (route.absolute)
        stream = OpenDiskInputStream(joined, flags);
    else if (route.mount != nullptr)
        stream = route.mount->OpenInputStream(route.rest, flags);
    if (stream != nullptr && !stream->IsOpen())
        stream.reset();
    return stream;
}

std::unique_ptr<FileSystemOutputStream> FileSystem::OpenOutputStream(const char* path, const char* extension,
                                                                     const char* base, uint32_t flags)
{
    char joined[kMaxPath];
    BuildPath(joined, sizeof(joined), path, extension, base);
    os::ScopedLock lock(m_lock);
    const Route route = RoutePath(path, base, joined);
    std::unique_ptr<FileSystemOutputStream> stream;
    if (route.absolute)
    {
        if ((flags & kFileSystemOpenCrc) != 0)
            stream = std::make_unique<FileSystemWholeFileCRCOutputStream>(joined);
        else
            stream = std::make_unique<FileSystemLocalFileOutputStream>(joined);
    }
    else if (route.mount != nullptr)
    {
        stream = route.mount->OpenOutputStream(route.rest, flags);
    }
    if (stream != nullptr && !stream->IsOpen())
        stream.reset();
    return stream;
}

bool FileSystem::ResolvePhysicalPath(const char* path, const char* extension, const char* base, char* out,
                                     size_t outSize)
{
    char joined[kMaxPath];
    BuildPath(joined, sizeof(joined), path, extension, base);
    os::ScopedLock lock(m_lock);
    const Route route = RoutePath(path, base, joined);
    if (route.absolute)
        return CopyBounded(out, outSize, joined);
    return route.mount != nullptr && route.mount->GetPhysicalPath(route.rest, out, outSize);
}

bool FileSystem::Delete(const char* path, const char* extension, const char* base, bool recursive)
{
    char physical[kMaxPath];
    os::ScopedLock lock(m_lock);
    return ResolvePhysicalPath(path, extension, base, physical, sizeof(physical)) &&
           DeletePhysical(physical, recursive);
}

bool FileSystem::FileExists(const char* path, const char* extension, const char* base)
{
    char joined[kMaxPath];
    BuildPath(joined, sizeof(joined), path, extension, base);
    os::ScopedLock lock(m_lock);
    const Route route = RoutePath(path, base, joined);
    if (route.absolute)
    {
        FILE* const file = os::OpenFile(joined, "rb");
        if (file != nullptr)
            std::fclose(file);
        return file != nullptr;
    }
    return route.mount != nullptr && route.mount->FileExists(route.rest);
}

bool FileSystem::DirectoryExists(const char* path, const char* extension, const char* base)
{
    char joined[kMaxPath];
    BuildPath(joined, sizeof(joined), path, extension, base);
    os::ScopedLock lock(m_lock);
    const Route route = RoutePath(path, base, joined);
    if (route.absolute)
        return os::GetPathType(joined) == os::PathType::Directory;
    return route.mount != nullptr && route.mount->DirectoryExists(route.rest);
}

bool FileSystem::CreateDirectory(const char* path, const char* base)
{
    char physical[kMaxPath];
    os::ScopedLock lock(m_lock);
    if (!ResolvePhysicalPath(path, nullptr, base, physical, sizeof(physical)))
        return false;
    StrReplaceChar(physical, '\\', '/');
    bool created = false;
    const size_t length = std::strlen(physical);
    for (size_t end = 1; end <= length; ++end)
    {
        if (end != length && physical[end] != '/')
            continue;
        const char saved = physical[end];
        physical[end] = '\0';
        const os::PathType type = os::GetPathType(physical);
        bool ok = true;
        if (type == os::PathType::Missing)
        {
            ok = os::CreateDirectory(physical);
            created = created || ok;
        }
        else if (type != os::PathType::Directory)
        {
            ok = false;
        }
        physical[end] = saved;
        if (!ok)
            return false;
    }
    return created;
}

bool FileSystem::DeletePhysical(const char* physicalPath, bool recursive)
{
    // Links are judged by themselves, so a link to a directory is removed, never walked into.
    const os::PathType type = os::GetPathType(physicalPath, false);
    if (type == os::PathType::Missing)
        return false;
    if (type != os::PathType::Directory)
        return os::DeleteFile(physicalPath);
    if (!recursive)
        return false;
    bool all = true;
    os::DirectoryFind find;
    if (find.Open(physicalPath, "*"))
    {
        bool isDirectory = false;
        std::string child;
        while (const char* name = find.Next(isDirectory))
        {
            if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
                continue;
            child = physicalPath;
            if (child.back() != '/')
                child += '/';
            child += name;
            if (os::GetPathType(child.c_str(), false) == os::PathType::Directory)
                all = DeletePhysical(child.c_str(), true) && all;
            else
                all = (os::ClearReadOnly(child.c_str()) && os::DeleteFile(child.c_str())) && all;
        }
    }
    return os::RemoveDirectory(physicalPath) && all;
}

void FileSystem::PreheatInputStream(const char* path, const char* extension, const char* base, uint32_t flags)
{
    char joined[kMaxPath];
    BuildPath(joined, sizeof(joined), path, extension, base);
    os::ScopedLock lock(m_lock);
    // The request is reopened from its joined text, so one that would change meaning on the way is dropped.
    const bool stable = IsAbsolutePath(joined) == IsDiskPath(path, base, joined);
    m_preheatRequest = stable ? joined : "";
    m_preheatFlags = flags;
}

void FileSystem::OpenPreheatedStream()
{
    os::ScopedLock lock(m_lock);
    if (m_preheatRequest.empty())
        return;
    if (m_preheated != nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Previous preheated stream not consumed. Serious performance degradation occured!");
        m_preheated.reset();
        m_preheatedPath.clear();
    }
    const std::string request = std::move(m_preheatRequest);
    m_preheatRequest.clear();
    m_preheated = OpenInputStream(request.c_str(), nullptr, nullptr, m_preheatFlags);
    if (m_preheated != nullptr)
        m_preheatedPath = request;
    else
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "Cannot preheat input stream: %s. Serious performance degradation occured!",
                         request.c_str());
}

std::unique_ptr<FileSystemIteratorInternals> FileSystem::CreateIterator(const char* path, const char* pattern)
{
    char joined[kMaxPath];
    BuildPath(joined, sizeof(joined), path, nullptr, nullptr);
    os::ScopedLock lock(m_lock);
    const Route route = RoutePath(path, nullptr, joined);
    std::unique_ptr<FileSystemIteratorInternals> internals;
    if (route.absolute)
        internals = std::make_unique<FileSystemDirectoryIteratorInternals>(joined, pattern);
    else if (route.mount != nullptr)
        internals = route.mount->CreateIterator(route.rest, pattern);
    if (internals != nullptr && !internals->IsValid())
        internals.reset();
    return internals;
}

FileSystemIterator::FileSystemIterator(const char* path, const char* pattern)
{
    if (path != nullptr)
        m_internals = gFileSystem.CreateIterator(path, pattern);
}

const char* FileSystemIterator::Next()
{
    return m_internals != nullptr ? m_internals->Next() : nullptr;
}

bool FileSystemIterator::IsDirectory() const
{
    return m_internals != nullptr && m_internals->IsDirectory();
}
