#include "platform/os/CachedFileReader.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

namespace os
{
CachedFileReader::~CachedFileReader()
{
    if (m_descriptor >= 0)
        close(m_descriptor);
}

bool CachedFileReader::Open(const char* path)
{
    if (m_descriptor >= 0)
        close(m_descriptor);
    m_descriptor = open(path, O_RDONLY | O_CLOEXEC);
    return m_descriptor >= 0;
}

uint32_t CachedFileReader::ReadIfCached(uint64_t offset, void* destination, uint32_t size)
{
    if (m_descriptor < 0 || m_unsupported || size == 0)
        return 0;
    uint32_t done = 0;
    while (done < size)
    {
        iovec part{static_cast<char*>(destination) + done, size - done};
        const ssize_t got = preadv2(m_descriptor, &part, 1, static_cast<off_t>(offset + done), RWF_NOWAIT);
        if (got > 0)
        {
            done += static_cast<uint32_t>(got);
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        // EAGAIN: the rest is not in memory. Anything else: this file system cannot tell.
        if (got < 0 && errno != EAGAIN)
            m_unsupported = true;
        break;
    }
    return done;
}
} // namespace os
