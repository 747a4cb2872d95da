#include "platform/audio/AudioEngine.h"
#include "platform/audio/MemoryOutput.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace
{
constexpr uint32_t kRate = 48000;
constexpr uint32_t kBlockFrames = kRate / 100;

std::vector<uint8_t> Pcm16(const std::vector<int16_t>& samples)
{
    std::vector<uint8_t> bytes(samples.size() * 2);
    for (size_t i = 0; i < samples.size(); ++i)
    {
        bytes[2 * i] = uint8_t(uint16_t(samples[i]));
        bytes[2 * i + 1] = uint8_t(uint16_t(samples[i]) >> 8);
    }
    return bytes;
}

audio::AudioBuffer BufferOf(const std::vector<uint8_t>& bytes, uint32_t flags = 0)
{
    audio::AudioBuffer buffer;
    buffer.audioData = bytes.data();
    buffer.audioBytes = uint32_t(bytes.size());
    buffer.flags = flags;
    return buffer;
}

class AudioEngineTest : public testing::Test
{
protected:
    void MakeEngine(uint32_t outputChannels)
    {
        audio::MixerConfig config;
        config.mode = audio::EngineMode::Manual;
        config.output = audio::OutputKind::Memory;
        m_engine = audio::Engine::Create(config);
        ASSERT_TRUE(m_engine);
        ASSERT_NE(m_engine->CreateMasteringVoice(outputChannels, kRate), nullptr);
    }

    audio::SourceVoice* MakeVoice(uint32_t channels, uint32_t rate = kRate)
    {
        audio::SourceVoice* voice = m_engine->CreateSourceVoice(audio::MakePcmFormat(channels, rate));
        EXPECT_NE(voice, nullptr) << m_engine->GetLastError();
        return voice;
    }

    std::vector<float> Render(uint32_t blocks)
    {
        EXPECT_TRUE(m_engine->RenderBlocks(blocks));
        return m_engine->GetMemoryOutput()->Take();
    }

    std::unique_ptr<audio::Engine> m_engine;
};

TEST_F(AudioEngineTest, PcmPlaysSampleExactThroughAUnitMatrix)
{
    MakeEngine(2);
    std::vector<int16_t> samples(2 * kBlockFrames + 17);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = int16_t((i * 7919) % 65536 - 32768);
    const std::vector<uint8_t> bytes = Pcm16(samples);
    audio::SourceVoice* voice = MakeVoice(1);
    ASSERT_TRUE(voice->SubmitBuffer(BufferOf(bytes)));
    voice->Start();
    const std::vector<float> out = Render(3);
    ASSERT_EQ(out.size(), 3u * kBlockFrames * 2);
    for (size_t i = 0; i < samples.size(); ++i)
    {
        ASSERT_EQ(out[2 * i], samples[i] / 32768.0f) << i;
        ASSERT_EQ(out[2 * i + 1], samples[i] / 32768.0f) << i;
    }
    for (size_t i = 2 * samples.size(); i < out.size(); ++i)
        ASSERT_EQ(out[i], 0.0f);
}

TEST_F(AudioEngineTest, StereoAndEightBitSourcesKeepTheirChannelsAndLevels)
{
    MakeEngine(2);
    const std::vector<uint8_t> stereo = Pcm16({1000, -2000, 3000, -4000});
    audio::SourceVoice* voice = MakeVoice(2);
    ASSERT_TRUE(voice->SubmitBuffer(BufferOf(stereo)));
    voice->Start();
    const std::vector<uint8_t> eightBit = {128, 255, 0};
    audio::SourceVoice* byteVoice = m_engine->CreateSourceVoice(audio::MakePcmFormat(1, kRate, 8));
    ASSERT_NE(byteVoice, nullptr);
    byteVoice->SetOutputMatrix(1, 2, std::vector<float>{0.0f, 1.0f}.data());
    ASSERT_TRUE(byteVoice->SubmitBuffer(BufferOf(eightBit)));
    byteVoice->Start();
    const std::vector<float> out = Render(1);
    EXPECT_EQ(out[0], 1000 / 32768.0f);
    EXPECT_EQ(out[1], -2000 / 32768.0f + 0.0f);
    EXPECT_EQ(out[2], 3000 / 32768.0f);
    EXPECT_FLOAT_EQ(out[3], -4000 / 32768.0f + 127 / 128.0f);
    EXPECT_FLOAT_EQ(out[5], -1.0f);
}

TEST_F(AudioEngineTest, RefusesFormatsItCannotDecode)
{
    MakeEngine(2);
    audio::WaveFormat wma = audio::MakePcmFormat(2, 44100);
    wma.formatTag = 0x161;
    audio::WaveFormat floating = audio::MakePcmFormat(2, 44100, 32);
    floating.formatTag = 3;
    audio::WaveFormat wide = audio::MakePcmFormat(2, 44100, 24);
    audio::WaveFormat badAlign = audio::MakePcmFormat(2, 44100);
    badAlign.blockAlign = 3;
    audio::WaveFormat adpcmSurround{audio::kFormatAdpcm, 6, 44100, 0, 36 * 6, 4, 0};
    audio::WaveFormat adpcmTiny{audio::kFormatAdpcm, 1, 44100, 0, 7, 4, 0};
    audio::WaveFormat noChannels = audio::MakePcmFormat(0, 44100);
    audio::WaveFormat noRate = audio::MakePcmFormat(1, 0);
    for (const audio::WaveFormat& format : {wma, floating, wide, badAlign, adpcmSurround, adpcmTiny, noChannels, noRate})
    {
        EXPECT_EQ(m_engine->CreateSourceVoice(format), nullptr) << format.formatTag;
        EXPECT_NE(m_engine->GetLastError(), "");
    }
    EXPECT_EQ(m_engine->CreateSourceVoice(audio::MakePcmFormat(1, kRate), 0x1), nullptr);
    EXPECT_EQ(m_engine->GetPerformanceData().totalSourceVoiceCount, 0u);
    EXPECT_EQ(m_engine->CreateSourceVoice(audio::MakePcmFormat(1, audio::kMaxSampleRate + 1)), nullptr);
    EXPECT_NE(m_engine->CreateSourceVoice(audio::MakePcmFormat(1, audio::kMaxSampleRate)), nullptr);
    for (const float ratio : {audio::kMinFrequencyRatio / 2, audio::kMaxFrequencyRatio * 2})
        EXPECT_EQ(m_engine->CreateSourceVoice(audio::MakePcmFormat(1, kRate), 0, ratio), nullptr) << ratio;
    EXPECT_EQ(m_engine->GetLastError(), "maximum frequency ratio out of range");
}

TEST_F(AudioEngineTest, MalformedBuffersAreRefusedAndNothingIsQueued)
{
    MakeEngine(2);
    audio::SourceVoice* voice = MakeVoice(2);
    const std::vector<uint8_t> partial = {1, 2, 3};
    EXPECT_FALSE(voice->SubmitBuffer(BufferOf(partial)));
    EXPECT_FALSE(voice->SubmitBuffer(audio::AudioBuffer{}));
    const std::vector<uint8_t> frames = Pcm16(std::vector<int16_t>(20));
    // Loops past the end or empty at it, too many turns, and a flag no buffer carries.
    const struct
    {
        uint32_t begin, length, count, flags;
    } bad[] = {{8, 4, 1, 0}, {10, 0, 1, 0}, {2, 4, 256, 0}, {0, 0, 0, audio::kBufferEndOfStream << 1}};
    for (const auto& b : bad)
    {
        audio::AudioBuffer loop = BufferOf(frames, b.flags);
        loop.loopBegin = b.begin;
        loop.loopLength = b.length;
        loop.loopCount = b.count;
        EXPECT_FALSE(voice->SubmitBuffer(loop)) << b.begin << "+" << b.length << " x" << b.count;
    }
    EXPECT_EQ(voice->GetState().buffersQueued, 0u);
    audio::AudioBuffer most = BufferOf(frames);
    most.loopCount = audio::kMaxLoopCount;
    ASSERT_TRUE(voice->SubmitBuffer(most));
    for (uint32_t i = 1; i < audio::kMaxQueuedBuffers; ++i)
        ASSERT_TRUE(voice->SubmitBuffer(BufferOf(frames)));
    EXPECT_FALSE(voice->SubmitBuffer(BufferOf(frames)));
    EXPECT_EQ(voice->GetState().buffersQueued, audio::kMaxQueuedBuffers);
}

TEST_F(AudioEngineTest, FrequencyRatioAndSourceRateSetTheReadRate)
{
    MakeEngine(1);
    std::vector<int16_t> ramp(4 * kBlockFrames);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = int16_t(i * 8);
    const std::vector<uint8_t> bytes = Pcm16(ramp);

    audio::SourceVoice* half = MakeVoice(1);
    half->SetFrequencyRatio(0.5f);
    half->SubmitBuffer(BufferOf(bytes));
    half->Start();
    std::vector<float> out = Render(1);
    EXPECT_EQ(half->GetState().samplesPlayed, kBlockFrames / 2);
    // Linear interpolation: every other output frame lies halfway between two source frames.
    EXPECT_FLOAT_EQ(out[101], (50 * 8 + 4) / 32768.0f);
    half->Destroy();

    audio::SourceVoice* slowSource = MakeVoice(1, kRate / 2);
    slowSource->SubmitBuffer(BufferOf(bytes));
    slowSource->Start();
    Render(1);
    EXPECT_EQ(slowSource->GetState().samplesPlayed, kBlockFrames / 2);
    slowSource->Destroy();

    audio::SourceVoice* fast = MakeVoice(1);
    EXPECT_TRUE(fast->SetFrequencyRatio(3.0f)) << "a ratio past the maximum is clamped, not refused";
    EXPECT_EQ(fast->GetFrequencyRatio(), audio::kDefaultMaxFrequencyRatio);
    fast->SubmitBuffer(BufferOf(bytes));
    fast->Start();
    out = Render(1);
    EXPECT_EQ(fast->GetState().samplesPlayed, 2 * kBlockFrames);
    EXPECT_EQ(out[10], ramp[20] / 32768.0f);
    EXPECT_FALSE(fast->SetFrequencyRatio(NAN));
    fast->SetFrequencyRatio(0.0f);
    EXPECT_EQ(fast->GetFrequencyRatio(), audio::kMinFrequencyRatio);
}

// Counts rising zero crossings of one output channel.
int RisingCrossings(const std::vector<float>& out, uint32_t channels)
{
    int crossings = 0;
    for (size_t i = channels; i < out.size(); i += channels)
        crossings += out[i - channels] < 0.0f && out[i] >= 0.0f;
    return crossings;
}

TEST_F(AudioEngineTest, ResampledToneKeepsItsPitchTimesTheRatio)
{
    MakeEngine(1);
    // One second of a 440 Hz tone at 22050 Hz, started just after a crossing.
    std::vector<int16_t> tone(22050);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = int16_t(std::lrint(16000.0 * std::sin(2.0 * M_PI * 440.0 * (double(i) + 0.5) / 22050.0)));
    const std::vector<uint8_t> bytes = Pcm16(tone);
    audio::SourceVoice* voice = MakeVoice(1, 22050);
    voice->SubmitBuffer(BufferOf(bytes));
    voice->Start();
    EXPECT_NEAR(RisingCrossings(Render(100), 1), 440, 1);
    voice->Destroy();

    voice = MakeVoice(1, 22050);
    voice->SetFrequencyRatio(1.5f);
    voice->SubmitBuffer(BufferOf(bytes));
    voice->Start();
    const std::vector<float> out = Render(50);
    EXPECT_NEAR(RisingCrossings(out, 1), 330, 1) << "660 Hz for half a second";
    float peak = 0.0f;
    for (float sample : out)
        peak = std::max(peak, std::fabs(sample));
    EXPECT_NEAR(peak, 16000.0f / 32768.0f, 0.01f);
}

TEST_F(AudioEngineTest, VolumeAndMatrixMixVoicesIntoTheBus)
{
    MakeEngine(2);
    const std::vector<uint8_t> stereo = Pcm16({8192, 16384});
    const std::vector<uint8_t> mono = Pcm16({4096});
    audio::SourceVoice* a = MakeVoice(2);
    const float levels[4] = {0.5f, 0.25f, 0.0f, 1.0f}; // left = .5 L + .25 R, right = R
    ASSERT_TRUE(a->SetOutputMatrix(2, 2, levels));
    a->SetVolume(-0.5f); // inverts
    a->SubmitBuffer(BufferOf(stereo));
    a->Start();
    audio::SourceVoice* b = MakeVoice(1);
    b->SetVolume(2.0f);
    b->SubmitBuffer(BufferOf(mono));
    b->Start();
    const std::vector<float> out = Render(1);
    EXPECT_FLOAT_EQ(out[0], -0.5f * (0.5f * 0.25f + 0.25f * 0.5f) + 2.0f * 0.125f);
    EXPECT_FLOAT_EQ(out[1], -0.5f * 0.5f + 2.0f * 0.125f);
    EXPECT_FALSE(a->SetOutputMatrix(1, 2, levels));
    EXPECT_FALSE(a->SetOutputMatrix(2, 6, levels));
    EXPECT_FALSE(a->SetOutputMatrix(2, 2, std::vector<float>{0.5f, NAN, 0.0f, 1.0f}.data()));
    EXPECT_FALSE(a->SetVolume(INFINITY));
}

TEST_F(AudioEngineTest, QueuedBuffersCountDownToTheEndOfTheStream)
{
    MakeEngine(2);
    const std::vector<uint8_t> block = Pcm16(std::vector<int16_t>(kBlockFrames, 1000));
    audio::SourceVoice* voice = MakeVoice(1);
    voice->SubmitBuffer(BufferOf(block));
    voice->SubmitBuffer(BufferOf(block));
    voice->SubmitBuffer(BufferOf(block, audio::kBufferEndOfStream));
    EXPECT_EQ(voice->GetState().buffersQueued, 3u);
    Render(1);
    EXPECT_EQ(voice->GetState().buffersQueued, 3u) << "a stopped voice reads nothing";
    voice->Start();
    Render(1);
    EXPECT_EQ(voice->GetState().buffersQueued, 2u);
    EXPECT_FALSE(voice->GetState().streamEnded);
    Render(2);
    const audio::VoiceState state = voice->GetState();
    EXPECT_EQ(state.buffersQueued, 0u);
    EXPECT_EQ(state.samplesPlayed, 3 * kBlockFrames);
    EXPECT_TRUE(state.streamEnded);
    const std::vector<float> after = Render(1);
    EXPECT_EQ(after[0], 0.0f);
    voice->SubmitBuffer(BufferOf(block));
    EXPECT_FALSE(voice->GetState().streamEnded);
}

TEST_F(AudioEngineTest, StarvedVoiceResumesWithoutLosingFrames)
{
    MakeEngine(1);
    const std::vector<uint8_t> first = Pcm16(std::vector<int16_t>(kBlockFrames / 2, 100));
    const std::vector<uint8_t> second = Pcm16(std::vector<int16_t>(kBlockFrames, 200));
    audio::SourceVoice* voice = MakeVoice(1);
    voice->SubmitBuffer(BufferOf(first));
    voice->Start();
    std::vector<float> out = Render(1);
    EXPECT_EQ(out[kBlockFrames / 2 - 1], 100 / 32768.0f);
    EXPECT_EQ(out[kBlockFrames / 2], 0.0f);
    voice->SubmitBuffer(BufferOf(second));
    out = Render(1);
    EXPECT_EQ(out[0], 200 / 32768.0f);
    EXPECT_EQ(out[kBlockFrames - 1], 200 / 32768.0f);
    EXPECT_EQ(voice->GetState().samplesPlayed, kBlockFrames / 2 + kBlockFrames);
}

TEST_F(AudioEngineTest, LoopsRepeatAndExitLoopPlaysToTheEnd)
{
    MakeEngine(1);
    std::vector<int16_t> samples(100);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = int16_t(i + 1);
    const std::vector<uint8_t> bytes = Pcm16(samples);

    audio::SourceVoice* counted = MakeVoice(1);
    audio::AudioBuffer twice = BufferOf(bytes);
    twice.loopCount = 2;
    twice.loopBegin = 50;
    counted->SubmitBuffer(twice);
    counted->Start();
    std::vector<float> out = Render(1);
    EXPECT_EQ(counted->GetState().samplesPlayed, 200u);
    EXPECT_EQ(out[100], 51 / 32768.0f);
    EXPECT_EQ(out[199], 100 / 32768.0f);
    EXPECT_EQ(out[200], 0.0f);
    counted->Destroy();

    audio::SourceVoice* forever = MakeVoice(1);
    audio::AudioBuffer loop = BufferOf(bytes);
    loop.loopCount = audio::kLoopInfinite;
    forever->SubmitBuffer(loop);
    forever->Start();
    Render(5);
    EXPECT_EQ(forever->GetState().buffersQueued, 1u);
    EXPECT_EQ(forever->GetState().samplesPlayed, 5 * kBlockFrames);
    forever->ExitLoop(7);
    m_engine->CommitChanges(7);
    out = Render(1);
    EXPECT_EQ(forever->GetState().buffersQueued, 0u);
    EXPECT_EQ(forever->GetState().samplesPlayed, 5 * kBlockFrames + 100);
    EXPECT_EQ(out[99], 100 / 32768.0f);
    EXPECT_EQ(out[100], 0.0f);
    // An endless loop of one frame outlasts any counted one.
    audio::SourceVoice* oneFrame = MakeVoice(1);
    loop.loopBegin = 99;
    oneFrame->SubmitBuffer(loop);
    oneFrame->Start();
    Render(1);
    EXPECT_EQ(oneFrame->GetState().buffersQueued, 1u);
    oneFrame->ExitLoop(); // at once, without a commit
    Render(1);
    EXPECT_EQ(oneFrame->GetState().buffersQueued, 0u);

    // Flushing keeps the buffer under way and drops those behind it; a voice that never began
    // drops them all.
    audio::SourceVoice* flushed = MakeVoice(1);
    const std::vector<uint8_t> longBytes = Pcm16(std::vector<int16_t>(2 * kBlockFrames, 1000));
    for (int i = 0; i < 3; ++i)
        flushed->SubmitBuffer(BufferOf(longBytes));
    flushed->FlushSourceBuffers();
    EXPECT_EQ(flushed->GetState().buffersQueued, 0u);
    for (int i = 0; i < 3; ++i)
        flushed->SubmitBuffer(BufferOf(longBytes));
    flushed->Start();
    flushed->FlushSourceBuffers();
    EXPECT_EQ(flushed->GetState().buffersQueued, 1u) << "a running voice keeps the one it starts with";
    flushed->SubmitBuffer(BufferOf(longBytes));
    Render(1);
    flushed->Stop();
    flushed->FlushSourceBuffers();
    EXPECT_EQ(flushed->GetState().buffersQueued, 1u) << "a stopped voice keeps the buffer it played part of";
}

TEST_F(AudioEngineTest, DeferredChangesApplyTogetherOnlyOnCommit)
{
    MakeEngine(1);
    const std::vector<uint8_t> bytes = Pcm16(std::vector<int16_t>(8 * kBlockFrames, 16384));
    audio::SourceVoice* voice = MakeVoice(1);
    voice->SubmitBuffer(BufferOf(bytes));
    voice->Start(1);
    voice->SetVolume(0.5f, 1);
    voice->SetFrequencyRatio(2.0f, 1);
    EXPECT_EQ(Render(1)[0], 0.0f);
    EXPECT_FALSE(voice->IsRunning());
    m_engine->CommitChanges(2);
    EXPECT_FALSE(voice->IsRunning());
    m_engine->CommitChanges(1);
    EXPECT_TRUE(voice->IsRunning());
    EXPECT_EQ(Render(1)[0], 0.25f);
    EXPECT_EQ(voice->GetState().samplesPlayed, 2 * kBlockFrames);

    voice->Stop(3);
    voice->SetVolume(1.0f, 4);
    EXPECT_EQ(Render(1)[0], 0.25f);
    m_engine->CommitChanges(audio::kCommitAll);
    EXPECT_EQ(Render(1)[0], 0.0f);
    EXPECT_EQ(voice->GetVolume(), 1.0f);
    voice->Start();
    voice->Stop(); // at once, without a commit
    EXPECT_FALSE(voice->IsRunning());

    // A destroyed voice's pending changes go with it.
    voice->Start(5);
    voice->Destroy();
    EXPECT_TRUE(m_engine->CommitChanges(5));
}

TEST_F(AudioEngineTest, VoicesAndDeviceFailures)
{
    audio::MixerConfig config;
    config.mode = audio::EngineMode::Manual;
    config.failure = audio::DeviceFailure::EngineCreation;
    EXPECT_EQ(audio::Engine::Create(config), nullptr);
    config.failure = audio::DeviceFailure::MasteringVoice;
    std::unique_ptr<audio::Engine> silent = audio::Engine::Create(config);
    ASSERT_TRUE(silent);
    EXPECT_EQ(silent->CreateMasteringVoice(), nullptr);
    EXPECT_EQ(silent->CreateSourceVoice(audio::MakePcmFormat(1, kRate)), nullptr);
    EXPECT_FALSE(silent->RenderBlocks(1));
    // A bus of more than eight channels, outside 8 to 192 kHz or of no whole frames per 10 ms is refused.
    config.failure = audio::DeviceFailure::None;
    std::unique_ptr<audio::Engine> odd = audio::Engine::Create(config);
    const std::pair<uint32_t, uint32_t> layouts[] = {{9, 48000}, {2, 7000}, {2, 192100}, {2, 44150}};
    for (const auto& [channels, rate] : layouts)
        EXPECT_EQ(odd->CreateMasteringVoice(channels, rate), nullptr) << channels << " " << rate;
    EXPECT_EQ(odd->GetLastError(), "unsupported mastering voice layout");
    EXPECT_NE(odd->CreateMasteringVoice(8, 8000), nullptr);

    MakeEngine(2);
    EXPECT_EQ(m_engine->CreateMasteringVoice(), nullptr);
    audio::SourceVoice* voice = MakeVoice(1);
    voice->Start();
    MakeVoice(2);
    MakeVoice(2);
    EXPECT_EQ(m_engine->GetPerformanceData().activeSourceVoiceCount, 1u);
    EXPECT_EQ(m_engine->GetPerformanceData().totalSourceVoiceCount, 3u);
    EXPECT_FALSE(m_engine->GetMasteringVoice()->Destroy());
    m_engine->SimulateGlitches(2);
    EXPECT_EQ(m_engine->GetPerformanceData().glitchesSinceEngineStarted, 2u);
    Render(3);
    EXPECT_EQ(m_engine->GetPerformanceData().blocksMixed, 3u);
    // The engine destroys the voices still alive.
    m_engine.reset();
}
} // namespace

namespace
{
// The resampler written out frame by frame: linear steps between source frames at `step` source
// frames per output frame, holding the last frame once the source has run out.
std::vector<float> ReferenceResample(const std::vector<int16_t>& samples, uint32_t channels, double step,
                                     size_t outFrames, const std::vector<float>& gains, uint32_t busChannels)
{
    const size_t frames = samples.size() / channels;
    std::vector<float> out(outFrames * busChannels, 0.0f);
    double position = 0.0;
    for (size_t i = 0; i < outFrames; ++i)
    {
        const size_t at = size_t(position);
        if (at >= frames)
            break;
        const float t = float(position - double(at));
        for (uint32_t d = 0; d < busChannels; ++d)
            for (uint32_t c = 0; c < channels; ++c)
            {
                const float current = float(samples[at * channels + c]) / 32768.0f;
                const float next = at + 1 < frames ? float(samples[(at + 1) * channels + c]) / 32768.0f : current;
                out[i * busChannels + d] += (current + (next - current) * t) * gains[d * channels + c];
            }
        position += step;
    }
    return out;
}
} // namespace

// Mono and stereo sources on a stereo bus take loops of their own, steps below one frame another,
// and steps of four frames or more the frame-by-frame loop. Each must mix what a plain resampler
// adding the step in double frame after frame gives, within a millionth (positions are fixed point
// with the step rounded to 2^-32 frames, and t holds 24 bits), over source rates and pitches that
// take every path, and the general loop on a wider bus must give the stereo loops' values.
TEST_F(AudioEngineTest, EveryMixLoopMatchesAFrameByFrameResampler)
{
    std::vector<int16_t> ramp(2 * 3000);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = int16_t((int(i * 7919) % 60000) - 30000);
    const std::vector<uint8_t> bytes = Pcm16(ramp);
    const struct
    {
        uint32_t rate;
        float ratio;
    } pitches[] = {{44100, 0.7f}, {22050, 0.93f}, {48000, 1.0f}, {44100, 1.37f}, {96000, 2.0f}};
    for (const auto& pitch : pitches)
    for (const uint32_t channels : {1u, 2u})
    {
        const std::vector<int16_t> source(ramp.begin(), ramp.begin() + 2000 * channels);
        const std::vector<uint8_t> sourceBytes(bytes.begin(), bytes.begin() + 4000 * channels);
        std::vector<float> wide;
        for (const uint32_t busChannels : {2u, 3u})
        {
            SCOPED_TRACE(testing::Message() << channels << " channels at " << pitch.rate << " Hz x " << pitch.ratio
                                            << " on " << busChannels);
            MakeEngine(busChannels);
            audio::SourceVoice* voice = MakeVoice(channels, pitch.rate);
            std::vector<float> levels(size_t(busChannels) * channels, 0.0f);
            for (uint32_t d = 0; d < busChannels; ++d)
                for (uint32_t c = 0; c < channels; ++c)
                    levels[d * channels + c] = d < 2 ? 0.25f + 0.5f * float(d == c) : 0.0f;
            ASSERT_TRUE(voice->SetOutputMatrix(channels, busChannels, levels.data()));
            voice->SetVolume(0.8f);
            voice->SetFrequencyRatio(pitch.ratio);
            ASSERT_TRUE(voice->SubmitBuffer(BufferOf(sourceBytes)));
            voice->Start();
            const std::vector<float> out = Render(6);
            std::vector<float> gains = levels;
            for (float& gain : gains)
                gain *= 0.8f;
            const double step = double(pitch.ratio) * pitch.rate / kRate;
            const std::vector<float> expected =
                ReferenceResample(source, channels, step, out.size() / busChannels, gains, busChannels);
            ASSERT_EQ(out.size(), expected.size());
            for (size_t i = 0; i < out.size(); ++i)
                ASSERT_NEAR(out[i], expected[i], 1e-6f) << i;
            if (busChannels == 3)
            {
                for (size_t i = 0; i < out.size() / 3; ++i)
                    for (size_t d = 0; d < 2; ++d)
                        ASSERT_EQ(out[i * 3 + d], wide[i * 2 + d]) << "frame " << i;
            }
            wide = out;
        }
    }
}
