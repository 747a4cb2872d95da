// ctest-labels: thread
// The debug shapes and the path display on a running renderer with the project's shaders: each
// command draws its shared geometry once with its own states (read from the graphics stand-in's
// draw log), and pixel probes find the shape's colour where its geometry lands and the clear colour
// elsewhere.
#include "core/math/Vector.h"
#include "effects/PhysicalEffectRenderingContext.h"
#include "platform/gpu/GpuDevice.h"
#include "renderer/PathLineRenderer.h"
#include "renderer/ShaderManager.h"
#include "support/RenderDataHarness.h"
#include "support/RenderProbes.h"
#include "support/RenderThreadCall.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

namespace
{
constexpr uint32_t kBlack = 0xFF000000u;

class DebugShapesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DataRoot data;
        ASSERT_TRUE(m_harness.StartWithShaders(data));
        Renderer().SetFrameTarget(nullptr, 0, 1); // opens the scene
    }
    void TearDown() override
    {
        gPathLineRenderer.Clear();
        m_harness.Stop();
    }
    NorvexRenderer& Renderer() { return m_harness.GetRenderer(); }

    // Clears the frame's target to black (depth 1), runs the emitter and answers the draws it made.
    std::vector<gpu::DrawRecord> Draw(const std::function<void()>& emit)
    {
        Renderer().Clear(gpu::kClearTarget | gpu::kClearDepth, Vector(0, 0, 0, 1), 1.0f, 0);
        const size_t before = DrawLogSize(Renderer());
        emit();
        return DrawsSince(Renderer(), before);
    }
    uint32_t Probe(uint32_t x, uint32_t y) { return ProbeRenderTarget(Renderer(), x, y); }

    RenderDataHarness m_harness;
};

TEST_F(DebugShapesTest, EachBoxDrawsTheCubeWithItsStates)
{
    NorvexRenderer& renderer = Renderer();
    RunOnRenderThread(renderer, [&](NorvexRenderer& r) {
        ASSERT_NE(r.GetDeviceManager().GetSharedGeometry().Get(SharedGeometry::MESH_CUBE).triangles, nullptr);
    });
    struct Case
    {
        float alpha;
        uint8_t cullSide, depthTest;
        uint32_t blend, zFunc, cull;
    };
    const Case cases[] = {{1.0f, 0, 1, 0, 4, 3}, {0.5f, 1, 0, 1, 8, 2}};
    const BoundingBox4 box(Vector(1, 2, 3, 1), Vector(2, 4, 6, 1));
    for (const Case& c : cases)
    {
        const auto draws = Draw([&] { renderer.DrawSolidBox(box, Matrix::ONE, Vector(1, 0, 0, c.alpha), c.cullSide, c.depthTest); });
        ASSERT_EQ(draws.size(), 1u);
        const gpu::DrawRecord& draw = draws[0];
        EXPECT_EQ(draw.call, gpu::DrawCall::IndexedPrimitive);
        EXPECT_EQ(draw.primitiveType, gpu::kPrimitiveTriangleList);
        EXPECT_EQ(draw.primitiveCount, 12u);
        EXPECT_EQ(draw.numVertices, 8u);
        EXPECT_EQ(draw.streams[0].stride, 12u);
        EXPECT_EQ(draw.renderStates[gpu::kRsAlphaBlendEnable], c.blend);
        EXPECT_EQ(draw.renderStates[gpu::kRsZFunc], c.zFunc);
        EXPECT_EQ(draw.renderStates[gpu::kRsZWriteEnable], 1u);
        EXPECT_EQ(draw.renderStates[gpu::kRsCullMode], c.cull);
    }
}

// Maps the shapes' x and z onto the screen's x and y (y becomes depth), scaled by s: a rotation
// about x, so windings keep their sense.
Matrix FlatOnScreen(float s)
{
    Matrix m = Matrix::ONE;
    m.rows[0] = Vector(s, 0, 0, 0);
    m.rows[1] = Vector(0, 0, -s, 0);
    m.rows[2] = Vector(0, s, 0, 0);
    return m;
}

TEST_F(DebugShapesTest, BuiltInShapesDrawTheirGeometryInTheirColour)
{
    NorvexRenderer& renderer = Renderer();
    const Vector green(0, 1, 0, 1);
    const Vector blue(0, 0, 1, 1);
    // A physical effect's context draws its box, flat on the screen around the centre, in front.
    auto* effect = new PhysicalEffectRenderingContext(renderer, nullptr, false);
    EntityRenderingSource source;
    source.hasEntity = true;
    source.localBounds = BoundingBox4(Vector(-0.5f, -1.0f, -0.5f, 1.0f), Vector(0.5f, -0.2f, 0.5f, 1.0f));
    effect->ApplySource(source);
    // In a translucent context colour: only the selected debug draw's white keeps blending off.
    const Vector glass(0, 0, 1, 0.5f);
    const auto drawEffect = [&] {
        RunOnRenderThread(renderer, [&](NorvexRenderer&) {
            effect->Draw(FlatOnScreen(0.5f), 1, glass);
            effect->Draw(FlatOnScreen(0.5f), 8 | 2, glass);
        });
    };
    struct Case
    {
        const char* name;
        std::function<void()> emit;
        gpu::DrawCall call;
        uint32_t primitiveType, primitiveCount;
        uint32_t zFunc, zWrite, cull; // cull 0: lines, not checked
        uint32_t inside[2], outside[2]; // probe points
        uint32_t color;
    };
    const Case cases[] = {
        // The gizmo's x shaft runs from the centre to the right edge; nothing below the centre.
        {"gizmo tested", [&] { renderer.DrawAxisGizmo(Matrix::ONE, 1); }, gpu::DrawCall::IndexedPrimitive,
         gpu::kPrimitiveLineList, 9, 4, 0, 0, {240, 120}, {160, 180}, 0xFFFFFFFFu},
        {"gizmo on top", [&] { renderer.DrawAxisGizmo(Matrix::ONE, 0); }, gpu::DrawCall::IndexedPrimitive,
         gpu::kPrimitiveLineList, 9, 8, 0, 0, {240, 120}, {160, 180}, 0xFFFFFFFFu},
        // The grid's 2048 lines scaled into the upper right quarter, dense enough to fill it.
        {"wire grid",
         [&] {
             renderer.WriteCommand(RENDER_OP_DRAW_WIRE_SHAPE, renderpayload::kDebugDrawShape);
             renderer.GetWriter().Put(FlatOnScreen(1.0f / 1024.0f));
             renderer.GetWriter().Put(green);
         },
         gpu::DrawCall::Primitive, gpu::kPrimitiveLineList, 2048, 4, 0, 0, {240, 60}, {80, 180}, 0xFF00FF00u},
        // The marker's ground disc (radius 1.5) around the centre, half scale.
        {"marker", [&] { renderer.DebugDrawMarker(FlatOnScreen(0.5f), blue, 0); }, gpu::DrawCall::IndexedPrimitive,
         gpu::kPrimitiveTriangleList, 194, 4, 1, 3, {160, 120}, {10, 10}, 0xFF0000FFu},
        {"marker highlighted", [&] { renderer.DebugDrawMarker(FlatOnScreen(0.5f), blue, 1); },
         gpu::DrawCall::IndexedPrimitive, gpu::kPrimitiveTriangleList, 194, 8, 1, 3, {160, 120}, {10, 10}, 0xFF0000FFu},
        // The light shapes draw nothing; their payloads are skipped whole, so the marker after them draws.
        {"lights, then a marker",
         [&] {
             renderer.DebugDrawPointLight(Matrix::ONE, green, 0.3f, 1.0f);
             renderer.DebugDrawSpotLight(Matrix::ONE, green, 0.3f, 1.0f, 30.0f);
             renderer.DebugDrawTubeLight(Matrix::ONE, green, 0.3f, 1.0f, 1.0f);
             renderer.DebugDrawDirectionalAmbientLight(Matrix::ONE, green);
             renderer.DebugDrawMarker(FlatOnScreen(0.5f), blue, 0);
         },
         gpu::DrawCall::IndexedPrimitive, gpu::kPrimitiveTriangleList, 194, 4, 1, 3, {160, 120}, {10, 10}, 0xFF0000FFu},
        // Only the debug pass draws a physical effect: its box (the box shader shows no colour).
        {"physical effect, normal pass then selected debug", drawEffect, gpu::DrawCall::IndexedPrimitive, gpu::kPrimitiveTriangleList, 12, 4, 1, 3, {160, 120}, {10, 10}, 0xFFFFFFFFu},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const auto draws = Draw(c.emit);
        ASSERT_EQ(draws.size(), 1u);
        const gpu::DrawRecord& draw = draws[0];
        EXPECT_EQ(draw.call, c.call);
        EXPECT_EQ(draw.primitiveType, c.primitiveType);
        EXPECT_EQ(draw.primitiveCount, c.primitiveCount);
        EXPECT_EQ(draw.renderStates[gpu::kRsZFunc], c.zFunc);
        EXPECT_EQ(draw.renderStates[gpu::kRsZWriteEnable], c.zWrite);
        if (c.cull != 0)
        {
            EXPECT_EQ(draw.renderStates[gpu::kRsCullMode], c.cull);
        }
        EXPECT_EQ(draw.renderStates[gpu::kRsAlphaBlendEnable], 0u);
        EXPECT_FALSE(draw.withoutProgram);
        EXPECT_EQ(Probe(c.inside[0], c.inside[1]), c.color);
        EXPECT_EQ(Probe(c.outside[0], c.outside[1]), kBlack);
    }
    effect->Release();
}

TEST_F(DebugShapesTest, ThePathShowsItsLatestPointsAndHidesWithNone)
{
    // Points lifted by half a unit: y = -0.5 lands on the screen's middle row.
    const Vector first[] = {Vector(0.0f, -0.5f, 0.5f, 1.0f), Vector(0.5f, -0.5f, 0.5f, 1.0f)};
    const Vector second[] = {Vector(-0.5f, -0.5f, 0.5f, 1.0f)};
    struct Step
    {
        const Vector* points;
        uint32_t count;
        std::vector<uint32_t> red, black; // x of probes on the middle row
    };
    const Step steps[] = {
        {first, 2, {160, 162, 240}, {80, 165}},
        {second, 1, {80}, {160, 240}},
        {nullptr, 0, {}, {80, 160, 240}},
    };
    for (const Step& step : steps)
    {
        SCOPED_TRACE(step.count);
        gPathLineRenderer.SetPoints(step.count, step.points);
        const auto draws = Draw([] { gPathLineRenderer.Draw(); });
        RunOnRenderThread(Renderer(), [&](NorvexRenderer&) { EXPECT_EQ(gPathLineRenderer.GetShownCount(), step.count); });
        if (step.count == 0)
        {
            EXPECT_TRUE(draws.empty());
        }
        else
        {
            ASSERT_EQ(draws.size(), 1u);
            const gpu::DrawRecord& draw = draws[0];
            EXPECT_EQ(draw.primitiveType, gpu::kPrimitivePointList);
            EXPECT_EQ(draw.primitiveCount, step.count);
            EXPECT_EQ(draw.streams[0].stride, 12u);
            EXPECT_EQ(draw.renderStates[gpu::kRsZFunc], 4u);
            EXPECT_EQ(draw.renderStates[gpu::kRsZWriteEnable], 0u);
            EXPECT_EQ(draw.renderStates[gpu::kRsAlphaBlendEnable], 0u);
            float size = 0.0f;
            std::memcpy(&size, &draw.renderStates[gpu::kRsPointSize], sizeof(size));
            EXPECT_EQ(size, 7.0f);
        }
        for (const uint32_t x : step.red)
            EXPECT_EQ(Probe(x, 120), 0xFFFF0000u) << x;
        for (const uint32_t x : step.black)
            EXPECT_EQ(Probe(x, 120), kBlack) << x;
    }
    gPathLineRenderer.Clear();
    RunOnRenderThread(Renderer(), [&](NorvexRenderer&) { EXPECT_EQ(gPathLineRenderer.GetPointBuffer(), nullptr); });
}
} // namespace
