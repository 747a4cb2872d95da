// Output stream to a CRC-protected file ("FWSF", u32 payload size, u32 CRC-32, payload). The
// payload is collected in memory and the file written on Close, beside the target, then renamed
// over it. Belongs to the thread that opened it.
#pragma once

#include "core/filesystem/FileSystemOutputStream.h"
#include "platform/os/Files.h"

#include <string>
#include <vector>

// Collects a payload and writes it with its size and CRC-32 in one piece on Close.
class FileSystemWholeFileCRCOutputStream : public FileSystemOutputStream
{
public:
    explicit FileSystemWholeFileCRCOutputStream(const char* physicalPath);
    ~FileSystemWholeFileCRCOutputStream() override;

    bool IsOpen() const override { return m_file.GetFile() != nullptr; }
    bool Write(const void* data, uint32_t count) override;
    FILE* GetFile() override { return nullptr; }
    bool Close() override;

private:
    bool WriteFile();

    os::ReplacingFile m_file;
    std::string m_path;
    std::vector<uint8_t> m_bytes;
    bool m_failed = false;
    bool m_closed = false;
    bool m_result = false;
};
