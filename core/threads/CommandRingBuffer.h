// Byte ring of command records for one worker thread. Producers (one at a time: the owning
// BaseThread serialises them) reserve, write and commit records; only the owning thread reads.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

// Single-producer, single-consumer ring of records {u32 id, u32 payload bytes, payload}.
//
// Records start at multiples of 4; a record's stride is (payload + 11) & ~3. When a record does not
// fit before the end, the producer fills the tail with a wrap-marker record (when 8 or more bytes
// remain) and starts again at 0; with fewer than 8 bytes both sides wrap without a marker.
// 512 bytes always stay free between the write and read positions. Offsets are published with
// release stores and read with acquire loads, so a record is complete before it becomes visible
// and is never overwritten before it has been released. Each published offset sits on its own
// cache line, and each side keeps the last value it saw of the other's, reloading it only when
// that value says the ring is full (producer) or empty (consumer).
class CommandRingBuffer
{
public:
    static constexpr uint32_t kHeaderBytes = 8;
    static constexpr uint32_t kReserveBytes = 512;
    static constexpr uint32_t kPrefetchBytes = 512;
    // A look that finds new records asks for the lines of up to this many of their bytes in one go:
    // they were written on the producer's core, and a run of requests issued together keeps many
    // of those transfers in flight, where the walk from record to record, each step waiting on a
    // header for the next record's place, keeps only a few.
    static constexpr uint32_t kLookPrefetchBytes = 4096;
    // The buffer starts on a line, so offsets map to lines by their low bits.
    static constexpr uint32_t kLineBytes = 64;

    // capacity is rounded down to a multiple of 4.
    CommandRingBuffer(uint32_t capacity, uint32_t wrapMarkerId);
    ~CommandRingBuffer();
    CommandRingBuffer(const CommandRingBuffer&) = delete;
    CommandRingBuffer& operator=(const CommandRingBuffer&) = delete;

    static constexpr uint32_t Stride(uint32_t payloadBytes) { return (payloadBytes + 11u) & ~3u; }

    uint32_t GetCapacity() const { return m_capacity; }
    // A payload of this many bytes or more can never be reserved.
    uint32_t GetMaxPayload() const { return m_capacity > kReserveBytes ? m_capacity - kReserveBytes : 0; }
    uint32_t GetFillLevel() const;
    // Sequentially consistent loads; a worker about to sleep orders this look after its announcement.
    bool IsEmpty() const;
    // Whether the fill level is below capacity - payloadBytes - 512.
    bool HasSpace(uint32_t payloadBytes) const;

    // Producer side. BeginWrite reserves a record for payloadBytes (false: no room now); the write
    // operations fill it and EndWrite commits the bytes actually written. The common case (the
    // record fits before the end and the last read offset seen leaves room) is inline: posting is
    // the hottest path of every worker.
    bool BeginWrite(uint32_t id, uint32_t payloadBytes)
    {
        const uint32_t writeOffset = m_writeOffset.load(std::memory_order_relaxed);
        if (!FitsBeforeEnd(writeOffset, payloadBytes) || !HasFillRoom(writeOffset, m_cachedReadOffset, payloadBytes))
            return BeginWriteSlow(id, payloadBytes);
        StartRecord(writeOffset, id, payloadBytes);
        return true;
    }
    // Each refuses (false) to go past the reserved bytes.
    bool Write(const void* source, uint32_t bytes)
    {
        if (bytes > m_reserved)
            return false;
        if (bytes != 0)
            std::memcpy(m_writeCursor, source, bytes);
        m_writeCursor += bytes;
        m_written += bytes;
        m_reserved -= bytes;
        return true;
    }
    bool SkipWrite(uint32_t bytes);
    // Pads the cursor to the next 16-byte address and returns the pad; the reservation must allow
    // for up to 15 pad bytes (nothing moves when it does not).
    uint32_t AlignWrite16();
    uint8_t* GetWriteCursor() const { return m_writeCursor; }
    uint32_t GetReservedLeft() const { return m_reserved; }
    // Publishes the record; seq_cst orders the publication before the caller's next load (a sleep
    // handshake), release leaves that to the caller.
    void EndWrite(std::memory_order order = std::memory_order_release)
    {
        if (m_writeRecord == nullptr)
            return;
        std::memcpy(m_writeRecord + 4, &m_written, 4);
        const uint32_t recordOffset = static_cast<uint32_t>(m_writeRecord - m_buffer);
        const uint32_t recordEnd = recordOffset + Stride(m_written);
        const uint32_t next = recordEnd + kHeaderBytes > m_capacity ? 0 : recordEnd;
        m_writeRecord = nullptr;
        m_writeCursor = nullptr;
        m_written = 0;
        m_reserved = 0;
        m_writeOffset.store(next, order);
        DemoteFinishedLines(recordOffset, recordEnd);
    }

    // Consumer side (owning thread only). Reading a record is the hottest path of every worker
    // after posting: the calls a command makes are inline, only a look at the write offset that
    // finds the ring empty by the last value seen goes out of line.
    bool BeginRead()
    {
        const uint32_t readOffset = m_readOffset.load(std::memory_order_relaxed);
        if (m_cachedWriteOffset == readOffset && !LookForNewRecords(readOffset))
            return false;
        StartRead(readOffset);
        return true;
    }
    uint32_t GetReadId() const
    {
        uint32_t id = 0;
        if (m_readRecord != nullptr)
            std::memcpy(&id, m_readRecord, 4);
        return id;
    }
    uint32_t GetReadPayloadSize() const { return m_readSize; }
    // The current record, header included.
    const uint8_t* GetReadRecord() const { return m_readRecord; }
    // Each refuses (false) to go past the record's payload.
    bool Read(void* destination, uint32_t bytes)
    {
        if (bytes > m_readLeft)
            return false;
        if (bytes != 0)
            std::memcpy(destination, m_readCursor, bytes);
        m_readCursor += bytes;
        m_readLeft -= bytes;
        return true;
    }
    bool SkipRead(uint32_t bytes)
    {
        if (bytes > m_readLeft)
            return false;
        m_readCursor += bytes;
        m_readLeft -= bytes;
        return true;
    }
    uint32_t AlignRead16();
    const uint8_t* GetReadCursor() const { return m_readCursor; }
    uint32_t GetReadLeft() const { return m_readLeft; }
    void EndRead()
    {
        if (m_readRecord == nullptr)
            return;
        const uint32_t next = m_readNext;
        m_readRecord = nullptr;
        m_readCursor = nullptr;
        m_readSize = 0;
        m_readLeft = 0;
        m_readOffset.store(next, std::memory_order_release);
    }
    // Whether a record published by the last look at the write offset is still unread, and how many
    // bytes that look found: a worker reading each record as soon as it lands shares its lines with
    // the producer still writing them.
    bool HasSeenUnreadRecord() const { return m_cachedWriteOffset != m_readOffset.load(std::memory_order_relaxed); }
    uint32_t GetLastLookSpan() const { return m_lastLookSpan; }

private:
    uint32_t FillLevel(uint32_t writeOffset, uint32_t readOffset) const
    {
        return writeOffset >= readOffset ? writeOffset - readOffset : writeOffset + m_capacity - readOffset;
    }
    bool FitsBeforeEnd(uint32_t writeOffset, uint32_t payloadBytes) const
    {
        return int64_t(m_capacity - writeOffset) >= int64_t(payloadBytes) + kHeaderBytes;
    }
    bool HasFillRoom(uint32_t writeOffset, uint32_t readOffset, uint32_t payloadBytes) const
    {
        return int64_t(FillLevel(writeOffset, readOffset)) < int64_t(m_capacity) - int64_t(payloadBytes) - kReserveBytes;
    }
    bool HasRoom(uint32_t writeOffset, uint32_t readOffset, uint32_t payloadBytes) const;
    bool BeginWriteSlow(uint32_t id, uint32_t payloadBytes);
    void StartRecord(uint32_t offset, uint32_t id, uint32_t payloadBytes)
    {
        m_writeRecord = m_buffer + offset;
        std::memcpy(m_writeRecord, &id, 4);
        m_writeCursor = m_writeRecord + kHeaderBytes;
        m_written = 0;
        m_reserved = payloadBytes;
    }
    void StoreHeader(uint32_t offset, uint32_t id, uint32_t payloadBytes);
    // The lines that end within a committed record hold nothing more this side will write before the
    // ring comes round again, and they are the worker's next reads: moving them from this core's
    // caches to the shared one lets the worker take them from there instead of from this core, one
    // slow transfer at a time. A hint only; processors without it run the instruction as a no-op.
    void DemoteFinishedLines(uint32_t recordOffset, uint32_t recordEnd) const
    {
#if defined(__x86_64__) || defined(__i386__)
        for (uint32_t line = recordOffset & ~(kLineBytes - 1); line + kLineBytes <= recordEnd; line += kLineBytes)
            asm volatile("cldemote %0" ::"m"(m_buffer[line]));
#else
        (void)recordOffset;
        (void)recordEnd;
#endif
    }
    // Reloads the write offset; false when the ring is still empty.
    bool LookForNewRecords(uint32_t readOffset);
    void StartRead(uint32_t readOffset)
    {
        m_readRecord = m_buffer + readOffset;
        // Records were written on another core: asking for published lines ahead overlaps their
        // transfers.
        if (m_cachedWriteOffset > readOffset + kPrefetchBytes)
            __builtin_prefetch(m_readRecord + kPrefetchBytes);
        std::memcpy(&m_readSize, m_readRecord + 4, 4);
        m_readCursor = m_readRecord + kHeaderBytes;
        m_readLeft = m_readSize;
        // A record never crosses the end, so its end is at most the capacity: no wrap by division.
        uint32_t next = readOffset + Stride(m_readSize);
        if (next + kHeaderBytes > m_capacity)
            next = 0;
        m_readNext = next;
    }

    // Shared and never changed after construction.
    uint8_t* const m_buffer;
    const uint32_t m_capacity;
    const uint32_t m_wrapMarkerId;

    // Each published offset has a line to itself, apart from its side's working fields: the other
    // side polls the offset, and a line shared with fields written on every post (or read) would be
    // taken from the writer at each poll.
    // Producer side.
    alignas(64) std::atomic<uint32_t> m_writeOffset{0};
    alignas(64) uint32_t m_cachedReadOffset = 0;
    uint8_t* m_writeRecord = nullptr;
    uint8_t* m_writeCursor = nullptr;
    uint32_t m_written = 0;
    uint32_t m_reserved = 0;

    // Consumer side.
    alignas(64) std::atomic<uint32_t> m_readOffset{0};
    alignas(64) uint32_t m_cachedWriteOffset = 0;
    const uint8_t* m_readRecord = nullptr;
    const uint8_t* m_readCursor = nullptr;
    uint32_t m_readSize = 0;
    uint32_t m_readLeft = 0;
    uint32_t m_lastLookSpan = 0;
    // Where the record after the current one starts, worked out while its header is at hand: EndRead
    // publishes it without reloading the fields the handler read through, so the next record's
    // start waits on fewer steps.
    uint32_t m_readNext = 0;
};
