// ctest-labels: thread
// The shadow map's caster walk on a running renderer: which contexts of the grid cells under the
// light are asked for their depth pass (shadow casters inside the light's box, of a visible layer,
// not flagged, whose detail level the quality level draws) with the depth bias scaled to the map's
// size, into the map's depth surface with the scene's put back after, and that nothing is asked
// for without shadow strength.
#include "renderer/EntityRenderingContext.h"
#include "renderer/SceneEnvironment.h"
#include "renderer/SceneParametersWrapper.h"
#include "support/RendererTestBase.h"
#include "support/RenderThreadCall.h"

#include <bit>
#include <memory>
#include <vector>

namespace
{
// A context that counts the depth passes it was asked for.
class CasterContext : public EntityRenderingContext
{
public:
    CasterContext(NorvexRenderer& renderer, bool casts, uint8_t layer, uint8_t detailLevel)
        : EntityRenderingContext(renderer, casts ? kFlagCastsShadows : 0u)
    {
        EntityRenderingSource source;
        source.hasEntity = true;
        source.localBounds = BoundingBox4(Vector(-1, 0, -1, 1), Vector(1, 2, 1, 1));
        source.layer = layer;
        source.detailLevel = detailLevel;
        ApplySource(source);
    }
    void DrawDepth(uint8_t mirrorToggle, uint32_t passFlags) override
    {
        ++depthDraws;
        toggle = mirrorToggle;
        flags = passFlags;
        uint32_t bits = 0;
        m_renderer.GetDevice()->GetRenderState(gpu::kRsDepthBias, &bits);
        bias = std::bit_cast<float>(bits);
        m_renderer.GetDevice()->GetRenderState(gpu::kRsSlopeScaleDepthBias, &bits);
        slopeBias = std::bit_cast<float>(bits);
        depthSurface = DepthSurfaceOf(m_renderer);
    }
    // Only compared, never used: the reference is given back at once.
    static const gpu::GpuSurface* DepthSurfaceOf(NorvexRenderer& renderer)
    {
        gpu::GpuSurface* surface = nullptr;
        renderer.GetDevice()->GetDepthStencilSurface(&surface);
        const gpu::GpuSurface* const seen = surface;
        gpu::SafeRelease(surface);
        return seen;
    }
    uint32_t depthDraws = 0;
    const gpu::GpuSurface* depthSurface = nullptr;
    float bias = 0.0f;
    float slopeBias = 0.0f;
    uint8_t toggle = 0xFF;
    uint32_t flags = 0;
};

class ShadowCasterWalkTest : public RendererTestBase
{
protected:
    void SetUp() override
    {
        // Half the size the bias settings are given for: the bias doubles.
        RendererDeviceSettings settings;
        settings.shadowMapSize = 1024;
        m_renderer.SetDeviceSettings(settings);
        RendererTestBase::SetUp();
        gSceneEnvironment.Create();
        m_scene.SetDefaults();
        m_scene.GetSun().shadowStrength = 0.5f;
        gSceneEnvironment.SetOverrideParameters(&m_scene);
        gSceneEnvironment.EnableOverride();
        m_renderer.InitSceneCellGrid(BoundingBox4(Vector(-50, -10, -50, 1), Vector(50, 50, 50, 1)), 10.0f);
        Matrix view, projection;
        view.LoadLookAtLH(Vector(0.0f, 40.0f, -10.0f, 1.0f), Vector(0.0f, 0.0f, 0.0f, 1.0f),
                          Vector(0.0f, 1.0f, 0.0f, 0.0f));
        projection.LoadPerspectiveFovLH(45.0f, 320.0f / 240.0f, 1.0f, 200.0f);
        m_renderer.SetCamera(view, projection, Matrix::ONE);
    }
    void TearDown() override
    {
        for (CasterContext* context : m_contexts)
            context->Release();
        gSceneEnvironment.Close();
        m_renderer.SubmitCommands(true);
        RendererTestBase::TearDown();
    }
    CasterContext* Place(bool casts, uint8_t layer, uint8_t detailLevel, const Vector& at)
    {
        auto* context = new CasterContext(m_renderer, casts, layer, detailLevel);
        Matrix world = Matrix::ONE;
        world.rows[3] = at;
        context->SetTransformAndBounds(world, world, false, context->GetLocalBounds());
        m_contexts.push_back(context);
        return context;
    }

    SceneParametersWrapper m_scene; // copied by the environment when its command runs
    std::vector<CasterContext*> m_contexts;
};
} // namespace

TEST_F(ShadowCasterWalkTest, TheWalkTakesVisibleCastersTheDetailLevelDrawsOnce)
{
    // Quality level 3 (the default settings) is the detail level.
    struct Case
    {
        const char* what;
        bool casts;
        uint8_t layer;
        uint8_t detailLevel;
        bool flagged;
        uint32_t expected;
    };
    const Case cases[] = {
        {"a caster", true, 0, 0, false, 1},
        {"not a caster", false, 0, 0, false, 0},
        {"detail level equal to the quality level", true, 0, 3, false, 1},
        {"detail level above the quality level", true, 0, 4, false, 0},
        {"layer 8, visible", true, 8, 0, false, 1},
        {"layer 9, hidden", true, 9, 0, false, 0},
        {"layer 13, visible", true, 13, 0, false, 1},
        {"flagged", true, 0, 0, true, 0},
    };
    std::vector<CasterContext*> placed;
    for (const Case& c : cases)
    {
        // Across four cells: still drawn once.
        placed.push_back(Place(c.casts, c.layer, c.detailLevel, Vector(0.0f, 0.0f, 0.0f, 1.0f)));
        if (c.flagged)
            placed.back()->SetFlagged(true);
    }
    // All in cells under the light's box; only the first lies in the box itself, the others below it
    // and to its side.
    CasterContext* inBox = Place(true, 0, 0, Vector(0.0f, 0.0f, -30.0f, 1.0f));
    CasterContext* outOfBox = Place(true, 0, 0, Vector(0.0f, -9.0f, -30.0f, 1.0f));
    CasterContext* besideBox = Place(true, 0, 0, Vector(40.0f, 0.0f, 0.0f, 1.0f));
    uint8_t layers[32];
    std::fill(std::begin(layers), std::end(layers), uint8_t(0xFF));
    layers[1] = uint8_t(~0x02u); // layer 9 hidden
    m_renderer.SetVisibleLayers(layers, 1);
    const gpu::GpuSurface* sceneDepth = nullptr;
    RunOnRenderThread(m_renderer, [&](NorvexRenderer& r) { sceneDepth = CasterContext::DepthSurfaceOf(r); });
    m_renderer.SetScenePassOptions(0x80004, 0);
    m_renderer.SubmitCommands(true);
    const gpu::GpuSurface* depthAfter = nullptr;
    RunOnRenderThread(m_renderer, [&](NorvexRenderer& r) { depthAfter = CasterContext::DepthSurfaceOf(r); });
    EXPECT_NE(inBox->depthSurface, sceneDepth) << "casters draw into the map's depth surface";
    EXPECT_EQ(depthAfter, sceneDepth) << "the scene's depth surface is put back";

    uint32_t total = 0;
    for (size_t i = 0; i < placed.size(); ++i)
    {
        EXPECT_EQ(placed[i]->depthDraws, cases[i].expected) << cases[i].what;
        if (placed[i]->depthDraws != 0)
        {
            EXPECT_EQ(placed[i]->flags, 0x80004u) << cases[i].what;
            EXPECT_EQ(placed[i]->toggle, 0u) << cases[i].what;
            EXPECT_FLOAT_EQ(placed[i]->bias, 0.02f) << cases[i].what;
            EXPECT_FLOAT_EQ(placed[i]->slopeBias, 0.04f) << cases[i].what;
        }
        total += cases[i].expected;
    }
    EXPECT_EQ(inBox->depthDraws, 1u);
    EXPECT_EQ(outOfBox->depthDraws, 0u);
    EXPECT_EQ(besideBox->depthDraws, 0u);
    EXPECT_EQ(m_renderer.GetExecutor().GetShadowCasterCount(), total + 1);
}

TEST_F(ShadowCasterWalkTest, NoShadowStrengthAsksNoCaster)
{
    CasterContext* caster = Place(true, 0, 0, Vector(0.0f, 0.0f, 0.0f, 1.0f));
    m_scene.GetSun().shadowStrength = 0.0f;
    gSceneEnvironment.SetOverrideParameters(&m_scene);
    m_renderer.SetScenePassOptions(0, 0);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(caster->depthDraws, 0u);
}
