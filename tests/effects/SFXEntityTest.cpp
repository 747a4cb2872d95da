// ctest-labels: thread
// SFX entities over a running renderer and the Game's schedulers: start delays and restarts through
// the numbered callbacks, skipping ahead, loop breaks that wait for the start, deletion once
// finished, the bounds taken back from the render thread and the render flags the passes need.
#include "effects/SFXEntity.h"

#include "core/math/RandomGenerator.h"
#include "effects/SFXContext.h"
#include "effects/particles/ParticleSpawner.h"
#include "effects/sfx/SFXDefinition.h"
#include "effects/sfx/SFXElementContext.h"
#include "engine/EngineClock.h"
#include "engine/EngineTimer.h"
#include "engine/Game.h"
#include "platform/os/Clock.h"
#include "scene/SceneClassRegistration.h"
#include "scene/entities/EntityManager.h"
#include "scene/kinds/MeshTemplate.h"
#include "scene/kinds/SFXTemplate.h"
#include "support/RecordingGameDelegate.h"
#include "support/RenderThreadCall.h"
#include "support/RendererTestBase.h"

#include <gtest/gtest.h>

#include <tuple>

namespace
{
// Remembers the particle spawner the effect hands its elements.
class SpawnerRecorder : public SFXElementContext
{
public:
    void SetSpawner(ParticleSpawner* s) override { spawner = s; }
    void SetSpeedMultiplier(float f) override { speed = f; }
    void SetSpawnRateMultiplier(float f) override { spawnRate = f; }
    void Start(uint8_t skip) override { started = skip; }
    ParticleSpawner* spawner = nullptr;
    float speed = 1, spawnRate = 1, started = -1;
};

// An element that plays its keyed position for `seconds`, optionally held in a loop.
class PlainElement : public SFXElementDefinition
{
public:
    PlainElement(float seconds, bool loop, uint32_t passBits = kDefaultPassBits)
    {
        auto& position = const_cast<TEnvelope<Vector>&>(GetPosition());
        position.AddKey(Vector(0, 0, 0, 0), 0.0f, -1);
        position.AddKey(Vector(0, 0, 0, 0), seconds, -1);
        if (loop)
        {
            EnvelopeLoop hold;
            hold.m_end = Envelope::ToKeyTime(seconds);
            position.GetLoops().Add(hold);
        }
        m_passBits = passBits;
    }
    SFXElementContext* CreateContext() const override { return new SpawnerRecorder; }
    EntityTemplate* GetResource() const override { return mesh; }
    void RefreshResource() override { ++refreshes; }
    void SetDepthPass(uint8_t on) { m_depthPass = on; }
    // Render thread.
    void DrawDepth(const Matrix&, SFXElementContext*) const override { ++depthDraws; }
    EntityTemplate* mesh = nullptr;
    int refreshes = 0;
    mutable int depthDraws = 0;
};

class SFXEntityTest : public RendererTestBase
{
protected:
    void SetUp() override
    {
        RendererTestBase::SetUp();
        RegisterSceneClasses();
        gEntityManager.Init(BoundingBox4(Vector(0, -50, 0, 1), Vector(1000, 500, 1000, 1)), 10.0f);
        os::EnableManualCounter(os::QueryCounter());
        gEngineTimer.Reset();
        gEngineClock.Reset();
        gGame.Init(&m_delegate);
        // Nothing draws in these tests: the effects must not park.
        SetTemplate("Offscreen processing", "1");
    }
    void TearDown() override
    {
        gEntityManager.NewScene();
        gGame.Close();
        os::DisableManualCounter();
        gEntityManager.DestroyScene();
        m_renderer.SubmitCommands(true);
        RendererTestBase::TearDown();
    }
    void SetTemplate(const char* name, const char* value)
    {
        ASSERT_TRUE(m_template.GetClassProperties()->FindProperty(name)->SetFromText(&m_template, value)) << name;
    }
    SFXEntity* Create()
    {
        m_template.GetDefinition().ResolveElements(false);
        auto* entity = static_cast<SFXEntity*>(gEntityManager.CreateEntity(&m_template, nullptr, Matrix::ONE, 0, nullptr));
        EXPECT_NE(entity, nullptr);
        entity->PostCreateInit(); // what the in-game creation runs
        return entity;
    }
    // Game frames of `seconds`, each followed by a render-side walk of the same step.
    void Frames(int count, float seconds)
    {
        for (int i = 0; i < count; ++i)
        {
            os::AdvanceManualCounter(int64_t(double(seconds) * double(os::kCounterFrequency)));
            gGame.Update(true);
            RunOnRenderThread(m_renderer, [&](NorvexRenderer&) {
                SFXContext::RenderAll(0, seconds, 0, seconds, 0, seconds);
            });
        }
    }
    // What the render thread holds for the entity's context.
    struct RenderSide
    {
        bool active = false;
        float elementTime = -1.0f;
        ParticleSpawner* spawner = nullptr;
        float speed = 0, spawnRate = 0, started = -1;
        Vector color;
    };
    RenderSide Read(SFXEntity* entity)
    {
        RenderSide side;
        SFXContext* const context = entity->GetSFXContext();
        RunOnRenderThread(m_renderer, [&](NorvexRenderer&) {
            side.active = context->IsActive();
            if (SFXElementContext* element = context->GetElementContext(0))
            {
                side.elementTime = element->GetState(SFXElementDefinition::STATE_POSITION).time;
                const auto* recorder = static_cast<SpawnerRecorder*>(element);
                side.spawner = recorder->spawner;
                side.speed = recorder->speed, side.spawnRate = recorder->spawnRate, side.color = recorder->GetColor();
                side.started = recorder->started;
            }
        });
        return side;
    }

    RecordingGameDelegate m_delegate;
    SFXTemplate m_template;
};

TEST_F(SFXEntityTest, AStartDelayBelowAMillisecondStartsAtOnceAndLongerOnesWaitForCallbackOne)
{
    // A delayed start keeps the loop going.
    m_template.GetDefinition().AddElement(new PlainElement(0.5f, true));
    struct Case
    {
        const char* delay;
        bool startsAtOnce;
    } const cases[] = {{"0", true}, {"0.0005", true}, {"0.001", false}, {"0.5", false}};
    for (const Case& c : cases)
    {
        SetTemplate("Activation at start delay", c.delay);
        SFXEntity* entity = Create();
        EXPECT_EQ(Read(entity).active, c.startsAtOnce) << c.delay;
        EXPECT_EQ(entity->GetCallbackTimeLeft(SFXEntity::CALLBACK_START, 0) >= 0.0f, !c.startsAtOnce) << c.delay;
        Frames(20, 0.05f);
        EXPECT_TRUE(Read(entity).active) << c.delay;
        EXPECT_FALSE(entity->GetSFXContext()->IsFinished()) << c.delay;
        EXPECT_NE(entity->GetRenderFlags() & SFXEntity::kRenderFlagBoundsTaken, 0u) << c.delay;
        entity->DeleteMe();
        Frames(1, 0.0f);
    }
}

TEST_F(SFXEntityTest, AdvanceTimeUsesUpThePendingDelayFirst)
{
    m_template.GetDefinition().AddElement(new PlainElement(10.0f, false));
    SetTemplate("Activation at start delay", "2");
    SFXEntity* shortened = Create();
    shortened->AdvanceTime(3.0f);
    EXPECT_LT(shortened->GetCallbackTimeLeft(SFXEntity::CALLBACK_START, 0), 0.0f);
    RenderSide side = Read(shortened);
    EXPECT_TRUE(side.active);
    EXPECT_FLOAT_EQ(side.elementTime, 1.0f);

    SetTemplate("Activation at start delay", "3.5");
    SFXEntity* waiting = Create();
    waiting->AdvanceTime(3.0f);
    EXPECT_NEAR(waiting->GetCallbackTimeLeft(SFXEntity::CALLBACK_START, 0), 0.5f, 1e-3f);
    EXPECT_FALSE(Read(waiting).active);

    // A playing effect takes the whole step.
    shortened->AdvanceTime(0.5f);
    EXPECT_FLOAT_EQ(Read(shortened).elementTime, 1.5f);
    // Start-up plays from the beginning even when the effect was advanced before it.
    SetTemplate("Activation at start delay", "0");
    auto* early =
        static_cast<SFXEntity*>(gEntityManager.CreateEntity(&m_template, nullptr, Matrix::ONE, 0, nullptr));
    early->AdvanceTime(4.0f);
    early->PostCreateInit();
    EXPECT_FLOAT_EQ(Read(early).elementTime, 0.0f);
}

TEST_F(SFXEntityTest, ABreakLoopBeforeTheStartPlaysTheLoopingEffectOnceAndItIsThenDeleted)
{
    m_template.GetDefinition().AddElement(new PlainElement(0.5f, true));
    m_template.GetDefinition().SetDeleteTimeout(0.25f);
    SetTemplate("Activation at start delay", "1");
    SFXEntity* entity = Create();
    SafePointer<Entity> watched(entity);
    entity->BreakLoop(nullptr);
    EXPECT_LT(entity->GetCallbackTimeLeft(SFXEntity::CALLBACK_START, 0), 0.0f);
    EXPECT_NEAR(entity->GetCallbackTimeLeft(SFXEntity::CALLBACK_START_ONCE, 0), 1.0f, 1e-3f);
    Frames(22, 0.05f);
    ASSERT_NE(watched.Get(), nullptr);
    EXPECT_TRUE(Read(entity).active);
    // 0.5 s of envelope, at most 2 s of polling and 0.25 s of timeout.
    Frames(60, 0.05f);
    EXPECT_EQ(watched.Get(), nullptr) << "a finished effect deletes itself after the timeout";
}

TEST_F(SFXEntityTest, SkippingPastAPendingLoopBreakStillBreaksTheLoops)
{
    m_template.GetDefinition().AddElement(new PlainElement(0.5f, true));
    SetTemplate("Activation at start delay", "1");
    SFXEntity* entity = Create();
    entity->BreakLoop(nullptr);
    entity->AdvanceTime(2.0f);
    SFXContext* const context = entity->GetSFXContext();
    uint32_t loop = 0;
    RunOnRenderThread(m_renderer, [&](NorvexRenderer&) {
        loop = context->GetElementContext(0)->GetState(SFXElementDefinition::STATE_POSITION).loop;
    });
    EXPECT_GE(loop, 1u);
    Frames(2, 0.5f);
    EXPECT_TRUE(context->IsFinished());
}

TEST_F(SFXEntityTest, ALoopingEffectStaysUntilItsLoopsBreakAndDeleteAtStopCanComeLater)
{
    m_template.GetDefinition().AddElement(new PlainElement(0.5f, true));
    m_template.GetDefinition().SetDeleteTimeout(0.3f);
    SFXEntity* looping = Create();
    SafePointer<Entity> watched(looping);
    Frames(100, 0.05f);
    ASSERT_NE(watched.Get(), nullptr);
    EXPECT_FALSE(looping->GetSFXContext()->IsFinished());
    looping->SetDeleteAtStop(false);
    EXPECT_LT(looping->GetCallbackTimeLeft(SFXEntity::CALLBACK_POLL_FINISHED, 0), 0.0f);
    looping->BreakLoop("");
    Frames(2, 0.05f);
    EXPECT_FALSE(looping->GetSFXContext()->IsFinished()) << "no loop of that name";
    looping->BreakLoop(nullptr);
    Frames(100, 0.05f);
    ASSERT_NE(watched.Get(), nullptr) << "without DeleteAtStop a finished effect stays";
    EXPECT_TRUE(looping->GetSFXContext()->IsFinished());
    gRandomGenerators[0].Seed({0x80000000u, 1, 2, 3, 4});
    looping->SetDeleteAtStop(true);
    // r = 0x8000 / 65536: the first poll comes 1.5 s later.
    EXPECT_NEAR(looping->GetCallbackTimeLeft(SFXEntity::CALLBACK_POLL_FINISHED, 0), 1.5f, 1e-3f);
    Frames(32, 0.05f);
    ASSERT_NE(watched.Get(), nullptr) << "the poll found it finished: the delete timeout runs first";
    Frames(8, 0.05f);
    EXPECT_EQ(watched.Get(), nullptr);
}

TEST_F(SFXEntityTest, BoundsComeBackFromTheRenderThreadAndRenderFlagsFollowThePassBits)
{
    auto* element = new PlainElement(10.0f, false, 0x2 | 0x8 | 0x10);
    const_cast<TEnvelope<Vector>&>(element->GetPosition()).SetConstantValue(Vector(5, 0, 0, 1));
    m_template.GetDefinition().AddElement(element);
    SFXEntity* entity = Create();
    const uint32_t passFlags = SFXEntity::kRenderFlagMain | SFXEntity::kRenderFlagLights | SFXEntity::kRenderFlagPass8 |
                               SFXEntity::kRenderFlagChannel;
    EXPECT_EQ(entity->GetRenderFlags() & passFlags,
              SFXEntity::kRenderFlagMain | SFXEntity::kRenderFlagLights | SFXEntity::kRenderFlagPass8);
    EXPECT_EQ(entity->GetRenderFlags() & SFXEntity::kRenderFlagBoundsTaken, 0u);
    Frames(3, 0.05f);
    EXPECT_NE(entity->GetRenderFlags() & SFXEntity::kRenderFlagBoundsTaken, 0u);
    // The unit box moved by 5 on x, grown by 0.01.
    EXPECT_FLOAT_EQ(entity->GetLocalBoundingBox().min.x, 3.99f);
    EXPECT_FLOAT_EQ(entity->GetLocalBoundingBox().max.x, 6.01f);
    EXPECT_LT(entity->GetCallbackTimeLeft(SFXEntity::CALLBACK_BOUNDS, 8), 0.0f) << "one take without constant updates";
    SetTemplate("Constant BoundingBox Update Enabled", "1");
    entity->Restart(0, true);
    Frames(2, 0.05f);
    EXPECT_GT(entity->GetCallbackTimeLeft(SFXEntity::CALLBACK_BOUNDS, 8), 0.1f) << "taken again 0.2 to 0.4 s later";
    entity->Restart(0, true);
    EXPECT_EQ(entity->GetRenderFlags() & SFXEntity::kRenderFlagBoundsTaken, 0u);
    // An edited template restarts the effect and takes its bounds again.
    Frames(3, 0.05f);
    entity->OnPropertiesChanged();
    EXPECT_EQ(entity->GetRenderFlags() & SFXEntity::kRenderFlagBoundsTaken, 0u);
    EXPECT_GE(entity->GetCallbackTimeLeft(SFXEntity::CALLBACK_BOUNDS, 8), 0.0f);

    // The template's timer picks the context's clock; without offscreen processing it may park.
    struct Case
    {
        const char* timer;
        const char* offscreen;
        uint32_t flags;
    } const cases[] = {{"0", "1", SFXContext::kFlagThirdClock},
                       {"1", "0", SFXContext::kFlagEngineClock | SFXContext::kFlagMayPark},
                       {"2", "0", SFXContext::kFlagMayPark}};
    for (const Case& c : cases)
    {
        SetTemplate("Activity timer", c.timer);
        SetTemplate("Offscreen processing", c.offscreen);
        entity->Restart(0, false);
        EXPECT_EQ(entity->GetSFXContext()->GetRenderingFlags(), c.flags) << c.timer;
    }
}

TEST_F(SFXEntityTest, AnEditedMeshTemplateReachesTheEffectsThatShowIt)
{
    MeshTemplate shown;
    MeshTemplate other;
    auto* element = new PlainElement(10.0f, false);
    element->mesh = &shown;
    m_template.GetDefinition().AddElement(element);
    Create();
    other.OnPropertyChanged(nullptr);
    EXPECT_EQ(element->refreshes, 0);
    shown.OnPropertyChanged(nullptr);
    EXPECT_EQ(element->refreshes, 1);
}

TEST_F(SFXEntityTest, ACustomSpawnerReachesTheElementsOfAPlayingEffect)
{
    m_template.GetDefinition().AddElement(new PlainElement(10.0f, true));
    SFXEntity* entity = Create();
    auto* spawner = new LocalSpaceParticleSpawner; // the entity owns it
    entity->SetCustomSpawner(spawner);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(Read(entity).spawner, spawner);
    entity->Restart(1, false);
    EXPECT_EQ(Read(entity).spawner, spawner) << "a new context gets it too";
    EXPECT_EQ(Read(entity).started, 1.0f) << "and the restart's skip flag";
}

TEST_F(SFXEntityTest, ScriptCallsReachTheElementsARefreshRestartsAndTheDebugDrawShowsTheBoxes)
{
    auto* element = new PlainElement(10.0f, true, 0x10 | 32);
    element->SetDescription("Spark");
    m_template.GetDefinition().AddElement(element);
    SFXEntity* entity = Create();
    EXPECT_NE(entity->GetRenderFlags() & SFXEntity::kRenderFlagChannel, 0u);
    Frames(2, 0.25f);
    entity->SetSpeedMultiplier(2.0f);
    entity->SetSpawnRateMultiplier(3.0f);
    entity->SetElementLocalColor("Spark", 0.5f, 0.25f, 1.0f, 0.75f);
    entity->SetElementSpeedMultiplier("Spark", 4.0f);
    entity->ActivateLoop(nullptr);
    RenderSide side = Read(entity);
    EXPECT_FLOAT_EQ(entity->GetSFXContext()->GetSpeedMultiplier(), 2.0f);
    EXPECT_FLOAT_EQ(side.speed, 4.0f);
    EXPECT_FLOAT_EQ(side.spawnRate, 3.0f);
    EXPECT_TRUE(side.color.Equal(Vector(0.5f, 0.25f, 1.0f, 0.75f)));
    EXPECT_EQ(side.elementTime, 0.0f) << "an activated loop plays from the start";
    entity->GetSFXContext()->PostSubOp1();
    entity->SetRenderFlags(0);
    entity->RefreshRendering();
    EXPECT_EQ(entity->GetRenderFlags(), SFXEntity::kRenderFlagMain | SFXEntity::kRenderFlagLights |
                                            SFXEntity::kRenderFlagPass8 | SFXEntity::kRenderFlagBoundsTaken);
    EXPECT_TRUE(Read(entity).active);

    // The unit box, the axes with debug flag 2 and the real box when asked.
    for (const auto& [flags, realBox, commands] : {std::tuple{0u, "0", 1u}, {2u, "0", 2u}, {0u, "1", 2u}})
    {
        entity->GetClassProperties()->FindProperty("Display real bounding box")->SetFromText(entity, realBox);
        const uint32_t before = m_renderer.GetCommandsWritten();
        entity->DrawDebug(flags);
        EXPECT_EQ(m_renderer.GetCommandsWritten() - before, commands) << flags << realBox;
    }
}

// The scene switch deletes every effect while the render thread draws them into the shadow map:
// each draw, the one after the switch too, still sees the whole effect.
TEST_F(SFXEntityTest, ASceneSwitchDuringTheShadowPassLeavesEachDrawTheWholeEffect)
{
    auto* element = new PlainElement(10.0f, true);
    element->SetDepthPass(1);
    m_template.GetDefinition().AddElement(element);
    SFXEntity* entity = Create();
    ASSERT_TRUE(Read(entity).active);
    EntityRenderingContext* const context = entity->GetSFXContext();
    int before = -1;
    int after = -1;
    OverlapWithRenderThread(
        m_renderer,
        // Each run overwrites the counts: the last, after the switch, is what stays.
        [&](bool) {
            before = element->depthDraws;
            context->DrawDepth(0, 0);
            after = element->depthDraws;
        },
        [] { gEntityManager.NewScene(); });
    EXPECT_EQ(after, before + 1);
    EXPECT_EQ(m_template.GetDefinition().GetFirstContext(), nullptr);
}
} // namespace
