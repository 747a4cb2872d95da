// Abstract output stream handed out by FileSystem. A stream belongs to the thread that opened it.
#pragma once

#include <cstdint>
#include <cstdio>

// Sequential writer of one file. Nothing replaces the target until Close succeeds.
class FileSystemOutputStream
{
public:
    FileSystemOutputStream() = default;
    // Closes the stream if Close was not called; a failure is then only logged.
    virtual ~FileSystemOutputStream() = default;
    FileSystemOutputStream(const FileSystemOutputStream&) = delete;
    FileSystemOutputStream& operator=(const FileSystemOutputStream&) = delete;

    virtual bool IsOpen() const = 0;
    // True when all `count` bytes were taken; a count of 0 succeeds.
    virtual bool Write(const void* data, uint32_t count) = 0;
    // The stdio handle written through, or null when the stream buffers in memory.
    virtual FILE* GetFile() = 0;
    // Finishes the file and puts it in place of the target. False (and the old target kept, the
    // failure logged) when any write or the finishing failed. Later calls return the same result.
    virtual bool Close() = 0;
};
