// Input stream over one entry of a data container, stored or compressed, fed by a read-ahead on the
// PhysicalFileReader thread. Belongs to the thread that opened it.
#pragma once

#include "core/filesystem/ContainerIndex.h"
#include "core/filesystem/ContainerReadAhead.h"
#include "core/filesystem/ContainerStreamDecompressor.h"
#include "core/filesystem/FileSystemInputStream.h"

#include <cstdint>
#include <memory>
#include <string>

// Reads one container entry; compressed entries are inflated as their blocks arrive.
class FileSystemContainerInputStream : public FileSystemInputStream
{
public:
    // partMethod: the part's compression method, used when the record's flag is set.
    FileSystemContainerInputStream(const ContainerIndexRecord& record, uint8_t partMethod, uint32_t readerGroup,
                                   uint32_t part, const char* dataPath, const char* entryName);
    ~FileSystemContainerInputStream() override;

    bool IsOpen() const override { return m_open; }
    uint32_t GetSize() override { return m_record.size; }
    uint64_t GetLastWriteTime() override { return 0; }
    bool Read(void* destination, uint32_t count) override;
    bool ReadByte(uint8_t& byte) override;
    FILE* DetachFile(bool) override { return nullptr; }

private:
    bool ReadStored(uint8_t* destination, uint32_t count);
    bool ReadCompressed(uint8_t* destination, uint32_t count);
    bool CheckCompressedEnd();
    void PreheatNextWhenLastBlockRequested();

    const ContainerIndexRecord m_record;
    const std::string m_entryName;
    uint32_t m_method = 0;
    ContainerStreamDecompressor m_decompressor;
    std::unique_ptr<ContainerReadAhead> m_readAhead;
    uint32_t m_position = 0; // bytes handed out
    bool m_open = false;
    bool m_preheatTriggered = false;
    bool m_failed = false;
};
