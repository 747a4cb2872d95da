// Where the file system's time goes, summed over every thread since the program started:
// decompressing container entries, waiting for the file reader's reads, and reading files. The
// scene switch logs how much each grew while a scene's files were preloaded. Any thread.
#pragma once

#include <cstdint>

enum FileSystemTimeKind : uint32_t
{
    FILESYSTEM_TIME_DECOMPRESSION = 0,
    FILESYSTEM_TIME_READ_WAIT = 1,
    FILESYSTEM_TIME_READ = 2,
    FILESYSTEM_TIME_KIND_COUNT = 3,
};

// Counter ticks (os::QueryCounter) spent on the kind so far.
int64_t GetFileSystemTime(FileSystemTimeKind kind);
void AddFileSystemTime(FileSystemTimeKind kind, int64_t ticks);
// Seconds between two readings of GetFileSystemTime.
double FileSystemTimeSeconds(int64_t fromTicks, int64_t toTicks);

// Adds the time of its scope to a kind.
class FileSystemTimer
{
public:
    explicit FileSystemTimer(FileSystemTimeKind kind);
    ~FileSystemTimer();
    FileSystemTimer(const FileSystemTimer&) = delete;
    FileSystemTimer& operator=(const FileSystemTimer&) = delete;

private:
    FileSystemTimeKind m_kind;
    int64_t m_start;
};
