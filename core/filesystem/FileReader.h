// Serialization front end over a FileSystem input stream: raw and sized little-endian reads with
// a position and a sticky failure state. Belongs to the thread that opened it.
#pragma once

#include "core/filesystem/FileSystemInputStream.h"

#include <cstdint>
#include <cstdio>
#include <memory>

// Reads one virtual file (or container entry); values are little-endian in the file.
class FileReader
{
public:
    FileReader() = default;
    // Opens at once (see Open); a null name leaves the reader unopened.
    FileReader(const char* name, const char* extension, const char* base, uint32_t option);
    virtual ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // Releases any stream first; `option` holds the FileSystem open flags. True when open.
    bool Open(const char* name, const char* extension, const char* base, uint32_t option);
    void Close();
    bool IsOpen() const { return m_stream != nullptr; }

    // True only when all bytes were delivered (a null destination skips them; 0 bytes of an open
    // stream always succeed); a failure sets the failure state, which stays until the next Open.
    bool Read(void* destination, uint32_t count);
    bool Skip(uint32_t count) { return Read(nullptr, count); }
    // Before anything was read: the whole file in place instead of a copy (see
    // FileSystemInputStream::ReadWholeInPlace), valid while the reader stays open; the position is
    // then the end. Null when the stream cannot lend it: nothing changed, Read works as ever.
    const uint8_t* ReadWholeInPlace();
    // After ReadWholeInPlace: false when the file changed while its lent bytes were read.
    bool KeptLentBytes() const { return m_stream == nullptr || m_stream->KeptLentBytes(); }
    bool ReadU8(uint8_t& value);
    bool ReadU16(uint16_t& value);
    bool ReadU32(uint32_t& value);
    bool ReadU64(uint64_t& value);
    bool ReadF32(float& value);
    // The stream's line reader; false without a stream.
    bool ReadLine(char* buffer, uint32_t size);

    uint32_t GetSize();
    // Bytes taken from the stream since it was opened.
    uint32_t GetPosition() const { return m_position; }
    // Bytes left after the position: what a count or size read from the file may claim at most.
    uint32_t GetRemaining();
    uint64_t GetLastWriteTime();
    bool HasFailed() const { return m_failed; }

    // Hands over the stream's stdio file (null for memory and container streams).
    virtual FILE* DetachFile(bool take);
    FileSystemInputStream* GetStream() const { return m_stream.get(); }

private:
    std::unique_ptr<FileSystemInputStream> m_stream;
    uint32_t m_position = 0;
    bool m_failed = false;
};
