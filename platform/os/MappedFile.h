// A file mapped read-only into memory whole, so that its bytes can be read in place instead of
// being copied out. Opened once; after that any thread may take views.
#pragma once

#include <atomic>
#include <cstdint>

namespace os
{
// The file as it was when opened. Views are lent only while the file is still as it was then (its
// length and last write time): bytes a later cut removes must no longer be touched, and a file
// written since may no longer hold what the caller looked it up for. A page lost to a cut while a
// view is read reads as zeros (MappedPageGuard) rather than ending the process.
class MappedFile
{
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // False, with nothing mapped, when the file cannot be opened or mapped or is empty.
    bool Open(const char* path);
    uint64_t GetSize() const { return m_size; }

    // The `size` bytes at `offset` in place, valid until this object goes. Null when they lie
    // outside the mapping, when the file changed since it was opened, or when some are not in
    // memory (touching those would make the calling thread wait for the disk).
    const uint8_t* View(uint64_t offset, uint64_t size) const;
    // The file has the length and write time it was mapped with and no page was lost to a cut: what
    // was read from a view since it was lent is what the file held.
    bool IsUnchanged() const;

private:
    bool IsResident(uint64_t offset, uint64_t size) const;

    int m_descriptor = -1;
    uint8_t* m_data = nullptr;
    uint64_t m_size = 0;
    int64_t m_writeSeconds = 0;
    int64_t m_writeNanoseconds = 0;
    int m_guardSlot = -1;
    std::atomic<bool> m_lostPages{false};
};
} // namespace os
