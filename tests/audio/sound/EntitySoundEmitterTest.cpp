// ctest-labels: thread
// Entity sound emitters: sub-operations applied on the sound thread in posting order (matrix,
// velocity, altitude override, play, destroy), the fade of an emitter's sounds when it dies, and
// the emitter as the owner filter of the sound engine's commands.
#include "audio/sound/EntitySoundEmitter.h"
#include "audio/sound/SoundInstanceBase.h"
#include "platform/os/Clock.h"
#include "support/ConsoleCapture.h"
#include "support/SoundTestHarness.h"

#include <gtest/gtest.h>

namespace
{
struct EmitterState
{
    Matrix matrix;
    Vector velocity;
    float altitudeOverride;
    float baseHeight;
};

class EntitySoundEmitterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Frozen clock: the sound thread never updates (or ends) an instance after its first cycle.
        os::EnableManualCounter(1000 * os::kCounterFrequency);
        ASSERT_TRUE(m_sound.Start());
        // Fades start at the cycle time, which the first cycle sets.
        for (int i = 0; i < 5000 && m_sound.Engine().GetCycleCount() == 0; ++i)
            os::Sleep(1);
        ASSERT_NE(m_sound.Engine().GetCycleCount(), 0u);
    }
    void TearDown() override
    {
        m_sound.Engine().Flush();
        os::DisableManualCounter();
    }

    // The emitter's fields as the sound thread sees them after everything posted so far.
    EmitterState Read(EntitySoundEmitter* emitter)
    {
        struct Request
        {
            EntitySoundEmitter* emitter;
            EmitterState state;
        } request{emitter, {}};
        m_sound.Engine().PostCall(
            [](BaseThread&, uintptr_t argument, CommandRingBuffer&) {
                Request* r = reinterpret_cast<Request*>(argument);
                r->state = {r->emitter->m_worldMatrix, r->emitter->m_velocity, r->emitter->m_altitudeOverride,
                            r->emitter->m_baseHeight};
            },
            reinterpret_cast<uintptr_t>(&request));
        m_sound.Engine().Flush();
        return request.state;
    }

    static Matrix At(float x, float y, float z)
    {
        Matrix matrix = Matrix::ONE;
        matrix.rows[3].Set(x, y, z, 1.0f);
        return matrix;
    }

    ConsoleCapture m_log;
    SoundTestHarness m_sound;
};

TEST_F(EntitySoundEmitterTest, AnAltitudeOverrideHoldsTheHeightUntilItIsLifted)
{
    EntitySoundEmitter* emitter = new EntitySoundEmitter(At(1.0f, 7.0f, 3.0f));
    EXPECT_FLOAT_EQ(emitter->m_baseHeight, 7.0f);
    EXPECT_FLOAT_EQ(emitter->m_altitudeOverride, -1.0f);
    emitter->PostSetAltitudeOverride(0.0f); // ground level is an override too
    EXPECT_FLOAT_EQ(Read(emitter).matrix.rows[3].y, 0.0f);
    emitter->PostSetMatrix(At(4.0f, 2.0f, 6.0f));
    EmitterState state = Read(emitter);
    EXPECT_FLOAT_EQ(state.matrix.rows[3].y, 0.0f);
    EXPECT_FLOAT_EQ(state.matrix.rows[3].x, 4.0f);
    EXPECT_FLOAT_EQ(state.matrix.rows[3].z, 6.0f);
    EXPECT_FLOAT_EQ(state.baseHeight, 2.0f);

    emitter->PostSetAltitudeOverride(-1.0f);
    state = Read(emitter);
    EXPECT_FLOAT_EQ(state.matrix.rows[3].y, 2.0f);
    emitter->PostSetMatrix(At(0.0f, 3.0f, 0.0f));
    EXPECT_FLOAT_EQ(Read(emitter).matrix.rows[3].y, 3.0f);

    emitter->PostSetVelocity(Vector(1.0f, 2.0f, 3.0f, 0.0f));
    state = Read(emitter);
    EXPECT_FLOAT_EQ(state.velocity.x, 1.0f);
    EXPECT_FLOAT_EQ(state.velocity.z, 3.0f);
    emitter->PostDestroy();
}

TEST_F(EntitySoundEmitterTest, PlayMakesAnInstanceAtTheEmitterWithTheGivenParameters)
{
    EntitySoundEmitter* emitter = new EntitySoundEmitter();
    EXPECT_EQ(emitter->PostPlay(nullptr, nullptr), 0u);
    EXPECT_TRUE(m_sound.Instances().empty());

    SoundParamWrapper params;
    params.Flags = SOUNDSTARTFLAG_STREAMED;
    params.Volume = 0.5f;
    params.LoopCount = 0;
    params.Channel = kSoundChannelCount; // one past the last: mended to channel 0
    params.Class = SOUNDCLASS_MAX;       // unknown: mended to a sound effect
    params.StreamingBufferSize = 4096;
    const uint32_t streamed = emitter->PostPlay("music.ogg", &params);
    const uint32_t plain = emitter->PostPlay("hit.wav", nullptr);
    EXPECT_NE(streamed, 0u);
    EXPECT_EQ(plain, streamed + 1) << "ids come from the engine's counter";
    const auto instances = m_sound.Instances();
    ASSERT_EQ(instances.size(), 2u);
    EXPECT_EQ(instances[0].id, streamed);
    EXPECT_EQ(instances[0].name, "music.ogg");
    EXPECT_TRUE(instances[0].streamed);
    EXPECT_EQ(instances[0].emitter, emitter);
    EXPECT_FLOAT_EQ(instances[0].params.Volume, 0.5f);
    EXPECT_EQ(instances[0].params.LoopCount, 0u);
    EXPECT_EQ(instances[0].params.Channel, 0u);
    EXPECT_EQ(instances[0].params.Class, uint32_t(SOUNDCLASS_SFX));
    EXPECT_EQ(instances[0].params.StreamingBufferSize, 4096u) << "the last field of the block arrives too";
    EXPECT_TRUE(m_log.Contains("Audio channel out of range - 16", CONSOLE_ERROR));
    EXPECT_EQ(instances[1].name, "hit.wav");
    EXPECT_FALSE(instances[1].streamed);
    EXPECT_EQ(instances[1].params.LoopCount, SoundParamWrapper::DEFAULT.LoopCount);
    EXPECT_EQ(emitter->PostPlay(std::string(70000, 'x').c_str(), nullptr), 0u) << "a name past the ring";
    EXPECT_TRUE(m_log.Contains("Sound name too long to play: xxxx", CONSOLE_ERROR));
    EXPECT_EQ(emitter->PostPlay("hit.wav", nullptr), plain + 1) << "the refused name took no id";
    m_sound.Engine().StopSound(kAllSoundInstances, 0.0f, nullptr);
    emitter->PostDestroy();
}

TEST_F(EntitySoundEmitterTest, DestroyFadesTheEmittersSoundsOverAThirdOfASecond)
{
    EntitySoundEmitter* emitter = new EntitySoundEmitter();
    SoundParamWrapper looping;
    looping.LoopCount = 0;
    SoundParamWrapper outliving = looping;
    outliving.Flags = 128; // the number scripts pass: the flag has no script constant
    emitter->PostPlay("loop.wav", &looping);
    emitter->PostPlay("tail.wav", &outliving);
    // Posted straight after the plays: the sound thread still runs them first.
    emitter->PostDestroy();
    const auto instances = m_sound.Instances();
    ASSERT_EQ(instances.size(), 2u);
    for (const auto& instance : instances)
        EXPECT_EQ(instance.emitter, nullptr) << instance.name;
    EXPECT_NE(instances[0].stateBits & SOUND_STATE_STOPPING, 0u);
    TimedFloatTransition fade = instances[0].volume;
    EXPECT_TRUE(fade.IsActive());
    EXPECT_FLOAT_EQ(fade.GetTarget(), 0.0f);
    fade.Update(instances[0].cycleTime + Time(os::kCounterFrequency * 15 / 100));
    EXPECT_NEAR(fade.GetCurrent(), 0.5f, 0.01f);
    fade.Update(instances[0].cycleTime + Time(os::kCounterFrequency * 31 / 100));
    EXPECT_NEAR(fade.GetCurrent(), 0.0f, 1e-5f);
    EXPECT_FALSE(fade.IsActive());
    EXPECT_EQ(instances[1].stateBits & SOUND_STATE_STOPPING, 0u) << "it was started to outlive its emitter";
    m_sound.Engine().StopSound(kAllSoundInstances, 0.0f, nullptr);
}

TEST_F(EntitySoundEmitterTest, TheEmitterScopesStopAndPauseToItsOwnSounds)
{
    EntitySoundEmitter* first = new EntitySoundEmitter();
    EntitySoundEmitter* second = new EntitySoundEmitter();
    const uint32_t a = first->PostPlay("a.wav", nullptr);
    const uint32_t b = second->PostPlay("b.wav", nullptr);
    const uint32_t c = second->PostPlay("c.wav", nullptr);
    m_sound.Engine().PauseSound(kAllSoundInstances, 0.0f, second, -1);
    auto instances = m_sound.Instances();
    ASSERT_EQ(instances.size(), 3u);
    EXPECT_EQ(instances[0].stateBits & SOUND_STATE_PAUSED, 0u);
    EXPECT_NE(instances[1].stateBits & SOUND_STATE_PAUSED, 0u);
    EXPECT_NE(instances[2].stateBits & SOUND_STATE_PAUSED, 0u);

    m_sound.Engine().StopSound(kAllSoundInstances, 0.0f, first);
    instances = m_sound.Instances();
    ASSERT_EQ(instances.size(), 2u);
    EXPECT_EQ(instances[0].id, b);
    EXPECT_EQ(instances[1].id, c);
    m_sound.Engine().StopSound(c, 0.0f, first);
    EXPECT_EQ(m_sound.Instances().size(), 2u) << "another emitter's sound is left alone";
    (void)a;
    m_sound.Engine().StopSound(kAllSoundInstances, 0.0f, nullptr);
    first->PostDestroy();
    second->PostDestroy();
}

TEST_F(EntitySoundEmitterTest, WithoutASoundThreadNothingIsPostedAndDestroyFreesAtOnce)
{
    m_sound.Engine().Close();
    EXPECT_EQ(m_sound.Mixer(), nullptr) << "a closed engine hands out no freed mixer";
    EntitySoundEmitter* emitter = new EntitySoundEmitter();
    emitter->PostSetMatrix(At(1.0f, 2.0f, 3.0f));
    EXPECT_FLOAT_EQ(emitter->m_worldMatrix.rows[3].y, 0.0f);
    EXPECT_EQ(emitter->PostPlay("a.wav", nullptr), 0u);
    emitter->PostDestroy(); // the leak checker sees whether it was freed
}
} // namespace
