// ctest-labels: thread
#include "platform/audio/AudioEngine.h"
#include "platform/audio/MemoryOutput.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace
{
using Clock = std::chrono::steady_clock;

TEST(AudioEngineThreadTest, MixesAtRealTimePaceAndStopsCleanly)
{
    audio::MixerConfig config;
    config.output = audio::OutputKind::Memory;
    const auto started = Clock::now();
    std::unique_ptr<audio::Engine> engine = audio::Engine::Create(config);
    ASSERT_TRUE(engine);
    EXPECT_FALSE(engine->RenderBlocks(1)) << "the thread owns the mix";
    ASSERT_NE(engine->CreateMasteringVoice(2, 48000), nullptr);

    std::vector<int16_t> tone(4800);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = int16_t((i % 48) * 500 - 12000);
    audio::SourceVoice* voice = engine->CreateSourceVoice(audio::MakePcmFormat(1, 48000));
    ASSERT_NE(voice, nullptr);
    audio::AudioBuffer buffer;
    buffer.audioData = reinterpret_cast<const uint8_t*>(tone.data());
    buffer.audioBytes = uint32_t(tone.size() * 2);

    // Feed and change the voice from this thread while the mixer reads it.
    voice->Start();
    for (int i = 0; i < 40; ++i)
    {
        if (voice->GetState().buffersQueued < 2)
        {
            ASSERT_TRUE(voice->SubmitBuffer(buffer));
        }
        voice->SetVolume(0.5f + 0.01f * i, 1);
        voice->SetFrequencyRatio(1.0f + 0.01f * i, 1);
        engine->CommitChanges(1);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // A loaded machine can hold the mixer thread back past the loop; it must still mix within seconds.
    for (const auto deadline = Clock::now() + std::chrono::seconds(5);
         engine->GetPerformanceData().blocksMixed == 0 && Clock::now() < deadline;)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const audio::PerformanceData data = engine->GetPerformanceData();
    const auto elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count();
    EXPECT_GT(data.blocksMixed, 0u);
    // Never ahead of the wall clock (one block of slack for the first one).
    EXPECT_LE(data.blocksMixed, uint64_t(elapsedMs / audio::kBlockMilliseconds + 1));
    EXPECT_GT(voice->GetState().samplesPlayed, 0u);
    EXPECT_EQ(engine->GetMemoryOutput()->FrameCount(), data.blocksMixed * 480);

    // Destroying with a running voice stops the thread first.
    engine.reset();
}

TEST(AudioEngineThreadTest, VoicesComeAndGoWhileTheMixerRuns)
{
    audio::MixerConfig config;
    std::unique_ptr<audio::Engine> engine = audio::Engine::Create(config);
    ASSERT_NE(engine->CreateMasteringVoice(), nullptr);
    const std::vector<int16_t> silence(480);
    audio::AudioBuffer buffer;
    buffer.audioData = reinterpret_cast<const uint8_t*>(silence.data());
    buffer.audioBytes = uint32_t(silence.size() * 2);
    buffer.loopCount = audio::kLoopInfinite;
    const float levels[2] = {1.0f, 0.5f};
    for (int i = 0; i < 20; ++i)
    {
        audio::SourceVoice* voice = engine->CreateSourceVoice(audio::MakePcmFormat(1, 22050));
        ASSERT_NE(voice, nullptr);
        voice->SubmitBuffer(buffer);
        voice->Start();
        EXPECT_TRUE(voice->SetOutputMatrix(1, 2, levels)) << "changed while the mixer reads it";
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
        voice->Destroy();
    }
    EXPECT_EQ(engine->GetPerformanceData().totalSourceVoiceCount, 0u);
    EXPECT_TRUE(engine->GetMasteringVoice()->Destroy());
}
} // namespace
