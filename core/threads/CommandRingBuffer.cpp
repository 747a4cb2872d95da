#include "core/threads/CommandRingBuffer.h"

#include <cstring>
#include <new>

namespace
{
constexpr std::align_val_t kBufferAlignment{64};
constexpr uint32_t kPrefetchBytes = 512;

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

bool CommandRingBuffer::BeginRead()
{
    const uint32_t readOffset = m_readOffset.load(std::memory_order_relaxed);
    if (m_cachedWriteOffset == readOffset)
    {
        m_cachedWriteOffset = m_writeOffset.load(std::memory_order_acquire);
        m_lastLookSpan = FillLevel(m_cachedWriteOffset, readOffset);
        if (m_cachedWriteOffset == readOffset)
            return false;
    }
    m_readRecord = m_buffer + readOffset;
    // Records were written on another core: asking for published lines ahead overlaps their transfers.
    if (m_cachedWriteOffset > readOffset + kPrefetchBytes)
        __builtin_prefetch(m_readRecord + kPrefetchBytes);
    std::memcpy(&m_readSize, m_readRecord + 4, 4);
    m_readCursor = m_readRecord + kHeaderBytes;
    m_readLeft = m_readSize;
    return true;
}

uint32_t CommandRingBuffer::GetReadId() const
{
    uint32_t id = 0;
    if (m_readRecord != nullptr)
        std::memcpy(&id, m_readRecord, 4);
    return id;
}

bool CommandRingBuffer::Read(void* destination, uint32_t bytes)
{
    if (bytes > m_readLeft)
        return false;
    if (bytes != 0)
        std::memcpy(destination, m_readCursor, bytes);
    m_readCursor += bytes;
    m_readLeft -= bytes;
    return true;
}

bool CommandRingBuffer::SkipRead(uint32_t bytes)
{
    if (bytes > m_readLeft)
        return false;
    m_readCursor += bytes;
    m_readLeft -= bytes;
    return true;
}

uint32_t CommandRingBuffer::AlignRead16()
{
    const uint32_t pad = PadTo16(m_readCursor);
    return SkipRead(pad) ? pad : 0;
}

void CommandRingBuffer::EndRead()
{
    if (m_readRecord == nullptr)
        return;
    const uint32_t readOffset = static_cast<uint32_t>(m_readRecord - m_buffer);
    // A record never crosses the end, so its end is at most the capacity: no wrap by division.
    uint32_t next = readOffset + Stride(m_readSize);
    if (next + kHeaderBytes > m_capacity)
        next = 0;
    m_readRecord = nullptr;
    m_readCursor = nullptr;
    m_readSize = 0;
    m_readLeft = 0;
    m_readOffset.store(next, std::memory_order_release);
}
