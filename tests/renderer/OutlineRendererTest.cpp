// ctest-labels: thread
// Entity outlines: the tiles an entity's screen box marks, the quads each group's row runs become,
// the index ring the passes stream through (the graphics stand-in reports any no-overwrite write
// over indices drawn since the last discard), and pixel probes of whole frames: the side's colour
// in a band around the stencil area of an outlined context and nowhere else, also when the
// post-processing chain draws them, on the pixels either side of the stencil edge, over a sharp
// scene, multisampled or not.
#include "renderer/OutlineRenderer.h"

#include "engine/config/ProjectConfig.h"
#include "platform/gpu/GpuBuffer.h"
#include "platform/gpu/GpuDevice.h"
#include "renderer/OutlineParams.h"
#include "renderer/PostprocessManager.h"
#include "renderer/RenderTargetSet.h"
#include "renderer/SceneEnvironment.h"
#include "renderer/SceneParametersWrapper.h"
#include "renderer/ShaderManager.h"
#include "support/RenderDataHarness.h"
#include "support/RenderProbes.h"
#include "support/RenderThreadCall.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <utility>
#include <vector>

namespace
{
using Tile = std::pair<uint32_t, uint32_t>; // column, row

std::set<Tile> Marked(const OutlineRenderer& outlines, uint8_t bit = 0xFF)
{
    std::set<Tile> tiles;
    for (uint32_t row = 0; row < OutlineRenderer::kTileRows; ++row)
        for (uint32_t column = 0; column < OutlineRenderer::kTileColumns; ++column)
            if ((outlines.GetTile(column, row) & bit) != 0)
                tiles.insert({column, row});
    return tiles;
}

std::set<Tile> Range(uint32_t column0, uint32_t column1, uint32_t row0, uint32_t row1) // exclusive ends
{
    std::set<Tile> tiles;
    for (uint32_t row = row0; row < row1; ++row)
        for (uint32_t column = column0; column < column1; ++column)
            tiles.insert({column, row});
    return tiles;
}

// Clip space is the world here (w = 1), except that `behind` makes w = z.
Matrix ViewProjection(bool behind)
{
    Matrix m = Matrix::ONE;
    if (behind)
    {
        m.rows[2].w = 1.0f;
        m.rows[3].w = 0.0f;
    }
    return m;
}

TEST(OutlineTilesTest, ScreenBoxesMarkTheirTilesWithTheirBits)
{
    struct Case
    {
        const char* name;
        BoundingBox4 box;
        bool behind;
        std::set<Tile> tiles;
    };
    // On a 320 x 240 target three pixels are 3/320 and 3/240 in clip units, a tile 0.05 by 1/12.
    const Case cases[] = {
        // x -0.5..0 and y -0.5..0 cover columns 10 to 19 and rows 6 to 11; the margin reaches
        // one tile further on every side.
        {"inside", BoundingBox4(Vector(-0.5f, -0.5f, 0.5f, 1), Vector(0.0f, 0.0f, 0.5f, 1)), false, Range(9, 21, 5, 13)},
        // A box well inside one tile, margin and all, marks that tile alone.
        {"narrow", BoundingBox4(Vector(0.02f, 0.02f, 0.5f, 1), Vector(0.03f, 0.03f, 0.5f, 1)), false, Range(20, 21, 12, 13)},
        // Touching the right edge: up to column 40, exclusive; past the top: up to row 24.
        {"right edge", BoundingBox4(Vector(0.9f, 0.9f, 0.5f, 1), Vector(1.5f, 1.5f, 0.5f, 1)), false, Range(37, 40, 22, 24)},
        // A corner behind the camera takes the whole screen.
        {"behind", BoundingBox4(Vector(0.1f, 0.1f, -1.0f, 1), Vector(0.2f, 0.2f, 1.0f, 1)), true, Range(0, 40, 0, 24)},
        {"on the camera plane", BoundingBox4(Vector(0.1f, 0.1f, 0.0f, 1), Vector(0.2f, 0.2f, 1.0f, 1)), true, Range(0, 40, 0, 24)},
        {"in front", BoundingBox4(Vector(0.1f, 0.1f, 1.0f, 1), Vector(0.2f, 0.2f, 2.0f, 1)), true, Range(20, 25, 12, 15)},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        OutlineRenderer outlines;
        outlines.MarkTiles(c.box, Matrix::ONE, 4, ViewProjection(c.behind), 320.0f, 240.0f);
        EXPECT_EQ(Marked(outlines), c.tiles);
        EXPECT_EQ(outlines.GetSummary(), 4u);
    }
    // Bits gather: the overlap holds both, the summary every bit; Reset forgets them all.
    OutlineRenderer outlines;
    EXPECT_EQ(outlines.GetSummary(), 0u);
    outlines.MarkTiles(BoundingBox4(Vector(-1, -1, 0.5f, 1), Vector(-0.96f, -0.93f, 0.5f, 1)), Matrix::ONE, 2,
                       Matrix::ONE, 320.0f, 240.0f);
    Matrix shifted = Matrix::ONE;
    shifted.rows[3] = Vector(0.05f, 0.0f, 0.0f, 1.0f);
    outlines.MarkTiles(BoundingBox4(Vector(-1, -1, 0.5f, 1), Vector(-0.96f, -0.93f, 0.5f, 1)), shifted, 16,
                       Matrix::ONE, 320.0f, 240.0f);
    EXPECT_EQ(Marked(outlines, 2), Range(0, 1, 0, 1));
    EXPECT_EQ(Marked(outlines, 16), Range(0, 2, 0, 1)) << "the world matrix moves the box";
    EXPECT_EQ(outlines.GetTile(0, 0), 18u);
    EXPECT_EQ(outlines.GetSummary(), 18u);
    outlines.Reset();
    EXPECT_TRUE(Marked(outlines).empty());
    EXPECT_EQ(outlines.GetSummary(), 0u);
}

// One quad's six indices over the 41-wide grid: columns a to b of row r.
std::vector<uint16_t> Quad(uint32_t a, uint32_t b, uint32_t r)
{
    const uint16_t bl = uint16_t(r * 41 + a), br = uint16_t(r * 41 + b);
    return {bl, br, uint16_t(br + 41), bl, uint16_t(br + 41), uint16_t(bl + 41)};
}

TEST(OutlineTilesTest, RowRunsBecomeOneQuadReachingOneTileFurtherUnlessAtTheRowEnd)
{
    OutlineRenderer outlines;
    auto mark = [&](uint32_t column, uint32_t row, uint32_t bits) {
        // The tile's own middle, well inside it.
        const float x = (float(column) + 0.5f) / 20.0f - 1.0f, y = (float(row) + 0.5f) / 12.0f - 1.0f;
        outlines.MarkTiles(BoundingBox4(Vector(x, y, 0.5f, 1), Vector(x, y, 0.5f, 1)), Matrix::ONE, bits, Matrix::ONE,
                           1e9f, 1e9f);
    };
    mark(3, 0, 2);
    mark(4, 0, 2); // two side-1 tiles, then an empty one: three tiles wide
    mark(38, 0, 2);
    mark(39, 0, 2); // the same at the row's end: two wide
    mark(39, 1, 2); // a run of the row's last tile alone
    mark(0, 5, 1);  // a bit of no side: group 0 only
    mark(10, 23, 16);
    mark(11, 23, 8); // two sides side by side: one run for group 0, one each for groups 3 and 4
    outlines.ListQuads();

    struct Expected
    {
        uint32_t group;
        std::vector<std::vector<uint16_t>> quads;
    };
    const Expected groups[] = {
        {0, {Quad(3, 6, 0), Quad(38, 40, 0), Quad(39, 40, 1), Quad(0, 2, 5), Quad(10, 13, 23)}},
        {1, {Quad(3, 6, 0), Quad(38, 40, 0), Quad(39, 40, 1)}},
        {2, {}},
        {3, {Quad(11, 13, 23)}},
        {4, {Quad(10, 12, 23)}},
    };
    const std::vector<uint16_t>& indices = outlines.GetIndices();
    uint32_t start = 0;
    for (const Expected& e : groups)
    {
        SCOPED_TRACE(e.group);
        const OutlineRenderer::Group& group = outlines.GetGroup(e.group);
        EXPECT_EQ(group.firstIndex, start) << "groups follow each other";
        ASSERT_EQ(group.quadCount, e.quads.size());
        for (uint32_t q = 0; q < group.quadCount; ++q)
            EXPECT_EQ(std::vector<uint16_t>(indices.begin() + start + 6 * q, indices.begin() + start + 6 * q + 6),
                      e.quads[q]);
        start += 6 * group.quadCount;
    }
    EXPECT_EQ(indices.size(), start);
}

// An outlined context of chosen side bits over a chosen box.
class SideContext : public EntityRenderingContext
{
public:
    SideContext(NorvexRenderer& renderer, uint32_t bits) : EntityRenderingContext(renderer), m_bits(bits) {}
    uint32_t GetChannelMask(uint32_t) const override { return m_bits; }

private:
    uint32_t m_bits;
};

constexpr uint32_t kOutlinedTask = 0x200;
constexpr uint32_t kSceneOnly = 0x10000; // no deferred passes: the test writes the stencil itself
constexpr uint32_t kOutlineBlack = 0xFF000000u;
constexpr uint32_t kGrey = 0xFF808080u; // below the glow threshold: no glow blurs its edges

class OutlineRendererTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DataRoot data;
        ASSERT_TRUE(m_harness.StartWithShaders(data));
        gOutlineRenderer.LoadShaders();
        OutlineParams params;
        params.m_dilatationKernelSize = 2.0f; // taps one pixel away
        params.WriteRenderBlock(m_params);
        Renderer().SetOutlineParams(m_params);
        Renderer().SetPassMask(0xFFFFFFFFu);
    }
    void TearDown() override
    {
        for (EntityRenderingContext* context : m_contexts)
            context->Release();
        gOutlineRenderer.ReleaseShaders();
        gPostprocessManager.ReleaseShaders();
        gSceneEnvironment.Close();
        Renderer().SubmitCommands(true);
        m_harness.Stop();
    }
    NorvexRenderer& Renderer() { return m_harness.GetRenderer(); }

    // A context of `bits` over the pixel rectangle, its stencil set to `stencil` there.
    void AddOutlined(uint32_t bits, const gpu::Rect& rect, uint32_t stencil)
    {
        auto* context = new SideContext(Renderer(), bits);
        m_contexts.push_back(context);
        // Pixel edges to clip space on 320 x 240, y up.
        const BoundingBox4 box(Vector(float(rect.left) / 160.0f - 1.0f, 1.0f - float(rect.bottom) / 120.0f, 0.5f, 1),
                               Vector(float(rect.right) / 160.0f - 1.0f, 1.0f - float(rect.top) / 120.0f, 0.5f, 1));
        context->SetTransformAndBounds(Matrix::ONE, Matrix::ONE, false, box);
        m_rects.push_back({rect, stencil});
    }
    // A frame (multisampled when asked and the targets exist): black, no stencil but the outlined
    // rectangles', then gathering with the contexts.
    void Gather(uint8_t multisample = 0)
    {
        NorvexRenderer& renderer = Renderer();
        renderer.SetFrameTarget(nullptr, multisample, 1);
        renderer.SetViewport(gpu::Viewport{0, 0, 320, 240, 0.0f, 1.0f});
        renderer.Clear(gpu::kClearTarget | gpu::kClearDepth | gpu::kClearStencil, Vector(0, 0, 0, 1), 1.0f, 0);
        RunOnRenderThread(renderer, [&](NorvexRenderer& r) {
            for (const auto& [rect, stencil] : m_rects)
                ASSERT_EQ(r.GetDevice()->Clear(1, &rect, gpu::kClearStencil, 0, 1.0f, stencil), gpu::kOk);
            for (const gpu::Rect& rect : m_grey)
                ASSERT_EQ(r.GetDevice()->Clear(1, &rect, gpu::kClearTarget, kGrey, 1.0f, 0), gpu::kOk);
        });
        renderer.BeginGather();
        for (EntityRenderingContext* context : m_contexts)
            renderer.AddRenderTask(context, kOutlinedTask);
        renderer.RenderGathered(kSceneOnly, 0, nullptr);
    }
    RenderDataHarness m_harness;
    uint8_t m_params[OutlineParams::kRenderBlockBytes] = {};
    std::vector<EntityRenderingContext*> m_contexts;
    std::vector<std::pair<gpu::Rect, uint32_t>> m_rects;
    std::vector<gpu::Rect> m_grey; // scene areas cleared to grey
};

// Red, green and blue of a pixel, each within one step of the expected ones.
void ExpectPixel(uint32_t pixel, uint32_t expected, uint32_t x, uint32_t y)
{
    for (const uint32_t shift : {16u, 8u, 0u})
    {
        const int32_t got = int32_t((pixel >> shift) & 0xFF), want = int32_t((expected >> shift) & 0xFF);
        EXPECT_LE(std::abs(got - want), 1) << std::hex << pixel << " for " << expected << std::dec << " at " << x
                                            << ", " << y;
    }
}

void ExpectVector(const float* value, const Vector& expected, const char* what)
{
    ASSERT_NE(value, nullptr) << what;
    EXPECT_FLOAT_EQ(value[0], expected.x) << what;
    EXPECT_FLOAT_EQ(value[1], expected.y) << what;
    EXPECT_FLOAT_EQ(value[2], expected.z) << what;
    EXPECT_FLOAT_EQ(value[3], expected.w) << what;
}

TEST_F(OutlineRendererTest, ProbesFindEachSideColourInABandAroundItsStencilAreaOnly)
{
    OutlineParams params;
    params.m_dilatationKernelSize = 2.0f; // taps one pixel away
    params.m_softness = 1.5f;             // k = 1/7: weights 5/7 and 15/14
    params.WriteRenderBlock(m_params);
    Renderer().SetOutlineParams(m_params);
    const uint8_t second[OutlineParams::kRenderBlockBytes] = {};
    Renderer().SetOutlineParamsB(second); // the second block leaves the first alone
    AddOutlined(2, gpu::Rect{60, 100, 100, 140}, 2);  // hostile: red
    AddOutlined(8, gpu::Rect{200, 100, 240, 140}, 8); // neutral: blue
    Gather();
    RunOnRenderThread(Renderer(), [&](NorvexRenderer&) {
        EXPECT_EQ(gOutlineRenderer.GetSummary(), 10u);
        EXPECT_EQ(gOutlineRenderer.GetTile(9, 10), 2u);  // pixel (72, 120)
        EXPECT_EQ(gOutlineRenderer.GetTile(27, 10), 8u); // pixel (216, 120)
        EXPECT_EQ(gOutlineRenderer.GetTile(20, 10), 0u);
    });
    const size_t before = DrawLogSize(Renderer());
    Renderer().RenderOutlines();
    const std::vector<gpu::DrawRecord> draws = DrawsSince(Renderer(), before);
    // The mask of each side with tiles (stencil bit, colour channel), the dilation, the composite.
    ASSERT_EQ(draws.size(), 4u);
    const uint32_t masks[2][2] = {{2, 2}, {8, 4}};
    for (uint32_t i = 0; i < 2; ++i)
    {
        EXPECT_EQ(draws[i].renderStates[gpu::kRsStencilEnable], 1u);
        EXPECT_EQ(draws[i].renderStates[gpu::kRsStencilFunc], uint32_t(gpu::kCmpEqual));
        EXPECT_EQ(draws[i].renderStates[gpu::kRsStencilRef], 255u);
        EXPECT_EQ(draws[i].renderStates[gpu::kRsStencilMask], masks[i][0]);
        EXPECT_EQ(draws[i].renderStates[gpu::kRsColorWriteEnable], masks[i][1]);
        EXPECT_EQ(draws[i].renderStates[gpu::kRsZFunc], uint32_t(gpu::kCmpAlways));
    }
    EXPECT_EQ(draws[2].renderStates[gpu::kRsStencilEnable], 0u);
    EXPECT_EQ(draws[2].renderStates[gpu::kRsColorWriteEnable], 15u);
    const Vector mapping(0.5f, -0.5f, (1.0f / 320.0f + 1.0f) * 0.5f, (1.0f / 240.0f + 1.0f) * 0.5f);
    ExpectVector(draws[2].VertexConstant(0), mapping, "dilate mapping");
    ExpectVector(draws[2].PixelConstant(1), Vector(1 / 320.0f, 1 / 240.0f, -1 / 320.0f, -1 / 240.0f), "kernel");
    ExpectVector(draws[2].PixelConstant(2), Vector(0.2f, 0, 0, 0.2f), "hostile");
    ExpectVector(draws[2].PixelConstant(3), Vector(0, 0.2f, 0, 0.2f), "friendly");
    ExpectVector(draws[2].PixelConstant(4), Vector(0, 0, 0.2f, 0.2f), "neutral");
    ExpectVector(draws[2].PixelConstant(5), Vector(0.2f, 0.2f, 0.2f, 0.2f), "hero");
    ExpectVector(draws[3].VertexConstant(0), mapping, "composite mapping");
    ExpectVector(draws[3].PixelConstant(1), Vector(5.0f / 7.0f, 15.0f / 14.0f, 0, 0), "softness weights");
    EXPECT_EQ(draws[3].renderStates[gpu::kRsAlphaBlendEnable], 1u);
    EXPECT_EQ(draws[3].renderStates[gpu::kRsDestBlend], uint32_t(gpu::kBlendOne));
    EXPECT_EQ(draws[3].renderStates[gpu::kRsCullMode], 1u);
    for (const gpu::DrawRecord& draw : draws)
        EXPECT_FALSE(draw.withoutProgram);

    // One tap of five on a side just outside it: 0.2 x (5/7 + 15/14) of its colour; further in, full.
    const uint32_t faint = 91, full = 255;
    struct Point
    {
        uint32_t x, y, color;
    };
    const Point points[] = {
        {59, 120, faint << 16}, {60, 120, full << 16}, {99, 120, full << 16}, {100, 120, faint << 16},
        {80, 99, faint << 16},  {80, 139, full << 16}, {80, 140, faint << 16}, {58, 120, 0},
        {80, 120, 0},           {101, 120, 0},         {199, 120, faint},      {239, 130, full},
        {220, 120, 0},          {150, 120, 0},         {10, 10, 0},
    };
    for (const Point& p : points)
        ExpectPixel(ProbeRenderTarget(Renderer(), p.x, p.y), p.color, p.x, p.y);
}

TEST_F(OutlineRendererTest, TheChainPutsTheBandOnTheStencilEdgeAndKeepsTheSceneSharpAlsoMultisampled)
{
    gPostprocessManager.InitPostProcessChain("");
    // No vignette: the band keeps its colour wherever it is on screen.
    SceneParametersWrapper scene;
    scene.SetDefaults();
    scene.GetShading().vignetteEnd = 0.0f;
    gSceneEnvironment.Create();
    gSceneEnvironment.SetOverrideParameters(&scene);
    gSceneEnvironment.EnableOverride();
    Renderer().SubmitCommands(true);
    AddOutlined(2, gpu::Rect{60, 100, 100, 140}, 2);
    m_grey.push_back(gpu::Rect{160, 0, 320, 240});
    // The frame's row through the outlined rectangle and the grey area (x 40 to 199, entries 0 to
    // 159) and its column through the rectangle (y 80 to 159, entries 160 to 239), each multisample
    // mode after a reset.
    std::vector<uint32_t> lines[3];
    for (const uint32_t msaa : {0u, 1u, 2u})
    {
        SCOPED_TRACE(msaa);
        RendererDeviceSettings settings;
        settings.msaaMode = msaa;
        Renderer().SetDeviceSettings(settings);
        Renderer().ApplyDisplaySettings(m_harness.GetWindow(), 320, 240, true, false);
        Gather(1);
        RunOnRenderThread(Renderer(), [&](NorvexRenderer& r) {
            EXPECT_EQ(r.GetExecutor().IsResolvePending(), msaa != 0) << "the scene is drawn multisampled";
        });
        Renderer().PostProcess(1);
        RunOnRenderThread(Renderer(), [&](NorvexRenderer& r) {
            gpu::GpuSurface* back = nullptr;
            r.GetDevice()->GetBackBuffer(0, 0, &back);
            for (uint32_t x = 40; x < 200; ++x)
                lines[msaa].push_back(back->ReadPixelArgb(x, 120) | 0xFF000000u);
            for (uint32_t y = 80; y < 160; ++y)
                lines[msaa].push_back(back->ReadPixelArgb(80, y) | 0xFF000000u);
            back->Release();
            // The mask reads the stencil the scene wrote, with a colour target of the same sample
            // count; the chain goes on with the main depth-stencil surface.
            const RenderTargetSet& t = r.GetDeviceManager().GetRenderTargets();
            const gpu::GpuSurface* color = msaa != 0 ? t.multisampledColor : t.pingPong[0].GetSurface();
            const gpu::GpuSurface* depth = msaa != 0 ? t.multisampledDepth : t.sceneDepth.GetSurface();
            size_t masks = 0;
            for (const gpu::DrawRecord& draw : r.GetDevice()->GetDrawLog())
                if (draw.renderStates[gpu::kRsStencilEnable] != 0)
                {
                    ++masks;
                    EXPECT_EQ(draw.renderTargetIds[0], color->GetId());
                    EXPECT_EQ(draw.depthStencilId, depth->GetId());
                }
                else if (masks != 0)
                {
                    EXPECT_EQ(draw.renderStates[gpu::kRsZWriteEnable], 0u) << "the chain keeps the scene's depth";
                }
            EXPECT_EQ(masks, 1u);
            gpu::GpuSurface* bound = nullptr;
            r.GetDevice()->GetDepthStencilSurface(&bound);
            EXPECT_EQ(bound, t.sceneDepth.GetSurface());
            gpu::SafeRelease(bound);
        });
        Renderer().UpscaleFinal();
        Renderer().Present(nullptr);
    }
    // The band takes the pixel on each side of every stencil edge, as the dilation left it: x 59
    // and 60, 99 and 100, y 99 and 100, 139 and 140. Inside, more taps fall on the side: brighter.
    // The scene's grey from x 160 on comes through with its edge where it was, not spread over two
    // pixels (a composite reading between texels does both: shifts and widens).
    const std::set<size_t> outer = {19, 60, 179, 220}, inner = {20, 59, 180, 219};
    const uint32_t grey = lines[0][120];
    EXPECT_NE(grey, kOutlineBlack);
    for (size_t i = 0; i < lines[0].size(); ++i)
    {
        const uint32_t pixel = lines[0][i];
        if (i >= 120 && i < 160)
            EXPECT_EQ(pixel, grey) << std::hex << pixel << std::dec << " at " << i;
        else if (outer.count(i) != 0)
            EXPECT_EQ(pixel, lines[0][19]) << std::hex << pixel << std::dec << " at " << i;
        else if (inner.count(i) != 0)
            EXPECT_EQ(pixel, lines[0][20]) << std::hex << pixel << std::dec << " at " << i;
        else
            EXPECT_EQ(pixel, kOutlineBlack) << std::hex << pixel << std::dec << " at " << i;
    }
    EXPECT_EQ(lines[0][19] & 0xFFFFu, 0u) << "red";
    EXPECT_EQ(lines[0][20] & 0xFFFFu, 0u) << "red";
    EXPECT_GT(lines[0][19] & 0xFF0000u, 0u);
    EXPECT_GT(lines[0][20] & 0xFF0000u, lines[0][19] & 0xFF0000u);
    EXPECT_EQ(lines[1], lines[0]) << "two samples";
    EXPECT_EQ(lines[2], lines[0]) << "four samples";
}

TEST_F(OutlineRendererTest, WithoutOutlinesCommand27DrawsNothing)
{
    AddOutlined(2, gpu::Rect{60, 100, 100, 140}, 2);
    struct Case
    {
        const char* name;
        bool reset;       // command 26 before 27
        uint32_t passMask;
        uint32_t gatherFlags;
    };
    const Case cases[] = {
        {"begin outlines clears the gathering", true, 0xFFFFFFFFu, kSceneOnly},
        {"no side in the pass mask", false, 0x1u, kSceneOnly},
        {"gathering without outline masks", false, 0xFFFFFFFFu, kSceneOnly | 0x20000u},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        Renderer().SetPassMask(c.passMask);
        Renderer().SetFrameTarget(nullptr, 0, 1);
        Renderer().BeginGather();
        Renderer().AddRenderTask(m_contexts[0], kOutlinedTask);
        Renderer().RenderGathered(c.gatherFlags, 0, nullptr);
        if (c.reset)
            Renderer().BeginOutlines();
        const size_t before = DrawLogSize(Renderer());
        Renderer().RenderOutlines();
        EXPECT_EQ(DrawLogSize(Renderer()), before);
        RunOnRenderThread(Renderer(), [&](NorvexRenderer&) { EXPECT_EQ(gOutlineRenderer.GetSummary(), 0u); });
    }
}

TEST_F(OutlineRendererTest, TheIndexRingWrapsWithADiscardAndNeverOverwritesDrawnIndices)
{
    // Every other tile of every row, on one side: 480 quads for group 0 and as many for group 1.
    RunOnRenderThread(Renderer(), [&](NorvexRenderer&) {
        gOutlineRenderer.Reset();
        for (uint32_t column = 0; column < OutlineRenderer::kTileColumns; column += 2)
        {
            const float x = (float(column) + 0.5f) / 20.0f - 1.0f;
            gOutlineRenderer.MarkTiles(BoundingBox4(Vector(x, -1, 0.5f, 1), Vector(x, 1, 0.5f, 1)), Matrix::ONE, 2,
                                       Matrix::ONE, 1e9f, 1e9f);
        }
    });
    Renderer().SetFrameTarget(nullptr, 0, 1);
    const uint32_t bytes = 2 * 480 * 6 * 2; // two groups of 480 quads of six 16-bit indices
    std::vector<uint32_t> offsets;
    for (int frame = 0; frame < 21; ++frame)
    {
        Renderer().RenderOutlines();
        RunOnRenderThread(Renderer(), [&](NorvexRenderer&) { offsets.push_back(gOutlineRenderer.GetRingOffset()); });
    }
    uint32_t expected = 0, discards = 0;
    for (size_t i = 0; i < offsets.size(); ++i)
    {
        if (i == 0 || expected + bytes > OutlineRenderer::kRingBytes)
        {
            expected = 0;
            ++discards;
        }
        expected = (expected + bytes + 31) / 32 * 32;
        EXPECT_EQ(offsets[i], expected) << i;
    }
    ASSERT_GE(discards, 3u) << "the ring must have wrapped";
    RunOnRenderThread(Renderer(), [&](NorvexRenderer& r) {
        const gpu::GpuIndexBuffer* ring = r.GetDeviceManager().GetSharedGeometry().GetScreenGridRing();
        ASSERT_NE(ring, nullptr);
        EXPECT_EQ(ring->GetDiscardCount(), discards);
        EXPECT_EQ(ring->GetOverwriteHazardCount(), 0u);
    });
}
} // namespace
