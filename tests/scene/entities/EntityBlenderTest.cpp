// ctest-labels: thread
// Entity blenders: the colour a frame's update posts to the entity's rendering context, when a
// blender joins and leaves the list, and what a gone entity or a missing context posts (nothing).
#include "scene/entities/EntityBlender.h"

#include "core/time/GameTimer.h"
#include "renderer/EntityRenderingContext.h"
#include "support/RenderThreadCall.h"
#include "support/RendererTestBase.h"
#include "support/SceneTestSupport.h"
#include "support/ScriptedSceneTest.h"

#include <vector>

namespace
{
// A kind with a real rendering context and a colour of its own.
class TintedEntity : public Entity
{
public:
    EntityRenderingContext* CreateRenderingContext() override
    {
        return gRenderer != nullptr ? new EntityRenderingContext(*gRenderer) : nullptr;
    }
    HDRColor GetEntityColor() const override { return HDRColor(255, 0, 255, 51, 1.0f); } // (1, 0, 1, 0.2)
};

class TintedTemplate : public EntityTemplate
{
public:
    Entity* CreateEntity() override { return new TintedEntity; }
};

class EntityBlenderTest : public RendererTestBase
{
protected:
    void SetUp() override
    {
        RendererTestBase::SetUp();
        RegisterSceneClasses();
        gEntityManager.Init(BoundingBox4(Vector(0, -50, 0, 1), Vector(1000, 500, 1000, 1)), 10.0f);
        m_template.SetStaticBoundingBox(CenteredBox(1.0f));
        EntityBlender::InstallClock(&m_clock);
    }
    void TearDown() override
    {
        EntityBlender::InstallClock(nullptr);
        gEntityManager.DestroyScene();
        m_renderer.SubmitCommands(true);
        RendererTestBase::TearDown();
    }
    Entity* Make(uint32_t creationFlags = 0)
    {
        return gEntityManager.CreateEntity(&m_template, nullptr, Matrix::ONE, creationFlags, nullptr);
    }
    // The context's colour multiplier once everything posted has run.
    Vector Posted(const Entity* entity)
    {
        Vector color;
        RunOnRenderThread(m_renderer, [&](NorvexRenderer&) { color = entity->GetRenderingContext()->GetColorMultiplier(); });
        return color;
    }
    static std::vector<const EntityBlender*> Listed()
    {
        std::vector<const EntityBlender*> list;
        for (const EntityBlender* b = EntityBlender::GetFirst(); b != nullptr; b = b->GetNext())
            list.push_back(b);
        return list;
    }

    TintedTemplate m_template;
    GameTimer m_clock;
};

void ExpectColor(const Vector& actual, float x, float y, float z, float w)
{
    EXPECT_FLOAT_EQ(actual.x, x);
    EXPECT_FLOAT_EQ(actual.y, y);
    EXPECT_FLOAT_EQ(actual.z, z);
    EXPECT_FLOAT_EQ(actual.w, w);
}

TEST_F(EntityBlenderTest, AnInstantBlendAppliesOnTheNextUpdateThenLeaves)
{
    Entity* e = Make();
    EntityBlender blender(e);
    EXPECT_FALSE(blender.IsLinked());
    blender.SetColorMultiplier(Vector(0.5f, 1.0f, 0.25f, 1.0f));
    blender.Blend(0.5f, 0.0f, 0);
    EXPECT_EQ(Listed(), std::vector<const EntityBlender*>{&blender}) << "SetColorMultiplier and Blend link once";
    EXPECT_FLOAT_EQ(blender.GetFadeValue(), 0.5f);
    ExpectColor(Posted(e), 1, 1, 1, 1);

    EntityBlender::UpdateAll();
    // Entity colour x multiplier x fade value, component by component.
    ExpectColor(Posted(e), 0.25f, 0.0f, 0.125f, 0.1f);
    EXPECT_FALSE(blender.IsLinked());
    const uint32_t written = m_renderer.GetCommandsWritten();
    EntityBlender::UpdateAll();
    EXPECT_EQ(m_renderer.GetCommandsWritten(), written) << "an unlinked blender posts nothing";
}

TEST_F(EntityBlenderTest, AFadeFollowsTheFirstGameClockUntilItEnds)
{
    Entity* e = Make();
    EntityBlender blender(e);
    m_clock.Tick(3.0f); // the fade starts at the clock's time, not at 0
    blender.Blend(0.0f, 2.0f, 0);
    m_clock.Tick(0.5f);
    EntityBlender::UpdateAll();
    EXPECT_FLOAT_EQ(blender.GetFadeValue(), 0.75f);
    ExpectColor(Posted(e), 0.75f, 0.0f, 0.75f, 0.15f);
    EXPECT_TRUE(blender.IsLinked());
    // A new blend starts from where the running one stands.
    m_clock.Tick(0.5f);
    blender.Blend(1.0f, 1.0f, 0);
    m_clock.Tick(0.5f);
    EntityBlender::UpdateAll();
    EXPECT_FLOAT_EQ(blender.GetFadeValue(), 0.75f);
    m_clock.Tick(0.6f);
    EntityBlender::UpdateAll();
    ExpectColor(Posted(e), 1.0f, 0.0f, 1.0f, 0.2f);
    EXPECT_FALSE(blender.IsLinked()) << "the update that ends the fade unlinks it";
}

TEST_F(EntityBlenderTest, AGoneEntityOrAMissingContextPostsNothing)
{
    Entity* gone = Make();
    Entity* bare = Make(ENTITYCREATION_DONOTCREATERENDERINGCONTEXT);
    ASSERT_EQ(bare->GetRenderingContext(), nullptr);
    EntityBlender forGone(gone);
    EntityBlender forBare(bare);
    forGone.Blend(0.0f, 1.0f, 0);
    forBare.Blend(0.0f, 1.0f, 0);
    gone->Destroy();
    EXPECT_EQ(forGone.GetEntity(), nullptr);

    const uint32_t written = m_renderer.GetCommandsWritten();
    m_clock.Tick(0.5f);
    EntityBlender::UpdateAll();
    EXPECT_EQ(m_renderer.GetCommandsWritten(), written);
    EXPECT_FALSE(forGone.IsLinked());
    EXPECT_TRUE(forBare.IsLinked()) << "without a context the fade still runs to its end";
    EXPECT_FLOAT_EQ(forBare.GetFadeValue(), 0.5f);
    m_clock.Tick(0.6f);
    EntityBlender::UpdateAll();
    EXPECT_FALSE(forBare.IsLinked());
}

TEST_F(EntityBlenderTest, TheListKeepsOrderThroughCopiesRemovalsAndDeletes)
{
    Entity* e = Make();
    EntityBlender a(e), b(e), c(e);
    a.Blend(0.0f, 1.0f, 0);
    b.SetColorMultiplier(Vector(1, 1, 1, 1)); // one frame only
    c.Blend(0.0f, 1.0f, 0);
    EntityBlender idle(e);
    {
        const EntityBlender copyOfIdle(idle);
        EXPECT_FALSE(copyOfIdle.IsLinked());
        const EntityBlender copyOfA(a);
        EXPECT_FLOAT_EQ(copyOfA.GetFadeValue(), 1.0f);
        EXPECT_EQ(Listed(), (std::vector<const EntityBlender*>{&a, &b, &c, &copyOfA})) << "a linked copy joins at the tail";
    }
    EXPECT_EQ(Listed(), (std::vector<const EntityBlender*>{&a, &b, &c}));
    m_clock.Tick(0.25f);
    EntityBlender::UpdateAll(); // b leaves from the middle while the walk goes on
    EXPECT_EQ(Listed(), (std::vector<const EntityBlender*>{&a, &c}));
    EXPECT_FLOAT_EQ(c.GetFadeValue(), 0.75f) << "the walk reached the blender after the removed one";
    {
        EntityBlender tail(e);
        tail.Blend(1.0f, 0.0f, 0);
        EXPECT_EQ(Listed(), (std::vector<const EntityBlender*>{&a, &c, &tail}));
    }
    EXPECT_EQ(Listed(), (std::vector<const EntityBlender*>{&a, &c}));
    c.Blend(0.0f, 0.0f, 0);
    EntityBlender::UpdateAll();
    EXPECT_EQ(Listed(), std::vector<const EntityBlender*>{&a}) << "the tail leaves, the head stays";
}
} // namespace

namespace
{
class EntityBlenderScriptTest : public ScriptedSceneTest
{
};

TEST_F(EntityBlenderScriptTest, ScriptsOwnTheirBlendersAndEndThemByDeleteOrCollection)
{
    Create(nullptr, Translation(1, 0, 1))->SetName("Faded");
    ASSERT_TRUE(gLua.LoadAndCall(R"(
        local faded = gEntityManager:FindEntityByName("Faded")
        gKept = EntityBlender:Instance(faded)
        gKept:SetColorMultiplier(Vector(1, 1, 1, 0.5))
        gKept:Blend(0.25, 0, 0)
        local dropped = EntityBlender:new_local(faded)
        dropped:Blend(0, 2, 3)
    )",
                                 0));
    ASSERT_NE(EntityBlender::GetFirst(), nullptr);
    const EntityBlender& kept = *EntityBlender::GetFirst();
    EXPECT_FLOAT_EQ(kept.GetFadeValue(), 0.25f);
    EXPECT_FLOAT_EQ(kept.GetColorMultiplier().w, 0.5f);
    ASSERT_NE(kept.GetNext(), nullptr);
    EXPECT_TRUE(kept.GetNext()->IsFading());
    ASSERT_TRUE(gLua.LoadAndCall("collectgarbage('collect')", 0));
    EXPECT_EQ(EntityBlender::GetFirst(), &kept) << "the unreferenced blender was collected";
    EXPECT_EQ(kept.GetNext(), nullptr);
    ASSERT_TRUE(gLua.LoadAndCall("gKept:delete() gKept = nil collectgarbage('collect')", 0));
    EXPECT_EQ(EntityBlender::GetFirst(), nullptr);
}
} // namespace
