#include "core/filesystem/FileSystemTimes.h"

#include "platform/os/Clock.h"

#include <atomic>

namespace
{
std::atomic<int64_t> gFileSystemTimes[FILESYSTEM_TIME_KIND_COUNT] = {};
} // namespace

int64_t GetFileSystemTime(FileSystemTimeKind kind)
{
    return kind < FILESYSTEM_TIME_KIND_COUNT ? gFileSystemTimes[kind].load(std::memory_order_relaxed) : 0;
}

void AddFileSystemTime(FileSystemTimeKind kind, int64_t ticks)
{
    if (kind < FILESYSTEM_TIME_KIND_COUNT && ticks > 0)
        gFileSystemTimes[kind].fetch_add(ticks, std::memory_order_relaxed);
}

double FileSystemTimeSeconds(int64_t fromTicks, int64_t toTicks)
{
    return double(toTicks - fromTicks) / double(os::QueryCounterFrequency());
}

FileSystemTimer::FileSystemTimer(FileSystemTimeKind kind) : m_kind(kind), m_start(os::QueryCounter()) {}

FileSystemTimer::~FileSystemTimer()
{
    AddFileSystemTime(m_kind, os::QueryCounter() - m_start);
}
