// ctest-labels: thread
// The sound element against a running sound engine: it plays its entry at its emitter while the
// start envelope is up, changes and fades the volume, skips a play when started with the skip flag,
// and a new context takes the instance over so the sound outlives a re-initialisation.
#include "audio/sound/EntitySoundEmitter.h"
#include "audio/sound/SoundEntriesContainer.h"
#include "audio/sound/SoundEntryParams.h"
#include "effects/sfx/SFXSoundElementContext.h"
#include "effects/sfx/SFXSoundElementDefinition.h"
#include "platform/os/Clock.h"
#include "support/ConsoleCapture.h"
#include "support/SoundTestHarness.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{
class SFXSoundElementContextTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // A frozen clock keeps every instance where the sound thread made it.
        os::EnableManualCounter(1000 * os::kCounterFrequency);
        ASSERT_TRUE(m_sound.Start());
        for (int i = 0; i < 5000 && m_sound.Engine().GetCycleCount() == 0; ++i)
            os::Sleep(1);
        SoundEntryParams params;
        params.AddSound("boom.wav");
        params.Volume = 0.5f;
        ASSERT_TRUE(gSoundEntriesContainer.AddSoundEntry("Boom", params));
        m_definition.SetSoundEntryName("Boom");
        ASSERT_TRUE(m_definition.GetClassProperties()->FindProperty("Sound channel")->SetFromText(&m_definition, "3"));
        m_definition.EditVolume().SetConstantValue(Vector(0.8f, 0, 0, 0));
        m_definition.ResolveResources(false);
    }
    void TearDown() override
    {
        gSoundEntriesContainer.RemoveAllSoundEntries();
        m_sound.Engine().StopSound(kAllSoundInstances, 0.0f, nullptr);
        m_sound.Engine().Flush();
        os::DisableManualCounter();
    }

    std::unique_ptr<SFXSoundElementContext> Play(uint8_t skip)
    {
        auto context = std::make_unique<SFXSoundElementContext>();
        context->Init(m_definition, Matrix::ONE, 0, 0);
        context->Start(skip);
        return context;
    }
    void Update(SFXSoundElementContext& context, const Matrix& parent = Matrix::ONE)
    {
        context.Update(0.0, 0.1f, m_definition, parent);
    }
    const SoundTestHarness::InstanceSnapshot* Find(uint32_t id)
    {
        m_instances = m_sound.Instances();
        for (const auto& instance : m_instances)
            if (instance.id == id)
                return &instance;
        return nullptr;
    }
    void SetStart(float value) { m_definition.EditStartEnvelope().SetConstantValue(Vector(value, 0, 0, 0)); }

    ConsoleCapture m_log;
    SoundTestHarness m_sound;
    SFXSoundElementDefinition m_definition;
    std::vector<SoundTestHarness::InstanceSnapshot> m_instances;
};

TEST_F(SFXSoundElementContextTest, ASoundPlaysAtItsEmitterChangesVolumeAndFadesWhenItsStartFalls)
{
    auto context = Play(0);
    Matrix parent;
    parent.LoadTranslation(4.0f, 0.0f, 0.0f);
    Update(*context, parent);
    const uint32_t id = context->GetInstance();
    ASSERT_NE(id, SFXSoundElementContext::kNoInstance);
    ASSERT_NE(id, SFXSoundElementContext::kPlayedWithoutSound);
    const auto* instance = Find(id);
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(instance->emitter, context->GetEmitter());
    EXPECT_EQ(instance->params.Channel, 3u);
    EXPECT_FLOAT_EQ(instance->params.Volume, 0.5f * 0.8f);
    EXPECT_FLOAT_EQ(context->GetVolumeFactor(), 0.5f);
    EXPECT_FLOAT_EQ(context->GetEmitter()->m_worldMatrix.rows[3].x, 4.0f);

    // A new volume is set on the instance at once, scaled by the entry's factor, and a move reaches the emitter.
    m_definition.EditVolume().SetConstantValue(Vector(0.4f, 0, 0, 0));
    parent.rows[3].z = 2.0f;
    Update(*context, parent);
    EXPECT_EQ(context->GetInstance(), id);
    ASSERT_NE(instance = Find(id), nullptr);
    EXPECT_FLOAT_EQ(context->GetEmitter()->m_worldMatrix.rows[3].z, 2.0f);
    EXPECT_FLOAT_EQ(instance->volume.GetTarget(), 0.5f * 0.4f);

    // The start envelope falling fades the sound out and forgets it.
    SetStart(0.0f);
    Update(*context, parent);
    EXPECT_EQ(context->GetInstance(), SFXSoundElementContext::kNoInstance);
    ASSERT_NE(instance = Find(id), nullptr);
    EXPECT_FLOAT_EQ(instance->volume.GetTarget(), 0.0f);
}

TEST_F(SFXSoundElementContextTest, ASkippedStartCountsAsPlayedUntilTheStartRisesAgain)
{
    // Another sound plays meanwhile: fading a sound never played must not reach it.
    auto* otherEmitter = new EntitySoundEmitter;
    const uint32_t other = gSoundEntriesContainer.PlaySoundEntryInternal("Boom", otherEmitter, 0, 0.0f, 1.0f, nullptr,
                                                                         0, nullptr);
    auto context = Play(1);
    Update(*context);
    EXPECT_EQ(context->GetInstance(), SFXSoundElementContext::kPlayedWithoutSound);
    Update(*context);
    EXPECT_EQ(context->GetInstance(), SFXSoundElementContext::kPlayedWithoutSound);
    EXPECT_EQ(m_sound.Instances().size(), 1u);
    SetStart(0.0f);
    Update(*context);
    EXPECT_EQ(context->GetInstance(), SFXSoundElementContext::kNoInstance);
    context->Stop();
    ASSERT_NE(Find(other), nullptr);
    EXPECT_GT(Find(other)->volume.GetCurrent(), 0.0f);
    EXPECT_FALSE(Find(other)->volume.IsActive() && Find(other)->volume.GetTarget() == 0.0f);
    otherEmitter->PostDestroy();
    SetStart(1.0f);
    Update(*context);
    EXPECT_NE(Find(context->GetInstance()), nullptr);

    // Muting fades it out like a falling start.
    const uint32_t id = context->GetInstance();
    context->SetSoundMuted(1);
    Update(*context);
    EXPECT_EQ(context->GetInstance(), SFXSoundElementContext::kNoInstance);
    EXPECT_FLOAT_EQ(Find(id)->volume.GetTarget(), 0.0f);
}

TEST_F(SFXSoundElementContextTest, PreloadingAsksForTheEntrysSoundWithoutPlayingIt)
{
    m_definition.PreloadResources();
    const auto instances = m_sound.Instances();
    ASSERT_EQ(instances.size(), 1u);
    EXPECT_EQ(instances[0].name, "boom.wav");
    EXPECT_EQ(instances[0].params.Flags, uint32_t(SOUNDSTARTFLAG_JUSTLOAD));
}

TEST_F(SFXSoundElementContextTest, ANewContextTakesTheSoundOverAcrossAReinitialisation)
{
    auto old = Play(0);
    Update(*old);
    const uint32_t id = old->GetInstance();
    ASSERT_NE(Find(id), nullptr);
    auto replacement = Play(0);
    replacement->TakeOver(*old);
    EXPECT_EQ(replacement->GetInstance(), id);
    EXPECT_EQ(old->GetInstance(), SFXSoundElementContext::kNoInstance);
    EXPECT_FLOAT_EQ(replacement->GetLastVolume(), 0.8f);
    EXPECT_FLOAT_EQ(replacement->GetVolumeFactor(), 0.5f) << "later volume changes keep the entry's factor";
    // The old context dies without silencing the sound it handed over, and the new one does not
    // start a second one.
    old.reset();
    Update(*replacement);
    EXPECT_EQ(replacement->GetInstance(), id);
    ASSERT_NE(Find(id), nullptr);
    EXPECT_EQ(m_instances.size(), 1u);
    EXPECT_GT(Find(id)->volume.GetCurrent(), 0.0f);
    // Stopping silences at once.
    replacement->Stop();
    EXPECT_EQ(replacement->GetInstance(), SFXSoundElementContext::kNoInstance);
    EXPECT_FLOAT_EQ(Find(id)->volume.GetCurrent(), 0.0f);
    // A context taking over silences the sound it had of its own.
    auto third = Play(0);
    Update(*third);
    const uint32_t own = third->GetInstance();
    third->TakeOver(*replacement);
    EXPECT_FLOAT_EQ(Find(own)->volume.GetCurrent(), 0.0f);
}
} // namespace
