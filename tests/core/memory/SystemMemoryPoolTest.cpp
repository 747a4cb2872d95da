#include "core/memory/SystemMemoryPool.h"

#include "support/ConsoleCapture.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace
{
using Span = std::pair<uint32_t, uint32_t>; // offset, length

std::vector<Span> FreeSpans(const SystemMemoryPool& pool)
{
    std::vector<Span> spans;
    for (const SystemMemoryChunk* chunk = pool.GetFirstFreeChunk(); chunk != nullptr; chunk = chunk->GetNextFree())
        spans.emplace_back(chunk->GetOffset(), chunk->GetLength());
    return spans;
}

// Every chunk, in address order, must tile the block without gaps or overlaps.
void ExpectTiled(const SystemMemoryPool& pool)
{
    uint32_t end = 0;
    for (const SystemMemoryChunk* chunk = pool.GetFirstChunk(); chunk != nullptr; chunk = chunk->GetNext())
    {
        EXPECT_EQ(chunk->GetOffset(), end);
        end = chunk->GetOffset() + chunk->GetLength();
    }
    EXPECT_EQ(end, pool.GetSize());
}

struct DescribedChunk : SystemMemoryChunk
{
    std::string description;
    const char* GetDescription() const override { return description.c_str(); }
};

struct DescribedPool : SystemMemoryPool
{
    SystemMemoryChunk* CreateChunk() override { return new DescribedChunk; }
};
} // namespace

TEST(SystemMemoryPoolTest, RoundsSizesAndMergesBackToOneChunk)
{
    SystemMemoryPool pool;
    EXPECT_EQ(pool.GetSize(), 0u) << "nothing is reserved before Init";
    ASSERT_TRUE(pool.Init(1000, 16, 0));
    SystemMemoryChunk* first = pool.Allocate(10);
    SystemMemoryChunk* second = pool.Allocate(20);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(Span(first->GetOffset(), first->GetLength()), Span(0, 16));
    EXPECT_EQ(Span(second->GetOffset(), second->GetLength()), Span(16, 32));
    EXPECT_TRUE(first->IsLoading());
    EXPECT_EQ(first->GetDescription(), nullptr); // Dump shows plain chunks with an empty description
    pool.ClearLoading(first);
    EXPECT_FALSE(first->IsLoading());
    EXPECT_EQ(pool.GetChunkAddress(second), static_cast<uint8_t*>(pool.GetChunkAddress(first)) + 16);
    EXPECT_EQ(pool.GetChunkAddress(nullptr), nullptr);
    EXPECT_EQ(FreeSpans(pool), (std::vector<Span>{{48, 952}}));

    pool.Free(first);
    pool.Free(second);
    EXPECT_EQ(FreeSpans(pool), (std::vector<Span>{{0, 1000}}));
    EXPECT_EQ(pool.GetFirstChunk()->GetNext(), nullptr);
    EXPECT_NE(pool.Allocate(1000, 8), nullptr) << "the whole pool in one chunk";
}

TEST(SystemMemoryPoolTest, FreeingMergesOnlyWithFreeNeighbours)
{
    SystemMemoryPool pool;
    ASSERT_TRUE(pool.Init(1000, 16, 0));
    SystemMemoryChunk* a = pool.Allocate(16);
    SystemMemoryChunk* b = pool.Allocate(32);
    SystemMemoryChunk* c = pool.Allocate(48);
    pool.Free(b);
    EXPECT_EQ(FreeSpans(pool), (std::vector<Span>{{16, 32}, {96, 904}}));
    pool.Free(a);
    EXPECT_EQ(FreeSpans(pool), (std::vector<Span>{{0, 48}, {96, 904}}));
    ExpectTiled(pool);
    pool.Free(c);
    EXPECT_EQ(FreeSpans(pool), (std::vector<Span>{{0, 1000}}));
    ExpectTiled(pool);
}

TEST(SystemMemoryPoolTest, TakesTheExactFitElseTheSmallestThatFits)
{
    SystemMemoryPool pool;
    ASSERT_TRUE(pool.Init(1024, 16, 0));
    std::vector<SystemMemoryChunk*> chunks;
    for (uint32_t size : {64u, 16u, 32u, 16u, 48u, 16u})
        chunks.push_back(pool.Allocate(size));
    pool.Free(chunks[0]); // 64 at 0
    pool.Free(chunks[2]); // 32 at 80
    pool.Free(chunks[4]); // 48 at 128
    SystemMemoryChunk* exact = pool.Allocate(48);
    EXPECT_EQ(exact->GetOffset(), 128u);
    SystemMemoryChunk* split = pool.Allocate(20);
    EXPECT_EQ(Span(split->GetOffset(), split->GetLength()), Span(80, 32));
    SystemMemoryChunk* smaller = pool.Allocate(16);
    EXPECT_EQ(smaller->GetOffset(), 0u);
    EXPECT_EQ(FreeSpans(pool), (std::vector<Span>{{16, 48}, {192, 832}}));
    EXPECT_EQ(pool.Allocate(48)->GetOffset(), 16u); // the exact fit is the first free chunk
    EXPECT_EQ(FreeSpans(pool), (std::vector<Span>{{192, 832}}));
    for (const uint32_t size : {900u, 0u, 0xFFFFFFFFu}) // too big, empty, rounded past 32 bits
        EXPECT_EQ(pool.Allocate(size), nullptr) << size;
    ExpectTiled(pool);
}

// A chunk asking for more alignment than the pool's must start on that alignment; the padding in
// front stays free and is reused.
TEST(SystemMemoryPoolTest, HonoursEachChunksAlignmentInItsAddress)
{
    SystemMemoryPool pool;
    ASSERT_TRUE(pool.Init(4096, 16, 0));
    SystemMemoryChunk* small = pool.Allocate(16);
    SystemMemoryChunk* wide = pool.Allocate(100, 256);
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(pool.GetChunkAddress(wide)) % 256, 0u);
    EXPECT_EQ(wide->GetLength(), 256u);
    ExpectTiled(pool);
    const std::vector<Span> spans = FreeSpans(pool);
    ASSERT_EQ(spans.size(), 2u);
    EXPECT_EQ(spans[0], Span(16, wide->GetOffset() - 16));

    SystemMemoryChunk* odd = pool.Allocate(8, 8);
    SystemMemoryChunk* page = pool.Allocate(64, 1024);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(pool.GetChunkAddress(odd)) % 8, 0u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(pool.GetChunkAddress(page)) % 1024, 0u);
    // The next chunk of the pool's own alignment follows an 8-byte one.
    SystemMemoryChunk* after = pool.Allocate(16);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(pool.GetChunkAddress(after)) % 16, 0u);
    ExpectTiled(pool);

    for (SystemMemoryChunk* chunk : {wide, small, page, after, odd})
        pool.Free(chunk);
    EXPECT_EQ(FreeSpans(pool), (std::vector<Span>{{0, 4096}}));
}

TEST(SystemMemoryPoolTest, DumpListsUsedChunksAndTheHighWatermark)
{
    DescribedPool pool;
    ASSERT_TRUE(pool.Init(1000, 0, 7)); // no alignment: sizes are kept as asked
    EXPECT_TRUE(pool.GetAlignment() == 1 && pool.GetParameter() == 7);
    auto* first = static_cast<DescribedChunk*>(pool.Allocate(10));
    SystemMemoryChunk* gap = pool.Allocate(16);
    auto* last = static_cast<DescribedChunk*>(pool.Allocate(974)); // fills the pool: the tail chunk is used
    first->description = "font";
    pool.ClearLoading(first);
    pool.Free(gap);

    ConsoleCapture capture;
    pool.Dump();
    const std::vector<CapturedMessage> messages = capture.Messages();
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[0].text, "Dump of memory pool of size 1000 and alignment 1");
    EXPECT_EQ(messages[1].text, "Chunk: 000000    start: 00000000, length: 00000010, loading: 0 [font]");
    EXPECT_EQ(messages[2].text, "Chunk: 000001    start: 00000026, length: 00000974, loading: 1 []");
    EXPECT_EQ(messages[3].text, "High watermark: 1000");
    for (const CapturedMessage& message : messages)
    {
        EXPECT_EQ(message.kind, uint32_t(CONSOLE_INFO));
        EXPECT_EQ(message.channel, CONSOLE_CHANNEL_ENGINE);
    }
    pool.Free(first);
    pool.Free(last);
}

TEST(SystemMemoryPoolTest, RefusesDoubleFreesAndReportsLeftoverChunks)
{
    ConsoleCapture capture;
    SystemMemoryPool pool;
    ASSERT_TRUE(pool.Init(256, 16, 0));
    SystemMemoryChunk* kept = pool.Allocate(16);
    SystemMemoryChunk* lone = pool.Allocate(16);
    pool.Allocate(16);
    pool.Free(lone);
    pool.Free(lone);
    EXPECT_TRUE(capture.Contains("freed twice", CONSOLE_ERROR));
    EXPECT_EQ(FreeSpans(pool), (std::vector<Span>{{16, 16}, {48, 208}}));
    EXPECT_NE(kept, nullptr);
    pool.Release();
    EXPECT_TRUE(capture.Contains("released with 2 chunks still in use", CONSOLE_WARNING));
    EXPECT_EQ(pool.Allocate(16), nullptr);
    EXPECT_FALSE(pool.Init(0, 16, 0));
    EXPECT_TRUE(capture.Contains("Memory pool of size 0 requested", CONSOLE_ERROR));
}
