#include "platform/os/MappedFile.h"

#include "platform/os/MappedPageGuard.h"

#include <algorithm>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace os
{
namespace
{
// Pages asked about per residency call: a small table on the stack.
constexpr uint64_t kResidencyBatch = 256;
} // namespace

MappedFile::~MappedFile()
{
    MappedPageGuard::Unregister(m_guardSlot);
    if (m_data != nullptr)
        munmap(m_data, m_size);
    if (m_descriptor >= 0)
        close(m_descriptor);
}

bool MappedFile::Open(const char* path)
{
    if (m_descriptor >= 0)
        return false;
    const int descriptor = open(path, O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    struct stat status = {};
    void* data = MAP_FAILED;
    if (fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0)
        data = mmap(nullptr, size_t(status.st_size), PROT_READ, MAP_SHARED, descriptor, 0);
    const int slot = data != MAP_FAILED ? MappedPageGuard::Register(data, size_t(status.st_size), &m_lostPages) : -1;
    if (slot < 0)
    {
        if (data != MAP_FAILED)
            munmap(data, size_t(status.st_size));
        close(descriptor);
        return false;
    }
    m_guardSlot = slot;
    m_descriptor = descriptor;
    m_data = static_cast<uint8_t*>(data);
    m_size = uint64_t(status.st_size);
    m_writeSeconds = status.st_mtim.tv_sec;
    m_writeNanoseconds = status.st_mtim.tv_nsec;
    return true;
}

const uint8_t* MappedFile::View(uint64_t offset, uint64_t size) const
{
    if (m_data == nullptr || offset > m_size || size > m_size - offset)
        return nullptr;
    // A file cut since it was mapped has lost pages, and one written since may be in the middle of
    // being rewritten: the caller gets no view and reads the ordinary way (where a read comes back
    // short, it fails as ever).
    if (!IsUnchanged() || !IsResident(offset, size))
        return nullptr;
    return m_data + offset;
}

bool MappedFile::IsUnchanged() const
{
    struct stat status = {};
    return m_data != nullptr && !m_lostPages.load(std::memory_order_acquire) && fstat(m_descriptor, &status) == 0 &&
           uint64_t(status.st_size) == m_size && status.st_mtim.tv_sec == m_writeSeconds &&
           status.st_mtim.tv_nsec == m_writeNanoseconds;
}

bool MappedFile::IsResident(uint64_t offset, uint64_t size) const
{
    const uint64_t page = uint64_t(sysconf(_SC_PAGESIZE));
    uint64_t at = offset - offset % page;
    const uint64_t end = offset + size;
    while (at < end)
    {
        unsigned char pages[kResidencyBatch];
        const uint64_t count = std::min<uint64_t>(kResidencyBatch, (end - at + page - 1) / page);
        if (mincore(m_data + at, size_t(count * page), pages) != 0)
            return false;
        for (uint64_t i = 0; i < count; ++i)
            if ((pages[i] & 1) == 0)
                return false;
        at += count * page;
    }
    return true;
}
} // namespace os
