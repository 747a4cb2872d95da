#include "core/filesystem/StreamingFileReader.h"

#include "core/console/GameConsole.h"
#include "core/filesystem/StreamingFileReaderList.h"
#include "core/threads/BaseThread.h"
#include "platform/os/Clock.h"

#include <algorithm>
#include <cstring>

namespace
{
// Only which list is installed is shared; the list itself belongs to its filling thread.
std::atomic<StreamingFileReaderList*> gFillingReaders{nullptr};
constexpr uint32_t kWaitStepMs = 5;
} // namespace

void StreamingFileReader::SetFillingThread(StreamingFileReaderList* readers)
{
    gFillingReaders.store(readers);
}

BaseThread* StreamingFileReader::GetFillingThread()
{
    StreamingFileReaderList* readers = gFillingReaders.load();
    return readers != nullptr ? &readers->GetThread() : nullptr;
}

StreamingFileReader::StreamingFileReader(uint32_t bufferSize, const char* path, const char* extension, const char* base,
                                         bool loop)
    : m_path(path ? path : ""), m_extension(extension ? extension : ""), m_base(base ? base : ""),
      m_capacity(bufferSize + kReserveBytes), m_threshold(bufferSize / 4), m_loop(loop)
{
    Post(&StreamingFileReader::OpenCall);
}

StreamingFileReader::~StreamingFileReader() = default;

void StreamingFileReader::Post(void (*call)(BaseThread&, uintptr_t, CommandRingBuffer&))
{
    StreamingFileReaderList* readers = gFillingReaders.load();
    if (readers == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "StreamingFileReader used without a filling thread: %s", m_path.c_str());
        if (call == &StreamingFileReader::OpenCall)
            m_state.store(STATE_CLOSED);
        else if (call == &StreamingFileReader::DestroyCall)
            delete this;
        return;
    }
    readers->GetThread().PostCall(call, reinterpret_cast<uintptr_t>(this));
}

void StreamingFileReader::OpenCall(BaseThread&, uintptr_t argument, CommandRingBuffer&)
{
    reinterpret_cast<StreamingFileReader*>(argument)->Open();
}

void StreamingFileReader::FillCall(BaseThread&, uintptr_t argument, CommandRingBuffer&)
{
    StreamingFileReader* reader = reinterpret_cast<StreamingFileReader*>(argument);
    if (reader->IsOpen())
        reader->Fill(0);
    reader->m_fillsDone.fetch_add(1);
}

void StreamingFileReader::DestroyCall(BaseThread&, uintptr_t argument, CommandRingBuffer&)
{
    StreamingFileReader* reader = reinterpret_cast<StreamingFileReader*>(argument);
    if (StreamingFileReaderList* readers = gFillingReaders.load())
        readers->Unlink(reader);
    reader->m_file.Close();
    delete reader;
}

void StreamingFileReader::Open()
{
    if (StreamingFileReaderList* readers = gFillingReaders.load())
        readers->Link(this);
    const char* extension = m_extension.empty() ? nullptr : m_extension.c_str();
    const char* base = m_base.empty() ? nullptr : m_base.c_str();
    if (!m_file.Open(m_path.c_str(), extension, base, 0))
    {
        m_state.store(STATE_CLOSED);
        return;
    }
    const uint32_t size = m_file.GetSize();
    if (size == 0)
    {
        m_state.store(STATE_CLOSED);
        return;
    }
    m_fileSize.store(size);
    m_consumerLeft.store(size);
    m_passLeft = size;
    m_ring.reset(new uint8_t[m_capacity]);
    const uint32_t first = std::min(size, m_capacity - kReserveBytes);
    if (!ReadIntoRing(0, first))
    {
        m_state.store(STATE_CLOSED);
        return;
    }
    m_writePosition.store(first % m_capacity);
    m_passLeft -= first;
    m_state.store(STATE_OPEN);
}

bool StreamingFileReader::ReadIntoRing(uint32_t position, uint32_t count)
{
    const uint32_t head = std::min(count, m_capacity - position);
    if (!m_file.Read(m_ring.get() + position, head) || (count > head && !m_file.Read(m_ring.get(), count - head)))
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "StreamingFileReader could not read %s", m_path.c_str());
        return false;
    }
    return true;
}

void StreamingFileReader::Fill(uint32_t minimum)
{
    const uint32_t read = m_readPosition.load();
    uint32_t write = m_writePosition.load();
    const uint32_t free = write < read ? read - write : m_capacity - write + read;
    if (free <= kReserveBytes)
        return;
    uint32_t toFill = free - kReserveBytes;
    while (!m_endOfData.load() && toFill > minimum)
    {
        if (m_passLeft == 0)
        {
            // The next pass of a looping file starts from a fresh open.
            if (m_loop && m_file.Open(m_path.c_str(), m_extension.empty() ? nullptr : m_extension.c_str(),
                                      m_base.empty() ? nullptr : m_base.c_str(), 0))
                m_passLeft = m_file.GetSize();
            if (m_passLeft == 0)
                m_endOfData.store(true);
            continue;
        }
        const uint32_t chunk = std::min(toFill, m_passLeft);
        if (!ReadIntoRing(write, chunk))
        {
            // A file cut short under us: the consumer stops instead of waiting for bytes that never come.
            m_endOfData.store(true);
            m_state.store(STATE_CLOSED);
            return;
        }
        write = (write + chunk) % m_capacity;
        m_writePosition.store(write);
        m_passLeft -= chunk;
        toFill -= chunk;
    }
}

uint32_t StreamingFileReader::Available() const
{
    const uint32_t write = m_writePosition.load();
    const uint32_t read = m_readPosition.load();
    return write >= read ? write - read : m_capacity - read + write;
}

bool StreamingFileReader::WaitWhileOpening(const char* warning)
{
    for (uint32_t turn = 0; m_state.load() == STATE_OPENING; ++turn)
    {
        if (turn % 256 < 128)
            gConsole.Warning(CONSOLE_CHANNEL_ENGINE, warning, m_path.c_str());
        os::Sleep(kWaitStepMs);
    }
    if (m_state.load() != STATE_OPEN)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Incorrect use of StreamingFileReader - trying to read from a closed file");
        return false;
    }
    return true;
}

void StreamingFileReader::WaitUntilOpen()
{
    if (WaitWhileOpening("Incorrect use of StreamingFileReader is causing a delay!!!") && m_consumerLeft.load() == 0)
        m_consumerLeft.store(m_fileSize.load());
}

uint32_t StreamingFileReader::Read(void* destination, uint32_t count)
{
    if (!WaitWhileOpening("Incorrect use of StreamingFileReader in file %s is causing a delay!!!"))
        return 0;
    count = std::min(count, m_consumerLeft.load());
    uint8_t* target = static_cast<uint8_t*>(destination);
    uint32_t copied = 0;
    while (copied < count)
    {
        const bool endOfData = m_endOfData.load();
        uint32_t available = Available();
        if (available == 0 && m_fillsPosted.load() != m_fillsDone.load())
        {
            const uint32_t write = m_writePosition.load();
            for (uint32_t turn = 0; m_fillsPosted.load() != m_fillsDone.load() && m_writePosition.load() == write; ++turn)
            {
                if (turn % 256 < 128)
                    gConsole.Warning(CONSOLE_CHANNEL_ENGINE,
                                     "Incorrect use of StreamingFileReader in file %s is causing delay while waiting for the next data package",
                                     m_path.c_str());
                os::Sleep(kWaitStepMs);
            }
            available = Available();
        }
        if (available == 0)
        {
            // The flag is read before the position: a set flag means every byte is in the ring.
            const bool ended = m_endOfData.load() || m_state.load() != STATE_OPEN;
            available = Available();
            if (available == 0 && ended)
                break;
        }
        const uint32_t read = m_readPosition.load();
        const uint32_t take = std::min({available, count - copied, m_capacity - read});
        if (target != nullptr)
            std::memcpy(target + copied, m_ring.get() + read, take);
        m_readPosition.store((read + take) % m_capacity);
        copied += take;
        const uint32_t free = m_capacity - Available();
        if (free >= m_threshold && m_fillsPosted.load() == m_fillsDone.load() && !endOfData)
        {
            m_fillsPosted.fetch_add(1);
            Post(&StreamingFileReader::FillCall);
        }
    }
    m_consumerLeft.fetch_sub(copied);
    return copied;
}

void StreamingFileReader::PostDestroy()
{
    Post(&StreamingFileReader::DestroyCall);
}
