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
                                                               const char* entryName)
    : m_record(record), m_entryName(entryName)
{
    m_method = record.compressed ? partMethod : 0;
    if (m_method != 0 && !m_decompressor.Init(m_method))
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Container entry %s uses unknown compression method %u", entryName, m_method);
        return;
    }
    if (m_method == 0 && record.storedSize != record.size)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Stored container entry %s has %u stored bytes for %u", entryName, record.storedSize,
                       record.size);
        return;
    }
    m_readAhead = std::make_unique<ContainerReadAhead>(gPhysicalFileReader, readerGroup, part, dataPath, entryName,
                                                       record.offset, record.storedSize);
    m_open = true;
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

bool FileSystemContainerInputStream::ReadStored(uint8_t* destination, uint32_t count)
{
    uint32_t done = 0;
    while (done < count)
    {
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
    while (!m_decompressor.IsFinished())
    {
        const uint8_t* input = nullptr;
        uint32_t available = 0;
        if (!m_readAhead->GetAvailable(input, available))
            return m_failed = true, false;
        uint8_t extra = 0;
        uint32_t space = 1;
        uint32_t used = available;
        if (!m_decompressor.Decompress(input, used, &extra, space) || space != 0 || (used == 0 && !m_decompressor.IsFinished()))
        {
            gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Corrupt compressed container entry %s", m_entryName.c_str());
            return m_failed = true, false;
        }
        m_readAhead->Consume(used);
    }
    return true;
}
