// Fades measured on a real-time mix: the volume transitions run on the sound thread's clock, so
// the mixer must advance at the same pace.
#include "support/SoundTestBase.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace
{
class SoundEngineFadeTest : public SoundTestBase
{
};

TEST_F(SoundEngineFadeTest, StopAndDetachFadeLinearly)
{
    SoundTestHarness sound(audio::EngineMode::RealTime);
    Start(sound);
    SoundParamWrapper params;
    params.LoopCount = 0;
    const uint32_t id = sound.Engine().PlaySystemSound("tone.ogg", &params);
    ASSERT_TRUE(sound.WaitForVoices(1));
    os::Sleep(100);
    sound.Take();
    sound.Engine().StopSound(id, 0.5f, nullptr);
    for (int i = 0; i < 300 && sound.InstanceCount() != 0; ++i)
        os::Sleep(5);
    EXPECT_EQ(sound.InstanceCount(), 0u);
    const std::vector<float> out = sound.Take()[0];
    // Envelope in 50 ms windows: from full level down to silence, falling by about a tenth per window.
    std::vector<double> envelope;
    for (size_t i = 0; i + 2400 <= out.size(); i += 2400)
        envelope.push_back(SoundAnalysis::Peak(out, i, i + 2400));
    ASSERT_GE(envelope.size(), 8u);
    const size_t start = size_t(std::find_if(envelope.begin(), envelope.end(), [](double p) { return p < 0.48; }) -
                                envelope.begin());
    ASSERT_LT(start + 5, envelope.size());
    for (size_t i = start + 1; i < start + 5; ++i)
        EXPECT_NEAR(envelope[i - 1] - envelope[i], 0.05, 0.03) << "window " << i;
    EXPECT_LT(envelope.back(), 0.1);

    // An emitter that dies fades its sounds unless they outlive it.
    EntitySoundEmitter emitter;
    SoundParamWrapper outliving = params;
    outliving.Flags = SOUNDSTARTFLAG_OUTLIVEEMITTER | SOUNDSTARTFLAG_NOATTENUATION;
    params.Flags = SOUNDSTARTFLAG_NOATTENUATION;
    sound.PlayAt(emitter, "tone.ogg", params, false);
    sound.PlayAt(emitter, "tone.ogg", outliving, false);
    ASSERT_TRUE(sound.WaitForVoices(2));
    sound.DetachEmitter(emitter, 0.3f);
    os::Sleep(600);
    EXPECT_EQ(sound.InstanceCount(), 1u);
}
} // namespace
