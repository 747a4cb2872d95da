#include "core/threads/CommandRingBuffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace
{
constexpr uint32_t kCapacity = 4096;
constexpr uint32_t kMarker = 0xABCu;

std::vector<uint8_t> Pattern(uint32_t bytes, uint8_t seed)
{
    std::vector<uint8_t> data(bytes);
    for (uint32_t i = 0; i < bytes; ++i)
        data[i] = static_cast<uint8_t>(seed + i * 7);
    return data;
}

void Put(CommandRingBuffer& ring, uint32_t id, uint32_t bytes, uint8_t seed = 1)
{
    ASSERT_TRUE(ring.BeginWrite(id, bytes));
    ASSERT_TRUE(ring.Write(Pattern(bytes, seed).data(), bytes));
    ring.EndWrite();
}

// Reads one record and checks its id and payload.
void Take(CommandRingBuffer& ring, uint32_t id, uint32_t bytes, uint8_t seed = 1)
{
    ASSERT_TRUE(ring.BeginRead());
    EXPECT_EQ(ring.GetReadId(), id);
    ASSERT_EQ(ring.GetReadPayloadSize(), bytes);
    std::vector<uint8_t> data(bytes);
    ASSERT_TRUE(ring.Read(data.data(), bytes));
    EXPECT_EQ(data, Pattern(bytes, seed));
    ring.EndRead();
    EXPECT_EQ(ring.GetReadId(), 0u); // no record open any more
}

// Reads a wrap marker, whose payload is whatever the tail held.
void TakeMarker(CommandRingBuffer& ring, uint32_t payloadBytes)
{
    ASSERT_TRUE(ring.BeginRead());
    EXPECT_EQ(ring.GetReadId(), kMarker);
    EXPECT_EQ(ring.GetReadPayloadSize(), payloadBytes);
    ring.EndRead();
}

// Moves both offsets to `offset` by writing and reading records whose strides add up to it.
void AdvanceTo(CommandRingBuffer& ring, uint32_t offset)
{
    Put(ring, 9, 2000);
    Take(ring, 9, 2000);
    const uint32_t rest = offset - CommandRingBuffer::Stride(2000);
    Put(ring, 9, rest - 8);
    Take(ring, 9, rest - 8);
    ASSERT_TRUE(ring.IsEmpty());
}
// Puts records 1 to 3 of 1000 bytes and reads back the first `taken` of them: the tail then holds
// too little for a long record, which must wrap towards the reader.
void PutThreeAndTake(CommandRingBuffer& ring, uint32_t taken)
{
    for (uint32_t id = 1; id <= 3; ++id)
        Put(ring, id, 1000);
    for (uint32_t id = 1; id <= taken; ++id)
        Take(ring, id, 1000);
}
} // namespace

TEST(CommandRingBufferTest, StrideIsHeaderPlusPayloadPaddedToFour)
{
    EXPECT_EQ(CommandRingBuffer::Stride(0), 8u);
    EXPECT_EQ(CommandRingBuffer::Stride(1), 12u);
    EXPECT_EQ(CommandRingBuffer::Stride(4), 12u);
    EXPECT_EQ(CommandRingBuffer::Stride(5), 16u);
}

TEST(CommandRingBufferTest, RecordCrossingTheEndLeavesAWrapMarkerOverTheTail)
{
    CommandRingBuffer ring(kCapacity, kMarker);
    AdvanceTo(ring, kCapacity - 100);
    Put(ring, 5, 200, 3);
    // The marker's 100 bytes count as filled until the reader has passed them.
    EXPECT_EQ(ring.GetFillLevel(), 100u + CommandRingBuffer::Stride(200));
    TakeMarker(ring, 100 - 8);
    EXPECT_EQ(ring.GetFillLevel(), CommandRingBuffer::Stride(200));
    Take(ring, 5, 200, 3);
    EXPECT_TRUE(ring.IsEmpty());
}

TEST(CommandRingBufferTest, ExactlyEightTailBytesGetAnEmptyMarker)
{
    CommandRingBuffer ring(kCapacity, kMarker);
    AdvanceTo(ring, kCapacity - 8);
    Put(ring, 5, 16, 4);
    EXPECT_EQ(ring.GetFillLevel(), 8u + CommandRingBuffer::Stride(16));
    TakeMarker(ring, 0);
    Take(ring, 5, 16, 4);
    EXPECT_TRUE(ring.IsEmpty());
}

TEST(CommandRingBufferTest, FewerThanEightTailBytesWrapWithoutMarker)
{
    CommandRingBuffer ring(kCapacity, kMarker);
    Put(ring, 9, 2000);
    Take(ring, 9, 2000);
    // Ends 4 bytes before the capacity: both sides go on at offset 0.
    const uint32_t payload = kCapacity - 4 - CommandRingBuffer::Stride(2000) - 8;
    Put(ring, 6, payload, 2);
    EXPECT_EQ(ring.GetFillLevel(), CommandRingBuffer::Stride(payload) + 4u);
    Take(ring, 6, payload, 2);
    EXPECT_TRUE(ring.IsEmpty());
    Put(ring, 5, 16, 4);
    EXPECT_EQ(ring.GetFillLevel(), CommandRingBuffer::Stride(16));
    Take(ring, 5, 16, 4);
}

TEST(CommandRingBufferTest, KeepsFiveHundredTwelveBytesFree)
{
    CommandRingBuffer ring(kCapacity, kMarker);
    EXPECT_EQ(ring.GetMaxPayload(), kCapacity - 512);
    EXPECT_FALSE(ring.HasSpace(kCapacity - 512));
    EXPECT_FALSE(ring.BeginWrite(1, kCapacity - 512));
    EXPECT_TRUE(ring.HasSpace(kCapacity - 513));

    Put(ring, 1, 1000);
    const uint32_t fill = CommandRingBuffer::Stride(1000);
    EXPECT_FALSE(ring.BeginWrite(2, kCapacity - fill - 512));
    Put(ring, 2, kCapacity - fill - 513);
    EXPECT_FALSE(ring.BeginWrite(3, 0));
    Take(ring, 1, 1000);
    EXPECT_TRUE(ring.BeginWrite(3, 0));
    ring.EndWrite();
}

TEST(CommandRingBufferTest, WrapWaitsUntilTheReaderLeavesRoomAtTheStart)
{
    CommandRingBuffer ring(kCapacity, kMarker);
    PutThreeAndTake(ring, 1);
    // 1072 bytes remain at the tail but the record needs 1208: the producer wraps, yet only
    // 1008 bytes lie before the reader, fewer than the record plus the reserve.
    EXPECT_FALSE(ring.BeginWrite(4, 1200));
    Take(ring, 2, 1000);
    ASSERT_TRUE(ring.BeginWrite(4, 1200));
    ring.SkipWrite(1200);
    ring.EndWrite();
    Take(ring, 3, 1000);
    TakeMarker(ring, kCapacity - 3 * CommandRingBuffer::Stride(1000) - 8);
    ASSERT_TRUE(ring.BeginRead());
    EXPECT_EQ(ring.GetReadId(), 4u);
    EXPECT_EQ(ring.GetReadPayloadSize(), 1200u);
    ring.EndRead();
    EXPECT_TRUE(ring.IsEmpty());
}

TEST(CommandRingBufferTest, WrapKeepsTheReserveBeforeTheReaderToTheByte)
{
    // The reader stands at 2016 and the tail is too short: a wrapped record plus its header and
    // the 512 reserved bytes must end strictly before the reader.
    for (const uint32_t payload : {1495u, 1496u})
    {
        CommandRingBuffer ring(kCapacity, kMarker);
        PutThreeAndTake(ring, 2);
        ASSERT_EQ(2 * CommandRingBuffer::Stride(1000), 2016u);
        ASSERT_LT(kCapacity - 3 * CommandRingBuffer::Stride(1000), payload + 8);
        const bool reserved = ring.BeginWrite(4, payload);
        EXPECT_EQ(reserved, payload + 8 + 512 < 2016) << payload;
        if (reserved)
            ring.EndWrite();
    }
}

// The producer's copy of the read offset may be stale: a wrap it would refuse is checked again
// against where the reader really stands.
TEST(CommandRingBufferTest, AWrapRefusedOnlyByAStaleReaderPositionLooksAgain)
{
    CommandRingBuffer ring(kCapacity, kMarker);
    PutThreeAndTake(ring, 2);
    // Too full for 600 bytes by the old copy (0): the producer looks and finds the reader at 2016.
    Put(ring, 4, 600);
    Take(ring, 3, 1000);
    Take(ring, 4, 600);
    // 1496 bytes must wrap and would reach the reserve before 2016; the reader has left it.
    ASSERT_EQ(1496u + 8 + 512, 2016u);
    Put(ring, 5, 1496, 6);
}

TEST(CommandRingBufferTest, CommitsOnlyTheBytesWritten)
{
    CommandRingBuffer ring(kCapacity, kMarker);
    ASSERT_TRUE(ring.BeginWrite(7, 100));
    const uint8_t bytes[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    ASSERT_TRUE(ring.Write(bytes, sizeof(bytes)));
    EXPECT_EQ(ring.GetReservedLeft(), 90u);
    ring.EndWrite();
    EXPECT_EQ(ring.GetFillLevel(), CommandRingBuffer::Stride(10));
    Put(ring, 8, 4, 9);

    ASSERT_TRUE(ring.BeginRead());
    EXPECT_EQ(ring.GetReadPayloadSize(), 10u);
    EXPECT_FALSE(ring.SkipRead(11));
    uint8_t read[10] = {};
    EXPECT_TRUE(ring.Read(read, sizeof(read)));
    EXPECT_EQ(0, memcmp(read, bytes, sizeof(bytes)));
    EXPECT_EQ(ring.GetReadLeft(), 0u);
    EXPECT_FALSE(ring.Read(read, 1));
    ring.EndRead();
    Take(ring, 8, 4, 9);
}

TEST(CommandRingBufferTest, RefusesWritesPastTheReservation)
{
    CommandRingBuffer ring(kCapacity, kMarker);
    ASSERT_TRUE(ring.BeginWrite(7, 8));
    const uint8_t bytes[12] = {};
    EXPECT_FALSE(ring.Write(bytes, 12));
    EXPECT_FALSE(ring.SkipWrite(9));
    EXPECT_TRUE(ring.Write(bytes, 8));
    EXPECT_FALSE(ring.Write(bytes, 1));
    ring.EndWrite();
    EXPECT_EQ(ring.GetFillLevel(), CommandRingBuffer::Stride(8));
}

TEST(CommandRingBufferTest, AlignedPayloadsLineUpOnBothSides)
{
    CommandRingBuffer ring(kCapacity, kMarker);
    for (uint32_t lead = 0; lead < 16; ++lead)
    {
        ASSERT_TRUE(ring.BeginWrite(3, lead + 15 + 16));
        const uint8_t pad[16] = {};
        ring.Write(pad, lead);
        const uint32_t writePad = ring.AlignWrite16();
        ASSERT_EQ(reinterpret_cast<uintptr_t>(ring.GetWriteCursor()) % 16, 0u);
        const float vector[4] = {1.0f, 2.0f, 3.0f, float(lead)};
        ASSERT_TRUE(ring.Write(vector, sizeof(vector)));
        ring.EndWrite();

        ASSERT_TRUE(ring.BeginRead());
        ring.SkipRead(lead);
        EXPECT_EQ(ring.AlignRead16(), writePad);
        ASSERT_EQ(reinterpret_cast<uintptr_t>(ring.GetReadCursor()) % 16, 0u);
        EXPECT_EQ(reinterpret_cast<const float*>(ring.GetReadCursor())[3], float(lead));
        ring.EndRead();
    }
}

// The worker's view of how far the producer had got: what its last look at the write offset found,
// and whether records from that look are still unread. Looks happen only once it has caught up.
TEST(CommandRingBufferTest, TheLastLookReportsWhatItFoundAndWhetherItIsAllRead)
{
    CommandRingBuffer ring(kCapacity, kMarker);
    EXPECT_FALSE(ring.HasSeenUnreadRecord());
    Put(ring, 1, 16);
    Put(ring, 2, 5);
    Put(ring, 3, 0);
    ASSERT_TRUE(ring.BeginRead());
    EXPECT_EQ(ring.GetLastLookSpan(), CommandRingBuffer::Stride(16) + CommandRingBuffer::Stride(5) + CommandRingBuffer::Stride(0));
    ring.EndRead();
    EXPECT_TRUE(ring.HasSeenUnreadRecord());
    // Published after the look: not counted until the worker looks again.
    Put(ring, 4, 40);
    Take(ring, 2, 5);
    EXPECT_TRUE(ring.HasSeenUnreadRecord());
    Take(ring, 3, 0);
    EXPECT_FALSE(ring.HasSeenUnreadRecord());
    EXPECT_EQ(ring.GetLastLookSpan(), CommandRingBuffer::Stride(16) + CommandRingBuffer::Stride(5) + CommandRingBuffer::Stride(0));
    Take(ring, 4, 40);
    EXPECT_EQ(ring.GetLastLookSpan(), CommandRingBuffer::Stride(40));
    EXPECT_FALSE(ring.HasSeenUnreadRecord());
    EXPECT_FALSE(ring.BeginRead());
    EXPECT_EQ(ring.GetLastLookSpan(), 0u);
}
