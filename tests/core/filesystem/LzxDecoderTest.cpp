#include "core/filesystem/ContainerStreamDecompressor.h"
#include "core/filesystem/LzxDecompressionContext.h"
#include "core/filesystem/LzxHuffmanTable.h"
#include "platform/os/Heap.h"
#include "tools/datakit/LzxEncoder.h"

#include "support/LzxSampleData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

LZXDecompressionContextPtr CreateContext(uint32_t windowSize, uint32_t creationFlags = kLzxCreateResetNow)
{
    LZXDecompressionParameters parameters;
    parameters.windowSize = windowSize;
    LZXDecompressionContext* context = nullptr;
    EXPECT_EQ(LZXCreateDecompressionContext(0, &parameters, creationFlags, &context, nullptr), kLzxResultOk);
    return LZXDecompressionContextPtr(context);
}

// Feeds the stream in pieces of inputStep bytes (the first of firstStep bytes when given) and asks for
// outputStep bytes per call.
bool Decode(const Bytes& stream, size_t expected, size_t inputStep, size_t outputStep, Bytes& out,
            uint32_t windowSize = 65536, size_t firstStep = 0)
{
    const LZXDecompressionContextPtr context = CreateContext(windowSize);
    if (!context)
        return false;
    out.assign(expected, 0);
    size_t consumed = 0;
    size_t produced = 0;
    int idle = 0;
    while (produced < expected && idle < 3)
    {
        const size_t step = consumed == 0 && firstStep != 0 ? firstStep : inputStep;
        uint32_t in = static_cast<uint32_t>(std::min(step, stream.size() - consumed));
        uint32_t space = static_cast<uint32_t>(std::min(outputStep, expected - produced));
        if (!LZXDecompressStream(context.get(), stream.data() + consumed, in, out.data() + produced, space))
            return false;
        consumed += in;
        produced += space;
        idle = (in == 0 && space == 0) ? idle + 1 : 0;
    }
    return produced == expected;
}

std::string Zeros(size_t count)
{
    return std::string(count, '0');
}

// A pretree of 20 four-bit lengths that codes `first` as bit 0 and `second` as bit 1.
std::string Pretree(int first, int second)
{
    std::string bits = Zeros(80);
    bits[first * 4 + 3] = bits[second * 4 + 3] = '1';
    return bits;
}

// A final frame of `size` bytes holding `bits` packed as the decoder reads them: 16-bit
// little-endian words, most significant bit first, padded with zero bits.
Bytes HandWrittenFrame(uint8_t size, std::string bits)
{
    bits.resize((bits.size() + 15) / 16 * 16 + 128, '0');
    Bytes frame = {0xFF, 0x00, size, 0x00, uint8_t(bits.size() / 8)};
    for (size_t i = 0; i < bits.size(); i += 16)
    {
        const unsigned long word = std::stoul(bits.substr(i, 16), nullptr, 2);
        frame.insert(frame.end(), {uint8_t(word), uint8_t(word >> 8)});
    }
    frame.resize(frame.size() + 5);
    return frame;
}

Bytes Encode(const Bytes& data, const LzxEncoderOptions& options)
{
    Bytes stream;
    EXPECT_TRUE(LzxEncoder::Encode(data.data(), data.size(), options, stream));
    return stream;
}
} // namespace

TEST(LzxDecoderTest, HandWrittenUncompressedFrame)
{
    // One final frame: E8 flag 0, block type 3 of 3 bytes, padding, R0-R2 = 1, then "Hi!".
    const Bytes stream = {0xFF, 0x00, 0x03, 0x00, 0x13, 0x00, 0x30, 0x30, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00,
                          0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 'H',  'i',  '!',  0x00, 0x00, 0x00, 0x00, 0x00};
    Bytes out;
    ASSERT_TRUE(Decode(stream, 3, stream.size(), 3, out));
    EXPECT_EQ(std::string(out.begin(), out.end()), "Hi!");
    // The five-byte header split after its first two bytes, the rest arriving in one piece.
    const LZXDecompressionContextPtr context = CreateContext(65536);
    Bytes split(3);
    uint32_t in = 2, space = 3, rest = uint32_t(stream.size() - 2), room = 3;
    ASSERT_TRUE(LZXDecompressStream(context.get(), stream.data(), in, split.data(), space));
    EXPECT_TRUE(LZXDecompressStream(context.get(), stream.data() + 2, rest, split.data(), room) && split == out);
}

TEST(LzxDecoderTest, RoundTripsEveryBlockKindAndReadSize)
{
    struct Case
    {
        LzxBlockKind kind;
        uint32_t blockSize;
        uint32_t e8;
        size_t size;
    };
    const Case cases[] = {
        {LzxBlockKind::Verbatim, 32768, 0, 40000},    {LzxBlockKind::Aligned, 32768, 0, 100000},
        {LzxBlockKind::Uncompressed, 32768, 0, 40001}, {LzxBlockKind::Mixed, 50001, 0, 200000},
        {LzxBlockKind::Mixed, 777, 12000000, 70000},   {LzxBlockKind::Verbatim, 32768, 0, 32768},
        {LzxBlockKind::Aligned, 65536, 0, 1},         {LzxBlockKind::Mixed, 3333, 0, 98304},
    };
    for (const Case& c : cases)
    {
        const Bytes data = MakeLzxSample(c.size, static_cast<uint32_t>(c.size));
        const Bytes stream = Encode(data, {c.kind, c.blockSize, c.e8});
        if (c.kind != LzxBlockKind::Uncompressed && c.size > 1000)
        {
            EXPECT_LT(stream.size(), data.size() / 2) << "matches expected for size " << c.size;
        }
        for (const size_t outputStep : {size_t(1), size_t(100), size_t(4096), c.size})
        {
            if (outputStep == 1 && c.size > 70000)
                continue;
            Bytes out;
            ASSERT_TRUE(Decode(stream, c.size, stream.size(), outputStep, out)) << c.size << " step " << outputStep;
            ASSERT_EQ(out, data) << "size " << c.size << " output step " << outputStep;
        }
        Bytes out;
        ASSERT_TRUE(Decode(stream, c.size, 1, c.size, out));
        ASSERT_EQ(out, data) << "one input byte per call, size " << c.size;
        ASSERT_TRUE(Decode(stream, c.size, stream.size(), c.size, out, 65536, 1));
        ASSERT_EQ(out, data) << "first frame's header split after one byte, size " << c.size;
    }
}

TEST(LzxDecoderTest, E8TranslationIsUndone)
{
    Bytes data(50000, 0x90);
    for (size_t i = 0; i + 5 < data.size(); i += 97)
    {
        const int32_t target = static_cast<int32_t>(i % 3 == 0 ? -int64_t(i) / 2 : int64_t(i) * 3);
        data[i] = 0xE8;
        std::memcpy(&data[i + 1], &target, 4);
    }
    // The ends of the translated range: exactly the translation size, the size less the position, and
    // a call back to the first byte.
    for (const auto& [at, target] : {std::pair<size_t, int32_t>{30001, 1000000}, {30050, 1000000 - 30050}, {30101, -30101}})
    {
        data[at] = 0xE8;
        std::memcpy(&data[at + 1], &target, 4);
    }
    const Bytes stream = Encode(data, {LzxBlockKind::Verbatim, 32768, 1000000});
    Bytes out;
    ASSERT_TRUE(Decode(stream, data.size(), 4096, 4096, out));
    EXPECT_EQ(out, data);
}

TEST(LzxDecoderTest, E8TranslationStopsTenBytesBeforeEachFrameEnd)
{
    // 0xE8 at the first untranslated place of frame 0 and at the last translated one of frame 1
    // (7232 bytes long); each carries a small forward call that translation would change.
    Bytes data(40000, 0x90);
    const int32_t target = 1000;
    for (const size_t at : {size_t(32768 - 10), size_t(32768 + 7232 - 11)})
    {
        data[at] = 0xE8;
        std::memcpy(&data[at + 1], &target, 4);
    }
    LzxEncoderOptions options{LzxBlockKind::Uncompressed, 32768, 1000000};
    const Bytes stream = Encode(data, options);
    Bytes out;
    ASSERT_TRUE(Decode(stream, data.size(), 4096, 4096, out));
    EXPECT_EQ(out, data);
}

TEST(LzxDecoderTest, CorruptFramesFailTheRead)
{
    const Bytes data = MakeLzxSample(40000, 7);
    const Bytes stream = Encode(data, {LzxBlockKind::Verbatim, 32768, 0});

    Bytes badType = stream;
    badType[3] ^= 0x70; // the block type bits of the first frame
    Bytes out;
    EXPECT_FALSE(Decode(badType, data.size(), badType.size(), data.size(), out));

    // A final frame that announces more than the 32768 bytes a frame may hold.
    const Bytes oversized = {0xFF, 0x80, 0x01, 0x00, 0x13, 0x00, 0x30, 0x30, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00,
                             0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 'H',  'i',  '!',  0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_FALSE(Decode(oversized, 0x8001, oversized.size(), 0x8001, out));
    // The context stays failed, though its decoder never saw that frame: a good stream is refused.
    const LZXDecompressionContextPtr context = CreateContext(65536);
    uint32_t in = static_cast<uint32_t>(oversized.size()), space = 0x8001;
    EXPECT_FALSE(LZXDecompressStream(context.get(), oversized.data(), in, out.data(), space));
    EXPECT_EQ(in, oversized.size());
    in = static_cast<uint32_t>(stream.size());
    space = 0x8001;
    EXPECT_FALSE(LZXDecompressStream(context.get(), stream.data(), in, out.data(), space));

    // Raw data cut short by the end of the payload.
    Bytes shortRaw = {0xFF, 0x00, 0x09, 0x00, 0x13, 0x00, 0x30, 0x90, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00,
                      0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 'H',  'i',  '!',  0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_FALSE(Decode(shortRaw, 9, shortRaw.size(), 9, out));

    // Blocks of 3 bytes (no E8 flag, type 1 or 2) whose first symbol needs an empty tree: a verbatim
    // block with every main length 0, or an aligned block with every aligned length 0 under a main
    // tree of literal 0 and a slot 8 match.
    const std::string size3 = Zeros(22) + "11";
    for (const std::string& bits :
         {"0001" + size3 + Pretree(0, 1) + Zeros(256) + Pretree(0, 1) + Zeros(256) + Pretree(0, 1) + Zeros(249),
          "0010" + size3 + Zeros(24) + Pretree(0, 16) + "1" + Zeros(255) + Pretree(0, 16) + Zeros(64) + "1" +
              Zeros(191) + Pretree(0, 16) + Zeros(249) + "1"})
    {
        const Bytes frame = HandWrittenFrame(3, bits);
        EXPECT_FALSE(Decode(frame, 3, frame.size(), 3, out)) << bits.substr(0, 4);
    }

    // Random damage anywhere either fails or never claims more than the frame sizes allow.
    std::mt19937 random(3);
    for (int round = 0; round < 200; ++round)
    {
        Bytes damaged = stream;
        damaged[2 + random() % (damaged.size() - 2)] ^= static_cast<uint8_t>(1u << (random() % 8));
        Decode(damaged, data.size(), 1000, 1000, out);
    }
}

TEST(LzxDecoderTest, CreationChecksItsArgumentsAndReportsItsSize)
{
    LZXDecompressionContext* context = nullptr;
    size_t size = 0;
    LZXDecompressionParameters parameters;
    EXPECT_EQ(LZXCreateDecompressionContext(2, &parameters, 0, &context, &size), kLzxResultInvalidArgument);
    EXPECT_EQ(context, nullptr);
    for (const uint32_t windowSize : {100000u, 1u << 14, 1u << 22})
    {
        parameters.windowSize = windowSize;
        EXPECT_EQ(LZXCreateDecompressionContext(1, &parameters, 0, &context, &size), kLzxResultInvalidArgument);
    }
    EXPECT_EQ(LZXCreateDecompressionContext(0, nullptr, 0, nullptr, &size), kLzxResultInvalidArgument);

    // Without parameters, or with a window size of 0, the window is 131072 bytes.
    for (const LZXDecompressionParameters* given : {static_cast<const LZXDecompressionParameters*>(nullptr),
                                                    static_cast<const LZXDecompressionParameters*>(&parameters)})
    {
        parameters = {7, 0};
        ASSERT_EQ(LZXCreateDecompressionContext(1, given, 0, &context, &size), kLzxResultOk);
        const LZXDecompressionContextPtr owned(context);
        EXPECT_EQ(context->GetWindowSize(), 131072u);
        EXPECT_EQ(context->GetTypeTag(), 0x76C3F251u);
        EXPECT_EQ(context->GetFlags(), given ? 7u : 0u);
        EXPECT_EQ(size, LZXDecompressionContext::RequiredSize(131072));
        EXPECT_EQ(size % 16, 0u) << "every part of the block starts on a 16-byte boundary";
        EXPECT_GT(size, 131072u + LzxDecoder::kFrameSize);
    }
}

// A tree of all-zero lengths is valid, but corrupt data may still ask it for a symbol.
TEST(LzxDecoderTest, ATableRebuiltEmptyDecodesNoSymbol)
{
    LzxHuffmanTable table(6);
    const uint8_t lengths[2][4] = {{1, 2, 3, 3}, {}};
    ASSERT_TRUE(table.Build(lengths[0], 4));
    ASSERT_TRUE(table.Build(lengths[1], 4));
    uint32_t codeLength = 0;
    EXPECT_EQ(table.Decode(0, codeLength), -1);
}

TEST(LzxDecoderTest, AFailedAllocationAnswersOutOfMemoryAndLeavesNoContext)
{
    LZXDecompressionParameters parameters{0, 65536};
    LZXDecompressionContext* context = reinterpret_cast<LZXDecompressionContext*>(&parameters);
    size_t size = 0;
    os::FailNextHeapAllocations(1);
    EXPECT_EQ(LZXCreateDecompressionContext(0, &parameters, kLzxCreateResetNow, &context, &size), kLzxResultOutOfMemory);
    EXPECT_EQ(context, nullptr);
    EXPECT_EQ(size, LZXDecompressionContext::RequiredSize(65536));

    // The container's decompressor refuses the entry instead of using a context it does not have.
    os::FailNextHeapAllocations(1);
    ContainerStreamDecompressor decompressor;
    EXPECT_FALSE(decompressor.Init(2));
    EXPECT_EQ(decompressor.GetMethod(), 0u);
    EXPECT_TRUE(decompressor.Init(2));
}

TEST(LzxDecoderTest, AContextDecodesOnlyAfterItsDecoderWasReset)
{
    Bytes data = MakeLzxSample(40000, 5);
    const uint8_t call[5] = {0xE8, 0, 0, 0, 0}; // a call that a stale E8 size would translate
    std::copy(call, call + 5, data.begin() + 30000);
    const Bytes stream = Encode(data, {LzxBlockKind::Verbatim, 32768, 0});
    const LZXDecompressionContextPtr context = CreateContext(65536, 0);
    Bytes out(data.size());
    uint32_t in = static_cast<uint32_t>(stream.size());
    uint32_t space = static_cast<uint32_t>(out.size());
    EXPECT_FALSE(LZXDecompressStream(context.get(), stream.data(), in, out.data(), space));
    EXPECT_EQ(space, 0u);

    // Each Reset starts afresh: the block kind, the bytes left in it and the E8 size of the stream
    // before, even of one left halfway through a block, are gone, and so is the end of one read whole.
    const std::pair<LzxEncoderOptions, size_t> kStreams[] = {{{LzxBlockKind::Uncompressed, 50000, 12000000}, 20000},
                                                             {{LzxBlockKind::Verbatim, 32768, 0}, data.size()},
                                                             {{LzxBlockKind::Verbatim, 32768, 0}, data.size()}};
    for (const auto& [options, wanted] : kStreams)
    {
        const Bytes next = Encode(data, options);
        context->Reset();
        in = static_cast<uint32_t>(next.size());
        space = static_cast<uint32_t>(wanted);
        ASSERT_TRUE(LZXDecompressStream(context.get(), next.data(), in, out.data(), space));
        EXPECT_EQ(space, wanted);
        EXPECT_TRUE(std::equal(data.begin(), data.begin() + wanted, out.begin()));
    }
    EXPECT_FALSE(LZXDecompressStream(nullptr, stream.data(), in, out.data(), space));
    EXPECT_EQ(in + space, 0u); // without a context nothing is used
}

TEST(LzxDecoderTest, LargerWindowsReachMatchesBeyondSixtyFourKilobytes)
{
    // Noise seen again later compresses only when the window reaches back that far; 600 KB back needs
    // the slots whose extra bits stop growing at 17.
    std::mt19937 random(11);
    const auto repeatedNoise = [&random](size_t size) {
        Bytes noise(size);
        for (uint8_t& byte : noise)
            byte = static_cast<uint8_t>(random());
        Bytes data = noise;
        data.insert(data.end(), noise.begin(), noise.end());
        return data;
    };
    for (const uint32_t windowSize : {131072u, 1u << 21})
    {
        SCOPED_TRACE(windowSize);
        const Bytes data = windowSize == 131072 ? repeatedNoise(100000) : repeatedNoise(600000);
        const Bytes stream = Encode(data, {LzxBlockKind::Aligned, 65536, 0, windowSize});
        EXPECT_LT(stream.size(), data.size() * 6 / 10);
        Bytes out;
        ASSERT_TRUE(Decode(stream, data.size(), 4096, 5000, out, windowSize == 131072 ? 0 : windowSize));
        EXPECT_EQ(out, data);
    }

    // The window decides the main tree's size: a reader cannot take a stream of twice its window,
    // even when every match would reach back less than its own window.
    const Bytes near = MakeLzxSample(30000, 3);
    for (const uint32_t readerWindow : {32768u, 65536u})
    {
        const Bytes wide = Encode(near, {LzxBlockKind::Verbatim, 32768, 0, readerWindow * 2});
        Bytes out;
        EXPECT_FALSE(Decode(wide, near.size(), wide.size(), near.size(), out, readerWindow) && out == near);
    }
}
