// The virtual file system: one object (gFileSystem) through which every file is read and written.
//
// A virtual path's first component names a mount point: a directory on disk or a packed data
// container. Paths beginning with "//", with a drive letter and ':' or with a single '/' are disk
// paths and bypass the mounts. Callers pass a path in three parts (relative path, extension
// without its dot, base directory) that BuildPath joins into at most 260 bytes, '\' becoming '/'.
// Inside directory mounts names are matched exactly first, then case-insensitively per component.
//
// Mount points are kept sorted by name (ASCII case-insensitive) and only change during start-up
// and shutdown. Any thread may call any operation: each holds one re-entrant lock from start to
// end, including the opening of streams and container index lookups. Streams are not shared: each
// belongs to the thread that opened it. A loader may announce the next file it will open
// (PreheatInputStream); a container stream that has requested its last block opens it ahead
// (OpenPreheatedStream), so container reads overlap.
#pragma once

#include "core/filesystem/FileSystemInputStream.h"
#include "core/filesystem/FileSystemMountPoint.h"
#include "core/filesystem/FileSystemOutputStream.h"
#include "platform/os/Sync.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Open flag: the whole-file CRC form ("FWSF" header) of a stream.
constexpr uint32_t kFileSystemOpenCrc = 1;
// Bytes of every path buffer, terminator included.
constexpr size_t kMaxPath = 260;

// Directory listing handle; empty when the path could not be listed.
class FileSystemIterator
{
public:
    // `path` is a virtual or disk directory; `pattern` may hold '*' and '?' (ASCII case-insensitive).
    FileSystemIterator(const char* path, const char* pattern);

    bool IsValid() const { return m_internals != nullptr; }
    // Next name ("." and ".." included), or null when exhausted or empty.
    const char* Next();
    // Whether the name returned last is a directory.
    bool IsDirectory() const;

private:
    std::unique_ptr<FileSystemIteratorInternals> m_internals;
};

// The program's one virtual file system.
class FileSystem
{
public:
    FileSystem() = default;
    ~FileSystem();
    FileSystem(const FileSystem&) = delete;
    FileSystem& operator=(const FileSystem&) = delete;

    bool MountDirectory(const char* name, const char* physicalPath);
    bool MountContainer(const char* name, const char* dataFilePath, uint32_t readerGroup, uint32_t hashMultiplier,
                        uint32_t extraParts);
    // Destroys the preheated stream and every mount point.
    void UnmountAll();
    // The mount point whose name equals `name` case-insensitively, or null.
    FileSystemMountPoint* FindMountPoint(const char* name);

    std::unique_ptr<FileSystemInputStream> OpenInputStream(const char* path, const char* extension, const char* base,
                                                           uint32_t flags);
    std::unique_ptr<FileSystemOutputStream> OpenOutputStream(const char* path, const char* extension,
                                                             const char* base, uint32_t flags);
    bool ResolvePhysicalPath(const char* path, const char* extension, const char* base, char* out, size_t outSize);
    bool Delete(const char* path, const char* extension, const char* base, bool recursive);
    bool FileExists(const char* path, const char* extension, const char* base);
    bool DirectoryExists(const char* path, const char* extension, const char* base);
    // Creates every missing level; true only when at least one directory was created.
    bool CreateDirectory(const char* path, const char* base);

    // Records the one stream to open ahead (replacing an earlier request).
    void PreheatInputStream(const char* path, const char* extension, const char* base, uint32_t flags);
    // Opens the recorded request, if any, and holds the stream until it is asked for.
    void OpenPreheatedStream();

    // Deletes a disk file, or with `recursive` a directory tree; symbolic links are removed,
    // never followed. True when everything was deleted.
    static bool DeletePhysical(const char* physicalPath, bool recursive);

private:
    friend class FileSystemIterator;

    // Which mount point a joined path goes to; null mount with `absolute` for disk paths, judged on
    // the caller's path and base as given.
    struct Route
    {
        bool absolute = false;
        FileSystemMountPoint* mount = nullptr;
        const char* rest = nullptr;
    };
    Route RoutePath(const char* path, const char* base, const char* joined);
    std::unique_ptr<FileSystemIteratorInternals> CreateIterator(const char* path, const char* pattern);
    size_t UpperBound(const char* name) const;
    void InsertMountPoint(std::unique_ptr<FileSystemMountPoint> mount);

    os::CriticalSection m_lock;
    std::vector<std::unique_ptr<FileSystemMountPoint>> m_mounts;
    std::string m_preheatRequest;
    uint32_t m_preheatFlags = 0;
    std::unique_ptr<FileSystemInputStream> m_preheated;
    std::string m_preheatedPath;
};

extern FileSystem gFileSystem;

// Builds a container mount point (defined beside the container classes); check IsValid.
std::unique_ptr<FileSystemMountPoint> CreateContainerMountPoint(const char* name, const char* dataFilePath,
                                                                uint32_t readerGroup, uint32_t hashMultiplier,
                                                                uint32_t extraParts);
