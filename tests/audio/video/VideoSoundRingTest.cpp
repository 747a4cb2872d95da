// The video sound ring: chunking at the ring's end, the bytes the voice still holds, and blocks
// larger than the free space, which wait instead of overwriting.
#include "audio/video/VideoSoundRing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

namespace
{
std::unique_ptr<uint8_t[]> Block(uint32_t bytes, uint8_t first)
{
    std::unique_ptr<uint8_t[]> block(new uint8_t[bytes]);
    for (uint32_t i = 0; i < bytes; ++i)
        block[i] = uint8_t(first + i);
    return block;
}

// Takes every chunk the ring offers (as a voice with unlimited room would), in order.
std::vector<uint8_t> Drain(VideoSoundRing& ring)
{
    std::vector<uint8_t> out;
    const uint8_t* data = nullptr;
    uint32_t bytes = 0;
    while (ring.PeekChunk(&data, &bytes))
    {
        out.insert(out.end(), data, data + bytes);
        ring.Consume(bytes);
        ring.Retire(0);
    }
    return out;
}

TEST(VideoSoundRingTest, ChunksStopAtTheChunkSizeAndAtTheRingEnd)
{
    VideoSoundRing ring(40000);
    ring.Append(Block(30000, 0), 30000);
    const uint8_t* data = nullptr;
    uint32_t bytes = 0;
    ASSERT_TRUE(ring.PeekChunk(&data, &bytes));
    EXPECT_EQ(bytes, VideoSoundRing::kChunkBytes);
    EXPECT_EQ(data[1], 1);
    ring.Consume(bytes);
    EXPECT_EQ(ring.GetReadPosition(), 16384u);
    EXPECT_EQ(ring.GetPreviousReadPosition(0), 0);
    EXPECT_EQ(ring.GetPreviousReadPosition(1), -1);
    ASSERT_TRUE(ring.PeekChunk(&data, &bytes));
    EXPECT_EQ(bytes, 30000u - 16384u);
    ring.Consume(bytes);
    ring.Retire(0);
    // The next block wraps: its first chunk ends at the ring's end, the second starts at 0.
    ring.Append(Block(20000, 7), 20000);
    ASSERT_TRUE(ring.PeekChunk(&data, &bytes));
    EXPECT_EQ(bytes, 10000u);
    EXPECT_EQ(data[0], 7);
    ring.Consume(bytes);
    ASSERT_TRUE(ring.PeekChunk(&data, &bytes));
    EXPECT_EQ(bytes, 10000u);
    EXPECT_EQ(data[0], uint8_t(7 + 10000));
}

TEST(VideoSoundRingTest, BytesTheVoiceHoldsAreNotFreeUntilRetired)
{
    VideoSoundRing ring(65536);
    ring.Append(Block(65536, 0), 65536);
    const uint8_t* data = nullptr;
    uint32_t bytes = 0;
    ASSERT_TRUE(ring.PeekChunk(&data, &bytes));
    const uint8_t* const held = data;
    ring.Consume(bytes);
    EXPECT_EQ(ring.GetFill(), 65536u - 16384u);
    EXPECT_EQ(ring.GetHeldBytes(), 16384u);
    EXPECT_EQ(ring.GetFreeBytes(), 0u);

    // The voice still plays the first chunk: a new block waits instead of landing on it.
    ring.Append(Block(1000, 200), 1000);
    EXPECT_EQ(ring.GetWaitingBytes(), 1000u);
    EXPECT_EQ(held[0], 0);
    EXPECT_EQ(held[999], uint8_t(999));
    ring.Retire(1);
    EXPECT_EQ(ring.GetWaitingBytes(), 1000u);
    ring.Retire(0);
    EXPECT_EQ(ring.GetWaitingBytes(), 0u);
    EXPECT_EQ(ring.GetFill(), 65536u - 16384u + 1000u);
}

TEST(VideoSoundRingTest, ABlockLargerThanTheFreeSpaceIsSplitAndKeepsItsOrder)
{
    VideoSoundRing ring(50000);
    std::vector<uint8_t> expected;
    for (uint32_t i = 0; i < 3; ++i)
    {
        std::unique_ptr<uint8_t[]> block = Block(30000, uint8_t(i * 50));
        expected.insert(expected.end(), block.get(), block.get() + 30000);
        ring.Append(std::move(block), 30000);
    }
    EXPECT_EQ(ring.GetFill(), 50000u);
    EXPECT_EQ(ring.GetWaitingBytes(), 40000u);
    EXPECT_EQ(Drain(ring), expected);
    EXPECT_EQ(ring.GetWaitingBytes(), 0u);
    EXPECT_EQ(ring.GetFill(), 0u);
}

// Three-channel sound has 6-byte frames, which divide neither the chunk size nor the ring: every
// chunk, and the wrap, must still end on a whole frame, or the voice shifts the channels after it.
TEST(VideoSoundRingTest, ChunksAndTheWrapFallOnWholeFrames)
{
    VideoSoundRing ring(40000);
    ring.Append(Block(12, 1), 12);
    ring.SetFrameBytes(6);
    EXPECT_EQ(ring.GetSize(), 39996u);
    EXPECT_EQ(ring.GetFill(), 0u) << "sizing empties the ring";
    std::vector<uint8_t> expected;
    std::vector<uint32_t> chunks;
    for (uint32_t i = 0; i < 5; ++i)
    {
        std::unique_ptr<uint8_t[]> block = Block(18000, uint8_t(i * 40));
        expected.insert(expected.end(), block.get(), block.get() + 18000);
        ring.Append(std::move(block), 18000);
        EXPECT_EQ(ring.GetFreeBytes() % 6, 0u);
    }
    std::vector<uint8_t> out;
    const uint8_t* data = nullptr;
    uint32_t bytes = 0;
    while (ring.PeekChunk(&data, &bytes))
    {
        chunks.push_back(bytes);
        out.insert(out.end(), data, data + bytes);
        ring.Consume(bytes);
        ring.Retire(0);
    }
    EXPECT_EQ(out, expected);
    ASSERT_GE(chunks.size(), 2u);
    EXPECT_EQ(chunks[0], 16380u);
    for (uint32_t chunk : chunks)
        EXPECT_EQ(chunk % 6, 0u) << chunk;
    EXPECT_EQ(ring.GetReadPosition() % 6, 0u);
}

// The two previous read positions follow the last two chunks taken, oldest second.
TEST(VideoSoundRingTest, PreviousReadPositionsFollowTheLastTwoChunks)
{
    VideoSoundRing ring(40000);
    ring.Append(Block(40000, 0), 40000);
    const uint8_t* data = nullptr;
    uint32_t bytes = 0;
    const int64_t expected[][2] = {{0, -1}, {16384, 0}, {32768, 16384}};
    for (const auto& previous : expected)
    {
        ASSERT_TRUE(ring.PeekChunk(&data, &bytes));
        ring.Consume(bytes);
        EXPECT_EQ(ring.GetPreviousReadPosition(0), previous[0]);
        EXPECT_EQ(ring.GetPreviousReadPosition(1), previous[1]);
    }
    EXPECT_EQ(ring.GetReadPosition(), 0u) << "the third chunk ended at the ring's end";
    ring.Reset();
    EXPECT_EQ(ring.GetPreviousReadPosition(0), -1);
    EXPECT_EQ(ring.GetPreviousReadPosition(1), -1);
}

// Inputs at the edges: no block, a frame size of 0 or above a chunk, taking more than is there.
TEST(VideoSoundRingTest, EdgeInputsLeaveTheRingConsistent)
{
    VideoSoundRing ring(40000);
    ring.Append(nullptr, 10);
    ring.Append(Block(4, 1), 0);
    EXPECT_EQ(ring.GetFill(), 0u);
    EXPECT_EQ(ring.GetWaitingBytes(), 0u);

    const struct
    {
        uint32_t frameBytes;
        uint32_t size;
        uint32_t chunk;
    } sizes[] = {{0, 40000, 16384}, {1, 40000, 16384}, {6, 39996, 16380}, {20000, 32768, 16384}};
    for (const auto& c : sizes)
    {
        ring.SetFrameBytes(c.frameBytes);
        EXPECT_EQ(ring.GetSize(), c.size) << c.frameBytes;
        ring.Append(Block(20000, 0), 20000);
        const uint8_t* data = nullptr;
        uint32_t bytes = 0;
        ASSERT_TRUE(ring.PeekChunk(&data, &bytes));
        EXPECT_EQ(bytes, c.chunk) << c.frameBytes;
    }

    ring.Reset();
    ring.Append(Block(100, 0), 100);
    ring.Consume(500);
    EXPECT_EQ(ring.GetFill(), 0u);
    EXPECT_EQ(ring.GetHeldBytes(), 100u);
    EXPECT_EQ(ring.GetReadPosition(), 100u);
}

TEST(VideoSoundRingTest, ResetForgetsEverything)
{
    VideoSoundRing ring(40000);
    ring.Append(Block(60000, 0), 60000);
    const uint8_t* data = nullptr;
    uint32_t bytes = 0;
    ASSERT_TRUE(ring.PeekChunk(&data, &bytes));
    ring.Consume(bytes);
    ring.Reset();
    EXPECT_EQ(ring.GetFill(), 0u);
    EXPECT_EQ(ring.GetHeldBytes(), 0u);
    EXPECT_EQ(ring.GetWaitingBytes(), 0u);
    EXPECT_EQ(ring.GetReadPosition(), 0u);
    EXPECT_EQ(ring.GetPreviousReadPosition(0), -1);
    EXPECT_FALSE(ring.PeekChunk(&data, &bytes));
    ring.Append(Block(10, 9), 10);
    EXPECT_EQ(Drain(ring).front(), 9);
}
} // namespace
