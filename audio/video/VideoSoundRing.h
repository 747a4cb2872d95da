// The sound ring of a video: decoded PCM blocks from the render thread wait here until the video's
// voice takes them in chunks. Sound thread only.
//
// Bytes handed to the voice stay in the ring until the voice has played them, so the free space
// excludes them as well as the unplayed fill. A block larger than the free space is split: what
// fits goes in now, the rest waits in order and moves in as the voice frees space. Nothing is
// overwritten and nothing is dropped. Chunks and the ring's wrap point fall on whole sample
// frames: a voice reads each chunk as whole frames, so a chunk that split a frame would shift every
// channel of what follows.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>

// A byte ring with a queue of waiting blocks and a record of the chunks the voice still holds.
class VideoSoundRing
{
public:
    static constexpr uint32_t kDefaultBytes = 1048576;
    static constexpr uint32_t kChunkBytes = 16384;

    explicit VideoSoundRing(uint32_t bytes = kDefaultBytes);

    // Empties the ring and sizes it and its chunks in whole frames of `frameBytes` (1 to
    // kChunkBytes; 1, byte granularity, until set).
    void SetFrameBytes(uint32_t frameBytes);

    // Takes the block; appends what fits and keeps the rest waiting.
    void Append(std::unique_ptr<uint8_t[]> block, uint32_t bytes);
    // The next chunk for the voice: at most kChunkBytes (in whole frames), not past the ring's end;
    // false when empty.
    bool PeekChunk(const uint8_t** data, uint32_t* bytes) const;
    // The chunk from PeekChunk went to the voice: the read position moves on, the bytes stay held.
    void Consume(uint32_t bytes);
    // The voice holds `queuedChunks` chunks now; the older ones are free again.
    void Retire(uint32_t queuedChunks);
    // Empty, nothing held or waiting; read position 0, previous positions -1.
    void Reset();

    uint32_t GetSize() const { return m_size; }
    uint32_t GetFill() const { return m_fill; }
    uint32_t GetHeldBytes() const { return m_held; }
    uint32_t GetWaitingBytes() const { return m_waiting; }
    uint32_t GetFreeBytes() const { return m_size - m_fill - m_held; }
    uint32_t GetReadPosition() const { return m_read; }
    int64_t GetPreviousReadPosition(uint32_t index) const { return m_previousRead[index & 1]; }

private:
    struct Waiting
    {
        std::unique_ptr<uint8_t[]> block;
        uint32_t bytes;
        uint32_t offset;
    };

    void MoveWaiting();
    void Write(const uint8_t* data, uint32_t bytes);

    const uint32_t m_capacity;
    // The capacity and kChunkBytes in whole frames.
    uint32_t m_size;
    uint32_t m_chunkBytes = kChunkBytes;
    std::unique_ptr<uint8_t[]> m_bytes;
    uint32_t m_read = 0;
    uint32_t m_fill = 0;
    uint32_t m_held = 0;
    int64_t m_previousRead[2] = {-1, -1};
    std::deque<uint32_t> m_heldChunks;
    std::deque<Waiting> m_waitingBlocks;
    uint32_t m_waiting = 0;
};
