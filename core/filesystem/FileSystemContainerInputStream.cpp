#include "core/filesystem/FileSystemContainerInputStream.h"

#include "core/console/GameConsole.h"
#include "core/filesystem/FileSystem.h"
#include "core/filesystem/PhysicalFileReader.h"

#include <algorithm>
#include <cstring>

namespace
{
constexpr uint32_t kSkipBufferSize = 1024;
} // namespace

FileSystemContainerInputStream::FileSystemContainerInputStream(const ContainerIndexRecord& record, uint8_t partMethod,
                                                               uint32_t readerGroup, uint32_t part, const char* dataPath,
                                                               const char* entryName,
                                                               std::shared_ptr<const os::MappedFile> mapping)
    : m_record(record), m_entryName(entryName), m_dataPath(dataPath != nullptr ? dataPath : ""),
      m_mapping(std::move(mapping))
{
    m_method = record.compressed ? partMethod : 0;
    if (m_method != 0 && !m_decompressor.Init(m_method))
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Container entry %s uses unknown compression method %u", entryName, m_method);
        return;
    }
    if (m_method == 0 && record.storedSize != record.size)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Stored container entry %s has %u stored bytes for %u (%s)", entryName,
                       record.storedSize, record.size, m_dataPath.c_str());
        return;
    }
    // A size no data can give would have the reader reserve gigabytes before the first byte arrives.
    if (record.size > ContainerStreamDecompressor::GetMaxOutputSize(m_method, record.storedSize))
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE,
                       "Container entry %s records %u bytes, more than its %u stored bytes can give (%s)", entryName,
                       record.size, record.storedSize, m_dataPath.c_str());
        return;
    }
    m_readAhead = std::make_unique<ContainerReadAhead>(gPhysicalFileReader, readerGroup, part, dataPath, entryName,
                                                       record.offset, record.storedSize);
    m_open = true;
    // Bytes that must come from the disk are asked for at once, as before, so that an early open
    // (a preheated stream) still overlaps the read with other work.
    uint8_t first = 0;
    if (m_method != 0 || (record.storedSize != 0 && ReadCachedProbe(&first) == 0))
        m_readAhead->Start();
}

FileSystemContainerInputStream::~FileSystemContainerInputStream() = default;

bool FileSystemContainerInputStream::Read(void* destination, uint32_t count)
{
    if (!m_open || m_failed || count == 0)
        return false;
    // Never hand out more than the entry holds, whatever the stored bytes would still produce.
    const uint32_t left = m_record.size - m_position;
    const uint32_t wanted = std::min(count, left);
    uint8_t* target = static_cast<uint8_t*>(destination);
    const bool ok = wanted > 0 && (m_method == 0 ? ReadStored(target, wanted) : ReadCompressed(target, wanted));
    if (!ok)
        return false;
    if (m_method == 1 && m_position == m_record.size && !CheckCompressedEnd())
        return false;
    return wanted == count;
}

// The whole stored entry from the mapping, when no byte of it was taken yet and all of it is in
// memory: what a cached read would copy out, without the copy.
const uint8_t* FileSystemContainerInputStream::ReadWholeInPlace()
{
    if (!m_open || m_failed || m_method != 0 || m_position != 0 || m_record.size == 0 || m_mapping == nullptr ||
        !m_readAhead->IsIdle())
        return nullptr;
    const uint8_t* bytes = m_mapping->View(m_record.offset, m_record.size);
    if (bytes == nullptr)
        return nullptr;
    m_readAhead->SkipIdle(m_record.size);
    m_position = m_record.size;
    PreheatNextWhenLastBlockRequested();
    return bytes;
}

bool FileSystemContainerInputStream::ReadByte(uint8_t& byte)
{
    if (m_position >= m_record.size)
        return false;
    return Read(&byte, 1);
}

void FileSystemContainerInputStream::PreheatNextWhenLastBlockRequested()
{
    if (m_preheatTriggered || !m_readAhead->HasRequestedAll())
        return;
    m_preheatTriggered = true;
    gFileSystem.OpenPreheatedStream();
}

// Bytes of the entry at the current position that need no wait for the disk, straight into the
// caller's buffer. Once a read finds bytes not in memory, the read-ahead keeps the entry.
uint32_t FileSystemContainerInputStream::ReadCached(uint8_t* destination, uint32_t count)
{
    if (!m_cachedUsable || destination == nullptr || !m_readAhead->IsIdle())
        return 0;
    if (!m_cachedOpened)
    {
        m_cachedOpened = true;
        m_cachedUsable = m_cached.Open(m_dataPath.c_str());
    }
    const uint32_t got = m_cachedUsable ? m_cached.ReadIfCached(uint64_t(m_record.offset) + m_position, destination, count) : 0;
    if (got < count)
        m_cachedUsable = false;
    m_readAhead->SkipIdle(got);
    return got;
}

// Whether the entry's first byte is in memory, without moving the position.
uint32_t FileSystemContainerInputStream::ReadCachedProbe(uint8_t* byte)
{
    m_cachedOpened = true;
    m_cachedUsable = m_cached.Open(m_dataPath.c_str());
    const uint32_t got = m_cachedUsable ? m_cached.ReadIfCached(m_record.offset, byte, 1) : 0;
    if (got == 0)
        m_cachedUsable = false;
    return got;
}

bool FileSystemContainerInputStream::ReadStored(uint8_t* destination, uint32_t count)
{
    uint32_t done = 0;
    while (done < count)
    {
        const uint32_t cached = ReadCached(destination != nullptr ? destination + done : nullptr, count - done);
        if (cached != 0)
        {
            done += cached;
            m_position += cached;
            PreheatNextWhenLastBlockRequested();
            continue;
        }
        const uint8_t* pointer = nullptr;
        uint32_t available = 0;
        if (!m_readAhead->GetAvailable(pointer, available))
            return m_failed = true, false;
        PreheatNextWhenLastBlockRequested();
        const uint32_t take = std::min(available, count - done);
        if (take == 0)
            return false;
        if (destination != nullptr)
            std::memcpy(destination + done, pointer, take);
        m_readAhead->Consume(take);
        done += take;
        m_position += take;
    }
    return true;
}

bool FileSystemContainerInputStream::ReadCompressed(uint8_t* destination, uint32_t count)
{
    uint8_t skip[kSkipBufferSize];
    uint32_t produced = 0;
    while (produced < count)
    {
        const uint8_t* input = nullptr;
        uint32_t available = 0;
        if (!m_readAhead->GetAvailable(input, available))
            return m_failed = true, false;
        PreheatNextWhenLastBlockRequested();

        uint32_t usedTotal = 0;
        uint32_t producedRound = 0;
        do
        {
            uint8_t* target = destination != nullptr ? destination + produced : skip;
            uint32_t space = count - produced;
            if (destination == nullptr)
                space = std::min(space, kSkipBufferSize);
            uint32_t used = available - usedTotal;
            if (!m_decompressor.Decompress(input + usedTotal, used, target, space))
            {
                gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Corrupt compressed container entry %s", m_entryName.c_str());
                return m_failed = true, false;
            }
            usedTotal += used;
            producedRound += space;
            produced += space;
            m_position += space;
            if (used == 0 && space == 0)
                break;
        } while (destination == nullptr && usedTotal < available && produced < count);
        m_readAhead->Consume(usedTotal);
        if (usedTotal == 0 && producedRound == 0)
            return false;
    }
    return true;
}

bool FileSystemContainerInputStream::CheckCompressedEnd()
{
    // The gzip trailer holds the CRC of the whole entry: a damaged entry must not read as good.
    while (!m_decompressor.HasGzipEnded())
    {
        const uint8_t* input = nullptr;
        uint32_t available = 0;
        if (!m_readAhead->GetAvailable(input, available))
            return m_failed = true, false;
        uint8_t extra = 0;
        uint32_t space = 1;
        uint32_t used = available;
        if (!m_decompressor.Decompress(input, used, &extra, space) || space != 0 || (used == 0 && !m_decompressor.HasGzipEnded()))
        {
            gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Corrupt compressed container entry %s", m_entryName.c_str());
            return m_failed = true, false;
        }
        m_readAhead->Consume(used);
    }
    return true;
}
