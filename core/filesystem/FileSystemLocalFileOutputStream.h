// Output stream to a plain disk file, written beside the target and renamed over it on Close.
// Belongs to the thread that opened it.
#pragma once

#include "core/filesystem/FileSystemOutputStream.h"
#include "platform/os/Files.h"

#include <string>

// Writes a disk file through stdio; the previous file stays until Close succeeds.
class FileSystemLocalFileOutputStream : public FileSystemOutputStream
{
public:
    explicit FileSystemLocalFileOutputStream(const char* physicalPath);
    ~FileSystemLocalFileOutputStream() override;

    bool IsOpen() const override { return m_file.GetFile() != nullptr; }
    bool Write(const void* data, uint32_t count) override;
    FILE* GetFile() override { return m_file.GetFile(); }
    bool Close() override;

private:
    os::ReplacingFile m_file;
    std::string m_path;
    bool m_failed = false;
    bool m_closed = false;
    bool m_result = false;
};
