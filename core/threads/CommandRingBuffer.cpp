#include "core/threads/CommandRingBuffer.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace
{
constexpr std::align_val_t kBufferAlignment{CommandRingBuffer::kLineBytes};

uint32_t PadTo16(const uint8_t* cursor)
{
    return static_cast<uint32_t>((16u - (reinterpret_cast<uintptr_t>(cursor) & 15u)) & 15u);
}
} // namespace

CommandRingBuffer::CommandRingBuffer(uint32_t capacity, uint32_t wrapMarkerId)
    : m_buffer(static_cast<uint8_t*>(::operator new(capacity & ~3u, kBufferAlignment))),
      m_capacity(capacity & ~3u), m_wrapMarkerId(wrapMarkerId)
{
}

CommandRingBuffer::~CommandRingBuffer()
{
    ::operator delete(m_buffer, kBufferAlignment);
}

uint32_t CommandRingBuffer::GetFillLevel() const
{
    return FillLevel(m_writeOffset.load(std::memory_order_acquire), m_readOffset.load(std::memory_order_acquire));
}

bool CommandRingBuffer::IsEmpty() const
{
    return m_writeOffset.load(std::memory_order_seq_cst) == m_readOffset.load(std::memory_order_seq_cst);
}

bool CommandRingBuffer::HasSpace(uint32_t payloadBytes) const
{
    return HasFillRoom(m_writeOffset.load(std::memory_order_acquire), m_readOffset.load(std::memory_order_acquire),
                       payloadBytes);
}

void CommandRingBuffer::StoreHeader(uint32_t offset, uint32_t id, uint32_t payloadBytes)
{
    std::memcpy(m_buffer + offset, &id, 4);
    std::memcpy(m_buffer + offset + 4, &payloadBytes, 4);
}

// The two refusals of BeginWrite, without its side effects: the ring too full now, or, when the
// record must wrap, the reader still within the first needed + 512 bytes.
bool CommandRingBuffer::HasRoom(uint32_t writeOffset, uint32_t readOffset, uint32_t payloadBytes) const
{
    if (!HasFillRoom(writeOffset, readOffset, payloadBytes))
        return false;
    return FitsBeforeEnd(writeOffset, payloadBytes) ||
           int64_t(payloadBytes) + kHeaderBytes + kReserveBytes < int64_t(readOffset);
}

bool CommandRingBuffer::BeginWriteSlow(uint32_t id, uint32_t payloadBytes)
{
    uint32_t writeOffset = m_writeOffset.load(std::memory_order_relaxed);
    // A stale read offset only ever understates the room, so it is refreshed only when it refuses.
    if (!HasRoom(writeOffset, m_cachedReadOffset, payloadBytes))
        m_cachedReadOffset = m_readOffset.load(std::memory_order_acquire);
    const uint32_t readOffset = m_cachedReadOffset;
    if (!HasFillRoom(writeOffset, readOffset, payloadBytes))
        return false;
    if (!FitsBeforeEnd(writeOffset, payloadBytes))
    {
        // The space check above guarantees the reader is not in the tail, so the marker is free to write.
        if (m_capacity - writeOffset >= kHeaderBytes)
            StoreHeader(writeOffset, m_wrapMarkerId, m_capacity - writeOffset - kHeaderBytes);
        writeOffset = 0;
        m_writeOffset.store(0, std::memory_order_release);
        if (int64_t(payloadBytes) + kHeaderBytes + kReserveBytes >= int64_t(readOffset))
            return false;
    }
    StartRecord(writeOffset, id, payloadBytes);
    return true;
}

bool CommandRingBuffer::SkipWrite(uint32_t bytes)
{
    if (bytes > m_reserved)
        return false;
    m_writeCursor += bytes;
    m_written += bytes;
    m_reserved -= bytes;
    return true;
}

uint32_t CommandRingBuffer::AlignWrite16()
{
    const uint32_t pad = PadTo16(m_writeCursor);
    return SkipWrite(pad) ? pad : 0;
}

bool CommandRingBuffer::LookForNewRecords(uint32_t readOffset)
{
    m_cachedWriteOffset = m_writeOffset.load(std::memory_order_acquire);
    m_lastLookSpan = FillLevel(m_cachedWriteOffset, readOffset);
    // The lines past the first one (which the header read takes at once), up to the end of the run
    // or of the buffer.
    const uint32_t end =
        m_cachedWriteOffset > readOffset ? std::min(m_cachedWriteOffset, readOffset + kLookPrefetchBytes) : readOffset;
    for (uint32_t line = (readOffset & ~(kLineBytes - 1)) + kLineBytes; line < end; line += kLineBytes)
        __builtin_prefetch(m_buffer + line);
    return m_cachedWriteOffset != readOffset;
}

uint32_t CommandRingBuffer::AlignRead16()
{
    const uint32_t pad = PadTo16(m_readCursor);
    return SkipRead(pad) ? pad : 0;
}
