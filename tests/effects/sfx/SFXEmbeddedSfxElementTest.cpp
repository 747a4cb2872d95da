// ctest-labels: thread
// Embedded effects inside a playing effect: the nested effect waits for its start delay, follows
// the element, restarts on schedule and keeps its element busy; the nested effect's lights join the
// frame with the outer ones; a nested effect holding a nested effect of its own is refused.
#include "SFXTemplateLoadFixture.h"

#include "effects/sfx/SFXEmbeddedSfxElementContext.h"
#include "effects/sfx/SFXEmbeddedSfxElementDefinition.h"
#include "effects/sfx/SFXLightElementDefinition.h"
#include "scene/kinds/SFXTemplate.h"
#include "support/RenderThreadCall.h"
#include "support/TemplateTestSupport.h"
#include "tools/datakit/SceneWriter.h"

#include <gtest/gtest.h>

namespace
{
class SFXEmbeddedSfxElementTest : public RendererTestBase
{
protected:
    void SetUp() override
    {
        RendererTestBase::SetUp();
        RegisterSceneClasses();
        m_inner = new SFXTemplate;
        m_inner->GetDefinition().AddElement(new SFXPointLightElementDefinition);
        m_inner->GetDefinition().ResolveElements(false);
        m_innerGuid.bytes[15] = 0x61;
        ASSERT_NE(RegisterStubAtPath("fx/inner", m_innerGuid, m_inner), nullptr);

        m_embedded = new SFXEmbeddedSfxElementDefinition;
        m_embedded->SetSFXTemplateGUID(m_innerGuid);
        m_embedded->SetStartDelay(1.0f);
        m_embedded->SetRestartAfter(2.0f);
        m_outer.AddElement(new SFXPointLightElementDefinition);
        m_outer.AddElement(m_embedded);
        m_outer.ResolveElements(false);
    }
    void TearDown() override
    {
        if (m_context != nullptr)
            m_context->Release();
        m_renderer.SubmitCommands(true);
        // The elements give their template references back before the templates go.
        m_outer.ReleaseElementResources(0);
        m_inner->GetDefinition().ReleaseElementResources(0);
        gTemplateManager.Clear();
        RendererTestBase::TearDown();
    }
    SFXContext& Play()
    {
        m_context = new SFXContext(m_renderer, nullptr, SFXContext::kFlagNoGrid, false, false);
        m_context->Init(m_outer, Matrix::ONE, false, 0);
        m_context->PostRestart(1, 0);
        m_renderer.SubmitCommands(true);
        return *m_context;
    }
    // One walk advancing the game clock, which the effect plays on.
    void Walk(float seconds)
    {
        RunOnRenderThread(m_renderer, [&](NorvexRenderer&) { SFXContext::RenderAll(1, 0, 2, seconds, 3, 0); });
    }
    SFXEmbeddedSfxElementContext& Embedded()
    {
        return *static_cast<SFXEmbeddedSfxElementContext*>(m_context->GetElementContext(1));
    }

    SFXTemplate* m_inner = nullptr;
    SimpleGUID m_innerGuid;
    SFXDefinition m_outer;
    SFXEmbeddedSfxElementDefinition* m_embedded = nullptr;
    SFXContext* m_context = nullptr;
};

TEST_F(SFXEmbeddedSfxElementTest, TheNestedEffectStartsAfterItsDelayAndRestartsOnSchedule)
{
    EXPECT_EQ(m_embedded->GetPassBits(), 17u | 2u);
    SFXContext& context = Play();
    ASSERT_EQ(context.GetNestedContexts().Count(), 1);
    SFXContext* nested = Embedded().GetNestedContext();
    ASSERT_EQ(context.GetNestedContexts()[0], nested);
    EXPECT_TRUE(nested->IsNested());
    EXPECT_FALSE(nested->IsRegistered());

    struct Step
    {
        float seconds;
        bool active;
        float elementTime;
        float nestedTime;
    } const steps[] = {
        {0.5f, false, 0.5f, 0.0f},  // waiting for the delay
        {0.5f, false, 1.0f, 0.0f},  // exactly at the delay: not yet
        {0.25f, true, 1.25f, 0.25f}, // started and advanced on the element's step
        {1.5f, true, 2.75f, 1.75f},
        {0.5f, true, 1.0f, 0.0f},   // past delay + period: restarted from the delay
        {0.5f, true, 1.5f, 0.5f},
    };
    for (const Step& step : steps)
    {
        Walk(step.seconds);
        EXPECT_EQ(nested->IsActive(), step.active) << step.elementTime;
        EXPECT_FLOAT_EQ(Embedded().GetTime(), step.elementTime);
        EXPECT_FLOAT_EQ(nested->GetTime(), step.nestedTime) << step.elementTime;
        EXPECT_FLOAT_EQ(nested->GetElementContext(0)->GetState(0).time, step.nestedTime)
            << "a restart rewinds the nested element's curves too, " << step.elementTime;
    }
    // A restarting nested effect keeps its element, and so the effect, playing.
    EXPECT_TRUE(Embedded().IsBusy());
    EXPECT_FALSE(context.IsFinished());

    // The light pass takes the outer light and the nested one.
    uint32_t lights = 0;
    RunOnRenderThread(m_renderer, [&](NorvexRenderer& renderer) {
        const uint32_t before = renderer.GetFrameLightCount();
        context.DrawEffect(Vector(1, 1, 1, 1), 0, 2, 0);
        lights = renderer.GetFrameLightCount() - before;
    });
    EXPECT_EQ(lights, 2u);

    // Stopping the effect stops the nested one.
    context.PostSubOp1();
    m_renderer.SubmitCommands(true);
    EXPECT_FALSE(nested->IsActive());
}

TEST_F(SFXEmbeddedSfxElementTest, WithoutADelayTheNestedEffectStartsWithItsElement)
{
    // Preloading the outer effect preloads the nested effect's elements too.
    struct Preloaded : SFXElementDefinition
    {
        void PreloadResources() override { ++count; }
        int count = 0;
    };
    auto* preloaded = new Preloaded;
    m_inner->GetDefinition().AddElement(preloaded);
    m_outer.PreloadElementResources();
    EXPECT_EQ(preloaded->count, 1);

    m_embedded->SetStartDelay(0.0f);
    m_embedded->SetRestartAfter(0.0f);
    SFXContext& context = Play();
    SFXContext* nested = Embedded().GetNestedContext();
    ASSERT_NE(nested, nullptr);
    EXPECT_TRUE(nested->IsActive());
    EXPECT_FALSE(Embedded().IsBusy());
    Matrix moved;
    moved.LoadTranslation(3.0f, 0.0f, 0.0f);
    moved.rows[0].x = 2.0f; // the element scales with its parent: the nested effect is stretched too
    RunOnRenderThread(m_renderer, [&](NorvexRenderer&) { context.SetTransform(moved, false); });
    Walk(0.1f);
    EXPECT_FLOAT_EQ(nested->GetWorld().rows[3].x, 3.0f);
    EXPECT_FLOAT_EQ(nested->GetWorld().rows[0].x, 2.0f);
    m_embedded->GetClassProperties()->FindPropertyInClassChain("Scale with parent")->SetFromText(m_embedded, "0");
    Walk(0.1f);
    EXPECT_FLOAT_EQ(nested->GetWorld().rows[0].x, 1.0f);
}

TEST_F(SFXEmbeddedSfxElementTest, ANestedEffectMayNotNestAnotherOne)
{
    // The inner effect embeds itself: played inside the outer one, that slot stays empty.
    auto* self = new SFXEmbeddedSfxElementDefinition;
    self->SetSFXTemplateGUID(m_innerGuid);
    m_inner->GetDefinition().AddElement(self);
    m_inner->GetDefinition().ResolveElements(false);
    Play();
    SFXContext* nested = Embedded().GetNestedContext();
    ASSERT_NE(nested, nullptr);
    EXPECT_NE(nested->GetElementContext(0), nullptr);
    EXPECT_EQ(nested->GetElementContext(1), nullptr);
    EXPECT_TRUE(m_log.Contains("SFXes with nested SFXes with nested SFXes are not allowed! Don't be silly...", 4));
}

class SFXEmbeddedTemplateFileTest : public SFXTemplateLoadFixture
{
};

TEST_F(SFXEmbeddedTemplateFileTest, ANestedTemplateOnDiskIsLoadedEvenWhenTheDefinitionResolvesWithoutLoading)
{
    SFXTemplate source;
    source.GetDefinition().AddElement(new SFXPointLightElementDefinition);
    WriteTemplates({{"OnDisk", 1, SFXTemplate::kTypeId,
                     SceneWriter::BuildTemplateBody(source, SimpleGUID(), SFXTemplate::kTypeId)}});

    SFXEmbeddedSfxElementDefinition embedded;
    embedded.SetSFXTemplateGUID(MakeGUID(1));
    embedded.ResolveResources(false);
    ASSERT_NE(embedded.GetSFXTemplate(), nullptr);
    EXPECT_TRUE(embedded.GetSFXTemplate()->IsLoaded());
    EXPECT_EQ(embedded.GetPassBits(), 17u | 2u) << "the nested light's pass is known at once";
    embedded.ReleaseResources(0);
}
} // namespace
