// ctest-labels: thread
// Rendering contexts of entities: what the game thread posts is what the render thread holds.
#include "renderer/EntityRenderingContext.h"

#include "scene/entities/EntitySet.h"
#include "support/RenderThreadCall.h"
#include "support/RendererTestBase.h"
#include "support/SceneTestSupport.h"

namespace
{
// An entity kind with a real rendering context.
class ContextEntity : public Entity
{
public:
    EntityRenderingContext* CreateRenderingContext() override
    {
        return gRenderer != nullptr ? new EntityRenderingContext(*gRenderer) : nullptr;
    }
};

class ContextTemplate : public EntityTemplate
{
public:
    Entity* CreateEntity() override { return new ContextEntity; }
};

class EntityRenderingContextTest : public RendererTestBase
{
protected:
    void SetUp() override
    {
        RendererTestBase::SetUp();
        RegisterSceneClasses();
        gEntityManager.Init(BoundingBox4(Vector(0, -50, 0, 1), Vector(1000, 500, 1000, 1)), 10.0f);
        m_template.SetStaticBoundingBox(CenteredBox(1.0f));
    }
    void TearDown() override
    {
        gEntityManager.DestroyScene();
        m_renderer.SubmitCommands(true);
        RendererTestBase::TearDown();
    }
    // The context's render-side state, read on the render thread after everything posted ran.
    template <typename F>
    void OnRenderThread(F body)
    {
        RunOnRenderThread(m_renderer, [&](NorvexRenderer&) { body(); });
    }

    ContextTemplate m_template;
};

TEST_F(EntityRenderingContextTest, TheContextFollowsTransformLayerAndVisibility)
{
    Entity* e = gEntityManager.CreateEntity(&m_template, nullptr, Translation(3, 4, 5), 0, nullptr);
    EntityRenderingContext* context = e->GetRenderingContext();
    ASSERT_NE(context, nullptr);
    e->SetLayer(7);
    e->Hide(false);
    OnRenderThread([&] {
        EXPECT_FLOAT_EQ(context->GetWorld().rows[3].x, 3.0f);
        EXPECT_FLOAT_EQ(context->GetInverseWorld().rows[3].y, -4.0f);
        EXPECT_EQ(context->GetLayer(), 7);
        EXPECT_FALSE(context->IsVisible());
    });
    // Clearing "hidden" while updates are off keeps the context hidden until both are gone.
    e->RaiseFlag(ENTITYFLAG_DISABLE_UPDATE, false);
    e->Show(false);
    OnRenderThread([&] { EXPECT_FALSE(context->IsVisible()); });
    e->ClearFlag(ENTITYFLAG_DISABLE_UPDATE, false);
    OnRenderThread([&] { EXPECT_TRUE(context->IsVisible()); });
}

TEST_F(EntityRenderingContextTest, CreationFlagOneLeavesTheEntityWithoutAContext)
{
    Entity* e = gEntityManager.CreateEntity(&m_template, nullptr, Matrix::ONE,
                                            ENTITYCREATION_DONOTCREATERENDERINGCONTEXT, nullptr);
    EXPECT_EQ(e->GetRenderingContext(), nullptr);
    e->RecreateRenderingContext(true);
    EXPECT_NE(e->GetRenderingContext(), nullptr);
    e->RaiseFlag(ENTITYFLAG_NO_RENDERING_CONTEXT, false);
    EXPECT_EQ(e->GetRenderingContext(), nullptr);
}
TEST_F(EntityRenderingContextTest, RebuildingWithValuesSendsTheTemplateColourAndTheTransform)
{
    ASSERT_TRUE(m_template.GetClassProperties()->FindProperty("Wireframe color")->SetFromText(&m_template, "255 0 0 255 1"));
    Entity* e = gEntityManager.CreateEntity(&m_template, nullptr, Translation(1, 2, 3), 0, nullptr);
    e->SetLayer(3);
    e->RecreateRenderingContext(true);
    EntityRenderingContext* context = e->GetRenderingContext();
    OnRenderThread([&] {
        EXPECT_FLOAT_EQ(context->GetWireframeColor().x, 1.0f);
        EXPECT_FLOAT_EQ(context->GetWireframeColor().y, 0.0f);
        EXPECT_FLOAT_EQ(context->GetWorld().rows[3].z, 3.0f);
        EXPECT_EQ(context->GetLayer(), 3);
        EXPECT_FLOAT_EQ(context->GetLocalBox().max.x, 1.0f);
    });
}

TEST_F(EntityRenderingContextTest, SetMarkersDrawOneCubePerSetAndPoint)
{
    Entity* e = gEntityManager.CreateEntity(&m_template, nullptr, Matrix::ONE, 0, nullptr);
    EntitySet* red = new EntitySet;
    EntitySet* blue = new EntitySet;
    gEntityManager.GetEntitySets().Add(red);
    gEntityManager.GetEntitySets().Add(blue);
    red->AddEntity(e);
    blue->AddEntity(e);
    m_renderer.SubmitCommands(true);
    uint32_t before = m_renderer.GetCommandsWritten();
    e->DrawDebug(0);
    EXPECT_EQ(m_renderer.GetCommandsWritten() - before, 2u);
    before = m_renderer.GetCommandsWritten();
    e->DrawDebug(ENTITYRENDER_NO_SET_MARKERS);
    EXPECT_EQ(m_renderer.GetCommandsWritten(), before);
    Vector points[2];
    ASSERT_EQ(e->GetMarkerPoints(points, 2), 1u);
    EXPECT_FLOAT_EQ(points[0].y, 1.0f);
}
} // namespace
