#include "platform/audio/SpeakerLayout.h"

#include "platform/audio/AudioEngine.h"
#include "platform/audio/MemoryOutput.h"

#include <gtest/gtest.h>

namespace
{
constexpr float k3dB = 0.70710678f;
constexpr float k6dB = 0.5f;

using Levels = std::vector<float>;

// levels[dst * src + s], one row per output channel.
TEST(SpeakerLayoutTest, WideSourcesReachAStereoOutputByPosition)
{
    // FL FR FC
    EXPECT_EQ(audio::DefaultOutputMatrix(3, 2), (Levels{1, 0, k3dB, /**/ 0, 1, k3dB}));
    // FL FR BL BR
    EXPECT_EQ(audio::DefaultOutputMatrix(4, 2), (Levels{1, 0, k3dB, 0, /**/ 0, 1, 0, k3dB}));
    // FL FR FC BL BR
    EXPECT_EQ(audio::DefaultOutputMatrix(5, 2), (Levels{1, 0, k3dB, k3dB, 0, /**/ 0, 1, k3dB, 0, k3dB}));
    // FL FR FC LFE BL BR
    EXPECT_EQ(audio::DefaultOutputMatrix(6, 2), (Levels{1, 0, k3dB, k3dB, k3dB, 0, /**/ 0, 1, k3dB, k3dB, 0, k3dB}));
    // FL FR FC LFE BC SL SR
    EXPECT_EQ(audio::DefaultOutputMatrix(7, 2),
              (Levels{1, 0, k3dB, k3dB, k6dB, k3dB, 0, /**/ 0, 1, k3dB, k3dB, k6dB, 0, k3dB}));
    // FL FR FC LFE BL BR SL SR
    EXPECT_EQ(audio::DefaultOutputMatrix(8, 2),
              (Levels{1, 0, k3dB, k3dB, k3dB, 0, k3dB, 0, /**/ 0, 1, k3dB, k3dB, 0, k3dB, 0, k3dB}));
}

TEST(SpeakerLayoutTest, EachSpeakerKeepsItsPlaceOnOtherSurroundOutputs)
{
    for (uint32_t channels = 2; channels <= 8; ++channels)
    {
        const Levels levels = audio::DefaultOutputMatrix(channels, channels);
        for (uint32_t d = 0; d < channels; ++d)
            for (uint32_t s = 0; s < channels; ++s)
                EXPECT_EQ(levels[d * channels + s], d == s ? 1.0f : 0.0f) << channels << " channels";
    }
    // Stereo and 5.1 on 7.1: every speaker where it is.
    EXPECT_EQ(audio::DefaultOutputMatrix(2, 8), (Levels{1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    const Levels fiveOneOnSevenOne = audio::DefaultOutputMatrix(6, 8);
    for (uint32_t d = 0; d < 8; ++d)
        for (uint32_t s = 0; s < 6; ++s)
            EXPECT_EQ(fiveOneOnSevenOne[d * 6 + s], d == s ? 1.0f : 0.0f) << d << " " << s;
    // 7.1 on 5.1: the side pair joins the back pair.
    const Levels sevenOneOnFiveOne = audio::DefaultOutputMatrix(8, 6);
    EXPECT_EQ(sevenOneOnFiveOne[4 * 8 + 6], 1.0f);
    EXPECT_EQ(sevenOneOnFiveOne[5 * 8 + 7], 1.0f);
    EXPECT_EQ(sevenOneOnFiveOne[0 * 8 + 6], 0.0f);
    // 6.1 on 5.1: the back centre splits over the back pair, the sides join it.
    const Levels sixOneOnFiveOne = audio::DefaultOutputMatrix(7, 6);
    EXPECT_EQ(sixOneOnFiveOne[4 * 7 + 4], k3dB);
    EXPECT_EQ(sixOneOnFiveOne[5 * 7 + 4], k3dB);
    EXPECT_EQ(sixOneOnFiveOne[4 * 7 + 5], 1.0f);
    EXPECT_EQ(sixOneOnFiveOne[5 * 7 + 6], 1.0f);
    // 5.1 on 6.1: the back pair plays on the sides; the low-frequency channel keeps its own.
    const Levels fiveOneOnSixOne = audio::DefaultOutputMatrix(6, 7);
    EXPECT_EQ(fiveOneOnSixOne[5 * 6 + 4], 1.0f);
    EXPECT_EQ(fiveOneOnSixOne[6 * 6 + 5], 1.0f);
    EXPECT_EQ(fiveOneOnSixOne[3 * 6 + 3], 1.0f);
    // FL FR FC on quad: the centre to both fronts.
    EXPECT_EQ(audio::DefaultOutputMatrix(3, 4), (Levels{1, 0, k3dB, 0, 1, k3dB, 0, 0, 0, 0, 0, 0}));
}

TEST(SpeakerLayoutTest, MonoFeedsEveryChannelAndAMonoOutputTakesTheAverage)
{
    EXPECT_EQ(audio::DefaultOutputMatrix(1, 6), Levels(6, 1.0f));
    EXPECT_EQ(audio::DefaultOutputMatrix(1, 1), Levels(1, 1.0f));
    EXPECT_EQ(audio::DefaultOutputMatrix(2, 1), Levels(2, 0.5f));
    EXPECT_EQ(audio::DefaultOutputMatrix(6, 1), Levels(6, 1.0f / 6.0f));
    EXPECT_EQ(audio::SpeakersOf(1), std::vector<audio::Speaker>{audio::Speaker::FrontCenter});
    EXPECT_TRUE(audio::SpeakersOf(0).empty());
    EXPECT_TRUE(audio::SpeakersOf(9).empty());
}

// A voice nobody gave a matrix mixes each of its channels where that channel's speaker is.
TEST(SpeakerLayoutTest, AVoiceWithoutAMatrixMixesEveryChannelByItsSpeaker)
{
    audio::MixerConfig config;
    config.mode = audio::EngineMode::Manual;
    config.output = audio::OutputKind::Memory;
    std::unique_ptr<audio::Engine> engine = audio::Engine::Create(config);
    ASSERT_NE(engine->CreateMasteringVoice(2, 48000), nullptr);
    // One 5.1 frame held for a block: each channel a different level.
    const int16_t levels[6] = {1000, 2000, 4000, 8000, 16000, -3000};
    std::vector<uint8_t> bytes;
    for (int repeat = 0; repeat < 480; ++repeat)
        for (const int16_t level : levels)
        {
            bytes.push_back(uint8_t(uint16_t(level)));
            bytes.push_back(uint8_t(uint16_t(level) >> 8));
        }
    audio::SourceVoice* voice = engine->CreateSourceVoice(audio::MakePcmFormat(6, 48000));
    ASSERT_NE(voice, nullptr);
    EXPECT_EQ(voice->GetOutputMatrix(), audio::DefaultOutputMatrix(6, 2));
    audio::AudioBuffer buffer;
    buffer.audioData = bytes.data();
    buffer.audioBytes = uint32_t(bytes.size());
    ASSERT_TRUE(voice->SubmitBuffer(buffer));
    voice->Start();
    const audio::MemoryOutput& capture = *engine->GetMemoryOutput();
    EXPECT_EQ(std::pair(capture.GetChannelCount(), capture.GetSampleRate()), std::pair(0u, 0u)) << "nothing yet";
    ASSERT_TRUE(engine->RenderBlocks(1));
    const std::vector<float> out = engine->GetMemoryOutput()->Take();
    const auto at = [&levels](int c) { return levels[c] / 32768.0f; };
    EXPECT_FLOAT_EQ(out[0], at(0) + k3dB * (at(2) + at(3) + at(4)));
    EXPECT_FLOAT_EQ(out[1], at(1) + k3dB * (at(2) + at(3) + at(5)));
    EXPECT_FLOAT_EQ(out[2 * 479], out[0]);
    const float frame[2] = {};
    engine->GetMemoryOutput()->Append(frame, 1, 2, 48000);
    engine->GetMemoryOutput()->Append(frame, 1, 2, 44100);
    EXPECT_EQ(std::pair(capture.FrameCount(), capture.GetSampleRate()), std::pair(uint64_t(1), 44100u)) << "started anew";
}
} // namespace
