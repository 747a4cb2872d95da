// ctest-labels: thread
// The graph's rendering context over a kit-made data root with the project's shaders: its pieces go
// out in batches, and each "Graph" variant puts its strip, curve or arrow where the pieces say, as
// wide as the template's width, with its texture by the mapping size and in its blend mode.
#include "scene/kinds/GraphEntityRenderingContext.h"

#include "renderer/resources/ResourceTexture.h"
#include "scene/SceneClassRegistration.h"
#include "scene/entities/EntityManager.h"
#include "scene/kinds/FlagEntity.h"
#include "scene/kinds/FlagTemplate.h"
#include "scene/kinds/GraphEntity.h"
#include "scene/kinds/GraphGeometry.h"
#include "support/ConsoleCapture.h"
#include "support/RenderDataHarness.h"
#include "support/RenderProbes.h"
#include "support/RenderThreadCall.h"
#include "support/SystemTextures.h"

#include <tuple>

namespace
{
// Graph space x and z onto the 320 x 240 target: 16 pixels per unit across, 12 down, origin in
// the middle, +z up the screen.
const Matrix kGroundToScreen{{Vector(0.1f, 0, 0, 0), Vector(0, 0, 0, 0), Vector(0, 0.1f, 0, 0), Vector(0, 0, 0.5f, 1)}};

class GraphEntityRenderingContextTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DataRoot data;
        ASSERT_FALSE(AddSystemTextures(data).empty());
        TextureFileSpec road; // red over the first half of u, green over the second
        road.width = road.height = 4;
        road.texel = [](uint32_t, uint32_t, uint32_t x, uint32_t) { return x < 2 ? 0xFFFF0000u : 0xFF00FF00u; };
        std::string roadFile;
        ASSERT_TRUE(BuildTextureFile(road, roadFile));
        data.AddFile("textures", "Graph/road.texture", roadFile);
        ASSERT_TRUE(m_harness.StartWithShaders(data));
        RegisterSceneClasses();
        gEntityManager.Init(BoundingBox4(Vector(0, -50, 0, 1), Vector(1000, 500, 1000, 1)), 10.0f);
        Fetch(m_graphTemplate, {});
        Fetch(m_texturedTemplate, {{"Texture", "Graph/road.dds"}, {"Mappnig size", "4"}});
    }
    void TearDown() override
    {
        gEntityManager.DestroyScene();
        m_harness.GetRenderer().SubmitCommands(true);
        m_graphTemplate.OnUnload();
        m_texturedTemplate.OnUnload();
        m_harness.Stop();
    }

    // Sets the template's properties and waits until its texture and shaders have loaded.
    static void Fetch(GraphTemplate& graph, std::initializer_list<std::pair<const char*, const char*>> values)
    {
        graph.SetTypeId(GraphTemplate::kTypeId);
        RTTIPropertiesBase* table = graph.GetClassProperties();
        for (const auto& [name, text] : values)
            ASSERT_TRUE(table->FindPropertyInClassChain(name)->SetFromText(&graph, text)) << name;
        graph.OnPropertyChanged(table->FindPropertyInClassChain("Width"));
        std::vector<Resource*> held;
        if (!graph.GetTextureName().IsEmpty())
            held.push_back(graph.GetTexture());
        for (uint32_t slot = 0; slot < GraphTemplate::SHADER_COUNT; ++slot)
            held.insert(held.end(), {graph.GetShaders(slot).m_vertexResource, graph.GetShaders(slot).m_pixelResource});
        for (Resource* r : held)
        {
            ASSERT_NE(r, nullptr);
            r->WaitUntilLoaded(true);
            ASSERT_TRUE(r->IsLoaded()) << r->GetName();
        }
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
        RunOnRenderThread(m_harness.GetRenderer(), [&](NorvexRenderer& r) {
            const uint32_t calls = r.GetFrameDrawCalls();
            const uint32_t triangles = r.GetFramePrimitives();
            context.Draw(Matrix::ONE, flags, Vector(1.0f, 1.0f, 1.0f, 1.0f));
            counts = {r.GetFrameDrawCalls() - calls, r.GetFramePrimitives() - triangles};
        });
        return counts;
    }

    // The target's pixels (RGB) at the probes after a draw of `context` in yellow over `background`
    // through kGroundToScreen.
    std::vector<uint32_t> DrawAndProbe(GraphEntityRenderingContext& context, uint32_t flags, uint32_t background,
                                       const std::vector<std::pair<float, float>>& probes)
    {
        RunOnRenderThread(m_harness.GetRenderer(), [&](NorvexRenderer& r) {
            r.GetDevice()->SetRenderState(gpu::kRsSrgbWriteEnable, 0);
            r.GetDevice()->BeginScene();
            r.GetDevice()->Clear(0, nullptr, gpu::kClearTarget, background, 1.0f, 0);
            context.Draw(kGroundToScreen, flags, Vector(1.0f, 1.0f, 0.0f, 1.0f));
            r.GetDevice()->EndScene();
        });
        std::vector<uint32_t> pixels;
        for (const auto& [x, z] : probes)
            pixels.push_back(ProbeRenderTarget(m_harness.GetRenderer(), uint32_t(160 + 16 * x), uint32_t(120 - 12 * z)) &
                             0xFFFFFFu);
        return pixels;
    }

    ConsoleCapture m_log;
    RenderDataHarness m_harness;
    GraphTemplate m_graphTemplate;
    GraphTemplate m_texturedTemplate;
    GraphTemplate m_bareTemplate;
    FlagTemplate m_flagTemplate;
    EntityTemplate m_plainTemplate;
};

TEST_F(GraphEntityRenderingContextTest, PiecesAreDrawnInBatchesAndArrowsOnlyWithFlag8)
{
    Entity* graph = Create(&m_graphTemplate);
    ASSERT_TRUE(GraphTemplate::StaticClassProperties()->FindProperty("Blend mode")->SetFromText(&m_graphTemplate, "4"));
    GraphEntityRenderingContext context(m_harness.GetRenderer(), graph, 0, Pieces(64, 17, 3));
    ASSERT_NE(context.GetGeometry(), nullptr);
    EXPECT_EQ(context.GetBlendMode(), 4u);
    EXPECT_FLOAT_EQ(context.GetWidth(), 1.0f);
    EXPECT_FLOAT_EQ(context.GetInverseMappingSize(), 0.1f);
    // 32 + 32 strips, 16 + 1 curves of 63 x 2 triangles.
    const auto plain = DrawCounts(context, 0);
    EXPECT_EQ(plain.first, 4u);
    EXPECT_EQ(plain.second, 64u * 2u + 17u * 126u);
    // Two registers per strip: the last strip's second point, distance 64, ends the second batch.
    GraphEntityRenderingContext strips(m_harness.GetRenderer(), graph, 0, Pieces(64, 0, 0));
    DrawCounts(strips, 0);
    float last[4] = {};
    RunOnRenderThread(m_harness.GetRenderer(), [&](NorvexRenderer& r) {
        r.GetDevice()->GetVertexShaderConstantF(GraphEntityRenderingContext::kPiecesRegister + 63, last, 1);
    });
    EXPECT_FLOAT_EQ(last[3], 64.0f);
    const auto arrows = DrawCounts(context, GraphEntityRenderingContext::kDrawArrows);
    EXPECT_EQ(arrows.first, 5u);
    EXPECT_EQ(arrows.second, plain.second + 3u) << "one arrowhead triangle each";
}

TEST_F(GraphEntityRenderingContextTest, EachVariantDrawsItsPieceWhereThePiecesPutIt)
{
    constexpr uint32_t kYellow = 0xFFFF00u, kRed = 0xFF0000u, kGreen = 0x00FF00u, kBlue = 0x0000FFu;
    // Options (which say the piece: a strip, a curve or an arrow), textured template, blend mode,
    // background, then probes (x, z) and their colours. The strip runs from x = -5 to 5 at z = 0;
    // the curve bows up to z = 0.75 in its middle, where a straight piece would cover z = -0.25;
    // both span path distances 0 to 4, one texture length. The arrow points along +x from the origin.
    const std::tuple<std::string, bool, const char*, uint32_t, std::vector<std::pair<float, float>>,
                     std::vector<uint32_t>>
        rows[] = {
            {"", false, "None", 0u, {{-2.5f, 0}, {0, 0.35f}, {0, 1}, {6, 0}}, {kYellow, kYellow, 0u, 0u}},
            {"CATMULL_ROM", false, "Add", kBlue, {{0, 1}, {-2.5f, 0.5625f}, {0, -0.25f}}, {0xFFFFFFu, 0xFFFFFFu, kBlue}},
            {"TEXTURE", true, "None", 0u, {{-2.5f, 0}, {2.5f, 0}, {0, 1}}, {kRed, kGreen, 0u}},
            {"TEXTURE CATMULL_ROM", true, "None", 0u, {{-2.5f, 0.5625f}, {2.5f, 0.5625f}, {0, -0.25f}}, {kRed, kGreen, 0u}},
            {"ARROW", false, "None", 0u, {{0.3f, 0}, {-0.3f, 0}, {1.3f, 0}}, {kYellow, 0u, 0u}},
        };
    for (const auto& [options, textured, blend, background, probes, colors] : rows)
    {
        GraphTemplate& source = textured ? m_texturedTemplate : m_graphTemplate;
        ASSERT_TRUE(GraphTemplate::StaticClassProperties()->FindProperty("Blend mode")->SetFromText(&source, blend));
        GraphGeometry* pieces = new GraphGeometry;
        if (options.find("ARROW") != std::string::npos)
            pieces->AddArrow(Vector(0.0f, 0.0f, 0.0f, 1.0f), Vector(1.0f, 0.0f, 0.0f, 0.0f));
        else if (options.find("CATMULL_ROM") != std::string::npos)
            pieces->AddCurve(Vector(-15.0f, 0.0f, -6.0f, 1.0f), Vector(-5.0f, 0.0f, 0.0f, 1.0f),
                             Vector(5.0f, 0.0f, 0.0f, 1.0f), Vector(15.0f, 0.0f, -6.0f, 1.0f), 0.0f, 4.0f);
        else
        {
            // Strips off the target go first, so the probed one is piece 20 of its batch of 32.
            for (int i = 0; i < 20; ++i)
                pieces->AddStrip(Vector(-5.0f, 0.0f, 50.0f, 1.0f), 0.0f, Vector(5.0f, 0.0f, 50.0f, 1.0f), 4.0f);
            pieces->AddStrip(Vector(-5.0f, 0.0f, 0.0f, 1.0f), 0.0f, Vector(5.0f, 0.0f, 0.0f, 1.0f), 4.0f);
        }
        GraphEntityRenderingContext context(m_harness.GetRenderer(), Create(&source), 0, pieces);
        EXPECT_EQ(DrawAndProbe(context, GraphEntityRenderingContext::kDrawArrows, 0xFF000000u | background, probes),
                  colors)
            << "\"" << options << "\"";
    }
}

TEST_F(GraphEntityRenderingContextTest, AContextForAnotherKindFreesItsGeometryAndDrawsNothing)
{
    Entity* entity = Create(&m_plainTemplate);
    GraphEntityRenderingContext context(m_harness.GetRenderer(), entity, 0, Pieces(2, 2, 2));
    EXPECT_EQ(context.GetGeometry(), nullptr);
    EXPECT_FLOAT_EQ(context.GetInverseMappingSize(), 1.0f);
    EXPECT_EQ(DrawCounts(context, GraphEntityRenderingContext::kDrawArrows).first, 0u);
    // Without shaders or texture the template's pairs are not taken.
    EXPECT_FALSE(context.HasShaders(GraphTemplate::SHADER_STRIPS));
    EXPECT_EQ(context.GetTexture(), nullptr);
    // A graph whose template never fetched its shaders: the pieces wait instead of drawing with
    // whatever shaders are bound.
    GraphEntityRenderingContext unshaded(m_harness.GetRenderer(), Create(&m_bareTemplate), 0, Pieces(2, 2, 2));
    EXPECT_FALSE(unshaded.HasShaders(GraphTemplate::SHADER_STRIPS));
    EXPECT_EQ(DrawCounts(unshaded, GraphEntityRenderingContext::kDrawArrows).first, 0u);
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
    EXPECT_NE(graph->GetRenderFlags() & 0x20u, 0u) << "a frame's gather keeps it as a sorted forward task";
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
    Entity* graph = Create(&m_graphTemplate);
    const std::pair<const char*, float> rows[] = {{"0", 1.0f}, {"4", 0.25f}, {"-2", -0.5f}, {"1e-45", 1.0f}};
    for (const auto& [text, inverse] : rows)
    {
        ASSERT_TRUE(size->SetFromText(&m_graphTemplate, text));
        GraphEntityRenderingContext context(m_harness.GetRenderer(), graph, 0, Pieces(1, 0, 0));
        EXPECT_FLOAT_EQ(context.GetInverseMappingSize(), inverse) << text;
    }
}
} // namespace
