// What the sound engine really plays, measured on the captured mix of a manual mixer.
#include "support/ConsoleCapture.h"
#include "audio/sound/OGGStream.h"
#include "audio/sound/SoundStreamDataSource.h"
#include "support/SoundTestHarness.h"
#include "engine/config/ProjectConfig.h"

#include <gtest/gtest.h>

#include <cstring>

using SoundAnalysis::Frequency;
using SoundAnalysis::Rms;
using SoundAnalysis::ToneLevel;

// libvorbisenc leaks one setup block when it encodes six channels at 48 kHz; the leak is theirs.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:vorbis_encode_setup_init\n";
}

namespace
{
constexpr uint32_t kRate = 48000;

class SoundEnginePlaybackTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_sound.WriteOgg("tone.ogg", SoundWriter::MakeTone({440.0}, kRate, 1.0, 0.5));
        ASSERT_TRUE(m_sound.Start());
        ASSERT_NE(m_sound.Mixer(), nullptr);
    }

    ConsoleCapture m_log;
    SoundTestHarness m_sound;
};

TEST_F(SoundEnginePlaybackTest, OggToneComesOutAt440HzOnBothChannels)
{
    EXPECT_EQ(m_sound.Engine().PlaySystemSound("tone.ogg", nullptr), 1u);
    ASSERT_TRUE(m_sound.WaitForVoices(1));
    m_sound.Render(400);
    const auto out = m_sound.Take();
    ASSERT_EQ(out.size(), 2u);
    EXPECT_NEAR(Frequency(out[0], 0, out[0].size(), kRate), 440.0, 1.0);
    // A sine of amplitude 0.5 has an RMS of 0.354; a mono source feeds both sides fully.
    EXPECT_NEAR(Rms(out[0], 0, out[0].size()), 0.354, 0.02);
    EXPECT_NEAR(Rms(out[1], 0, out[1].size()), 0.354, 0.02);
}

TEST_F(SoundEnginePlaybackTest, StereoSourceKeepsItsSidesAndFollowsTheClassVolume)
{
    m_sound.WriteOgg("stereo.ogg", SoundWriter::MakeTone({440.0, 660.0}, kRate, 1.0, 0.5));
    SoundParamWrapper params;
    params.Class = SOUNDCLASS_MUSIC;
    m_sound.Engine().PlaySystemSound("stereo.ogg", &params);
    ASSERT_TRUE(m_sound.WaitForVoices(1));
    m_sound.Render(300);
    auto out = m_sound.Take();
    EXPECT_NEAR(Frequency(out[0], 0, out[0].size(), kRate), 440.0, 1.5);
    EXPECT_NEAR(Frequency(out[1], 0, out[1].size(), kRate), 660.0, 1.5);

    const float volumes[3] = {1.0f, 0.25f, 1.0f};
    m_sound.Engine().PostCommand(SOUND_COMMAND_SET_CLASS_VOLUMES, volumes, sizeof(volumes));
    m_sound.WaitCycles(3);
    m_sound.Render(200);
    out = m_sound.Take();
    EXPECT_NEAR(Rms(out[0], 0, out[0].size()), 0.354 * 0.25, 0.01);
}

TEST_F(SoundEnginePlaybackTest, ThreeChannelOggPlaysToItsEnd)
{
    // 6-byte frames do not divide a 16384-byte decode half: the half must still fill with whole frames.
    m_sound.WriteOgg("surround.ogg", SoundWriter::MakeTone({440.0, 660.0, 550.0}, kRate, 0.5, 0.5));
    SoundParamWrapper params;
    params.LoopCount = 2;
    m_sound.Engine().PlaySystemSound("surround.ogg", &params);
    ASSERT_TRUE(m_sound.WaitForVoices(1));
    m_sound.Render(1200);
    const auto out = m_sound.Take();
    ASSERT_GE(out[0].size(), 48000u);
    // Left and centre at -3 dB: sqrt(1 + 1/2) x 0.354.
    EXPECT_NEAR(Rms(out[0], 0, 47000), 0.433, 0.03);
    EXPECT_LT(Rms(out[0], 48100, out[0].size()), 1e-6);
    EXPECT_FALSE(m_log.Contains("Cannot read audio stream", CONSOLE_ERROR));
}

TEST_F(SoundEnginePlaybackTest, SixChannelStreamPlaysWithoutGaps)
{
    // 576 KB a second: a 16384-byte decode half lasts 28 ms, so the feed must keep pace with every cycle.
    // Five tones mix into each side; a gap would drop a 10 ms window far below the side's level.
    m_sound.WriteOgg("six.ogg", SoundWriter::MakeTone({440.0, 550.0, 660.0, 770.0, 880.0, 990.0}, kRate, 1.0, 0.5));
    m_sound.Engine().PlaySystemSound("six.ogg", nullptr);
    ASSERT_TRUE(m_sound.WaitForVoices(1));
    m_sound.Render(1000);
    const auto out = m_sound.Take();
    ASSERT_GE(out[0].size(), 45000u);
    const double level = Rms(out[0], 0, 43200);
    EXPECT_GT(level, 0.5);
    for (size_t at = 0; at + 480 <= 43200; at += 480)
        ASSERT_GT(Rms(out[0], at, at + 480), 0.6 * level) << "10 ms window at frame " << at;
    EXPECT_FALSE(m_log.Contains("Cannot read audio stream", CONSOLE_ERROR));
}

// Files of three, four and six channels with a tone per channel, played without a position: every
// tone comes out where its speaker is on the stereo output, the centre, low frequencies and the
// back speakers at -3 dB on their side (both sides for the centre and low frequencies). Levels are
// measured against the file's own decoded channels (the encoder codes the low-frequency channel
// coarsely).
TEST_F(SoundEnginePlaybackTest, WideFilesPlayEveryChannelWhereItsSpeakerIs)
{
    struct Tone
    {
        double frequency;
        uint32_t waveChannel;
        double left;
        double right;
    };
    constexpr double k3dB = 0.70710678;
    struct Layout
    {
        std::vector<double> vorbisTones;
        std::vector<Tone> heard;
    };
    const Layout layouts[] = {
        // Vorbis L C R; wave FL FR FC
        {{300, 500, 700}, {{300, 0, 1, 0}, {700, 1, 0, 1}, {500, 2, k3dB, k3dB}}},
        // Vorbis and wave FL FR BL BR
        {{300, 500, 700, 900}, {{300, 0, 1, 0}, {500, 1, 0, 1}, {700, 2, k3dB, 0}, {900, 3, 0, k3dB}}},
        // Vorbis FL FC FR BL BR LFE; wave FL FR FC LFE BL BR
        {{300, 500, 700, 900, 1100, 200},
         {{300, 0, 1, 0}, {700, 1, 0, 1}, {500, 2, k3dB, k3dB}, {200, 3, k3dB, k3dB}, {900, 4, k3dB, 0}, {1100, 5, 0, k3dB}}},
    };
    for (const Layout& layout : layouts)
    {
        const uint32_t channels = uint32_t(layout.vorbisTones.size());
        SCOPED_TRACE(channels);
        const SoundSamples sound = SoundWriter::MakeTone(layout.vorbisTones, kRate, 1.0, 0.4);
        std::vector<uint8_t> file;
        ASSERT_TRUE(SoundWriter::EncodeOggVorbis(sound, 0.6f, file));
        SoundStreamStaticDataSource source;
        source.AddRange(file.data(), uint32_t(file.size()));
        OGGStream stream(&source);
        ASSERT_TRUE(stream.Open());
        std::vector<int16_t> pcm(size_t(kRate) * channels);
        ASSERT_EQ(stream.Read(pcm.data(), uint32_t(pcm.size() * 2)), pcm.size() * 2);

        const std::string name = "wide" + std::to_string(channels) + ".ogg";
        m_sound.WriteBytes("sounds/" + name, file);
        m_sound.Engine().PlaySystemSound(name.c_str(), nullptr);
        ASSERT_TRUE(m_sound.WaitForVoices(1));
        m_sound.Render(700);
        const auto out = m_sound.Take();
        ASSERT_GE(out[0].size(), 28800u);
        // Half a second from 0.1 s: every tone falls on a whole bin.
        for (const Tone& tone : layout.heard)
        {
            std::vector<float> played(28800);
            for (size_t i = 0; i < played.size(); ++i)
                played[i] = pcm[i * channels + tone.waveChannel] / 32768.0f;
            const double level = ToneLevel(played, 4800, 28800, tone.frequency, kRate);
            EXPECT_GT(level, 0.15) << tone.frequency;
            EXPECT_NEAR(ToneLevel(out[0], 4800, 28800, tone.frequency, kRate), level * tone.left, 0.01) << tone.frequency;
            EXPECT_NEAR(ToneLevel(out[1], 4800, 28800, tone.frequency, kRate), level * tone.right, 0.01) << tone.frequency;
        }
        m_sound.Render(500);
        m_sound.Take();
        ASSERT_TRUE(m_sound.WaitForVoices(0));
    }
}

TEST_F(SoundEnginePlaybackTest, SoundLeftOfTheListenerIsLouderOnTheLeft)
{
    EntitySoundEmitter emitter;
    emitter.m_worldMatrix.rows[3].Set(-4.0f, 0.0f, 1.0f, 1.0f);
    SoundParamWrapper params;
    params.ZeroVolumeRange = 20.0f;
    m_sound.PlayAt(emitter, "tone.ogg", params, false);
    ASSERT_TRUE(m_sound.WaitForVoices(1));
    m_sound.Render(200);
    auto out = m_sound.Take();
    EXPECT_GT(Rms(out[0], 0, out[0].size()), 2.0 * Rms(out[1], 0, out[1].size()));

    m_sound.MoveEmitter(emitter, 4.0f, 0.0f, 1.0f);
    m_sound.WaitCycles(3);
    m_sound.Render(200);
    out = m_sound.Take();
    EXPECT_GT(Rms(out[1], 0, out[1].size()), 2.0 * Rms(out[0], 0, out[0].size()));
}

TEST_F(SoundEnginePlaybackTest, PositionedLevelsAreDoubledUpToOne)
{
    // Straight ahead inside the full-volume range: the positioner gives 0.707 per side, doubled and
    // capped at 1, so each side carries the source whole.
    EntitySoundEmitter emitter;
    emitter.m_worldMatrix.rows[3].Set(0.0f, 0.0f, 1.0f, 1.0f);
    SoundParamWrapper params;
    params.ZeroVolumeRange = 20.0f;
    m_sound.PlayAt(emitter, "tone.ogg", params, false);
    ASSERT_TRUE(m_sound.WaitForVoices(1));
    m_sound.Render(200);
    auto out = m_sound.Take();
    EXPECT_NEAR(Rms(out[0], 0, out[0].size()), 0.354, 0.02);
    EXPECT_NEAR(Rms(out[1], 0, out[1].size()), 0.354, 0.02);
    // Halfway along the 3..20 volume curve the source plays at half its level.
    m_sound.MoveEmitter(emitter, 0.0f, 0.0f, 11.5f);
    m_sound.WaitCycles(3);
    m_sound.Render(200);
    out = m_sound.Take();
    EXPECT_NEAR(Rms(out[0], 0, out[0].size()), 0.354 * 0.707, 0.02);
}

// An emitter closing in at a fifth of the speed of sound (343.5 m/s) is heard c / (c - c/5) = 1.25
// times higher, but only by a sound that asks for Doppler.
TEST_F(SoundEnginePlaybackTest, OnlyASoundWithADopplerFactorShiftsWithItsEmittersSpeed)
{
    EntitySoundEmitter emitter;
    emitter.m_worldMatrix.rows[3].Set(0.0f, 0.0f, 10.0f, 1.0f);
    emitter.m_velocity.Set(0.0f, 0.0f, -343.5f / 5.0f, 0.0f);
    SoundParamWrapper params;
    params.ZeroVolumeRange = 20.0f;
    m_sound.PlayAt(emitter, "tone.ogg", params, false);
    params.DopplerFactor = 1.0f;
    m_sound.PlayAt(emitter, "tone.ogg", params, false);
    ASSERT_TRUE(m_sound.WaitForVoices(2));
    m_sound.WaitCycles(3);
    const auto instances = m_sound.Instances();
    ASSERT_EQ(instances.size(), 2u);
    EXPECT_EQ(instances[0].lastVoiceRatio, 1.0f);
    EXPECT_NEAR(instances[1].lastVoiceRatio, 1.25f, 1e-4f);
}

float PlaybackAspectOfTwo()
{
    return 2.0f;
}

TEST_F(SoundEnginePlaybackTest, ScreenAspectScalesTheListenersDepth)
{
    gProjectConfig.m_scaleSoundsPositionByScreenAspectRatio = true;
    m_sound.Engine().SetScreenAspectRatioHook(&PlaybackAspectOfTwo);
    // The listener at depth 5 is heard at depth 10, right on the emitter, at full level on both
    // sides; unscaled (5 away) or scaled on another axis the level falls along the 1..8 curve.
    m_sound.SetListenerAt(3.0f, 0.0f, 5.0f);
    m_sound.WaitCycles(3);
    EntitySoundEmitter emitter;
    emitter.m_worldMatrix.rows[3].Set(3.0f, 0.0f, 10.0f, 1.0f);
    SoundParamWrapper params;
    params.FullVolumeRange = 1.0f;
    params.ZeroVolumeRange = 8.0f;
    params.LoopCount = 0;
    m_sound.PlayAt(emitter, "tone.ogg", params, false);
    const bool started = m_sound.WaitForVoices(1, 2000);
    m_sound.Render(200);
    const auto out = m_sound.Take();
    gProjectConfig.m_scaleSoundsPositionByScreenAspectRatio = false;
    m_sound.Engine().SetScreenAspectRatioHook(nullptr);
    ASSERT_TRUE(started);
    EXPECT_NEAR(Rms(out[0], 0, out[0].size()), 0.354, 0.02);
    EXPECT_NEAR(Rms(out[1], 0, out[1].size()), 0.354, 0.02);
}

TEST_F(SoundEnginePlaybackTest, FirstFileFirstPlaysTheFirstFileThenOnlyOthers)
{
    m_sound.WriteOgg("low.ogg", SoundWriter::MakeTone({440.0}, kRate, 0.1, 0.5));
    m_sound.WriteOgg("high1.ogg", SoundWriter::MakeTone({880.0}, kRate, 0.1, 0.5));
    m_sound.WriteOgg("high2.ogg", SoundWriter::MakeTone({880.0}, kRate, 0.1, 0.5));
    // Wave files are queued whole rather than decoded, a separate way to the next pass.
    m_sound.WriteBytes("sounds/low.wav", SoundWriter::EncodeWav(SoundWriter::MakeTone({440.0}, kRate, 0.1, 0.5)));
    m_sound.WriteBytes("sounds/high.wav", SoundWriter::EncodeWav(SoundWriter::MakeTone({880.0}, kRate, 0.1, 0.5)));
    SoundParamWrapper params;
    params.Flags = SOUNDSTARTFLAG_FIRSTFILEFIRST;
    params.LoopCount = 4;
    for (int round = 0; round < 8; ++round)
    {
        m_sound.Engine().PlaySystemSound(round < 6 ? "low.ogg;high1.ogg;high2.ogg" : "low.wav;high.wav", &params);
        ASSERT_TRUE(m_sound.WaitForVoices(1));
        m_sound.Render(520);
        const auto out = m_sound.Take();
        ASSERT_GE(out[0].size(), 4u * 4800u);
        EXPECT_NEAR(Frequency(out[0], 0, 4000, kRate), 440.0, 5.0) << "round " << round;
        for (size_t play = 1; play < 4; ++play)
            EXPECT_NEAR(Frequency(out[0], play * 4800 + 400, play * 4800 + 4400, kRate), 880.0, 5.0) << "play " << play;
        ASSERT_TRUE(m_sound.WaitForVoices(0));
    }
    // A single file is the first file on every pass.
    m_sound.Engine().PlaySystemSound("low.ogg", &params);
    ASSERT_TRUE(m_sound.WaitForVoices(1));
    m_sound.Render(520);
    EXPECT_NEAR(Frequency(m_sound.Take()[0], 14400, 18400, kRate), 440.0, 5.0);
}

TEST_F(SoundEnginePlaybackTest, LoopCountPlaysTheFileThatOftenAndLoopsForeverAtZero)
{
    // One 20 ms click per 0.25 s file.
    m_sound.WriteOgg("click.ogg", SoundWriter::MakeClicks(kRate, 0.25, kRate, 960));
    SoundParamWrapper params;
    params.LoopCount = 3;
    m_sound.Engine().PlaySystemSound("click.ogg", &params);
    ASSERT_TRUE(m_sound.WaitForVoices(1));
    m_sound.Render(1200);
    const auto out = m_sound.Take();
    int clicks = 0;
    for (size_t i = 0; i + 480 <= out[0].size(); i += 480)
        clicks += Rms(out[0], i, i + 480) > 0.3 && (i < 480 || Rms(out[0], i - 480, i) < 0.3);
    EXPECT_EQ(clicks, 3);
    EXPECT_EQ(m_sound.VoiceCount(), 0u);

    params.LoopCount = 0;
    const uint32_t id = m_sound.Engine().PlaySystemSound("click.ogg", &params);
    ASSERT_TRUE(m_sound.WaitForVoices(1));
    m_sound.Render(2000);
    m_sound.Take();
    EXPECT_EQ(m_sound.VoiceCount(), 1u);
    // Leaving the loop plays the pass under way to its end.
    m_sound.Engine().ExitLoop(id, nullptr);
    m_sound.Engine().Flush();
    m_sound.Render(1000);
    m_sound.Take();
    EXPECT_EQ(m_sound.VoiceCount(), 0u);
}

TEST_F(SoundEnginePlaybackTest, VolumeAndRatioChangesAreCappedAtOneButAStartRatioIsNot)
{
    const struct
    {
        float startRatio;
        double frequency;
    } rows[] = {
        {1.0f, 440.0}, // 1.5 through SetFrequencyRatio sets 1.0
        {1.5f, 660.0}, // a start ratio above 1 plays as given, and a change to 1.5 brings it to 1.0
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.startRatio);
        SoundParamWrapper params;
        params.FrequencyRatio = row.startRatio;
        const uint32_t id = m_sound.Engine().PlaySystemSound("tone.ogg", &params);
        ASSERT_TRUE(m_sound.WaitForVoices(1));
        m_sound.WaitCycles(3);
        m_sound.Render(100);
        EXPECT_NEAR(Frequency(m_sound.Take()[0], 0, 4800, kRate), row.frequency, 5.0);
        m_sound.Engine().SetVolume(id, 1.5f, 0.0f, 0, nullptr);
        m_sound.Engine().SetFrequencyRatio(id, 1.5f, 0.0f, 0, nullptr);
        m_sound.WaitCycles(3);
        m_sound.Render(200);
        const auto out = m_sound.Take();
        EXPECT_NEAR(Rms(out[0], 0, out[0].size()), 0.354, 0.02);
        EXPECT_NEAR(Frequency(out[0], 0, out[0].size(), kRate), 440.0, 2.0);
        m_sound.Engine().StopSound(kAllSoundInstances, 0.0f, nullptr);
        ASSERT_TRUE(m_sound.WaitForVoices(0));
    }
}

TEST_F(SoundEnginePlaybackTest, SceneZoomCorrectionAppliesOnce)
{
    m_sound.Engine().SetSceneZoomCorrection(0.5f);
    SoundParamWrapper params;
    params.Flags = SOUNDSTARTFLAG_TRUE3D;
    m_sound.Engine().PlaySystemSound("tone.ogg", &params);
    ASSERT_TRUE(m_sound.WaitForVoices(1));
    m_sound.Render(200);
    const auto out = m_sound.Take();
    EXPECT_NEAR(Rms(out[0], 0, out[0].size()), 0.354 * 0.5, 0.01);
}

TEST_F(SoundEnginePlaybackTest, ChannelVolumeAndPauseResume)
{
    SoundParamWrapper params;
    params.Channel = 3;
    params.LoopCount = 0;
    const uint32_t id = m_sound.Engine().PlaySystemSound("tone.ogg", &params);
    ASSERT_TRUE(m_sound.WaitForVoices(1));
    EXPECT_FALSE(m_sound.Engine().SetChannelVolume(16, 0.0f, 0.0f, 0));
    EXPECT_TRUE(m_log.Contains("SetChannelVolume - channel 16 out of range", CONSOLE_ERROR));
    EXPECT_FALSE(m_sound.Engine().SetChannelFrequencyRatio(16, 0.5f, 0.0f, 0));
    EXPECT_TRUE(m_sound.Engine().SetChannelVolume(3, 0.5f, 0.0f, 0));
    EXPECT_TRUE(m_sound.Engine().SetChannelFrequencyRatio(kAllSoundChannels, 0.5f, 0.0f, 0));
    m_sound.WaitCycles(3);
    m_sound.Render(200);
    auto out = m_sound.Take();
    EXPECT_NEAR(Rms(out[0], 0, out[0].size()), 0.177, 0.01);
    EXPECT_NEAR(Frequency(out[0], 0, out[0].size(), kRate), 220.0, 1.0);

    m_sound.Engine().PauseSound(id, 0.0f, nullptr, 0); // another channel: no match
    m_sound.WaitCycles(3);
    m_sound.Render(100);
    EXPECT_GT(Rms(m_sound.Take()[0], 0, 4800), 0.1);
    m_sound.Engine().PauseSound(id, 0.0f, nullptr, -1);
    m_sound.WaitCycles(3);
    m_sound.Render(100);
    EXPECT_EQ(Rms(m_sound.Take()[0], 0, 4800), 0.0);
    m_sound.Engine().ResumeSound(kAllSoundInstances, 0.0f, nullptr, 3);
    m_sound.WaitCycles(3);
    m_sound.Render(100);
    EXPECT_GT(Rms(m_sound.Take()[0], 0, 4800), 0.1);
}

TEST_F(SoundEnginePlaybackTest, SoundPausedBeforeItStartsStaysSilentUntilResumed)
{
    SoundParamWrapper streamed;
    streamed.Flags = SOUNDSTARTFLAG_STREAMED;
    const uint32_t ids[2] = {m_sound.Engine().PlaySystemSound("tone.ogg", nullptr),
                             m_sound.Engine().PlaySystemSound("tone.ogg", &streamed)};
    for (const uint32_t id : ids)
        m_sound.Engine().PauseSound(id, 0.0f, nullptr, -1);
    ASSERT_TRUE(m_sound.WaitForVoices(2));
    m_sound.Render(100);
    EXPECT_EQ(Rms(m_sound.Take()[0], 0, 4800), 0.0);
    m_sound.Engine().ResumeSound(ids[1], 0.0f, nullptr, -1);
    m_sound.WaitCycles(3);
    m_sound.Render(100);
    EXPECT_NEAR(Rms(m_sound.Take()[0], 0, 4800), 0.354, 0.02);
}

TEST_F(SoundEnginePlaybackTest, StreamedSoundLongerThanItsBuffersPlaysWithoutGapsOrRepeats)
{
    // 1.5 s of a sweep-like sum of tones: any gap or repeat changes the sample sequence.
    SoundSamples sound = SoundWriter::MakeTone({311.0}, kRate, 1.5, 0.3);
    const SoundSamples overtone = SoundWriter::MakeTone({1234.5}, kRate, 1.5, 0.2);
    for (size_t i = 0; i < sound.samples.size(); ++i)
        sound.samples[i] = int16_t(sound.samples[i] + overtone.samples[i]);
    m_sound.WriteOgg("long.ogg", sound);

    // The reference: the same file decoded by the same decoder outside the engine.
    std::vector<uint8_t> file;
    ASSERT_TRUE(SoundWriter::EncodeOggVorbis(sound, 0.6f, file));
    std::vector<float> expected;
    {
        SoundStreamStaticDataSource source;
        source.AddRange(file.data(), uint32_t(file.size()));
        OGGStream decoder(&source);
        ASSERT_TRUE(decoder.Open());
        int16_t pcm[4096];
        for (uint32_t got; (got = decoder.Read(pcm, sizeof(pcm))) > 0;)
            for (uint32_t i = 0; i < got / 2; ++i)
                expected.push_back(float(pcm[i]) / 32768.0f);
    }

    SoundParamWrapper params;
    params.Flags = SOUNDSTARTFLAG_STREAMED;
    params.StreamingBufferSize = 4096;
    params.LoopCount = 3;
    // A loop file takes over from the next pass once, then loops like the file it replaced.
    m_sound.Engine().SetLoopFile(m_sound.Engine().PlaySystemSound("long.ogg", &params), "long.ogg");
    ASSERT_TRUE(m_sound.WaitForVoices(1));
    m_sound.Render(5000);
    EXPECT_EQ(m_sound.VoiceCount(), 0u);
    const auto out = m_sound.Take();
    ASSERT_GE(out[0].size(), 3 * expected.size());
    size_t mismatches = 0;
    for (size_t i = 0; i < 3 * expected.size(); ++i)
        mismatches += std::fabs(out[0][i] - expected[i % expected.size()]) > 1e-4f;
    EXPECT_EQ(mismatches, 0u);
    EXPECT_LT(Rms(out[0], 3 * expected.size(), out[0].size()), 1e-6);
}

TEST_F(SoundEnginePlaybackTest, ALoopFileThatCannotBeOpenedEndsTheSoundAfterItsPass)
{
    SoundParamWrapper params;
    params.Flags = SOUNDSTARTFLAG_STREAMED;
    params.LoopCount = 0;
    m_sound.Engine().SetLoopFile(m_sound.Engine().PlaySystemSound("tone.ogg", &params), "missing.ogg");
    ASSERT_TRUE(m_sound.WaitForVoices(1));
    m_sound.Render(1500);
    EXPECT_EQ(m_sound.VoiceCount(), 0u);
    EXPECT_TRUE(m_log.Contains("Cannot read audio stream of tone.ogg", CONSOLE_ERROR));
    EXPECT_EQ(m_log.CountOfKind(CONSOLE_ERROR), 3u) << "two reads of the closed reader, one stream end";
}

TEST_F(SoundEnginePlaybackTest, StreamRingSizesOutsideTheLimitsAreKeptWithinThem)
{
    for (const uint32_t ring : {0u, 0xFFFFFFFFu})
    {
        SCOPED_TRACE(ring);
        SoundParamWrapper params;
        params.Flags = SOUNDSTARTFLAG_STREAMED;
        params.StreamingBufferSize = ring;
        m_sound.Engine().PlaySystemSound("tone.ogg", &params);
        ASSERT_TRUE(m_sound.WaitForVoices(1));
        m_sound.Render(1200);
        EXPECT_NEAR(Rms(m_sound.Take()[0], 0, 47000), 0.354, 0.02);
        EXPECT_EQ(m_sound.VoiceCount(), 0u);
    }
}

// A damaged page costs its own sound only: each pass of a looping file plays on after it, instead
// of the decoder reopening in the middle of the file and failing.
TEST_F(SoundEnginePlaybackTest, ALoopingFileWithADamagedPagePlaysEveryPassToItsEnd)
{
    // A tone with dense clicks encodes to many pages.
    SoundSamples sound = SoundWriter::MakeTone({440.0}, kRate, 0.8, 0.4);
    const SoundSamples clicks = SoundWriter::MakeClicks(kRate, 0.8, 97, 3);
    for (size_t i = 0; i < sound.samples.size(); ++i)
        sound.samples[i] = int16_t(sound.samples[i] + clicks.samples[i] / 4);
    std::vector<uint8_t> file;
    ASSERT_TRUE(SoundWriter::EncodeOggVorbis(sound, 0.8f, file));
    ASSERT_TRUE(SoundWriter::DamageOggPage(file, 3));
    m_sound.WriteBytes("sounds/damaged.ogg", file);
    size_t passFrames = 0;
    {
        SoundStreamStaticDataSource source;
        source.AddRange(file.data(), uint32_t(file.size()));
        OGGStream decoder(&source);
        ASSERT_TRUE(decoder.Open());
        int16_t pcm[4096];
        for (uint32_t got; (got = decoder.Read(pcm, sizeof(pcm))) > 0;)
            passFrames += got / 2;
    }
    ASSERT_GT(passFrames, size_t(kRate / 2)) << "the decoder reads on past the hole";

    SoundParamWrapper params;
    params.LoopCount = 2;
    m_sound.Engine().PlaySystemSound("damaged.ogg", &params);
    ASSERT_TRUE(m_sound.WaitForVoices(1));
    m_sound.Render(1900);
    const auto out = m_sound.Take();
    ASSERT_GE(out[0].size(), 2 * passFrames + 4800);
    EXPECT_GT(Rms(out[0], 2 * passFrames - 9600, 2 * passFrames - 480), 0.2) << "the second pass's end";
    EXPECT_LT(Rms(out[0], 2 * passFrames + 480, out[0].size()), 1e-6);
    EXPECT_FALSE(m_log.Contains("Cannot read audio stream", CONSOLE_ERROR));
}

TEST_F(SoundEnginePlaybackTest, StaticWaveLoopsFromSoundMemory)
{
    m_sound.WriteBytes("sounds/beep.wav", SoundWriter::EncodeWav(SoundWriter::MakeTone({880.0}, kRate, 0.1, 0.5)));
    SoundParamWrapper params;
    params.LoopCount = 4;
    params.Flags = SOUNDSTARTFLAG_JUSTLOAD; // into sound memory, and nothing plays
    m_sound.Engine().PlaySystemSound("beep.wav", &params);
    for (int cycle = 0; cycle < 500 && m_sound.InstanceCount() != 0; ++cycle)
        m_sound.WaitCycles(1);
    EXPECT_EQ(m_sound.InstanceCount(), 0u);
    params.Flags = 0;
    m_sound.Engine().PlaySystemSound("beep.wav", &params);
    ASSERT_TRUE(m_sound.WaitForVoices(1));
    m_sound.Render(600);
    const auto out = m_sound.Take();
    EXPECT_NEAR(Frequency(out[0], 0, 19200, kRate), 880.0, 2.0);
    EXPECT_GT(Rms(out[0], 18000, 19000), 0.3);
    EXPECT_LT(Rms(out[0], 19400, out[0].size()), 1e-6);
    params.LoopCount = 0;
    const uint32_t id = m_sound.Engine().PlaySystemSound("beep.wav", &params);
    ASSERT_TRUE(m_sound.WaitForVoices(1));
    m_sound.Render(600);
    EXPECT_GT(Rms(m_sound.Take()[0], 27000, 28000), 0.3) << "a count of 0 loops on";
    EXPECT_TRUE(m_log.Contains("Playing WAV sound file", CONSOLE_WARNING));
    m_sound.Engine().ExitLoop(id, nullptr);
    m_sound.Engine().Flush();
    m_sound.Render(300);
    EXPECT_LT(Rms(m_sound.Take()[0], 4800, 14400), 1e-6) << "the pass under way ends it, without the one queued";
    EXPECT_EQ(m_sound.VoiceCount(), 0u);

    // Files of different kinds cannot take turns; an XWMA image plays if the mixer reads its format.
    m_sound.Engine().PlaySystemSound("beep.wav;tone.ogg", nullptr);
    std::vector<uint8_t> image = SoundWriter::EncodeWav(SoundWriter::MakeTone({660.0}, kRate, 0.1, 0.5));
    std::memcpy(image.data() + 8, "XWMA", 4);
    m_sound.WriteBytes("sounds/pcm.wav", image);
    image[20] = 0x61, image[21] = 0x01;
    m_sound.WriteBytes("sounds/wma.wav", image);
    m_sound.Engine().PlaySystemSound("wma.wav", nullptr);
    params.LoopCount = 1;
    params.Volume = 0.5f;
    m_sound.Engine().PlaySystemSound("pcm.wav", &params);
    ASSERT_TRUE(m_sound.WaitForVoices(1));
    m_sound.Render(100);
    const auto xwma = m_sound.Take();
    EXPECT_NEAR(Frequency(xwma[0], 0, 4800, kRate), 660.0, 5.0);
    EXPECT_NEAR(Rms(xwma[0], 0, 4800), 0.354 * 0.5, 0.01) << "at the sound's volume";
    EXPECT_TRUE(m_log.Contains("Cannot loop files of different format", CONSOLE_ERROR));
    EXPECT_TRUE(m_log.Contains("Sound device refused a voice for", CONSOLE_WARNING));

    // A packet table ("dpds" before "data": u32 decoded bytes per packet) goes with the buffer, which
    // the voice, decoding no xWMA, refuses; so does a table too short for one packet.
    image[20] = 0x01, image[21] = 0x00;
    const std::pair<const char*, std::vector<uint8_t>> tables[] = {
        {"packets.wav", {'d', 'p', 'd', 's', 8, 0, 0, 0, 0x00, 0x10, 0, 0, 0x00, 0x20, 0, 0}},
        {"empty.wav", {'d', 'p', 'd', 's', 0, 0, 0, 0}}};
    for (const auto& [name, chunk] : tables)
    {
        SCOPED_TRACE(name);
        std::vector<uint8_t> packed = image;
        packed.insert(packed.begin() + 36, chunk.begin(), chunk.end()); // after the 16-byte "fmt "
        const uint32_t riffSize = uint32_t(packed.size() - 8);
        std::memcpy(packed.data() + 4, &riffSize, 4);
        m_sound.WriteBytes(std::string("sounds/") + name, packed);
        m_sound.Engine().PlaySystemSound(name, nullptr);
        const std::string refused = std::string("Unable to start playback of ") + name;
        for (int i = 0; i < 500 && !m_log.Contains(refused); ++i)
            m_sound.WaitCycles(1);
        EXPECT_TRUE(m_log.Contains(refused, CONSOLE_ERROR));
        EXPECT_TRUE(m_log.Contains(std::string("Sound file sounds/") + name +
                                       ": its voice refused the data or did not start",
                                   CONSOLE_ERROR));
        EXPECT_EQ(m_sound.Mixer()->GetLastError(), "packet table for a voice that does not decode xWMA");
    }
}
} // namespace
