// The game-side writer of the render command stream. Game thread only: exactly one thread writes.
#pragma once

#include "renderer/RenderCommands.h"

#include <atomic>
#include <cstdint>
#include <vector>

class BaseThread;
class CommandRingBuffer;

// Writes commands into the open block of a thread's ring, closes blocks with end markers and hands
// them over; counts every opcode and end marker written.
class RenderCommandWriter
{
public:
    explicit RenderCommandWriter(BaseThread& thread);
    RenderCommandWriter(const RenderCommandWriter&) = delete;
    RenderCommandWriter& operator=(const RenderCommandWriter&) = delete;

    // Reserves a new block (waits while the ring is full). The writer must hold none.
    void OpenBlock();
    bool HasOpenBlock() const { return m_blockOpen; }
    bool IsBlockEmpty() const;

    // Begins a command; the caller then writes exactly payloadBytes. A payload that can never fit a
    // block, or a call without an open block, is refused with a logged error (false, nothing written).
    bool WriteCommand(uint32_t opcode, uint32_t payloadBytes);
    // Ends the open block with the marker (RENDER_OP_END_BLOCK or RENDER_OP_END_SYNC) and commits it;
    // no block is open afterwards.
    void CloseBlock(uint32_t endMarker);

    // Payload writing at the cursor.
    void Write(const void* data, uint32_t bytes);
    template <typename T>
    void Put(const T& value)
    {
        Write(&value, sizeof(T));
    }
    void Skip(uint32_t bytes);
    // Writes a bone array of count 48-byte matrices (see renderpayload::BoneArray).
    void WriteBoneArray(const void* matrices, uint32_t count);

    // With a trace set, every opcode written (end markers aside) is appended to it; tests and the
    // frame benchmark read back what a frame wrote. Null turns it off.
    void SetOpcodeTrace(std::vector<uint32_t>* trace) { m_trace = trace; }

    // Read by renderer-job posters on any thread.
    uint32_t GetCommandsWritten() const { return m_commandsWritten.load(std::memory_order_acquire); }

private:
    void PadTo4();
    void CountCommand() { m_commandsWritten.fetch_add(1, std::memory_order_acq_rel); }

    BaseThread& m_thread;
    CommandRingBuffer& m_ring;
    bool m_blockOpen = false;
    std::vector<uint32_t>* m_trace = nullptr;
    std::atomic<uint32_t> m_commandsWritten{0};
};
