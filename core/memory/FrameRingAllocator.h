// Per-frame scratch memory. One thread only (the main thread for the global instance).
#pragma once

#include <cstdint>

// Ring of 16-byte-aligned scratch memory; each allocation carries the generation it was made in,
// and memory of an older generation may have been reused.
class FrameRingAllocator
{
public:
    FrameRingAllocator() = default;
    FrameRingAllocator(const FrameRingAllocator&) = delete;
    FrameRingAllocator& operator=(const FrameRingAllocator&) = delete;
    ~FrameRingAllocator() { Release(); }

    // Allocates the buffer (size in bytes) on the first call only; every call restarts at
    // offset 0, generation 0.
    void Init(uint32_t size);
    // `bytes` raised to a multiple of 16; wraps to the start (and a new generation) when the rest
    // of the buffer is too short. False when the request is larger than the whole buffer.
    bool Allocate(uint32_t bytes, void*& pointer, uint32_t& generation);
    // Called once per frame: everything handed out so far may be reused.
    void NextGeneration();
    void Release();

    uint32_t GetGeneration() const { return m_generation; }
    uint32_t GetSize() const { return m_size; }

private:
    uint8_t* m_buffer = nullptr;
    uint32_t m_size = 0;
    uint32_t m_offset = 0;
    uint32_t m_generation = 0;
};

// The engine's frame ring, created at start-up and advanced once per frame.
extern FrameRingAllocator gFrameRingAllocator;
