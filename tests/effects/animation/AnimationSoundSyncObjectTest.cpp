// ctest-labels: thread
// Sound events on an animation's progress, heard through the sound engine: what plays on the first
// update, forward, across a wrap, backwards, held still, without an entity, and in 2D or 3D; a
// keyframe clip's events at its mesh, attenuated unless the clip asks for 2D.
#include "effects/animation/AnimationSoundSyncObject.h"

#include "audio/sound/SoundEntriesContainer.h"
#include "audio/sound/SoundEntryParams.h"
#include "effects/animation/AnimationSampleContext.h"
#include "effects/animation/MeshAnimator.h"
#include "effects/animation/MeshSkeleton.h"
#include "effects/animation/XSIAnimation.h"
#include "platform/os/Clock.h"
#include "scene/kinds/MeshEntity.h"
#include "scene/kinds/MeshTemplate.h"
#include "scene/kinds/MeshTemplateAnimation.h"
#include "support/SceneTestSupport.h"
#include "support/SoundTestHarness.h"
#include "tools/datakit/MeshTemplateWriter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
class AnimationSoundSyncObjectTest : public SceneTest
{
protected:
    void SetUp() override
    {
        // Frozen clock: after its first cycle the sound thread never updates (or ends) an instance.
        // That cycle follows the drain that ran Start's flush, so it may still be to come: a sound
        // played before it would be updated, and one whose file is missing dropped.
        os::EnableManualCounter(1000 * os::kCounterFrequency);
        SceneTest::SetUp();
        ASSERT_TRUE(m_sound.Start());
        for (int i = 0; i < 5000 && m_sound.Engine().GetCycleCount() == 0; ++i)
            os::Sleep(1);
        ASSERT_NE(m_sound.Engine().GetCycleCount(), 0u);
        m_entity = gEntityManager.CreateEntity(m_template, nullptr, Matrix::ONE,
                                               ENTITYCREATION_DONOTCREATERENDERINGCONTEXT, nullptr);
    }
    void TearDown() override
    {
        m_sound.Engine().StopSound(kAllSoundInstances, 0.0f, nullptr);
        SceneTest::TearDown();
        m_sound.Engine().Flush();
        os::DisableManualCounter();
    }
    // The names of the sounds played so far, oldest first.
    std::string Played()
    {
        std::string names;
        for (const auto& instance : m_sound.Instances())
            names += (names.empty() ? "" : " ") + instance.name;
        return names;
    }

    SoundTestHarness m_sound;
    Entity* m_entity = nullptr;
};
} // namespace

TEST_F(AnimationSoundSyncObjectTest, EventsPlayOnceWhenTheirProgressIsPassedForward)
{
    struct Update
    {
        float progress;
        bool forward;
    };
    struct Case
    {
        const char* name;
        std::vector<Update> updates;
        const char* played;
    };
    // Events at 0, 0.25, 0.5 and 0.9.
    const Case cases[] = {
        {"an event at 0 plays on the first update", {{0.0f, true}}, "start.wav"},
        {"held at 0 it plays once", {{0.0f, true}, {0.0f, true}, {0.0f, true}}, "start.wav"},
        {"forward plays what was passed", {{0.1f, true}, {0.3f, true}, {0.6f, true}}, "start.wav quarter.wav half.wav"},
        {"a wrap plays only 0 to the new position", {{0.6f, true}, {0.8f, true}, {0.3f, true}},
         "start.wav quarter.wav half.wav start.wav quarter.wav"},
        {"backwards plays nothing and keeps the position", {{0.3f, true}, {0.7f, false}, {0.8f, true}},
         "start.wav quarter.wav"},
        {"past the end counts as the end", {{0.95f, true}, {1.5f, true}}, "start.wav quarter.wav half.wav late.wav"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        m_sound.Engine().StopSound(kAllSoundInstances, 0.0f, nullptr);
        m_sound.Engine().Flush();
        AnimationSoundSyncObject sync(m_entity);
        sync.AddSoundEvent(0.0f, "start.wav", 5.0f, 20.0f, 0);
        sync.AddSoundEvent(0.25f, "quarter.wav", 5.0f, 20.0f, 0);
        sync.AddSoundEvent(0.5f, "half.wav", 5.0f, 20.0f, 0);
        sync.AddSoundEvent(0.9f, "late.wav", 5.0f, 20.0f, 0);
        for (const Update& update : c.updates)
            sync.Update(update.progress, 1.0f, update.forward);
        EXPECT_EQ(Played(), c.played);
        EXPECT_EQ(sync.GetLastPosition(), uint32_t(std::min(c.updates.back().progress, 1.0f) * 65536.0f));
    }
}

TEST_F(AnimationSoundSyncObjectTest, RangesChooseTheEntityOrTwoDimensionsAndNoEntityPlaysNothing)
{
    AnimationSoundSyncObject sync(m_entity);
    sync.AddSoundEvent(-0.5f, "step.wav", 4.0f, 30.0f, 3);
    sync.AddSoundEvent(0.2f, "shout.wav", 0.0f, 0.0f, 2);
    sync.AddSoundEvent(0.3f, "", 4.0f, 30.0f, 0);
    sync.AddSoundEvent(2.0f, nullptr, 4.0f, 30.0f, 0);
    ASSERT_EQ(sync.GetEvents().Count(), 4);
    EXPECT_EQ(sync.GetEvents()[0].position, 0u) << "clamped to 0";
    EXPECT_EQ(sync.GetEvents()[1].position, uint32_t(0.2f * 65536.0f));
    EXPECT_EQ(sync.GetEvents()[3].position, 65536u) << "clamped to 1";
    EXPECT_TRUE(sync.GetEvents()[2].sound.IsEmpty());
    sync.Update(1.0f, 0.5f, true);
    const auto instances = m_sound.Instances();
    ASSERT_EQ(instances.size(), 2u) << "events without a sound play nothing";
    EXPECT_EQ(instances[0].name, "step.wav");
    EXPECT_EQ(instances[0].emitter, m_entity->FindSoundEmitter());
    EXPECT_NE(instances[0].emitter, nullptr);
    EXPECT_FLOAT_EQ(instances[0].params.Volume, 0.5f);
    EXPECT_FLOAT_EQ(instances[0].params.FullVolumeRange, 4.0f);
    EXPECT_FLOAT_EQ(instances[0].params.ZeroVolumeRange, 30.0f);
    EXPECT_EQ(instances[0].params.Channel, 3u);
    EXPECT_EQ(instances[1].name, "shout.wav");
    EXPECT_EQ(instances[1].emitter, nullptr) << "no full-volume range: a 2D sound";
    EXPECT_EQ(instances[1].params.Channel, 2u);

    // Without an entity nothing plays, 2D events included; the position still moves.
    m_sound.Engine().StopSound(kAllSoundInstances, 0.0f, nullptr);
    AnimationSoundSyncObject alone(nullptr);
    alone.AddSoundEvent(0.0f, "shout.wav", 0.0f, 0.0f, 0);
    alone.Update(0.5f, 1.0f, true);
    EXPECT_TRUE(m_sound.Instances().empty());
    EXPECT_EQ(alone.GetLastPosition(), 32768u);

    // An entity that dies silences the object.
    AnimationSoundSyncObject doomed(m_entity);
    doomed.AddSoundEvent(0.0f, "shout.wav", 0.0f, 0.0f, 0);
    m_entity->Destroy();
    m_entity = nullptr;
    doomed.Update(0.5f, 1.0f, true);
    EXPECT_TRUE(m_sound.Instances().empty());

    alone.Clear();
    EXPECT_EQ(alone.GetEvents().Count(), 0);
}

TEST_F(AnimationSoundSyncObjectTest, KeyframeEventsPlayAtTheirMeshAttenuatedUnlessTwoDimensional)
{
    m_templates.push_back(MeshTemplateWriter::MakeTemplate(MeshTemplateSpec()));
    auto* mesh = static_cast<MeshEntity*>(gEntityManager.CreateEntity(
        m_templates.back().get(), nullptr, Matrix::ONE, ENTITYCREATION_DONOTCREATERENDERINGCONTEXT, nullptr));
    ASSERT_NE(mesh, nullptr);
    SoundEntryParams step;
    step.AddSound("step.wav");
    step.Attenuate = true;
    ASSERT_TRUE(gSoundEntriesContainer.AddSoundEntry("Step", step));
    MeshTemplateAnimationPreset preset;
    preset.m_time = 1.0f;
    MeshTemplateAnimationFrameData frame;
    frame.m_soundEvent = NameString("Step");
    preset.m_frames.Add(frame);
    MeshAnimator animator(mesh, 1, 1);
    AnimationSampleContext context;
    const MeshSkeleton skeleton;
    for (const bool flat : {false, true})
    {
        SCOPED_TRACE(flat ? "2D" : "3D");
        m_sound.Engine().StopSound(kAllSoundInstances, 0.0f, nullptr);
        m_sound.Engine().Flush();
        AnimationParams params;
        params.Flags = ANIMFLAG_SOUNDS | (flat ? ANIMFLAG_SOUNDS2D : 0u);
        XSIAnimation clip(nullptr, params, preset, nullptr, 0);
        clip.Sample(context, skeleton, animator);
        const auto instances = m_sound.Instances();
        ASSERT_EQ(instances.size(), 1u);
        EXPECT_EQ(instances[0].emitter, mesh->FindSoundEmitter());
        EXPECT_EQ(instances[0].params.Flags & SOUNDSTARTFLAG_NOATTENUATION, flat ? SOUNDSTARTFLAG_NOATTENUATION : 0u);
        EXPECT_EQ(instances[0].params.ZeroVolumeRange > 0.0f, !flat);
    }
    gSoundEntriesContainer.RemoveAllSoundEntries();
}
