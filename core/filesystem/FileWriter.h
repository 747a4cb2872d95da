// Serialization front end over a FileSystem output stream: raw and sized little-endian writes
// (byte-swapped on request), a position and a sticky failure state. The file takes the place of
// the previous one only when Close succeeds. Belongs to the thread that opened it.
#pragma once

#include "core/filesystem/FileSystemOutputStream.h"

#include <cstdint>
#include <cstdio>
#include <memory>

// Writes one virtual file; multi-byte values little-endian unless kByteSwapFlag is passed.
class FileWriter
{
public:
    // Serialization flag: write multi-byte values byte-swapped (for the other byte order).
    static constexpr uint32_t kByteSwapFlag = 2;

    FileWriter() = default;
    // Opens at once (see Open); a null name leaves the writer unopened.
    FileWriter(const char* name, const char* extension, const char* base, uint32_t option);
    // Closes when Close was not called; a failure is then only logged.
    virtual ~FileWriter();
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    // Closes any open stream first; `option` holds the FileSystem open flags. True when open.
    bool Open(const char* name, const char* extension, const char* base, uint32_t option);
    // Finishes the file. False when it was never open, any write failed or finishing failed; then
    // the previous file is kept.
    bool Close();
    bool IsOpen() const { return m_stream != nullptr; }

    // A count of 0 succeeds when open. A failure sets the failure state.
    bool Write(const void* source, uint32_t count);
    bool WriteU8(uint8_t value);
    bool WriteU16(uint16_t value, uint32_t flags = 0);
    bool WriteU32(uint32_t value, uint32_t flags = 0);
    bool WriteU64(uint64_t value, uint32_t flags = 0);
    bool WriteF32(float value, uint32_t flags = 0);

    // Bytes written since the stream was opened.
    uint32_t GetPosition() const { return m_position; }
    bool HasFailed() const { return m_failed; }

    // The stream's stdio file (null for the CRC form, which buffers in memory).
    virtual FILE* GetFile();

private:
    std::unique_ptr<FileSystemOutputStream> m_stream;
    uint32_t m_position = 0;
    bool m_failed = false;
};
