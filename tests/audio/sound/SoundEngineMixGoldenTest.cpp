// The mix the sound engine makes for a table of set-ups, 10 ms block by block, against a stored copy:
// positions, listener and distance curves, Doppler, pitch and volume ramps in every easing, class,
// channel and master volumes, pauses, loops, wave files, streams with a loop file, file lists,
// zombies and dying emitters. Each case starts its sounds paused and resumes them together once
// every voice is made; from then on the test's clock and the mixer step together, so the text is
// the same however busy the machine is. NORVEX_UPDATE_GOLDEN=1 rewrites the stored copy instead.
#include "engine/config/GameConfig.h"
#include "engine/config/LanguageNames.h"
#include "platform/os/Clock.h"
#include "support/GoldenText.h"
#include "support/SoundTestBase.h"

#include <cstdio>
#include <functional>

namespace
{
Matrix At(float x, float y, float z)
{
    Matrix matrix = Matrix::ONE;
    matrix.rows[3].Set(x, y, z, 1.0f);
    return matrix;
}
float AspectOfTwo() { return 2.0f; }
SoundParamWrapper Params(uint32_t loops, uint32_t flags = 0, float zeroVolumeRange = 0.0f, float ratio = 1.0f,
                         uint32_t channel = 0, uint32_t soundClass = SOUNDCLASS_SFX)
{
    SoundParamWrapper params;
    params.LoopCount = loops;
    params.Flags = flags;
    params.ZeroVolumeRange = zeroVolumeRange;
    params.FrequencyRatio = ratio;
    params.Channel = channel;
    params.Class = soundClass;
    return params;
}

// What a case does after its first play: more at the start (block -1), and before each block. The
// emitter starts at (0, 0, 2).
struct Mix
{
    SoundEngine& engine;
    EntitySoundEmitter* emitter;
    uint32_t first; // the id of the case's first play
    void Play(const char* name, SoundParamWrapper params) { engine.PlaySystemSound(name, &params); }
    void PlayAt(const char* name, SoundParamWrapper params) { emitter->PostPlay(name, &params); }
    void Move(float x, float y, float z) { emitter->PostSetMatrix(At(x, y, z)); }
    void ClassVolumes(float sfx, float music, float voice)
    {
        const float volumes[3] = {sfx, music, voice};
        engine.PostCommand(SOUND_COMMAND_SET_CLASS_VOLUMES, volumes, sizeof(volumes));
    }
};
struct MixCase
{
    const char* name;
    const char* file; // played first, at the emitter when `positioned`
    SoundParamWrapper params;
    bool positioned;
    uint32_t voices;
    int blocks;
    std::function<void(Mix&, int block)> act = [](Mix&, int) {};
};

class SoundEngineMixGoldenTest : public SoundTestBase
{
protected:
    void TearDown() override { os::DisableManualCounter(); }

    static void Step(SoundTestHarness& sound)
    {
        sound.Engine().Flush();
        os::AdvanceManualCounter(os::kCounterFrequency / 100);
        sound.WaitCycles(1);
        sound.Mixer()->RenderBlocks(1);
    }
    // One line per block: each side's level (RMS in steps of 1/1024) and rising zero crossings,
    // then the voices and the instances.
    std::string Run(const MixCase& mix)
    {
        SoundTestHarness sound;
        for (const auto& [name, bytes] : m_files)
        {
            std::filesystem::create_directories(std::filesystem::path(sound.Folder() / name).parent_path());
            sound.WriteBytes(name, bytes);
        }
        EXPECT_TRUE(sound.Start());
        os::EnableManualCounter(os::QueryCounter());
        Mix context{sound.Engine(), new EntitySoundEmitter(At(0.0f, 0.0f, 2.0f)), sound.Engine().NextInstanceId() + 1};
        if (mix.file != nullptr)
            mix.positioned ? context.PlayAt(mix.file, mix.params) : context.Play(mix.file, mix.params);
        mix.act(context, -1);
        sound.Engine().PauseSound(kAllSoundInstances, 0.0f, nullptr, -1);
        for (int i = 0; i < 500 && sound.VoiceCount() != mix.voices; ++i)
            Step(sound);
        std::string text = std::string(mix.name) + (sound.VoiceCount() != mix.voices ? " (voices missing)\n" : "\n");
        for (int i = 0; i < 3; ++i)
            Step(sound);
        sound.Engine().ResumeSound(kAllSoundInstances, 0.0f, nullptr, -1);
        sound.Take();
        for (int block = 0; block < mix.blocks; ++block)
        {
            mix.act(context, block);
            Step(sound);
            const auto out = sound.Take();
            long level[2];
            int crossings[2] = {};
            for (int side = 0; side < 2; ++side)
            {
                level[side] = std::lround(SoundAnalysis::Rms(out[side], 0, out[side].size()) * 1024.0);
                for (size_t i = 1; i < out[side].size(); ++i)
                    crossings[side] += out[side][i - 1] < 0.0f && out[side][i] >= 0.0f;
            }
            char line[80];
            std::snprintf(line, sizeof(line), "  %02d %4ld %4ld %2d %2d %u %u\n", block, level[0], level[1],
                          crossings[0], crossings[1], sound.VoiceCount(), sound.InstanceCount());
            text += line;
        }
        if (context.emitter != nullptr)
            context.emitter->PostDestroy();
        sound.Engine().StopSound(kAllSoundInstances, 0.0f, nullptr);
        sound.Engine().Flush();
        os::DisableManualCounter();
        return text;
    }

    std::vector<std::pair<std::string, std::vector<uint8_t>>> m_files;
};

TEST_F(SoundEngineMixGoldenTest, EverySetUpMixesAsStored)
{
    const auto ogg = [](std::vector<double> tones, double seconds, double amplitude)
    {
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(SoundWriter::EncodeOggVorbis(SoundWriter::MakeTone(tones, kRate, seconds, amplitude), 0.6f, bytes));
        return bytes;
    };
    m_files = {{"sounds/tone.ogg", ogg({440.0}, 0.5, 0.5)},
               {"sounds/stereo.ogg", ogg({440.0, 660.0}, 0.3, 0.5)},
               {"sounds/blip.ogg", ogg({880.0}, 0.1, 0.5)},
               {"sounds/low.ogg", ogg({330.0}, 0.1, 0.4)},
               {"sounds/beep.wav", SoundWriter::EncodeWav(SoundWriter::MakeTone({550.0}, kRate, 0.1, 0.5))},
               {std::string("Voices/") + LanguageNameOfId(gGameConfig.m_voiceLanguage) + "/line.ogg", ogg({600.0}, 0.2, 0.5)}};
    const MixCase cases[] = {
        {"mono tone, no position", "tone.ogg", Params(1), false, 1, 55},
        {"stereo music stream at half the music volume", "stereo.ogg",
         Params(1, SOUNDSTARTFLAG_STREAMED | SOUNDSTARTFLAG_MUSIC, 0.0f, 1.0f, 0, SOUNDCLASS_MUSIC), false, 1, 35,
         [](Mix& m, int b) { if (b < 0) m.ClassVolumes(1.0f, 0.5f, 1.0f); }},
        {"wave file twice", "beep.wav", Params(2), false, 1, 25},
        {"left of the listener, moved right and lifted", "tone.ogg", Params(0, 0, 20.0f), true, 1, 30, [](Mix& m, int b) {
             if (b < 0 || b == 10) m.Move(b < 0 ? -4.0f : 4.0f, 0.0f, 1.0f);
             if (b == 20) m.emitter->PostSetAltitudeOverride(6.0f);
         }},
        {"default distance curve, moved away", "tone.ogg", Params(0), true, 1, 20,
         [](Mix& m, int b) { if (b < 0 || b == 10) m.Move(1.0f, 0.0f, b < 0 ? 1.5f : 6.0f); }},
        {"listener turned, then moved", "tone.ogg", Params(0, 0, 20.0f), true, 1, 20, [](Mix& m, int b) {
             Matrix turned = At(2.0f, 0.0f, 0.0f);
             turned.rows[0].Set(0.0f, 0.0f, -1.0f, 0.0f);
             turned.rows[2].Set(1.0f, 0.0f, 0.0f, 0.0f);
             if (b < 0 || b == 10) m.engine.SetListenerMatrix(b < 0 ? turned : At(0.0f, 0.0f, 8.0f));
         }},
        {"Doppler closing in, then leaving", "tone.ogg", Params(0, 0, 20.0f, 1.25f), true, 2, 20, [](Mix& m, int b) {
             SoundParamWrapper p = Params(0, 0, 20.0f);
             p.DopplerFactor = 1.0f;
             if (b < 0) m.Move(0.0f, 0.0f, 10.0f), m.PlayAt("tone.ogg", p);
             if (b < 0 || b == 10) m.emitter->PostSetVelocity(Vector(0.0f, 0.0f, b < 0 ? -68.7f : 120.0f, 0.0f));
         }},
        {"flat 3D at a screen aspect of two and half zoom", "stereo.ogg", Params(0, SOUNDSTARTFLAG_TRUE3D, 20.0f), true, 1,
         15, [](Mix& m, int b) {
             if (b < 0)
                 m.engine.SetScreenAspectRatioHook(&AspectOfTwo), m.engine.SetSceneZoomCorrection(0.5f),
                     m.Move(1.5f, 3.0f, 2.0f);
         }},
        {"pitch ramps", "tone.ogg", Params(0, 0, 0.0f, 1.5f), false, 1, 40, [](Mix& m, int b) {
             if (b == 5 || b == 30)
                 m.engine.SetFrequencyRatio(m.first, b == 5 ? 0.5f : 3.0f, b == 5 ? 0.2f : 0.0f, EASING_SINE_IN_OUT, nullptr);
         }},
        {"volume ramps in every easing", "tone.ogg", Params(0), false, 1, 52, [](Mix& m, int b) {
             const float targets[] = {0.2f, 1.0f, 0.4f, 1.5f};
             if (b % 12 == 2 && b < 50) m.engine.SetVolume(m.first, targets[b / 12], 0.1f, uint32_t(b / 12), nullptr);
         }},
        {"channel volume and ratio, master fade", "tone.ogg", Params(0, 0, 0.0f, 1.0f, 3), false, 1, 32, [](Mix& m, int b) {
             if (b == 2)
                 m.engine.SetChannelVolume(2, 0.0f, 0.0f, 0), m.engine.SetChannelVolume(3, 0.25f, 0.1f, EASING_LINEAR);
             if (b == 12) m.engine.SetChannelFrequencyRatio(3, 2.0f, 0.0f, EASING_LINEAR);
             if (b == 16) m.engine.SetChannelVolume(kAllSoundChannels, 1.0f, 0.0f, EASING_LINEAR);
             if (b == 20) m.engine.FadeMasterVolume(0.5f, 0.1f, EASING_SINE_OUT);
         }},
        {"paused by channel, resumed, stopped with a fade", "tone.ogg", Params(0, 0, 0.0f, 1.0f, 1), false, 1, 30,
         [](Mix& m, int b) {
             if (b == 3) m.engine.PauseSound(kAllSoundInstances, 0.0f, nullptr, 1);
             if (b == 8 || b == 10) m.engine.ResumeSound(m.first, 0.0f, nullptr, b == 8 ? 2 : -1);
             if (b == 15) m.engine.StopSound(m.first, 0.1f, nullptr);
         }},
        {"three plays, and a loop left", "blip.ogg", Params(3), false, 2, 60, [](Mix& m, int b) {
             if (b < 0) m.Play("low.ogg", Params(0));
             if (b == 15) m.engine.ExitLoop(m.first + 1, nullptr);
         }},
        {"stream of three plays with a loop file", "blip.ogg", Params(3, SOUNDSTARTFLAG_STREAMED), false, 1, 40,
         [](Mix& m, int b) { if (b < 0) m.engine.SetLoopFile(m.first, "low.ogg"); }},
        {"first file first from a list", "blip.ogg;low.ogg", Params(3, SOUNDSTARTFLAG_FIRSTFILEFIRST), false, 1, 35},
        {"out of range and back", "low.ogg", Params(0, 0, 10.0f), true, 2, 30, [](Mix& m, int b) {
             SoundParamWrapper holder = Params(0); // keeps the file loaded while the other is a zombie
             holder.Volume = 0.0f;
             if (b < 0) m.Play("low.ogg", holder);
             if (b == 5 || b == 15) m.Move(0.0f, 0.0f, b == 5 ? 50.0f : 3.0f);
         }},
        {"emitter destroyed, one sound outliving it", "tone.ogg", Params(0, SOUNDSTARTFLAG_NOATTENUATION), true, 2, 40,
         [](Mix& m, int b) {
             if (b < 0) m.PlayAt("low.ogg", Params(0, SOUNDSTARTFLAG_NOATTENUATION | SOUNDSTARTFLAG_OUTLIVEEMITTER));
             if (b == 5) m.emitter->PostDestroy(), m.emitter = nullptr;
         }},
        {"localized voice at half the voice volume", nullptr, Params(1), false, 1, 25, [](Mix& m, int b) {
             if (b < 0) m.ClassVolumes(1.0f, 1.0f, 0.5f), m.engine.PlayLocalizedVoice("line", nullptr);
         }},
    };
    std::string text = "block, left and right level x1024, left and right rising crossings, voices, instances\n";
    for (const MixCase& mix : cases)
        text += Run(mix);
    ExpectTextMatchesStoredCopy(text, "tests/audio/sound/golden/MixBlocks.txt");
}
} // namespace
