// Reads of a file's bytes that are already in memory (the page cache), never waiting for the disk.
// Belongs to one thread at a time.
#pragma once

#include <cstdint>

namespace os
{
// A read-only file handle whose reads return only what can be had without blocking on I/O.
class CachedFileReader
{
public:
    CachedFileReader() = default;
    ~CachedFileReader();
    CachedFileReader(const CachedFileReader&) = delete;
    CachedFileReader& operator=(const CachedFileReader&) = delete;

    bool Open(const char* path);
    // Bytes copied to `destination` from `offset`: up to `size`, fewer (0 included) when the rest is
    // not in memory, past the end, or the system cannot read without waiting (then every later
    // call returns 0 at once).
    uint32_t ReadIfCached(uint64_t offset, void* destination, uint32_t size);

private:
    int m_descriptor = -1;
    bool m_unsupported = false;
};
} // namespace os
