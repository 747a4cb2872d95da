// ctest-labels: thread
// An entity's sounds: the emitter made from its world matrix on first need, moves and the altitude
// override reaching the sound thread, the owner filter of its stop, pause, resume and volume, and
// its looping sound fading out when it dies.
#include "audio/sound/EntitySoundEmitter.h"
#include "audio/sound/SoundInstanceBase.h"
#include "platform/os/Clock.h"
#include "support/SceneTestSupport.h"
#include "support/SoundTestHarness.h"

#include <gtest/gtest.h>

namespace
{
class EntitySoundTest : public SceneTest
{
protected:
    void SetUp() override
    {
        // Frozen clock: after its first cycle the sound thread never updates (or ends) an instance.
        os::EnableManualCounter(1000 * os::kCounterFrequency);
        SceneTest::SetUp();
        ASSERT_TRUE(m_sound.Start());
        for (int i = 0; i < 5000 && m_sound.Engine().GetCycleCount() == 0; ++i)
            os::Sleep(1);
        ASSERT_NE(m_sound.Engine().GetCycleCount(), 0u);
    }
    void TearDown() override
    {
        m_sound.Engine().StopSound(kAllSoundInstances, 0.0f, nullptr);
        SceneTest::TearDown();
        m_sound.Engine().Flush();
        os::DisableManualCounter();
    }

    Entity* At(float x, float y, float z)
    {
        return gEntityManager.CreateEntity(m_template, nullptr, Translation(x, y, z),
                                           ENTITYCREATION_DONOTCREATERENDERINGCONTEXT, nullptr);
    }

    // The emitter's matrix translation and base height as the sound thread holds them.
    struct EmitterView
    {
        Vector position;
        Vector velocity;
        float baseHeight = 0.0f;
    };
    EmitterView Read(EntitySoundEmitter* emitter)
    {
        struct Request
        {
            EntitySoundEmitter* emitter;
            EmitterView view;
        } request{emitter, {}};
        m_sound.Engine().PostCall(
            [](BaseThread&, uintptr_t argument, CommandRingBuffer&) {
                Request* r = reinterpret_cast<Request*>(argument);
                r->view = {r->emitter->m_worldMatrix.rows[3], r->emitter->m_velocity, r->emitter->m_baseHeight};
            },
            reinterpret_cast<uintptr_t>(&request));
        m_sound.Engine().Flush();
        return request.view;
    }

    const SoundTestHarness::InstanceSnapshot* Find(const std::vector<SoundTestHarness::InstanceSnapshot>& all,
                                                   uint32_t id)
    {
        for (const auto& instance : all)
            if (instance.id == id)
                return &instance;
        return nullptr;
    }

    SoundTestHarness m_sound;
};
} // namespace

TEST_F(EntitySoundTest, TheEmitterComesWithTheFirstSoundAndFollowsTheEntity)
{
    Entity* e = At(1.0f, 2.0f, 3.0f);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->FindSoundEmitter(), nullptr);
    EXPECT_EQ(e->PlaySound(nullptr, nullptr), 0u);
    EntitySoundEmitter* emitter = e->FindSoundEmitter();
    ASSERT_NE(emitter, nullptr) << "made even for a play without a name";
    EXPECT_TRUE(m_sound.Instances().empty());
    EXPECT_EQ(e->GetSoundEmitter(), emitter);
    EXPECT_FLOAT_EQ(Read(emitter).position.z, 3.0f);

    const uint32_t id = e->PlaySound("step.wav", nullptr);
    const auto instances = m_sound.Instances();
    ASSERT_EQ(instances.size(), 1u);
    EXPECT_EQ(instances[0].id, id);
    EXPECT_EQ(instances[0].emitter, emitter);

    // The altitude override holds the height through a move; lifting it restores the entity's.
    e->SetSoundAltitudeOverride(5.0f);
    e->SetLocalLocationMatrix(Translation(4.0f, 2.5f, 6.0f));
    EmitterView view = Read(emitter);
    EXPECT_FLOAT_EQ(view.position.x, 4.0f);
    EXPECT_FLOAT_EQ(view.position.y, 5.0f);
    EXPECT_FLOAT_EQ(view.baseHeight, 2.5f);
    e->SetSoundAltitudeOverride(-1.0f);
    EXPECT_FLOAT_EQ(Read(emitter).position.y, 2.5f);
    e->SetVelocityForDopplerEffect(Vector(7.0f, 0.0f, -1.0f, 0.0f));
    EXPECT_FLOAT_EQ(Read(emitter).velocity.x, 7.0f);

    // Another entity's move does not reach this emitter.
    Entity* other = At(0.0f, 0.0f, 0.0f);
    other->SetSoundAltitudeOverride(9.0f);
    EXPECT_FLOAT_EQ(Read(emitter).position.y, 2.5f);
}

// An entity that never made an emitter has no owner to scope to: its calls post nothing, so the
// sounds of everyone else play on.
TEST_F(EntitySoundTest, AnEntityThatNeverPlayedLeavesEveryOtherSoundAlone)
{
    Entity* player = At(0.0f, 0.0f, 0.0f);
    Entity* silent = At(1.0f, 0.0f, 0.0f);
    const uint32_t mine = player->PlaySound("a.wav", nullptr);
    const uint32_t global = m_sound.Engine().PlaySystemSound("b.wav", nullptr);
    ASSERT_EQ(m_sound.Instances().size(), 2u);

    silent->StopSound(kAllSoundInstances, 0.0f);
    silent->StopAllSounds(0.0f);
    silent->ExitLoop(kAllSoundInstances);
    silent->PauseSound(kAllSoundInstances, 0.0f, -1);
    silent->SetVolume(0.0f, 0.0f, 0, kAllSoundInstances);
    const auto instances = m_sound.Instances();
    ASSERT_EQ(instances.size(), 2u);
    for (const auto& instance : instances)
    {
        EXPECT_EQ(instance.stateBits & (SOUND_STATE_PAUSED | SOUND_STATE_STOPPING), 0u) << instance.name;
        EXPECT_FLOAT_EQ(instance.volume.GetCurrent(), 1.0f) << instance.name;
    }
    EXPECT_EQ(silent->FindSoundEmitter(), nullptr);
    (void)mine;
    (void)global;
}

TEST_F(EntitySoundTest, StopPauseResumeAndVolumeReachOnlyTheEntitysOwnSounds)
{
    Entity* first = At(0.0f, 0.0f, 0.0f);
    Entity* second = At(5.0f, 0.0f, 0.0f);
    const uint32_t a = first->PlaySound("a.wav", nullptr);
    const uint32_t b = first->PlaySound("b.wav", nullptr);
    const uint32_t c = second->PlaySound("c.wav", nullptr);

    first->PauseSound(kAllSoundInstances, 0.0f, -1);
    auto instances = m_sound.Instances();
    EXPECT_NE(Find(instances, a)->stateBits & SOUND_STATE_PAUSED, 0u);
    EXPECT_NE(Find(instances, b)->stateBits & SOUND_STATE_PAUSED, 0u);
    EXPECT_EQ(Find(instances, c)->stateBits & SOUND_STATE_PAUSED, 0u);
    first->ResumeSound(kAllSoundInstances, 0.0f, -1);
    instances = m_sound.Instances();
    EXPECT_EQ(Find(instances, a)->stateBits & SOUND_STATE_PAUSED, 0u);

    first->SetVolume(0.25f, 0.0f, 0, b);
    instances = m_sound.Instances();
    EXPECT_FLOAT_EQ(Find(instances, b)->volume.GetCurrent(), 0.25f);
    EXPECT_FLOAT_EQ(Find(instances, a)->volume.GetCurrent(), 1.0f);

    second->StopSound(a, 0.0f);
    EXPECT_EQ(m_sound.Instances().size(), 3u) << "another entity's sound is left alone";
    second->StopAllSounds(0.0f);
    instances = m_sound.Instances();
    ASSERT_EQ(instances.size(), 2u);
    EXPECT_EQ(Find(instances, c), nullptr);
    first->StopSound(a, 0.0f);
    instances = m_sound.Instances();
    ASSERT_EQ(instances.size(), 1u);
    EXPECT_EQ(instances[0].id, b);
}

TEST_F(EntitySoundTest, ALoopingSoundFadesOutOverAThirdOfASecondWhenItsEntityDies)
{
    Entity* e = At(0.0f, 0.0f, 0.0f);
    SoundParamWrapper looping;
    looping.LoopCount = 0;
    e->PlaySound("loop.wav", &looping);
    gEntityManager.DestroyEntity(e);
    const auto instances = m_sound.Instances();
    ASSERT_EQ(instances.size(), 1u);
    EXPECT_EQ(instances[0].params.LoopCount, 0u) << "the entity passes its parameters on";
    EXPECT_EQ(instances[0].emitter, nullptr);
    EXPECT_NE(instances[0].stateBits & SOUND_STATE_STOPPING, 0u);
    TimedFloatTransition fade = instances[0].volume;
    ASSERT_TRUE(fade.IsActive());
    EXPECT_FLOAT_EQ(fade.GetTarget(), 0.0f);
    fade.Update(instances[0].cycleTime + Time(os::kCounterFrequency * 15 / 100));
    EXPECT_NEAR(fade.GetCurrent(), 0.5f, 0.01f);
    fade.Update(instances[0].cycleTime + Time(os::kCounterFrequency * 31 / 100));
    EXPECT_FALSE(fade.IsActive());
}
