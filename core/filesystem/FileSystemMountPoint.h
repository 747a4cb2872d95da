// Abstract mount point: one named root of the virtual file system (a disk directory or a packed
// data container). Called only by FileSystem, under its lock.
#pragma once

#include "core/filesystem/FileSystemInputStream.h"
#include "core/filesystem/FileSystemOutputStream.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// What a directory listing walks: one source of names, owned by a FileSystemIterator.
class FileSystemIteratorInternals
{
public:
    virtual ~FileSystemIteratorInternals() = default;
    virtual bool IsValid() const = 0;
    // The next name (valid until the next call), or null when the listing is exhausted.
    virtual const char* Next() = 0;
    // Whether the name returned last is a directory.
    virtual bool IsDirectory() const = 0;
};

// A named root of the virtual file system. `rest` arguments are the path after the mount name,
// beginning with its '/'.
class FileSystemMountPoint
{
public:
    explicit FileSystemMountPoint(const char* name) : m_name(name != nullptr ? name : "") {}
    virtual ~FileSystemMountPoint() = default;
    FileSystemMountPoint(const FileSystemMountPoint&) = delete;
    FileSystemMountPoint& operator=(const FileSystemMountPoint&) = delete;

    virtual bool FileExists(const char* rest) = 0;
    virtual bool DirectoryExists(const char* rest) = 0;
    // `flags` bit 0 asks for the CRC-protected file form.
    virtual std::unique_ptr<FileSystemInputStream> OpenInputStream(const char* rest, uint32_t flags) = 0;
    virtual std::unique_ptr<FileSystemOutputStream> OpenOutputStream(const char* rest, uint32_t flags) = 0;
    virtual std::unique_ptr<FileSystemIteratorInternals> CreateIterator(const char* rest, const char* pattern) = 0;
    // Writes the disk path of `rest` into out (at most outSize bytes with the terminator).
    virtual bool GetPhysicalPath(const char* /*rest*/, char* /*out*/, size_t /*outSize*/) { return false; }
    // Adds further data files to an already mounted container.
    virtual bool AddExtraFiles(const char* /*name*/, const char* /*dataFilePath*/, uint32_t /*readerGroup*/,
                               uint32_t /*hashMultiplier*/, uint32_t /*extraParts*/)
    {
        return false;
    }

    const char* GetName() const { return m_name.c_str(); }
    bool IsValid() const { return m_valid; }

protected:
    bool m_valid = false;

private:
    const std::string m_name;
};
