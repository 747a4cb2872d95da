// The UI quad batch: corner order and texture coordinates of plain and mirrored quads, the 64-quad
// limit, state comparison down to one constant byte, the refusal of oversized vertex lists, and the
// device state of a flush as the stand-in device's draw log records it.
#include "support/UIDrawHarness.h"

#include <gtest/gtest.h>

namespace
{
const Vector kZero(0.0f, 0.0f, 0.0f, 0.0f);
const Vector kBatchWhite(1.0f, 1.0f, 1.0f, 1.0f);
const Vector kUnitUV(1.0f, 1.0f, 0.0f, 0.0f);

Matrix Placed(float x, float y, float width, float height)
{
    Matrix m = Matrix::ONE;
    m.rows[0].Set(width, 0.0f, 0.0f, 0.0f);
    m.rows[1].Set(0.0f, height, 0.0f, 0.0f);
    m.rows[3].Set(x, y, 0.0f, 1.0f);
    return m;
}

TEST(UIQuadBatchTest, CornersKeepTheirTextureCoordinatesWhileMirroringTurnsTheOrder)
{
    struct Case
    {
        bool mirrored;
        float positions[4][2];
        float uvs[4][2];
    };
    // Quad at (10, 20) of 4 x 2, UV origin (0.5, 0.25) and size (0.5, 0.5).
    const Case cases[] = {
        {false, {{10, 20}, {14, 20}, {14, 22}, {10, 22}}, {{0.5f, 0.25f}, {1.0f, 0.25f}, {1.0f, 0.75f}, {0.5f, 0.75f}}},
        {true, {{10, 22}, {14, 22}, {14, 20}, {10, 20}}, {{0.5f, 0.75f}, {1.0f, 0.75f}, {1.0f, 0.25f}, {0.5f, 0.25f}}},
    };
    for (const Case& c : cases)
    {
        UIQuadBatch batch;
        batch.AddQuad(Placed(10, 20, 4, 2), Vector(0.1f, 0.2f, 0.3f, 0.4f), c.mirrored, Vector(7, 8, 9, 6),
                      Vector(0.5f, 0.5f, 0, 0), Vector(0.5f, 0.25f, 0, 0));
        ASSERT_EQ(batch.GetQuadCount(), 1u);
        for (uint32_t i = 0; i < 4; ++i)
        {
            const UIVertex& v = batch.GetVertices()[i];
            EXPECT_FLOAT_EQ(v.position[0], c.positions[i][0]) << "mirrored " << c.mirrored << " corner " << i;
            EXPECT_FLOAT_EQ(v.position[1], c.positions[i][1]) << "mirrored " << c.mirrored << " corner " << i;
            EXPECT_FLOAT_EQ(v.uv[0], c.uvs[i][0]);
            EXPECT_FLOAT_EQ(v.uv[1], c.uvs[i][1]);
            EXPECT_FLOAT_EQ(v.color[2], 0.3f);
            EXPECT_FLOAT_EQ(v.extra[0], 7.0f);
        }
    }
}

TEST(UIQuadBatchTest, CornerColoursFollowTheirCorners)
{
    UIQuadBatch batch;
    const Vector colors[4] = {Vector(1, 0, 0, 1), Vector(0, 1, 0, 1), Vector(0, 0, 1, 1), Vector(1, 1, 1, 0)};
    batch.AddQuadColors(Placed(0, 0, 1, 1), colors, true, kZero, kUnitUV, kZero);
    // Mirrored: written from corner 3 back to corner 0.
    EXPECT_FLOAT_EQ(batch.GetVertices()[0].color[3], 0.0f);
    EXPECT_FLOAT_EQ(batch.GetVertices()[1].color[2], 1.0f);
    EXPECT_FLOAT_EQ(batch.GetVertices()[3].color[0], 1.0f);
}

TEST(UIQuadBatchTest, AddVerticesTakesWholeQuadsThroughTheMatrixAndRefusesMoreThanABatch)
{
    UIQuadBatch batch;
    UIVertex vertices[UIQuadBatch::kMaxVertices + 4] = {};
    for (uint32_t i = 0; i < 6; ++i)
        vertices[i].position[0] = float(i);
    Matrix shift = Matrix::ONE;
    shift.rows[3].Set(100.0f, 0.0f, 0.0f, 1.0f);
    ConsoleCapture log;
    EXPECT_TRUE(batch.AddVertices(shift, vertices, 6));
    EXPECT_EQ(batch.GetQuadCount(), 1u) << "two vertices short of a quad are left out";
    EXPECT_FLOAT_EQ(batch.GetVertices()[3].position[0], 103.0f);
    EXPECT_FALSE(batch.AddVertices(shift, vertices, UIQuadBatch::kMaxVertices + 4));
    EXPECT_EQ(batch.GetQuadCount(), 1u) << "an oversized list takes nothing";
    EXPECT_TRUE(log.Contains("do not fit a batch"));
    EXPECT_TRUE(batch.AddVertices(shift, vertices, UIQuadBatch::kMaxVertices - 4));
    EXPECT_EQ(batch.GetQuadCount(), 0u) << "the queued quad and 63 more fill the batch and draw together";
    batch.AddVertices(shift, vertices, 4);
    EXPECT_TRUE(batch.AddVertices(shift, vertices, UIQuadBatch::kMaxVertices));
    EXPECT_EQ(batch.GetQuadCount(), 0u) << "a full batch is drawn at once";
}

class UIQuadBatchDrawTest : public UIDrawHarness
{
protected:
    // Runs `body` inside a scene and answers the draws it made.
    std::vector<gpu::DrawRecord> Draws(const std::function<void(UIQuadBatch&)>& body)
    {
        std::vector<gpu::DrawRecord> draws;
        RunOnRenderThread(m_renderer, [&](NorvexRenderer& renderer) {
            gpu::GpuDevice* device = renderer.GetDevice();
            device->BeginScene();
            const size_t start = device->GetDrawLog().size();
            body(GetUIQuadBatch(0));
            device->EndScene();
            draws.assign(device->GetDrawLog().begin() + start, device->GetDrawLog().end());
        });
        return draws;
    }
};

TEST_F(UIQuadBatchDrawTest, TheSixtyFourthQuadDrawsAtOnceAndAnEmptyFlushCallsNothing)
{
    const auto draws = Draws([&](UIQuadBatch& batch) {
        batch.SetState(BLEND_ALPHA, nullptr, 0, nullptr, 0, m_vertex, m_pixel, nullptr);
        batch.Flush();
        for (uint32_t i = 0; i < 63; ++i)
            batch.AddQuad(Placed(float(i), 0, 1, 1), kBatchWhite, false, kZero, kUnitUV, kZero);
        EXPECT_EQ(batch.GetQuadCount(), 63u);
        batch.AddQuad(Placed(0, 0, 1, 1), kBatchWhite, false, kZero, kUnitUV, kZero);
        EXPECT_EQ(batch.GetQuadCount(), 0u);
        batch.Flush();
    });
    ASSERT_EQ(draws.size(), 1u) << "no draw for the empty flushes";
    EXPECT_EQ(draws[0].primitiveType, gpu::kPrimitiveTriangleList);
    EXPECT_EQ(draws[0].primitiveCount, 128u);
    EXPECT_EQ(draws[0].numVertices, 256u);
}

TEST_F(UIQuadBatchDrawTest, StateChangesDrawTheQueuedQuadsDownToOneConstantByte)
{
    Vector constants[3] = {Vector(1, 2, 3, 4), Vector(5, 6, 7, 8), Vector(9, 10, 11, 12)};
    Vector changed[3] = {constants[0], constants[1], constants[2]};
    reinterpret_cast<uint8_t*>(&changed[2].w)[0] ^= 1;
    struct Step
    {
        uint32_t blend;
        const Vector* constants;
        uint32_t drawsAfter;
    };
    const Step steps[] = {
        {BLEND_ALPHA, constants, 0}, // first state: nothing queued yet
        {BLEND_ALPHA, constants, 0}, // same bytes: the quad stays queued
        {BLEND_ALPHA, changed, 1},   // one byte differs
        {BLEND_ALPHA, nullptr, 2},   // constants off
        {BLEND_ALPHA, nullptr, 2},   // null matches null
        {BLEND_ADD, nullptr, 3},     // blend mode
    };
    std::vector<uint32_t> counts;
    const auto draws = Draws([&](UIQuadBatch& batch) {
        const size_t before = gRenderer->GetDevice()->GetDrawLog().size();
        for (const Step& step : steps)
        {
            batch.SetState(step.blend, nullptr, 0, nullptr, 0, m_vertex, m_pixel, step.constants);
            counts.push_back(uint32_t(gRenderer->GetDevice()->GetDrawLog().size() - before));
            batch.AddQuad(Placed(0, 0, 1, 1), kBatchWhite, false, kZero, kUnitUV, kZero);
        }
        batch.Flush();
    });
    for (size_t i = 0; i < std::size(steps); ++i)
        EXPECT_EQ(counts[i], steps[i].drawsAfter) << "step " << i;
    ASSERT_EQ(draws.size(), 4u);
    EXPECT_EQ(draws[0].primitiveCount, 4u) << "two quads of equal state in one draw";
}

TEST_F(UIQuadBatchDrawTest, AFlushSetsTheBatchStateAndTheConstantRegisters)
{
    const Vector constants[3] = {Vector(1, 2, 3, 4), Vector(5, 6, 7, 8), Vector(9, 10, 11, 12)};
    const auto draws = Draws([&](UIQuadBatch& batch) {
        batch.SetState(BLEND_ADD, nullptr, 0, nullptr, 0, m_vertex, m_pixel, constants);
        batch.AddQuad(Placed(0, 0, 1, 1), kBatchWhite, false, kZero, kUnitUV, kZero);
        batch.Flush();
        uint32_t value = 0;
        gRenderer->GetDevice()->GetRenderState(gpu::kRsZFunc, &value);
        EXPECT_EQ(value, gpu::kCmpAlways);
        gRenderer->GetDevice()->GetRenderState(gpu::kRsZWriteEnable, &value);
        EXPECT_EQ(value, 0u);
        float c12[8] = {}, p3[4] = {};
        gRenderer->GetDevice()->GetVertexShaderConstantF(12, c12, 2);
        gRenderer->GetDevice()->GetPixelShaderConstantF(3, p3, 1);
        EXPECT_EQ(c12[0], 1.0f);
        EXPECT_EQ(c12[7], 8.0f);
        EXPECT_EQ(p3[2], 11.0f);
    });
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].renderStates[gpu::kRsCullMode], gpu::kCullClockwise) << "an unmirrored camera";
    EXPECT_EQ(draws[0].renderStates[gpu::kRsAlphaBlendEnable], 1u);
    EXPECT_EQ(draws[0].renderStates[gpu::kRsDestBlend], gpu::kBlendOne) << "blend mode 2 adds";
    for (const uint32_t past : {kUIQuadBatchCount, kUIQuadBatchCount + 3})
        EXPECT_EQ(&GetUIQuadBatch(past), &GetUIQuadBatch(kUIQuadBatchCount - 1)) << "past the last: the last";
}
} // namespace
