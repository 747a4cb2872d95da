// Mount point over a disk directory. Called only by FileSystem, under its lock.
#pragma once

#include "core/filesystem/FileSystemMountPoint.h"
#include "platform/os/DirectoryFind.h"

#include <string>

// Names below the root are matched exactly first, then ASCII case-insensitively per component.
class FileSystemDirectoryMountPoint : public FileSystemMountPoint
{
public:
    // Valid when `physicalRoot` is an existing directory ('\' is turned into '/').
    FileSystemDirectoryMountPoint(const char* name, const char* physicalRoot);

    bool FileExists(const char* rest) override;
    bool DirectoryExists(const char* rest) override;
    std::unique_ptr<FileSystemInputStream> OpenInputStream(const char* rest, uint32_t flags) override;
    std::unique_ptr<FileSystemOutputStream> OpenOutputStream(const char* rest, uint32_t flags) override;
    std::unique_ptr<FileSystemIteratorInternals> CreateIterator(const char* rest, const char* pattern) override;
    bool GetPhysicalPath(const char* rest, char* out, size_t outSize) override;

private:
    std::string m_root;
};

// Lists one disk directory through a pattern.
class FileSystemDirectoryIteratorInternals : public FileSystemIteratorInternals
{
public:
    FileSystemDirectoryIteratorInternals(const char* directory, const char* pattern);

    bool IsValid() const override { return m_valid; }
    const char* Next() override;
    bool IsDirectory() const override { return m_isDirectory; }

private:
    os::DirectoryFind m_find;
    char m_name[260] = {};
    bool m_valid = false;
    bool m_isDirectory = false;
};
