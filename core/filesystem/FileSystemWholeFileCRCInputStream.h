// Input stream over a CRC-protected file ("FWSF", u32 payload size, u32 CRC-32, payload): the
// payload is read and checked when the stream opens, then served from memory. Belongs to the
// thread that opened it.
#pragma once

#include "core/filesystem/FileSystemInputStream.h"

#include <cstddef>
#include <vector>

// CRC-checked payload of a small file (configuration records), held in memory.
class FileSystemWholeFileCRCInputStream : public FileSystemInputStream
{
public:
    explicit FileSystemWholeFileCRCInputStream(const char* physicalPath);

    bool IsOpen() const override { return m_open; }
    uint32_t GetSize() override { return static_cast<uint32_t>(m_payload.size()); }
    uint64_t GetLastWriteTime() override { return 0; }
    bool Read(void* destination, uint32_t count) override;
    bool ReadByte(uint8_t& byte) override;
    FILE* DetachFile(bool /*take*/) override { return nullptr; }

    static constexpr uint32_t kHeaderSize = 12;

private:
    bool Accept(const char* name, uint32_t storedCrc);

    std::vector<uint8_t> m_payload;
    size_t m_position = 0;
    bool m_open = false;
};
