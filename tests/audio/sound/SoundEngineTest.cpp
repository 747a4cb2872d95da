// Sound engine commands, limits, zombies and failure handling.
// ctest-labels: thread
#include "support/SoundTestBase.h"

#include "engine/config/GameConfig.h"
#include "engine/config/ProjectConfig.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

using SoundAnalysis::Rms;

namespace
{
class SoundEngineTest : public SoundTestBase
{
};

TEST_F(SoundEngineTest, IdsCountFromOneAndNeverTakeTheReservedValues)
{
    SoundTestHarness sound;
    Start(sound);
    EXPECT_EQ(sound.Engine().PlaySystemSound(nullptr, nullptr), 0u);
    EXPECT_EQ(sound.Engine().PlaySystemSound("tone.ogg", nullptr), 1u);
    EXPECT_EQ(sound.Engine().PlaySystemSound("tone.ogg", nullptr), 2u);
    sound.Engine().Flush();
    EXPECT_EQ(sound.Engine().GetHandledCount(SOUND_COMMAND_PLAY), 2u) << "a refused name posts nothing";
    EXPECT_EQ(sound.Engine().GetHandledCount(kSoundCommandLimit), 0u);
    sound.Engine().SetLastInstanceId(0xFFFFFFFDu);
    EXPECT_EQ(sound.Engine().NextInstanceId(), 0xFFFFFFFEu);
    EXPECT_EQ(sound.Engine().NextInstanceId(), 1u);

    // Many threads at once still get distinct ids.
    sound.Engine().SetLastInstanceId(0);
    std::vector<std::vector<uint32_t>> ids(4);
    std::vector<std::thread> threads;
    for (auto& list : ids)
        threads.emplace_back([&sound, &list] {
            for (int i = 0; i < 200; ++i)
                list.push_back(sound.Engine().PlaySystemSound("missing.ogg", nullptr));
        });
    for (std::thread& thread : threads)
        thread.join();
    std::set<uint32_t> unique;
    for (const auto& list : ids)
        unique.insert(list.begin(), list.end());
    EXPECT_EQ(unique.size(), 800u);
    EXPECT_EQ(unique.count(0), 0u);
}

TEST_F(SoundEngineTest, FailedDeviceIsReportedAndTheEngineRunsSilent)
{
    SoundTestHarness sound(audio::EngineMode::Manual, audio::DeviceFailure::MasteringVoice);
    Start(sound);
    EXPECT_TRUE(m_log.Contains("mastering voice", CONSOLE_ERROR));
    EXPECT_EQ(sound.Mixer(), nullptr);
    EXPECT_NE(sound.Engine().PlaySystemSound("tone.ogg", nullptr), 0u);
    sound.WaitCycles(20);
    EXPECT_EQ(sound.InstanceCount(), 0u);
    EXPECT_FALSE(m_log.Contains("Unable to start playback"));
}

TEST_F(SoundEngineTest, StreamLimitsAndTheExclusiveTrack)
{
    SoundTestHarness sound;
    Start(sound);
    SoundParamWrapper params;
    params.LoopCount = 0;
    // The second round finds every place the first one's streams gave back, each under its own limit.
    for (int round = 0; round < 2; ++round)
    {
        params.Flags = SOUNDSTARTFLAG_STREAMED;
        for (int i = 0; i < 9; ++i)
            sound.Engine().PlaySystemSound("tone.ogg", &params);
        ASSERT_TRUE(sound.WaitForVoices(8)) << round;
        EXPECT_TRUE(m_log.Contains("Too many streamed sound sources [tone.ogg]", CONSOLE_ERROR));
        params.Flags |= SOUNDSTARTFLAG_MUSIC;
        for (int i = 0; i < 5; ++i)
            sound.Engine().PlaySystemSound("tone.ogg", &params);
        ASSERT_TRUE(sound.WaitForVoices(12)) << round;
        EXPECT_EQ(sound.InstanceCount(), 12u);
        sound.Engine().StopSound(kAllSoundInstances, 0.0f, nullptr);
    }
    params.Flags = SOUNDSTARTFLAG_IPHONEMP3;
    sound.Engine().PlaySystemSound("tone.ogg", &params);
    const uint32_t second = sound.Engine().PlaySystemSound("tone.ogg", &params);
    ASSERT_TRUE(sound.WaitForVoices(1));
    EXPECT_EQ(sound.InstanceCount(), 1u);
    sound.Engine().StopSound(second, 0.0f, nullptr);
    EXPECT_EQ(sound.InstanceCount(), 0u);
}

TEST_F(SoundEngineTest, WithEveryDecodeBufferTakenTheNextOggSoundIsRefused)
{
    gProjectConfig.m_pcUsesMobileSettings = true;
    gProjectConfig.m_soundDecoders = 1;
    SoundTestHarness sound;
    Start(sound);
    gProjectConfig.m_pcUsesMobileSettings = false;
    gProjectConfig.m_soundDecoders = 16;
    sound.Engine().PlaySystemSound("tone.ogg", nullptr);
    sound.Engine().PlaySystemSound("tone.ogg", nullptr);
    ASSERT_TRUE(sound.WaitForVoices(1));
    for (int i = 0; i < 200 && sound.InstanceCount() != 1; ++i)
        sound.WaitCycles(1);
    EXPECT_EQ(sound.VoiceCount(), 1u);
    EXPECT_TRUE(m_log.Contains("Unable to allocate decode buffer", CONSOLE_ERROR));
}

TEST_F(SoundEngineTest, LoopingSoundTurnsZombieOutOfRangeAndComesBack)
{
    SoundTestHarness sound;
    Start(sound);
    EntitySoundEmitter emitter;
    SoundParamWrapper params;
    params.LoopCount = 0;
    params.FullVolumeRange = 3.0f;
    params.ZeroVolumeRange = 10.0f;
    sound.PlayAt(emitter, "tone.ogg", params, true);
    ASSERT_TRUE(sound.WaitForVoices(1));
    sound.SetListenerAt(12.5f, 0.0f, 0.0f);
    ASSERT_TRUE(sound.WaitForVoices(0));
    EXPECT_EQ(sound.InstanceCount(), 1u);
    sound.SetListenerAt(11.5f, 0.0f, 0.0f); // between the two thresholds: stays a zombie
    sound.WaitCycles(5);
    EXPECT_EQ(sound.VoiceCount(), 0u);
    sound.Engine().LogActiveSoundInstances();
    sound.Engine().Flush();
    EXPECT_TRUE(m_log.Contains("000 l:1 Zombie"));
    sound.SetListenerAt(10.5f, 0.0f, 0.0f);
    ASSERT_TRUE(sound.WaitForVoices(1));
    EXPECT_TRUE(sound.Instances().at(0).streamed) << "it comes back streamed, as it was made";
    sound.SetListenerAt(1.0f, 0.0f, 0.0f);
    sound.WaitCycles(3);
    sound.Render(100);
    EXPECT_GT(Rms(sound.Take()[0], 0, 4800), 0.0);
    sound.Engine().LogActiveSoundInstances();
    sound.Engine().Flush();
    EXPECT_TRUE(m_log.Contains("000 l:1 tone.ogg"));
}

TEST_F(SoundEngineTest, ExitLoopAFadingStopOrTheEmittersDeathEndsAZombieAtOnce)
{
    SoundTestHarness sound;
    Start(sound);
    EntitySoundEmitter emitter;
    SoundParamWrapper params;
    params.LoopCount = 0;
    params.FullVolumeRange = 3.0f;
    params.ZeroVolumeRange = 10.0f;
    const uint32_t id = sound.PlayAt(emitter, "tone.ogg", params, true);
    ASSERT_TRUE(sound.WaitForVoices(1));
    sound.SetListenerAt(12.5f, 0.0f, 0.0f);
    ASSERT_TRUE(sound.WaitForVoices(0));
    ASSERT_EQ(sound.InstanceCount(), 1u) << "a zombie keeps the looping sound's place";
    sound.Engine().PostCommand(SOUND_COMMAND_EXIT_LOOP, &id, 4); // too short for its head: dropped
    sound.Engine().Flush();
    ASSERT_EQ(sound.InstanceCount(), 1u);
    sound.Engine().ExitLoop(id, nullptr);
    sound.Engine().Flush();
    EXPECT_EQ(sound.InstanceCount(), 0u);
    const uint32_t second = sound.PlayAt(emitter, "tone.ogg", params, true);
    sound.WaitCycles(3);
    sound.Engine().StopSound(second, 1.0f, nullptr); // a zombie has nothing to fade
    sound.Engine().Flush();
    EXPECT_EQ(sound.InstanceCount(), 0u);
    EntitySoundEmitter* dying = new EntitySoundEmitter();
    sound.PlayAt(*dying, "tone.ogg", params, true);
    sound.WaitCycles(3);
    ASSERT_EQ(sound.InstanceCount(), 1u);
    dying->PostDestroy();
    sound.Engine().Flush();
    EXPECT_EQ(sound.InstanceCount(), 0u) << "nor when its emitter dies";
}

TEST_F(SoundEngineTest, FiniteStaticSoundTooFarAwayNeverPlaysAndANearOneWaitsItsDelay)
{
    SoundTestHarness sound;
    Start(sound);
    // Twice the full-volume range (12) reaches past the zero-volume range; 1.8 times that is 21.6,
    // and a sound right on that edge is still in range.
    EntitySoundEmitter far, near;
    far.m_worldMatrix.rows[3].Set(22.0f, 0.0f, 0.0f, 1.0f);
    near.m_worldMatrix.rows[3].Set(0.0f, 0.0f, 12.0f * 1.8f, 1.0f);
    SoundParamWrapper params;
    params.FullVolumeRange = 6.0f;
    params.ZeroVolumeRange = 10.0f;
    sound.PlayAt(far, "tone.ogg", params, false);
    sound.WaitCycles(10);
    EXPECT_EQ(sound.InstanceCount(), 0u);
    params.StartDelay = 0.5f;
    sound.PlayAt(near, "tone.ogg", params, false);
    sound.WaitCycles(3);
    EXPECT_EQ(sound.VoiceCount(), 0u);
    EXPECT_TRUE(sound.WaitForVoices(1));
}

TEST_F(SoundEngineTest, LocalizedVoiceStreamsFromTheLanguageFolderInTheVoiceClass)
{
    SoundTestHarness sound;
    gGameConfig.m_voiceLanguage = 1;
    gGameConfig.m_voiceVolume = 0.5f;
    std::filesystem::create_directories(sound.Folder() / "Voices/English");
    ASSERT_TRUE(SoundWriter::WriteOggVorbis(sound.Folder() / "Voices/English/Intro.ogg",
                                            SoundWriter::MakeTone({440.0}, kRate, 0.5, 0.5)));
    Start(sound);
    EXPECT_EQ(sound.Engine().PlayLocalizedVoice(nullptr, nullptr), 0u);
    EXPECT_NE(sound.Engine().PlayLocalizedVoice("Intro", nullptr), 0u);
    ASSERT_TRUE(sound.WaitForVoices(1));
    sound.Render(200);
    EXPECT_NEAR(Rms(sound.Take()[0], 0, 9600), 0.354 * 0.5, 0.01);
    // "Voices/English/" and ".ogg" around 241 letters make 260 characters: no room for the terminator.
    EXPECT_EQ(sound.Engine().PlayLocalizedVoice(std::string(241, 'x').c_str(), nullptr), 0u);
    EXPECT_TRUE(m_log.Contains("Voice path too long", CONSOLE_ERROR));
}

TEST_F(SoundEngineTest, GlitchesAreReportedAndDrainPointsWait)
{
    SoundTestHarness sound;
    Start(sound);
    sound.Mixer()->SimulateGlitches(3);
    sound.WaitCycles(3);
    EXPECT_TRUE(m_log.Contains("3 sound glithes during", CONSOLE_WARNING));

    sound.Engine().PlaySystemSound("tone.ogg", nullptr);
    sound.Engine().PauseForDeactivation();
    EXPECT_EQ(sound.InstanceCount(), 1u);
    sound.Engine().ResumeAfterActivation();
}

TEST_F(SoundEngineTest, BrokenFilesFailWithALoggedError)
{
    SoundTestHarness sound;
    Start(sound);
    std::vector<uint8_t> ogg;
    ASSERT_TRUE(SoundWriter::EncodeOggVorbis(SoundWriter::MakeTone({440.0}, kRate, 0.5, 0.5), 0.5f, ogg));
    sound.WriteBytes("sounds/garbage.ogg", std::vector<uint8_t>(3000, 0x5A));
    sound.WriteBytes("sounds/cut.ogg", std::vector<uint8_t>(ogg.begin(), ogg.begin() + 200));
    std::vector<uint8_t> wav = SoundWriter::EncodeWav(SoundWriter::MakeTone({440.0}, kRate, 0.1, 0.5));
    wav.resize(wav.size() / 2);
    sound.WriteBytes("sounds/cut.wav", wav);

    SoundParamWrapper streamed;
    streamed.Flags = SOUNDSTARTFLAG_STREAMED;
    for (const char* name : {"garbage.ogg", "cut.ogg"})
    {
        sound.Engine().PlaySystemSound(name, nullptr);
        sound.Engine().PlaySystemSound(name, &streamed);
    }
    sound.Engine().PlaySystemSound("cut.wav", nullptr);
    sound.Engine().PlaySystemSound("nothing.ogg", &streamed);
    // Of two files, one name of 1023 letters is still looked up and the other, one letter longer, is refused.
    sound.Engine().PlaySystemSound((std::string(1023, 'n') + ";" + std::string(1024, 'n')).c_str(), nullptr);
    sound.Engine().PlaySystemSound(";", nullptr); // no file at all
    // Names that cannot fit the command ring are refused before anything is posted.
    EXPECT_EQ(sound.Engine().PlaySystemSound(std::string(70000, 'n').c_str(), nullptr), 0u);
    sound.Engine().SetLoopFile(1, std::string(70000, 'n').c_str());
    for (int i = 0; i < 200 && sound.InstanceCount() != 0; ++i)
        sound.WaitCycles(1);
    EXPECT_EQ(sound.InstanceCount(), 0u);
    EXPECT_TRUE(m_log.Contains("Unable to start playback of garbage.ogg", CONSOLE_ERROR));
    EXPECT_TRUE(m_log.Contains("Unable to start playback of cut.ogg", CONSOLE_ERROR));
    EXPECT_TRUE(m_log.Contains("Sound file sounds/garbage.ogg: not an Ogg Vorbis stream", CONSOLE_ERROR));
    EXPECT_TRUE(m_log.Contains("Sound file sounds/cut.ogg: not an Ogg Vorbis stream", CONSOLE_ERROR));
    EXPECT_TRUE(m_log.Contains("Resource loading failed (cut.wav)", CONSOLE_ERROR));
    EXPECT_TRUE(m_log.Contains("Sound file sounds/cut.wav: it did not load", CONSOLE_ERROR));
    EXPECT_TRUE(m_log.Contains("Unable to open sound file for streaming: [nothing.ogg]", CONSOLE_ERROR));
    EXPECT_TRUE(m_log.Contains("Resource loading failed (nnnnnnnn", CONSOLE_ERROR));
    EXPECT_TRUE(m_log.Contains("Sound file name too long", CONSOLE_ERROR));
    EXPECT_TRUE(m_log.Contains("Sound name too long to play", CONSOLE_ERROR));
    EXPECT_TRUE(m_log.Contains("Loop file name too long", CONSOLE_ERROR));
}
} // namespace
