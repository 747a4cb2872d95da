#include "scene/kinds/GraphEntityRenderingContext.h"

#include "scene/SceneClassRegistration.h"
#include "scene/entities/EntityManager.h"
#include "scene/kinds/FlagEntity.h"
#include "scene/kinds/FlagTemplate.h"
#include "scene/kinds/GraphEntity.h"
#include "scene/kinds/GraphGeometry.h"
#include "support/RenderThreadCall.h"
#include "support/RendererTestBase.h"

namespace
{
class GraphEntityRenderingContextTest : public RendererTestBase
{
protected:
    void SetUp() override
    {
        RendererTestBase::SetUp();
        RegisterSceneClasses();
        gEntityManager.Init(BoundingBox4(Vector(0, -50, 0, 1), Vector(1000, 500, 1000, 1)), 10.0f);
    }
    void TearDown() override
    {
        gEntityManager.DestroyScene();
        m_renderer.SubmitCommands(true);
        RendererTestBase::TearDown();
    }

    Entity* Create(EntityTemplate* entityTemplate, Entity* parent = nullptr, float x = 0.0f)
    {
        Matrix local = Matrix::ONE;
        local.rows[3].Set(x, 0.0f, 0.0f, 1.0f);
        return gEntityManager.CreateEntity(entityTemplate, parent, local, 0, nullptr);
    }

    static GraphGeometry* Pieces(int strips, int curves, int arrows)
    {
        GraphGeometry* g = new GraphGeometry;
        const Vector p(1.0f, 2.0f, 3.0f, 1.0f);
        for (int i = 0; i < strips; ++i)
            g->AddStrip(p, float(i), p, float(i + 1));
        for (int i = 0; i < curves; ++i)
            g->AddCurve(p, p, p, p, 0.0f, 1.0f);
        for (int i = 0; i < arrows; ++i)
            g->AddArrow(p, Vector(1.0f, 0.0f, 0.0f, 0.0f));
        return g;
    }

    // Draw calls and triangles of one draw with `flags`.
    std::pair<uint32_t, uint32_t> DrawCounts(GraphEntityRenderingContext& context, uint32_t flags)
    {
        std::pair<uint32_t, uint32_t> counts;
        RunOnRenderThread(m_renderer, [&](NorvexRenderer& r) {
            const uint32_t calls = r.GetFrameDrawCalls();
            const uint32_t triangles = r.GetFramePrimitives();
            context.Draw(Matrix::ONE, flags, Vector(1.0f, 1.0f, 1.0f, 1.0f));
            counts = {r.GetFrameDrawCalls() - calls, r.GetFramePrimitives() - triangles};
        });
        return counts;
    }

    GraphTemplate m_graphTemplate;
    FlagTemplate m_flagTemplate;
    EntityTemplate m_plainTemplate;
};

TEST_F(GraphEntityRenderingContextTest, PiecesAreDrawnInBatchesAndArrowsOnlyWithFlag8)
{
    m_graphTemplate.SetTypeId(GraphTemplate::kTypeId);
    ASSERT_TRUE(GraphTemplate::StaticClassProperties()->FindProperty("Blend mode")->SetFromText(&m_graphTemplate, "4"));
    Entity* graph = Create(&m_graphTemplate);
    GraphEntityRenderingContext context(m_renderer, graph, 0, Pieces(64, 17, 3));
    ASSERT_NE(context.GetGeometry(), nullptr);
    EXPECT_EQ(context.GetBlendMode(), 4u);
    EXPECT_FLOAT_EQ(context.GetWidth(), 1.0f);
    EXPECT_FLOAT_EQ(context.GetInverseMappingSize(), 0.1f);
    // 32 + 32 strips, 16 + 1 curves of 63 x 2 triangles.
    const auto plain = DrawCounts(context, 0);
    EXPECT_EQ(plain.first, 4u);
    EXPECT_EQ(plain.second, 64u * 2u + 17u * 126u);
    // Two registers per strip: the last strip's second point, distance 64, ends the second batch.
    GraphEntityRenderingContext strips(m_renderer, graph, 0, Pieces(64, 0, 0));
    DrawCounts(strips, 0);
    float last[4] = {};
    RunOnRenderThread(m_renderer, [&](NorvexRenderer& r) {
        r.GetDevice()->GetVertexShaderConstantF(GraphEntityRenderingContext::kPiecesRegister + 63, last, 1);
    });
    EXPECT_FLOAT_EQ(last[3], 64.0f);
    const auto arrows = DrawCounts(context, GraphEntityRenderingContext::kDrawArrows);
    EXPECT_EQ(arrows.first, 5u);
    EXPECT_EQ(arrows.second, plain.second + 3u) << "one arrowhead triangle each";
}

TEST_F(GraphEntityRenderingContextTest, AContextForAnotherKindFreesItsGeometryAndDrawsNothing)
{
    Entity* entity = Create(&m_plainTemplate);
    GraphEntityRenderingContext context(m_renderer, entity, 0, Pieces(2, 2, 2));
    EXPECT_EQ(context.GetGeometry(), nullptr);
    EXPECT_FLOAT_EQ(context.GetInverseMappingSize(), 1.0f);
    EXPECT_EQ(DrawCounts(context, GraphEntityRenderingContext::kDrawArrows).first, 0u);
    // Without shaders or texture the template's pairs are not taken.
    EXPECT_FALSE(context.HasShaders(GraphTemplate::SHADER_STRIPS));
    EXPECT_EQ(context.GetTexture(), nullptr);
}

TEST_F(GraphEntityRenderingContextTest, TheGraphHandsItsGeometryToANewContextAtTheRebuild)
{
    GraphEntity* graph = dynamic_cast<GraphEntity*>(Create(&m_graphTemplate));
    ASSERT_NE(graph, nullptr);
    // An empty graph still has a context, which has nothing to draw.
    auto* empty = dynamic_cast<GraphEntityRenderingContext*>(graph->GetRenderingContext());
    ASSERT_NE(empty, nullptr);
    ASSERT_NE(empty->GetGeometry(), nullptr);
    EXPECT_TRUE(empty->GetGeometry()->IsEmpty());
    EXPECT_EQ(DrawCounts(*empty, GraphEntityRenderingContext::kDrawArrows).first, 0u);

    FlagEntity* a = dynamic_cast<FlagEntity*>(Create(&m_flagTemplate, graph, 0.0f));
    FlagEntity* b = dynamic_cast<FlagEntity*>(Create(&m_flagTemplate, graph, 4.0f));
    graph->Connect(a, b);
    graph->RenderIfFlag8(0);
    auto* built = dynamic_cast<GraphEntityRenderingContext*>(graph->GetRenderingContext());
    ASSERT_NE(built, nullptr);
    ASSERT_NE(built->GetGeometry(), nullptr);
    ASSERT_EQ(built->GetGeometry()->m_strips.Count(), 1);
    EXPECT_FLOAT_EQ(built->GetGeometry()->m_strips[0].b.w, 4.0f);
    EXPECT_EQ(built->GetGeometry()->m_arrows.Count(), 1);
}

TEST_F(GraphEntityRenderingContextTest, AMappingSizeOfZeroLeavesTheTextureUnscaled)
{
    RTTIProperty* size = m_graphTemplate.GetClassProperties()->FindPropertyInClassChain("Mappnig size");
    ASSERT_NE(size, nullptr);
    ASSERT_TRUE(size->SetFromText(&m_graphTemplate, "0"));
    Entity* graph = Create(&m_graphTemplate);
    GraphEntityRenderingContext context(m_renderer, graph, 0, Pieces(1, 0, 0));
    EXPECT_FLOAT_EQ(context.GetInverseMappingSize(), 1.0f);
    ASSERT_TRUE(size->SetFromText(&m_graphTemplate, "4"));
    GraphEntityRenderingContext scaled(m_renderer, graph, 0, Pieces(1, 0, 0));
    EXPECT_FLOAT_EQ(scaled.GetInverseMappingSize(), 0.25f);
}
} // namespace
