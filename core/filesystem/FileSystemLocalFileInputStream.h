// Input stream over a plain disk file. Belongs to the thread that opened it.
#pragma once

#include "core/filesystem/FileSystemInputStream.h"

// Reads a disk file through stdio; size and write time are taken once, when first asked.
class FileSystemLocalFileInputStream : public FileSystemInputStream
{
public:
    explicit FileSystemLocalFileInputStream(const char* physicalPath);
    ~FileSystemLocalFileInputStream() override;

    bool IsOpen() const override { return m_file != nullptr; }
    uint32_t GetSize() override;
    uint64_t GetLastWriteTime() override;
    bool Read(void* destination, uint32_t count) override;
    bool ReadByte(uint8_t& byte) override;
    FILE* DetachFile(bool take) override;

private:
    FILE* m_file = nullptr;
    bool m_sizeKnown = false;
    uint32_t m_size = 0;
    uint64_t m_lastWriteTime = 0;
};
