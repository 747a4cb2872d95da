// Read-ahead of one container entry: keeps up to three 32 KB blocks of the entry's stored bytes in
// flight on the PhysicalFileReader thread, from the first time its bytes are asked for. Belongs to
// the thread that reads the entry; the block buffers are written only by the reader thread between
// a post and the completion of its ticket.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class PhysicalFileReader;

// Block-wise view of an entry's stored bytes as they arrive from the reader thread.
class ContainerReadAhead
{
public:
    static constexpr uint32_t kBlockSize = 32768;
    static constexpr uint32_t kSlotCount = 3;

    // Requests nothing yet (see Start): a stream whose bytes are in memory may never need the
    // reader thread.
    ContainerReadAhead(PhysicalFileReader& reader, uint32_t group, uint32_t part, const char* dataPath,
                       const char* entryName, uint32_t offset, uint32_t storedSize);
    // Waits for reads still in flight (the buffers belong to them until they complete).
    ~ContainerReadAhead();
    ContainerReadAhead(const ContainerReadAhead&) = delete;
    ContainerReadAhead& operator=(const ContainerReadAhead&) = delete;

    // Requests the first blocks now rather than at the first read (the first read does it anyway).
    void Start() { RequestBlocks(); }
    // The stored bytes ready next (count 0 once all were consumed). False when a block read failed.
    bool GetAvailable(const uint8_t*& pointer, uint32_t& count);
    void Consume(uint32_t count);
    // True once every block of the entry has been requested.
    bool HasRequestedAll() const { return m_requested >= m_storedSize; }
    // Nothing requested is left unconsumed: the position may move without the reader thread.
    bool IsIdle() const { return m_consumed == m_requested; }
    // While idle: the next `count` bytes were had another way.
    void SkipIdle(uint32_t count);

private:
    struct Slot
    {
        uint32_t available = 0;
        uint32_t consumedOffset = 0;
        uint32_t requestedSize = 0;
        uint32_t ticket = 0;
        uint32_t bytesRead = 0; // written by the reader thread before the ticket completes
        bool pending = false;
    };

    void RequestBlocks();
    uint8_t* Buffer(uint32_t slot) { return m_buffers.get() + size_t(slot) * kBlockSize; }

    PhysicalFileReader& m_reader;
    const uint32_t m_group;
    const uint32_t m_part;
    const std::string m_dataPath;
    const std::string m_entryName;
    const uint32_t m_offset;
    const uint32_t m_storedSize;
    uint32_t m_requested = 0;
    uint32_t m_consumed = 0;
    uint32_t m_issued = 0;
    uint32_t m_taken = 0;
    bool m_failed = false;
    Slot m_slots[kSlotCount];
    std::unique_ptr<uint8_t[]> m_buffers;
};
