// Fades measured in audio time: the test's clock and the mixer advance together, 10 ms at a time,
// so a volume transition on the sound thread and the sound it shapes keep one pace however busy
// the machine is.
#include "engine/config/ProjectConfig.h"
#include "platform/os/Clock.h"
#include "support/SoundTestBase.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace
{
constexpr int64_t kTenMilliseconds = os::kCounterFrequency / 100;

class SoundEngineFadeTest : public SoundTestBase
{
protected:
    void TearDown() override
    {
        os::DisableManualCounter();
        gProjectConfig.m_pcUsesMobileSettings = false;
    }

    // Starts the engine, then holds its clock.
    void StartOnManualClock(SoundTestHarness& sound)
    {
        Start(sound);
        os::EnableManualCounter(os::QueryCounter());
    }
    // One sound cycle and one mixer block, both 10 ms.
    static void Step(SoundTestHarness& sound, int count = 1)
    {
        for (int i = 0; i < count; ++i)
        {
            sound.Engine().Flush();
            os::AdvanceManualCounter(kTenMilliseconds);
            sound.WaitCycles(1);
            sound.Mixer()->RenderBlocks(1);
        }
    }
    static bool StepUntilVoices(SoundTestHarness& sound, uint32_t voices)
    {
        for (int i = 0; i < 200 && sound.VoiceCount() != voices; ++i)
            Step(sound);
        Step(sound);
        return sound.VoiceCount() == voices;
    }
};

TEST_F(SoundEngineFadeTest, StopAndDetachFadeLinearly)
{
    // Three decoders for four sounds: the stopped one must give its buffer back.
    gProjectConfig.m_pcUsesMobileSettings = true;
    gProjectConfig.m_soundDecoders = 3;
    SoundTestHarness sound;
    StartOnManualClock(sound);
    SoundParamWrapper params;
    params.LoopCount = 0;
    const uint32_t id = sound.Engine().PlaySystemSound("tone.ogg", &params);
    ASSERT_TRUE(StepUntilVoices(sound, 1));
    Step(sound, 10);
    sound.Take();
    sound.Engine().StopSound(id, 0.5f, nullptr);
    Step(sound, 60);
    EXPECT_EQ(sound.InstanceCount(), 0u);
    const std::vector<float> out = sound.Take()[0];
    // Envelope in 50 ms windows: the tone's 0.5 falls to silence over half a second, a tenth of its
    // level per window.
    std::vector<double> envelope;
    for (size_t i = 0; i + 2400 <= out.size(); i += 2400)
        envelope.push_back(SoundAnalysis::Peak(out, i, i + 2400));
    ASSERT_GE(envelope.size(), 11u);
    EXPECT_NEAR(envelope[0], 0.5, 0.02);
    for (size_t i = 1; i < 9; ++i)
        EXPECT_NEAR(envelope[i - 1] - envelope[i], 0.05, 0.01) << "window " << i;
    EXPECT_LT(envelope[10], 0.01);

    // An emitter that dies fades its sounds unless they outlive it; a sound of no emitter plays on.
    EntitySoundEmitter emitter;
    SoundParamWrapper outliving = params;
    outliving.Flags = SOUNDSTARTFLAG_OUTLIVEEMITTER | SOUNDSTARTFLAG_NOATTENUATION;
    params.Flags = SOUNDSTARTFLAG_NOATTENUATION;
    sound.PlayAt(emitter, "tone.ogg", params, false);
    sound.PlayAt(emitter, "tone.ogg", outliving, false);
    sound.Engine().PlaySystemSound("tone.ogg", &params);
    ASSERT_TRUE(StepUntilVoices(sound, 3));
    sound.DetachEmitter(emitter, 0.3f);
    Step(sound, 25);
    EXPECT_EQ(sound.InstanceCount(), 3u) << "still fading";
    Step(sound, 10);
    EXPECT_EQ(sound.InstanceCount(), 2u);
}
} // namespace
