// Input stream over one entry of a data container, stored or compressed, fed by a read-ahead on the
// PhysicalFileReader thread. A stored entry's bytes that are already in memory (the page cache) are
// read straight into the caller's buffer instead; the read-ahead takes over from the first bytes
// that are not, and keeps the entry from then on. A stored entry wholly in memory can also be lent
// in place from the container's mapping. Belongs to the thread that opened it.
#pragma once

#include "core/filesystem/ContainerIndex.h"
#include "core/filesystem/ContainerReadAhead.h"
#include "core/filesystem/ContainerStreamDecompressor.h"
#include "core/filesystem/FileSystemInputStream.h"
#include "platform/os/CachedFileReader.h"
#include "platform/os/MappedFile.h"

#include <cstdint>
#include <memory>
#include <string>

// Reads one container entry; compressed entries are inflated as their blocks arrive.
class FileSystemContainerInputStream : public FileSystemInputStream
{
public:
    // partMethod: the part's compression method, used when the record's flag is set. `mapping`, when
    // given, is the part's data file mapped whole.
    FileSystemContainerInputStream(const ContainerIndexRecord& record, uint8_t partMethod, uint32_t readerGroup,
                                   uint32_t part, const char* dataPath, const char* entryName,
                                   std::shared_ptr<const os::MappedFile> mapping);
    ~FileSystemContainerInputStream() override;

    bool IsOpen() const override { return m_open; }
    uint32_t GetSize() override { return m_record.size; }
    uint64_t GetLastWriteTime() override { return 0; }
    bool Read(void* destination, uint32_t count) override;
    bool ReadByte(uint8_t& byte) override;
    FILE* DetachFile(bool) override { return nullptr; }
    const uint8_t* ReadWholeInPlace() override;
    bool KeptLentBytes() const override { return m_mapping == nullptr || m_mapping->IsUnchanged(); }

private:
    bool ReadStored(uint8_t* destination, uint32_t count);
    uint32_t ReadCached(uint8_t* destination, uint32_t count);
    uint32_t ReadCachedProbe(uint8_t* byte);
    bool ReadCompressed(uint8_t* destination, uint32_t count);
    bool CheckCompressedEnd();
    void PreheatNextWhenLastBlockRequested();

    const ContainerIndexRecord m_record;
    const std::string m_entryName;
    uint32_t m_method = 0;
    ContainerStreamDecompressor m_decompressor;
    std::unique_ptr<ContainerReadAhead> m_readAhead;
    const std::string m_dataPath;
    const std::shared_ptr<const os::MappedFile> m_mapping;
    os::CachedFileReader m_cached;
    bool m_cachedOpened = false;
    bool m_cachedUsable = true; // false once the read-ahead took over
    uint32_t m_position = 0; // bytes handed out
    bool m_open = false;
    bool m_preheatTriggered = false;
    bool m_failed = false;
};
