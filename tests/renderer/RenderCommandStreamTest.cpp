// The render command stream as written: blocks, end markers, counters, refusals and bone arrays,
// read back from the ring without a render thread.
#include "core/threads/BaseThread.h"
#include "renderer/RenderCommandWriter.h"
#include "support/ConsoleCapture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace
{
// A ring owner that never runs: the test reads the committed blocks itself.
class IdleThread : public BaseThread
{
public:
    IdleThread() : BaseThread("StreamTest", kRendererRingBytes, false, 0, 0) {}
};

struct Block
{
    std::vector<uint8_t> bytes;
    uintptr_t address; // where the payload sat in the ring (padding is relative to it)
};

std::vector<Block> ReadBlocks(IdleThread& thread)
{
    std::vector<Block> blocks;
    CommandRingBuffer& ring = thread.GetRing();
    while (ring.BeginRead())
    {
        if (ring.GetReadId() == kRenderBlockRecordId)
        {
            Block block;
            block.address = reinterpret_cast<uintptr_t>(ring.GetReadCursor());
            block.bytes.resize(ring.GetReadPayloadSize());
            ring.Read(block.bytes.data(), ring.GetReadPayloadSize());
            blocks.push_back(std::move(block));
        }
        ring.EndRead();
    }
    return blocks;
}

uint32_t WordAt(const Block& block, size_t offset)
{
    uint32_t value = 0;
    std::memcpy(&value, block.bytes.data() + offset, 4);
    return value;
}

size_t AlignUp4(const Block& block, size_t offset)
{
    return offset + ((4 - ((block.address + offset) & 3)) & 3);
}
} // namespace

TEST(RenderCommandStreamTest, FullBlockEndsWithMarkerZeroAndTheCommandMovesOn)
{
    IdleThread thread;
    RenderCommandWriter writer(thread);
    writer.OpenBlock();
    const std::vector<uint8_t> payload(1000, 0xAB);
    // Three 1000-byte commands fill 3012 bytes; a fourth needs 1008 of the 1084 left, a fifth does not fit.
    for (int i = 0; i < 4; ++i)
    {
        ASSERT_TRUE(writer.WriteCommand(47, 1000));
        writer.Write(payload.data(), 1000);
    }
    EXPECT_EQ(writer.GetCommandsWritten(), 4u);
    ASSERT_TRUE(writer.WriteCommand(19, 1000));
    writer.Write(payload.data(), 1000);
    EXPECT_EQ(writer.GetCommandsWritten(), 6u) << "the split adds the end-of-block marker to the count";
    writer.CloseBlock(RENDER_OP_END_SYNC);
    EXPECT_EQ(writer.GetCommandsWritten(), 7u);
    EXPECT_FALSE(writer.HasOpenBlock());

    const std::vector<Block> blocks = ReadBlocks(thread);
    ASSERT_EQ(blocks.size(), 2u);
    ASSERT_EQ(blocks[0].bytes.size(), 4u * 1004 + 4);
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(WordAt(blocks[0], i * 1004), 47u);
    EXPECT_EQ(WordAt(blocks[0], 4 * 1004), uint32_t(RENDER_OP_END_BLOCK));
    ASSERT_EQ(blocks[1].bytes.size(), 1004u + 4);
    EXPECT_EQ(WordAt(blocks[1], 0), 19u);
    EXPECT_EQ(blocks[1].bytes[4], 0xAB);
    EXPECT_EQ(WordAt(blocks[1], 1004), uint32_t(RENDER_OP_END_SYNC));
}

TEST(RenderCommandStreamTest, OpcodesAreAlignedAfterOddPayloads)
{
    IdleThread thread;
    RenderCommandWriter writer(thread);
    writer.OpenBlock();
    ASSERT_TRUE(writer.WriteCommand(14, 1));
    writer.Put<uint8_t>(7);
    ASSERT_TRUE(writer.WriteCommand(19, 4));
    writer.Put<uint32_t>(0x12345678);
    writer.CloseBlock(RENDER_OP_END_BLOCK);

    const std::vector<Block> blocks = ReadBlocks(thread);
    ASSERT_EQ(blocks.size(), 1u);
    const Block& b = blocks[0];
    EXPECT_EQ(WordAt(b, 0), 14u);
    EXPECT_EQ(b.bytes[4], 7);
    const size_t second = AlignUp4(b, 5);
    EXPECT_EQ(second, 8u);
    EXPECT_EQ(WordAt(b, second), 19u);
    EXPECT_EQ(WordAt(b, second + 4), 0x12345678u);
    EXPECT_EQ(WordAt(b, second + 8), uint32_t(RENDER_OP_END_BLOCK));
}

TEST(RenderCommandStreamTest, OversizedPayloadIsRefusedAndNothingIsWritten)
{
    ConsoleCapture console;
    IdleThread thread;
    RenderCommandWriter writer(thread);
    writer.OpenBlock();
    EXPECT_TRUE(writer.WriteCommand(47, kMaxRenderPayloadBytes)) << "the largest payload fits a fresh block";
    writer.Skip(kMaxRenderPayloadBytes);
    const uint32_t written = writer.GetCommandsWritten();
    EXPECT_FALSE(writer.WriteCommand(47, kMaxRenderPayloadBytes + 1));
    EXPECT_EQ(writer.GetCommandsWritten(), written);
    EXPECT_TRUE(console.Contains("does not fit", CONSOLE_ERROR));
    writer.CloseBlock(RENDER_OP_END_BLOCK);
    EXPECT_EQ(ReadBlocks(thread).size(), 1u);
}

TEST(RenderCommandStreamTest, WritingWithoutAnOpenBlockIsRefused)
{
    ConsoleCapture console;
    IdleThread thread;
    RenderCommandWriter writer(thread);
    EXPECT_FALSE(writer.WriteCommand(19, 4));
    EXPECT_TRUE(console.Contains("no command block is open", CONSOLE_ERROR));
    EXPECT_TRUE(ReadBlocks(thread).empty());
}

TEST(RenderCommandStreamTest, BoneArrayTakesTheSameRoomAtEveryAlignment)
{
    for (uint32_t lead = 0; lead < 16; ++lead)
    {
        IdleThread thread;
        RenderCommandWriter writer(thread);
        writer.OpenBlock();
        // Shift the following command's payload start by `lead` bytes.
        ASSERT_TRUE(writer.WriteCommand(47, lead));
        writer.Skip(lead);
        const uint32_t bones = 3;
        std::vector<float> matrices(bones * 12);
        for (size_t i = 0; i < matrices.size(); ++i)
            matrices[i] = float(i);
        ASSERT_TRUE(writer.WriteCommand(67, renderpayload::BoneArray(bones)));
        writer.WriteBoneArray(matrices.data(), bones);
        ASSERT_TRUE(writer.WriteCommand(19, 4));
        writer.Put<uint32_t>(99);
        writer.CloseBlock(RENDER_OP_END_BLOCK);

        const std::vector<Block> blocks = ReadBlocks(thread);
        ASSERT_EQ(blocks.size(), 1u);
        const Block& b = blocks[0];
        const size_t op = AlignUp4(b, 4 + lead);
        ASSERT_EQ(WordAt(b, op), 67u) << "lead " << lead;
        EXPECT_EQ(WordAt(b, op + 4), bones);
        const size_t arrayStart = op + 8;
        const size_t aligned = arrayStart + ((16 - ((b.address + arrayStart) & 15)) & 15);
        EXPECT_EQ((b.address + aligned) % 16, 0u);
        float first = 0.0f, last = 0.0f;
        std::memcpy(&first, b.bytes.data() + aligned, 4);
        std::memcpy(&last, b.bytes.data() + aligned + bones * 48 - 4, 4);
        EXPECT_EQ(first, 0.0f);
        EXPECT_EQ(last, float(bones * 12 - 1));
        const size_t next = AlignUp4(b, arrayStart + bones * 48 + 16);
        EXPECT_EQ(next, arrayStart + bones * 48 + 16) << "the array's room is a multiple of 4";
        EXPECT_EQ(WordAt(b, next), 19u) << "lead " << lead;
        EXPECT_EQ(WordAt(b, next + 4), 99u);
    }
}
