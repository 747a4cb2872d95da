#include "renderer/RenderCommandWriter.h"

#include "core/console/GameConsole.h"
#include "core/threads/BaseThread.h"

#include <cstring>

RenderCommandWriter::RenderCommandWriter(BaseThread& thread) : m_thread(thread), m_ring(thread.GetRing())
{
}

void RenderCommandWriter::OpenBlock()
{
    if (m_blockOpen)
        return;
    m_blockOpen = m_thread.BeginCommand(kRenderBlockRecordId, kRenderBlockBytes);
}

bool RenderCommandWriter::IsBlockEmpty() const
{
    return !m_blockOpen || m_ring.GetReservedLeft() == kRenderBlockBytes;
}

bool RenderCommandWriter::WriteCommand(uint32_t opcode, uint32_t payloadBytes)
{
    // An oversized payload would be written past its block (85 bones, a long text): refuse it.
    if (payloadBytes > kMaxRenderPayloadBytes)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Render command %u with %u payload bytes does not fit a %u-byte block",
                       opcode, payloadBytes, kRenderBlockBytes);
        return false;
    }
    if (!m_blockOpen)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Render command %u written while no command block is open", opcode);
        return false;
    }
    CountCommand();
    PadTo4();
    if (m_ring.GetReservedLeft() < payloadBytes + kRenderCommandOverhead)
    {
        CountCommand();
        Put<uint32_t>(RENDER_OP_END_BLOCK);
        m_thread.EndCommand();
        m_blockOpen = false;
        OpenBlock();
        if (!m_blockOpen)
            return false;
    }
    Put<uint32_t>(opcode);
    if (m_trace != nullptr)
        m_trace->push_back(opcode);
    return true;
}

void RenderCommandWriter::CloseBlock(uint32_t endMarker)
{
    if (!m_blockOpen)
        return;
    PadTo4();
    CountCommand();
    Put<uint32_t>(endMarker);
    m_thread.EndCommand();
    m_blockOpen = false;
}

void RenderCommandWriter::Write(const void* data, uint32_t bytes)
{
    m_ring.Write(data, bytes);
}

void RenderCommandWriter::Skip(uint32_t bytes)
{
    m_ring.SkipWrite(bytes);
}

void RenderCommandWriter::WriteBoneArray(const void* matrices, uint32_t count)
{
    Put<uint32_t>(count);
    const uint32_t pad = m_ring.AlignWrite16();
    m_ring.Write(matrices, count * renderpayload::kBoneMatrix);
    m_ring.SkipWrite(16 - pad);
}

// Padding is relative to the cursor's address; the reader pads the same ring memory the same way.
void RenderCommandWriter::PadTo4()
{
    const uint32_t misalign = uint32_t(reinterpret_cast<uintptr_t>(m_ring.GetWriteCursor()) & 3u);
    if (misalign != 0)
        m_ring.SkipWrite(4 - misalign);
}
