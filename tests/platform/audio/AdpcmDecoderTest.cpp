#include "platform/audio/AdpcmDecoder.h"
#include "platform/audio/AudioEngine.h"
#include "platform/audio/MemoryOutput.h"

#include <gtest/gtest.h>

#include <sys/mman.h>

#include <vector>

namespace
{
// Blocks worked out by hand from the standard predictor and adaptation tables.

// Mono, predictor 1 (512, -256), delta 100, sample1 1000, sample2 900, then nibbles 7 and 3:
//   7: (1000*512 - 900*256)/256 = 1100, + 7*100 = 1800; delta = 614*100/256 = 239
//   3: (1800*512 - 1000*256)/256 = 2600, + 3*239 = 3317
const std::vector<uint8_t> kMonoBlock = {0x01, 100, 0, 0xE8, 0x03, 0x84, 0x03, 0x73};

// Stereo, both predictor 0, delta 16, samples (10, -10) then (5, -5) older; one byte 0x1F:
// left nibble 1 -> 10 + 16, right nibble -1 -> -10 - 16.
const std::vector<uint8_t> kStereoBlock = {0x00, 0x00, 16, 0, 16, 0, 10, 0, 0xF6, 0xFF, 5, 0, 0xFB, 0xFF, 0x1F};

TEST(AdpcmDecoderTest, DecodesHandWorkedBlocks)
{
    int16_t frames[8] = {};
    ASSERT_EQ(audio::DecodeAdpcmBlock(kMonoBlock.data(), uint32_t(kMonoBlock.size()), 1, frames, 8), 4u);
    EXPECT_EQ(frames[0], 900);
    EXPECT_EQ(frames[1], 1000);
    EXPECT_EQ(frames[2], 1800);
    EXPECT_EQ(frames[3], 3317);

    ASSERT_EQ(audio::DecodeAdpcmBlock(kStereoBlock.data(), uint32_t(kStereoBlock.size()), 2, frames, 4), 3u);
    const int16_t expected[6] = {5, -5, 10, -10, 26, -26};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(frames[i], expected[i]) << i;
}

TEST(AdpcmDecoderTest, PredictionTruncatesTowardZeroAndClamps)
{
    // Predictor 3 (192, 64): (-101*192 - 3*64)/256 = -76.5 -> -76; nibble 0 adds nothing.
    const std::vector<uint8_t> negative = {0x03, 16, 0, 0x9B, 0xFF, 0xFD, 0xFF, 0x00};
    int16_t frames[4] = {};
    ASSERT_EQ(audio::DecodeAdpcmBlock(negative.data(), uint32_t(negative.size()), 1, frames, 4), 4u);
    EXPECT_EQ(frames[2], -76);
    // Predictor 1 from 30000: 60000 + 7*16 clamps to the 16-bit range.
    const std::vector<uint8_t> loud = {0x01, 16, 0, 0x30, 0x75, 0, 0, 0x70};
    ASSERT_EQ(audio::DecodeAdpcmBlock(loud.data(), uint32_t(loud.size()), 1, frames, 4), 4u);
    EXPECT_EQ(frames[2], 32767);
    // Nibble 8 keeps multiplying the step by three: a long run must stay well defined.
    std::vector<uint8_t> growing = {0x00, 0xFF, 0x7F, 0, 0, 0, 0};
    growing.resize(7 + 400, 0x88);
    std::vector<int16_t> many(2 + 800);
    EXPECT_EQ(audio::DecodeAdpcmBlock(growing.data(), uint32_t(growing.size()), 1, many.data(), 802), 802u);
    EXPECT_EQ(many.back(), -32768);
}

TEST(AdpcmDecoderTest, RefusesBadPredictorsAndShortHeaders)
{
    std::vector<uint8_t> bad = kMonoBlock;
    bad[0] = 7;
    int16_t frames[8];
    EXPECT_EQ(audio::DecodeAdpcmBlock(bad.data(), uint32_t(bad.size()), 1, frames, 8), 0u);
    EXPECT_EQ(audio::DecodeAdpcmBlock(kMonoBlock.data(), 6, 1, frames, 8), 0u);
    EXPECT_EQ(audio::DecodeAdpcmBlock(kMonoBlock.data(), uint32_t(kMonoBlock.size()), 1, frames, 1), 0u) << "no room for the header's two frames";
    const audio::WaveFormat format{audio::kFormatAdpcm, 1, 48000, 0, 8, 4, 0};
    EXPECT_FALSE(audio::AdpcmBlocksValid(format, bad.data(), uint32_t(bad.size())));
    std::vector<uint8_t> twoBlocks = kMonoBlock;
    twoBlocks.insert(twoBlocks.end(), {0x01, 0, 0});
    EXPECT_FALSE(audio::AdpcmBlocksValid(format, twoBlocks.data(), uint32_t(twoBlocks.size())));
    const audio::WaveFormat stereo{audio::kFormatAdpcm, 2, 48000, 0, 16, 4, 0};
    const std::vector<uint8_t> cutHeader(16 + 10, 0); // the second block's 14-byte header is cut
    EXPECT_FALSE(audio::AdpcmBlocksValid(stereo, cutHeader.data(), uint32_t(cutHeader.size())));
    EXPECT_EQ(audio::DecodeAdpcmBlock(cutHeader.data() + 16, 10, 2, frames, 4), 0u);
}

TEST(AdpcmDecoderTest, VoicePlaysDecodedBlocksIncludingAShortLastBlock)
{
    audio::MixerConfig config;
    config.mode = audio::EngineMode::Manual;
    config.output = audio::OutputKind::Memory;
    std::unique_ptr<audio::Engine> engine = audio::Engine::Create(config);
    ASSERT_NE(engine->CreateMasteringVoice(1, 48000), nullptr);
    // Blocks of 9 bytes hold 6 frames; the second block is cut after one data byte and holds 4.
    const audio::WaveFormat format{audio::kFormatAdpcm, 1, 48000, 0, 9, 4, 0};
    ASSERT_EQ(audio::AdpcmSamplesPerBlock(format), 6u);
    std::vector<uint8_t> data = {0x01, 100, 0, 0xE8, 0x03, 0x84, 0x03, 0x73, 0x00};
    data.insert(data.end(), kMonoBlock.begin(), kMonoBlock.end());
    EXPECT_EQ(audio::FramesInBytes(format, uint32_t(data.size())), 10u);
    audio::SourceVoice* voice = engine->CreateSourceVoice(format);
    ASSERT_NE(voice, nullptr) << engine->GetLastError();
    audio::AudioBuffer buffer;
    buffer.audioData = data.data();
    buffer.audioBytes = uint32_t(data.size());
    ASSERT_TRUE(voice->SubmitBuffer(buffer));
    voice->Start();
    ASSERT_TRUE(engine->RenderBlocks(1));
    const std::vector<float> out = engine->GetMemoryOutput()->Take();
    // 0x00 after 0x73: both nibbles 0 keep predicting from (3317, 1800) with predictor 1:
    //   (3317*512 - 1800*256)/256 = 4834, then (4834*512 - 3317*256)/256 = 6351.
    const int16_t expected[11] = {900, 1000, 1800, 3317, 4834, 6351, 900, 1000, 1800, 3317, 0};
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(out[i], expected[i] / 32768.0f) << i;

    std::vector<uint8_t> corrupt = data;
    corrupt[9] = 12;
    buffer.audioData = corrupt.data();
    EXPECT_FALSE(voice->SubmitBuffer(buffer));
    EXPECT_EQ(engine->GetLastError(), "malformed ADPCM block");
}

TEST(AdpcmDecoderTest, BuffersNearFourGigabytesNeitherWrapNorHang)
{
    // Zero pages stand in for the bytes: every block then names predictor 0.
    const size_t mapped = 0x100000000ull;
    void* pages = mmap(nullptr, mapped, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(pages, MAP_FAILED);
    const auto* bytes = static_cast<const uint8_t*>(pages);

    audio::MixerConfig config;
    config.mode = audio::EngineMode::Manual;
    std::unique_ptr<audio::Engine> engine = audio::Engine::Create(config);
    ASSERT_NE(engine->CreateMasteringVoice(2, 48000), nullptr);

    // Mono holds 2036 frames per 1024-byte block: 3 GB of it is more frames than 32 bits count.
    const audio::WaveFormat mono{audio::kFormatAdpcm, 1, 48000, 0, 1024, 4, 0};
    EXPECT_EQ(audio::FramesInBytes(mono, 0xC0000000u), uint64_t(0xC0000000u / 1024) * 2036);
    audio::SourceVoice* monoVoice = engine->CreateSourceVoice(mono);
    ASSERT_NE(monoVoice, nullptr);
    audio::AudioBuffer buffer;
    buffer.audioData = bytes;
    buffer.audioBytes = 0xC0000000u;
    EXPECT_FALSE(monoVoice->SubmitBuffer(buffer));
    EXPECT_EQ(monoVoice->GetState().buffersQueued, 0u);

    // The last whole block starts within 40000 bytes of 4 GB, so the next step passes 2^32.
    const audio::WaveFormat stereo{audio::kFormatAdpcm, 2, 48000, 0, 40000, 4, 0};
    EXPECT_TRUE(audio::AdpcmBlocksValid(stereo, bytes, 0xFFFFFFFFu));
    audio::SourceVoice* stereoVoice = engine->CreateSourceVoice(stereo);
    ASSERT_NE(stereoVoice, nullptr);
    buffer.audioBytes = 0xFFFFFFFFu;
    EXPECT_TRUE(stereoVoice->SubmitBuffer(buffer)) << engine->GetLastError();

    monoVoice->Destroy();
    stereoVoice->Destroy();
    munmap(pages, mapped);
}
} // namespace

// A frame limit anywhere inside a block stops the decoder there, with the same frames a full
// decode gives up to that point (mono stops between the two nibbles of a byte too).
TEST(AdpcmDecoderTest, FrameLimitsCutTheFullDecodeShort)
{
    std::vector<uint8_t> mono = {0x01, 0x00, 40, 0, 0x10, 0x00, 0x08, 0x00};
    std::vector<uint8_t> stereo = {0x02, 0x05, 30, 0, 50, 0, 0x00, 0x01, 0x80, 0xFF, 0x20, 0x00, 0xE0, 0xFF};
    for (int i = 0; i < 40; ++i)
    {
        mono.push_back(uint8_t(i * 53 + 11));
        stereo.push_back(uint8_t(i * 29 + 7));
    }
    for (const uint32_t channels : {1u, 2u})
    {
        const std::vector<uint8_t>& block = channels == 1 ? mono : stereo;
        const uint32_t fullFrames = 2 + uint32_t(block.size() - 7 * channels) * 2 / channels;
        std::vector<int16_t> full(size_t(fullFrames + 4) * channels, 0);
        ASSERT_EQ(audio::DecodeAdpcmBlock(block.data(), uint32_t(block.size()), channels, full.data(), fullFrames + 4),
                  fullFrames);
        for (uint32_t limit = 2; limit <= fullFrames; ++limit)
        {
            std::vector<int16_t> part(size_t(limit + 1) * channels, 12345);
            ASSERT_EQ(audio::DecodeAdpcmBlock(block.data(), uint32_t(block.size()), channels, part.data(), limit), limit);
            for (size_t i = 0; i < size_t(limit) * channels; ++i)
                ASSERT_EQ(part[i], full[i]) << channels << " channels, limit " << limit << ", sample " << i;
            EXPECT_EQ(part[size_t(limit) * channels], 12345) << "nothing written past the limit";
        }
    }
}

// Blocks decoded side by side, with every kind of lanes, give exactly the frames of one call per
// block, for every predictor, predictions that clamp and steps that grow large; a bad header
// anywhere or a frame count that is not a whole block's is refused.
TEST(AdpcmDecoderTest, BlocksSideBySideMatchOneBlockAtATime)
{
    uint32_t seed = 99;
    const auto next = [&seed]() { return seed = seed * 1664525u + 1013904223u, uint8_t(seed >> 24); };
    for (const audio::AdpcmLanes lanes : {audio::AdpcmLanes::Best, audio::AdpcmLanes::Sse41, audio::AdpcmLanes::OneByOne})
    for (const uint32_t channels : {1u, 2u})
    {
        SCOPED_TRACE(testing::Message() << "lanes " << int(lanes));
        const uint32_t bytes = 7 * channels + 61 * channels;
        const uint32_t perBlock = 2 + (bytes - 7 * channels) * 2 / channels;
        std::vector<uint8_t> blocks(size_t(bytes) * audio::kAdpcmBlocksAtOnce);
        for (uint8_t& byte : blocks)
            byte = next();
        for (uint32_t b = 0; b < audio::kAdpcmBlocksAtOnce; ++b)
            for (uint32_t c = 0; c < channels; ++c)
                blocks[size_t(b) * bytes + c] = uint8_t((b + c * 3) % 7);
        std::vector<int16_t> together(blocks.size() * 4, 0);
        ASSERT_TRUE(audio::DecodeAdpcmBlocks(blocks.data(), bytes, channels, together.data(), perBlock, lanes));
        std::vector<int16_t> single(size_t(perBlock) * channels);
        for (uint32_t b = 0; b < audio::kAdpcmBlocksAtOnce; ++b)
        {
            ASSERT_EQ(audio::DecodeAdpcmBlock(blocks.data() + size_t(b) * bytes, bytes, channels, single.data(), perBlock),
                      perBlock);
            for (size_t i = 0; i < single.size(); ++i)
                ASSERT_EQ(together[size_t(b) * perBlock * channels + i], single[i])
                    << channels << " channels, block " << b << ", sample " << i;
        }
        EXPECT_FALSE(audio::DecodeAdpcmBlocks(blocks.data(), bytes, channels, together.data(), perBlock - 1, lanes));
        blocks[size_t(audio::kAdpcmBlocksAtOnce - 1) * bytes + channels - 1] = 7;
        EXPECT_FALSE(audio::DecodeAdpcmBlocks(blocks.data(), bytes, channels, together.data(), perBlock, lanes));
    }
}
