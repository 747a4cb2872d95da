#include "core/filesystem/ContainerReadAhead.h"

#include "core/console/GameConsole.h"
#include "core/filesystem/PhysicalFileReader.h"

#include <algorithm>

ContainerReadAhead::ContainerReadAhead(PhysicalFileReader& reader, uint32_t group, uint32_t part, const char* dataPath,
                                       const char* entryName, uint32_t offset, uint32_t storedSize)
    : m_reader(reader), m_group(group), m_part(part), m_dataPath(dataPath), m_entryName(entryName), m_offset(offset),
      m_storedSize(storedSize)
{
}

void ContainerReadAhead::SkipIdle(uint32_t count)
{
    if (!IsIdle())
        return;
    count = std::min(count, m_storedSize - m_requested);
    m_requested += count;
    m_consumed += count;
}

ContainerReadAhead::~ContainerReadAhead()
{
    bool inFlight = false;
    for (const Slot& slot : m_slots)
        inFlight |= slot.pending && !m_reader.IsComplete(slot.ticket);
    if (!inFlight)
        return;
    m_reader.Flush();
    gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "Incorrect usage of container file reader is causing delay. File: %s",
                     m_entryName.c_str());
    for (const Slot& slot : m_slots)
    {
        if (!slot.pending || m_reader.IsComplete(slot.ticket))
            continue;
        // Flush returns only after everything posted before it: a read still open means it did not.
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Container reader flush returned before the reads of %s",
                       m_entryName.c_str());
        m_reader.WaitFor(slot.ticket);
    }
}

void ContainerReadAhead::RequestBlocks()
{
    // Made at the first request: an entry read whole from the cache never needs them.
    if (m_buffers == nullptr && m_requested < m_storedSize)
        m_buffers.reset(new uint8_t[size_t(kSlotCount) * kBlockSize]);
    while (m_issued - m_taken < kSlotCount && m_requested < m_storedSize)
    {
        const uint32_t index = m_issued % kSlotCount;
        Slot& slot = m_slots[index];
        const uint32_t size = std::min(m_storedSize - m_requested, kBlockSize);
        slot.requestedSize = size;
        slot.bytesRead = 0;
        slot.pending = true;
        slot.ticket = m_reader.PostRead(m_group, m_part, m_dataPath.c_str(), uint64_t(m_offset) + m_requested,
                                        Buffer(index), size, &slot.bytesRead);
        m_requested += size;
        ++m_issued;
    }
}

bool ContainerReadAhead::GetAvailable(const uint8_t*& pointer, uint32_t& count)
{
    pointer = nullptr;
    count = 0;
    if (m_failed)
        return false;
    RequestBlocks();
    while (m_slots[m_taken % kSlotCount].available == 0 && m_taken < m_issued)
    {
        Slot& slot = m_slots[m_taken % kSlotCount];
        if (!slot.pending)
        {
            ++m_taken;
            RequestBlocks();
            continue;
        }
        m_reader.WaitFor(slot.ticket);
        slot.pending = false;
        // A short read means a failed open, a truncated data file or a disk error: never hand out
        // the stale bytes of the buffer.
        if (slot.bytesRead != slot.requestedSize)
        {
            gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Container read failed: %s (%u of %u bytes at offset %u of %s)",
                           m_entryName.c_str(), slot.bytesRead, slot.requestedSize, m_offset + m_consumed,
                           m_dataPath.c_str());
            m_failed = true;
            return false;
        }
        slot.available = slot.requestedSize;
        slot.consumedOffset = 0;
        slot.requestedSize = 0;
    }
    Slot& current = m_slots[m_taken % kSlotCount];
    // Before the first request there are no buffers, and nothing is available.
    static const uint8_t kNothing[1] = {};
    pointer = m_buffers != nullptr ? Buffer(m_taken % kSlotCount) + current.consumedOffset : kNothing;
    count = current.available;
    RequestBlocks();
    return true;
}

void ContainerReadAhead::Consume(uint32_t count)
{
    Slot& current = m_slots[m_taken % kSlotCount];
    count = std::min(count, current.available);
    m_consumed += count;
    current.consumedOffset += count;
    current.available -= count;
}
