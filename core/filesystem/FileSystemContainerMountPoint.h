// Packed data containers mounted into the virtual file system.
//
// A container is one to four parts: the main data file ("name.dat") and optional extra parts
// ("name_001.dat" ... "name_003.dat"), each beside an index file with "idx" in place of "dat". An
// index maps the MurmurHash2 of an entry's lower-cased path to its place in the part's data file;
// paths themselves are not stored. Lookups search the parts from the last added to the first, so a
// later part overrides an entry of an earlier one. Entry bytes are read by the PhysicalFileReader
// thread into each stream's read-ahead blocks and inflated (gzip or LZX) on the stream's thread.
//
// Built and extended while mounting, under the FileSystem lock; lookups run under that lock too.
#pragma once

#include "core/filesystem/ContainerIndex.h"
#include "core/filesystem/FileSystemMountPoint.h"
#include "platform/os/MappedFile.h"

#include <cstdint>
#include <memory>
#include <string>

// A mount point whose files are the entries of a packed data container.
class FileSystemContainerMountPoint : public FileSystemMountPoint
{
public:
    static constexpr uint32_t kMaxParts = 4;
    static constexpr uint32_t kNoReaderGroup = 11;

    FileSystemContainerMountPoint(const char* name, const char* dataFilePath, uint32_t readerGroup,
                                  uint32_t hashMultiplier, uint32_t extraParts);

    bool FileExists(const char* rest) override;
    bool DirectoryExists(const char*) override { return false; }
    std::unique_ptr<FileSystemInputStream> OpenInputStream(const char* rest, uint32_t flags) override;
    std::unique_ptr<FileSystemOutputStream> OpenOutputStream(const char*, uint32_t) override { return nullptr; }
    std::unique_ptr<FileSystemIteratorInternals> CreateIterator(const char*, const char*) override { return nullptr; }
    bool AddExtraFiles(const char* name, const char* dataFilePath, uint32_t readerGroup, uint32_t hashMultiplier,
                       uint32_t extraParts) override;

    uint32_t GetPartCount() const { return m_partCount; }
    const ContainerIndex& GetIndex(uint32_t part) const { return m_parts[part].index; }

private:
    struct Part
    {
        uint32_t readerGroup = kNoReaderGroup;
        ContainerIndex index;
        std::string dataPath;
        std::string indexPath;
        uint64_t dataSize = 0;
        // The data file mapped whole for the mount's life (null when it could not be), so that
        // whole stored entries in memory can be read in place; streams keep it while they are open.
        std::shared_ptr<const os::MappedFile> mapping;
    };

    bool OpenParts(const char* dataFilePath, uint32_t readerGroup, uint32_t hashMultiplier, uint32_t extraParts);
    // The last part whose index holds the entry, or -1.
    int FindPart(const char* rest, ContainerIndexRecord& record) const;

    Part m_parts[kMaxParts];
    uint32_t m_partCount = 0;
};
