// A renderer that never runs: code under test writes render commands into its stream, and the test
// reads them back command by command, as the render thread would, without executing them. Objects
// whose deletion is posted (opcode 50) are deleted while reading, as the render thread would.
#pragma once

#include "core/threads/CommandRingBuffer.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/NorvexRendererObject.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

class RenderStreamCapture
{
public:
    // Argument bytes of a call command (opcode 47) after its function and sub-command; tests that
    // read calls install the sizes of the functions they expect.
    using CallSizes = std::function<bool(uintptr_t function, uint32_t subCommand, uint32_t& bytes)>;

    RenderStreamCapture() { m_renderer.GetWriter().OpenBlock(); }
    ~RenderStreamCapture() { Drain(); }
    RenderStreamCapture(const RenderStreamCapture&) = delete;
    RenderStreamCapture& operator=(const RenderStreamCapture&) = delete;

    static constexpr uint32_t kNone = 0xFFFFFFFFu;

    NorvexRenderer& Renderer() { return m_renderer; }
    void SetCallSizes(CallSizes sizes) { m_callSizes = std::move(sizes); }

    // Makes everything written so far readable (after what was taken before) and opens a new block.
    void Take()
    {
        RenderCommandWriter& writer = m_renderer.GetWriter();
        writer.CloseBlock(RENDER_OP_END_BLOCK);
        CommandRingBuffer& ring = m_renderer.GetRing();
        while (ring.BeginRead())
        {
            if (ring.GetReadId() == kRenderBlockRecordId)
            {
                Block block;
                block.address = reinterpret_cast<uintptr_t>(ring.GetReadCursor());
                block.bytes.resize(ring.GetReadPayloadSize());
                ring.Read(block.bytes.data(), ring.GetReadPayloadSize());
                m_blocks.push_back(std::move(block));
            }
            ring.EndRead();
        }
        writer.OpenBlock();
    }

    // The opcode of the next command (consumed), kNone when everything taken has been read.
    uint32_t NextOpcode()
    {
        while (m_block < m_blocks.size())
        {
            const Block& block = m_blocks[m_block];
            m_offset += (4 - ((block.address + m_offset) & 3)) & 3;
            if (m_offset + 4 > block.bytes.size())
            {
                ++m_block;
                m_offset = 0;
                continue;
            }
            const uint32_t opcode = Read<uint32_t>();
            if (opcode == RENDER_OP_END_BLOCK || opcode == RENDER_OP_END_SYNC)
            {
                ++m_block;
                m_offset = 0;
                continue;
            }
            m_opcode = opcode;
            return opcode;
        }
        return kNone;
    }

    template <typename T>
    T Read()
    {
        T value{};
        if (m_block >= m_blocks.size() || m_offset + sizeof(T) > m_blocks[m_block].bytes.size())
        {
            ADD_FAILURE() << "render command read past its block";
            return value;
        }
        std::memcpy(&value, m_blocks[m_block].bytes.data() + m_offset, sizeof(T));
        m_offset += sizeof(T);
        return value;
    }
    void Skip(uint32_t bytes) { m_offset += bytes; }

    // Skips the payload of the command whose opcode was just read; deletes posted objects.
    void SkipCommand()
    {
        namespace rp = renderpayload;
        switch (m_opcode)
        {
        case RENDER_OP_INIT_SCENE_CELL_GRID: Skip(rp::kInitSceneCellGrid); return;
        case RENDER_OP_SET_SCENE_CELL_RANGE: Skip(rp::kSetSceneCellRange); return;
        case RENDER_OP_SET_SCENE_COLOR_MODE: Skip(rp::kU32); return;
        case RENDER_OP_ADD_LIGHT: Skip(rp::kPointer); return;
        case RENDER_OP_DELETE_OBJECT: Read<NorvexRendererObject*>()->DestroyOnRenderThread(); return;
        case RENDER_OP_DEBUG_DRAW_BOX: Skip(rp::kDebugDrawBox); return;
        case RENDER_OP_DEBUG_DRAW_SHAPE:
        case RENDER_OP_DEBUG_DRAW_AMBIENT_LIGHT: Skip(rp::kDebugDrawShape); return;
        case RENDER_OP_DEBUG_DRAW_POINT_LIGHT: Skip(rp::kDebugDrawPointLight); return;
        case RENDER_OP_DEBUG_DRAW_SPOT_LIGHT:
        case RENDER_OP_DEBUG_DRAW_TUBE_LIGHT: Skip(rp::kDebugDrawSpotLight); return;
        case RENDER_OP_CALL:
        {
            const uintptr_t function = Read<uintptr_t>();
            const uint32_t sub = Read<uint32_t>();
            uint32_t bytes = 0;
            if (m_callSizes && m_callSizes(function, sub, bytes))
            {
                Skip(bytes);
                return;
            }
            break;
        }
        default: break;
        }
        ADD_FAILURE() << "the capture cannot skip render command " << m_opcode;
        m_block = m_blocks.size();
    }

    // Takes and skips everything written so far.
    void Drain()
    {
        Take();
        while (NextOpcode() != kNone)
            SkipCommand();
    }

    // Skips commands until one of the opcode comes (consumed); false when none does.
    bool SkipTo(uint32_t opcode)
    {
        for (uint32_t next = NextOpcode(); next != kNone; next = NextOpcode())
        {
            if (next == opcode)
                return true;
            SkipCommand();
        }
        return false;
    }

private:
    struct Block
    {
        std::vector<uint8_t> bytes;
        uintptr_t address = 0;
    };

    NorvexRenderer m_renderer;
    std::vector<Block> m_blocks;
    size_t m_block = 0;
    size_t m_offset = 0;
    uint32_t m_opcode = kNone;
    CallSizes m_callSizes;
};
