// Abstract input stream handed out by FileSystem. A stream belongs to the thread that opened it.
#pragma once

#include <cstdint>
#include <cstdio>

// Sequential reader over one file, one container entry or one CRC-checked payload.
class FileSystemInputStream
{
public:
    FileSystemInputStream() = default;
    virtual ~FileSystemInputStream() = default;
    FileSystemInputStream(const FileSystemInputStream&) = delete;
    FileSystemInputStream& operator=(const FileSystemInputStream&) = delete;

    virtual bool IsOpen() const = 0;
    // Size in bytes of the whole stream, whatever has been read.
    virtual uint32_t GetSize() = 0;
    // Windows file time (100 ns ticks since 1601-01-01 UTC), 0 when unknown.
    virtual uint64_t GetLastWriteTime() = 0;
    // True only when all `count` bytes were delivered; a null destination skips them.
    virtual bool Read(void* destination, uint32_t count) = 0;
    // False at the end of the stream.
    virtual bool ReadByte(uint8_t& byte) = 0;
    // The underlying stdio handle, or null; with `take` the stream no longer closes it.
    virtual FILE* DetachFile(bool take) = 0;
    // Before anything was read: every byte of the stream in place, as Read(GetSize()) would give
    // them, and the stream is then at its end. The bytes stay valid while the stream is open. Null
    // when the stream cannot lend them; it is then left as it was.
    virtual const uint8_t* ReadWholeInPlace() { return nullptr; }
    // After bytes were lent: false when they may have changed while they were read (their file
    // was cut or written since), so what was read from them cannot be trusted.
    virtual bool KeptLentBytes() const { return true; }

    // Reads one line ending in "\n", "\r\n" or the end of the stream into `buffer` (terminated,
    // without the line end). An empty line is a line; false at the end of the stream with nothing
    // read, or when the line needs more than size - 1 bytes. `consumed`, when given, receives the
    // bytes taken from the stream, line end included.
    bool ReadLine(char* buffer, uint32_t size, uint32_t* consumed = nullptr);
};
