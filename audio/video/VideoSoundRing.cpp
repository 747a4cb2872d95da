#include "audio/video/VideoSoundRing.h"

#include <algorithm>
#include <cstring>

VideoSoundRing::VideoSoundRing(uint32_t bytes) : m_capacity(bytes), m_size(bytes), m_bytes(new uint8_t[bytes])
{
}

void VideoSoundRing::SetFrameBytes(uint32_t frameBytes)
{
    frameBytes = std::clamp<uint32_t>(frameBytes, 1, kChunkBytes);
    Reset();
    m_size = m_capacity - m_capacity % frameBytes;
    m_chunkBytes = kChunkBytes - kChunkBytes % frameBytes;
}

void VideoSoundRing::Append(std::unique_ptr<uint8_t[]> block, uint32_t bytes)
{
    if (block == nullptr || bytes == 0)
        return;
    m_waitingBlocks.push_back({std::move(block), bytes, 0});
    m_waiting += bytes;
    MoveWaiting();
}

void VideoSoundRing::MoveWaiting()
{
    while (!m_waitingBlocks.empty() && GetFreeBytes() != 0)
    {
        Waiting& front = m_waitingBlocks.front();
        const uint32_t count = std::min(front.bytes - front.offset, GetFreeBytes());
        Write(front.block.get() + front.offset, count);
        front.offset += count;
        m_waiting -= count;
        if (front.offset == front.bytes)
            m_waitingBlocks.pop_front();
    }
}

void VideoSoundRing::Write(const uint8_t* data, uint32_t bytes)
{
    // The held chunks lie just before the read position: writing goes on after the fill.
    const uint32_t position = uint32_t((uint64_t(m_read) + m_fill) % m_size);
    const uint32_t first = std::min(bytes, m_size - position);
    std::memcpy(m_bytes.get() + position, data, first);
    std::memcpy(m_bytes.get(), data + first, bytes - first);
    m_fill += bytes;
}

bool VideoSoundRing::PeekChunk(const uint8_t** data, uint32_t* bytes) const
{
    if (m_fill == 0)
        return false;
    *data = m_bytes.get() + m_read;
    *bytes = std::min({m_fill, m_chunkBytes, m_size - m_read});
    return true;
}

void VideoSoundRing::Consume(uint32_t bytes)
{
    bytes = std::min(bytes, m_fill);
    m_previousRead[1] = m_previousRead[0];
    m_previousRead[0] = m_read;
    m_read = (m_read + bytes) % m_size;
    m_fill -= bytes;
    m_held += bytes;
    m_heldChunks.push_back(bytes);
}

void VideoSoundRing::Retire(uint32_t queuedChunks)
{
    while (m_heldChunks.size() > queuedChunks)
    {
        m_held -= m_heldChunks.front();
        m_heldChunks.pop_front();
    }
    MoveWaiting();
}

void VideoSoundRing::Reset()
{
    m_read = 0;
    m_fill = 0;
    m_held = 0;
    m_previousRead[0] = m_previousRead[1] = -1;
    m_heldChunks.clear();
    m_waitingBlocks.clear();
    m_waiting = 0;
}
