// ctest-labels: thread
// The solid debug box: the unit cube drawn once per command with the box's blend, depth and cull
// choices, read from the graphics stand-in's draw log.
#include "platform/gpu/GpuDevice.h"
#include "renderer/ShaderManager.h"
#include "support/RenderDataHarness.h"
#include "support/RenderThreadCall.h"

#include <gtest/gtest.h>

namespace
{
TEST(DebugBoxTest, EachBoxDrawsTheCubeWithItsStates)
{
    RenderDataHarness harness;
    DataRoot data;
    ASSERT_TRUE(harness.WriteAndMount(data));
    ASSERT_TRUE(harness.Start());
    ASSERT_TRUE(gShaderManager.Init(true));
    ASSERT_TRUE(gShaderManager.GetSystemShader(0).IsValid());
    NorvexRenderer& renderer = harness.GetRenderer();
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
    renderer.SetFrameTarget(nullptr, 0, 1); // opens the scene
    const BoundingBox4 box(Vector(1, 2, 3, 1), Vector(2, 4, 6, 1));
    for (const Case& c : cases)
    {
        size_t before = 0;
        RunOnRenderThread(renderer, [&](NorvexRenderer& r) { before = r.GetDevice()->GetDrawLog().size(); });
        renderer.DrawSolidBox(box, Matrix::ONE, Vector(1, 0, 0, c.alpha), c.cullSide, c.depthTest);
        RunOnRenderThread(renderer, [&](NorvexRenderer& r) {
            const auto& log = r.GetDevice()->GetDrawLog();
            ASSERT_EQ(log.size(), before + 1);
            const gpu::DrawRecord& draw = log.back();
            EXPECT_EQ(draw.call, gpu::DrawCall::IndexedPrimitive);
            EXPECT_EQ(draw.primitiveType, gpu::kPrimitiveTriangleList);
            EXPECT_EQ(draw.primitiveCount, 12u);
            EXPECT_EQ(draw.numVertices, 8u);
            EXPECT_EQ(draw.streams[0].stride, 12u);
            EXPECT_EQ(draw.renderStates[gpu::kRsAlphaBlendEnable], c.blend);
            EXPECT_EQ(draw.renderStates[gpu::kRsZFunc], c.zFunc);
            EXPECT_EQ(draw.renderStates[gpu::kRsZWriteEnable], 1u);
            EXPECT_EQ(draw.renderStates[gpu::kRsCullMode], c.cull);
        });
    }
    harness.Stop();
}
} // namespace
