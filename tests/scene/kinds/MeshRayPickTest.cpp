// Triangle picking on CPU mesh copies: both position layouts and windings, the nearest and the
// first accepted triangle, parts switched off for collision, refused mesh data, and CPU skinning.
#include "scene/kinds/MeshRayPick.h"

#include "engine/profiler/Profiler.h"
#include "scene/kinds/MeshPickingFixtures.h"
#include "support/ConsoleCapture.h"

#include <gtest/gtest.h>

namespace
{
const Vector kBelow(0.25f, -5.0f, 0.5f, 1.0f);
const Vector kAbove(0.25f, 5.0f, 0.5f, 1.0f);

class MeshRayPickTest : public ::testing::Test
{
protected:
    // True when the segment hit; the result then holds the local hit point and normal.
    bool Pick(const MeshTemplate& meshTemplate, const Vector& start, const Vector& end, uint32_t flags = 0,
              uint32_t preset = 0)
    {
        m_result = LOSResult();
        return !MeshRayPick::TestTriangles(meshTemplate, start, end, flags, m_result, 0, nullptr, 0, preset);
    }
    void ExpectHitAt(float x, float y, float z)
    {
        EXPECT_NEAR(m_result.hitPoint.x, x, 1e-5f);
        EXPECT_NEAR(m_result.hitPoint.y, y, 1e-5f);
        EXPECT_NEAR(m_result.hitPoint.z, z, 1e-5f);
        EXPECT_EQ(m_result.hitPoint.w, 1.0f);
    }

    ConsoleCapture m_log;
    LOSResult m_result;
};
} // namespace

TEST_F(MeshRayPickTest, FloatTrianglesHitFromTheFrontOnlyUnlessTwoSided)
{
    auto square = MakePickingTemplate(MakePickingData(1, 12, FlatSquare(2.0f), kSquare, {{{0, 2}}}));
    auto reversed = MakePickingTemplate(MakePickingData(1, 12, FlatSquare(2.0f), kSquareReversed, {{{0, 2}}}));

    ASSERT_TRUE(Pick(*square, kBelow, kAbove));
    ExpectHitAt(0.25f, 2.0f, 0.5f);
    // The normal is (V1 - V0) x (V2 - V0), unnormalised: here it faces down, towards the start.
    EXPECT_FLOAT_EQ(m_result.direction.y, -4.0f);
    EXPECT_EQ(m_result.direction.x, 0.0f);
    EXPECT_EQ(m_result.direction.w, 0.0f);
    EXPECT_FALSE(Pick(*square, kAbove, kBelow));
    ASSERT_TRUE(Pick(*square, kAbove, kBelow, PICK_TWO_SIDED));
    ExpectHitAt(0.25f, 2.0f, 0.5f);

    EXPECT_TRUE(Pick(*reversed, kAbove, kBelow));
    EXPECT_FALSE(Pick(*reversed, kBelow, kAbove));
    EXPECT_TRUE(Pick(*reversed, kBelow, kAbove, PICK_TWO_SIDED));
    // Beside the square, or short of it, nothing is hit either way.
    EXPECT_FALSE(Pick(*square, Vector(1.5f, -5, 0, 1), Vector(1.5f, 5, 0, 1), PICK_TWO_SIDED));
    EXPECT_FALSE(Pick(*square, kBelow, Vector(0.25f, 1.9f, 0.5f, 1), PICK_TWO_SIDED));
    EXPECT_FALSE(Pick(*square, Vector(0.25f, 2.1f, 0.5f, 1), kAbove, PICK_TWO_SIDED)) << "behind the start";
}

TEST_F(MeshRayPickTest, SegmentsEndingOrStartingOnTheFaceHitIt)
{
    auto square = MakePickingTemplate(MakePickingData(1, 12, FlatSquare(0.0f), kSquare, {{{0, 2}}}));
    ASSERT_TRUE(Pick(*square, Vector(0.5f, -1, 0.5f, 1), Vector(0.5f, 0, 0.5f, 1)));
    ExpectHitAt(0.5f, 0.0f, 0.5f);
    ASSERT_TRUE(Pick(*square, Vector(0.5f, 0, 0.5f, 1), Vector(0.5f, 1, 0.5f, 1), PICK_TWO_SIDED));
    ExpectHitAt(0.5f, 0.0f, 0.5f);
}

TEST_F(MeshRayPickTest, PackedPositionsAreDecodedWithTheirOffsetAndScale)
{
    // Corners at +-1 (32767 and -32768) scaled by (4, 2, 2) and moved by (10, 3, 0): at a height of
    // -1 the square lies at 1.
    PickVertices v;
    v.Packed(-32768, -32768, -32768);
    v.Packed(32767, -32768, -32768);
    v.Packed(32767, -32768, 32767);
    v.Packed(-32768, -32768, 32767);
    MeshTemplateRenderingData* data = MakePickingData(4, 8, v, kSquare, {{{0, 2}}});
    data->SetPositionDecoding(Vector(10, 3, 0, 0), Vector(4, 2, 2, 1));
    auto mesh = MakePickingTemplate(data);
    mesh->SetRenderingData(data); // its own data again is kept, not freed

    ASSERT_TRUE(Pick(*mesh, Vector(13.5f, 0, 1.5f, 1), Vector(13.5f, 4, 1.5f, 1)));
    ExpectHitAt(13.5f, 1.0f, 1.5f);
    EXPECT_FALSE(Pick(*mesh, Vector(13.5f, 4, 1.5f, 1), Vector(13.5f, 0, 1.5f, 1)));
    ASSERT_TRUE(Pick(*mesh, Vector(6.5f, 4, -1.5f, 1), Vector(6.5f, 0, -1.5f, 1), PICK_TWO_SIDED));
    ExpectHitAt(6.5f, 1.0f, -1.5f);
    // Undecoded, the square would lie at the origin.
    EXPECT_FALSE(Pick(*mesh, Vector(0.5f, -4, 0.5f, 1), Vector(0.5f, 4, 0.5f, 1), PICK_TWO_SIDED));
    EXPECT_FALSE(Pick(*mesh, Vector(14.5f, 0, 0, 1), Vector(14.5f, 4, 0, 1), PICK_TWO_SIDED));
    std::vector<Vector> corners;
    MeshRayPick::ReadCollisionTriangles(*mesh, 0, corners);
    ASSERT_EQ(corners.size(), 6u);
    EXPECT_NEAR(corners[2].x, 14.0f, 1e-3f);
    EXPECT_NEAR(corners[2].z, 2.0f, 1e-3f);
}

TEST_F(MeshRayPickTest, TheNearestTriangleOfAllPartsWinsUnlessTheFirstHitIsEnough)
{
    // Part 0 holds the far square (y = 3), part 1 the near one (y = 1).
    PickVertices v = FlatSquare(3.0f);
    const PickVertices near = FlatSquare(1.0f);
    v.bytes.insert(v.bytes.end(), near.bytes.begin(), near.bytes.end());
    v.count += near.count;
    const std::vector<uint16_t> indices = {0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7};
    auto mesh = MakePickingTemplate(MakePickingData(1, 12, v, indices, {{{0, 2}, {2, 2}}}));

    gProfiler.SetValue(PROFILER_LOS_TRIANGLES, 0.0f, 0);
    ASSERT_TRUE(Pick(*mesh, kBelow, kAbove));
    ExpectHitAt(0.25f, 1.0f, 0.5f);
    EXPECT_EQ(gProfiler.GetCurrentValue(PROFILER_LOS_TRIANGLES), 4.0f);
    ASSERT_TRUE(Pick(*mesh, kBelow, kAbove, PICK_FIRST_HIT));
    ExpectHitAt(0.25f, 3.0f, 0.5f);
    // The second part was never tested.
    EXPECT_EQ(gProfiler.GetCurrentValue(PROFILER_LOS_TRIANGLES), 6.0f);
    // Beside both squares nothing is hit, and every triangle is still counted.
    EXPECT_FALSE(Pick(*mesh, Vector(5, -5, 0, 1), Vector(5, 5, 0, 1)));
    EXPECT_EQ(gProfiler.GetCurrentValue(PROFILER_LOS_TRIANGLES), 10.0f);
}

TEST_F(MeshRayPickTest, WithinAPartTheFirstAcceptedTriangleEndsTheLoopOnlyWhenAsked)
{
    // One part: a far triangle, then a near one under the same point, then the near one again.
    PickVertices v;
    v.Float(-1, 3, -1);
    v.Float(1, 3, -1);
    v.Float(0, 3, 2);
    v.Float(-1, 1, -1);
    v.Float(1, 1, -1);
    v.Float(0, 1, 2);
    auto mesh = MakePickingTemplate(MakePickingData(1, 12, v, {0, 1, 2, 3, 4, 5, 3, 4, 5}, {{{0, 3}}}));
    const Vector below(0, -5, 0, 1), above(0, 5, 0, 1);
    ASSERT_TRUE(Pick(*mesh, below, above, PICK_TWO_SIDED));
    ExpectHitAt(0.0f, 1.0f, 0.0f);
    ASSERT_TRUE(Pick(*mesh, below, above, PICK_TWO_SIDED | PICK_FIRST_HIT));
    ExpectHitAt(0.0f, 3.0f, 0.0f);
}

TEST_F(MeshRayPickTest, PartsSwitchedOffForCollisionAreSkippedOnlyByPlayerAndFlaggedQueries)
{
    auto mesh = MakePickingTemplate(MakePickingData(1, 12, FlatSquare(0.0f), kSquare, {{{0, 2, 0x80}}}));
    EXPECT_TRUE(Pick(*mesh, kBelow, kAbove));
    EXPECT_TRUE(Pick(*mesh, kBelow, kAbove, PICK_EXACT_LOS));
    EXPECT_FALSE(Pick(*mesh, kBelow, kAbove, PICK_PLAYER_COLLISION));
    EXPECT_FALSE(Pick(*mesh, kBelow, kAbove, PICK_SKIP_DISABLED_LOS));
    auto open = MakePickingTemplate(MakePickingData(1, 12, FlatSquare(0.0f), kSquare, {{{0, 2, 0x7F}}}));
    EXPECT_TRUE(Pick(*open, kBelow, kAbove, PICK_PLAYER_COLLISION));
    std::vector<Vector> corners;
    MeshRayPick::ReadCollisionTriangles(*mesh, 0, corners);
    EXPECT_TRUE(corners.empty()) << "nor do they give collision corners";
    MeshRayPick::ReadCollisionTriangles(*open, 0, corners);
    EXPECT_EQ(corners.size(), 6u);
}

TEST_F(MeshRayPickTest, APresetPastTheLastOrAnUnknownLayoutNeverHits)
{
    auto mesh = MakePickingTemplate(MakePickingData(1, 12, FlatSquare(0.0f), kSquare, {{{0, 2}}, {{1, 1}}}));
    EXPECT_TRUE(Pick(*mesh, kBelow, kAbove, 0, 1));
    EXPECT_FALSE(Pick(*mesh, Vector(0.5f, -5, -0.5f, 1), Vector(0.5f, 5, -0.5f, 1), 0, 1)) << "only preset 0 has that half";
    EXPECT_FALSE(Pick(*mesh, kBelow, kAbove, 0, 2));
    auto both = MakePickingTemplate(MakePickingData(5, 12, FlatSquare(0.0f), kSquare, {{{0, 2}}}));
    EXPECT_FALSE(Pick(*both, kBelow, kAbove, PICK_TWO_SIDED));
    std::vector<Vector> corners{Vector()};
    MeshRayPick::ReadCollisionTriangles(*mesh, 2, corners);
    EXPECT_TRUE(corners.empty());
    MeshRayPick::ReadCollisionTriangles(*both, 0, corners);
    EXPECT_TRUE(corners.empty());
}

TEST_F(MeshRayPickTest, MeshDataThatDoesNotFitTogetherIsRefusedWithAnError)
{
    const std::vector<uint16_t> pastLastVertex = {0, 1, 4};
    auto badIndex = MakePickingTemplate(MakePickingData(1, 12, FlatSquare(0.0f), pastLastVertex, {{{0, 1}}}));
    EXPECT_EQ(badIndex->GetRenderingData()->GetPickingVertices(), nullptr);
    EXPECT_TRUE(m_log.Contains("an index past the last vertex"));
    EXPECT_FALSE(Pick(*badIndex, kBelow, kAbove, PICK_TWO_SIDED));

    auto badRange = MakePickingTemplate(MakePickingData(1, 12, FlatSquare(0.0f), kSquare, {{{1, 2}}}));
    EXPECT_EQ(badRange->GetRenderingData()->GetPickingIndices(), nullptr);
    EXPECT_TRUE(m_log.Contains("a draw range past the last triangle"));
    EXPECT_FALSE(Pick(*badRange, kBelow, kAbove, PICK_TWO_SIDED));

    // Float positions need 12 bytes, skinning 8 more.
    auto shortStride = MakePickingTemplate(MakePickingData(1 | 2, 12, FlatSquare(0.0f), kSquare, {{{0, 2}}}));
    EXPECT_EQ(shortStride->GetRenderingData()->GetPickingVertices(), nullptr);
    EXPECT_TRUE(m_log.Contains("a vertex stride shorter than its layout"));

    PickVertices three = FlatSquare(0.0f);
    three.count = 5;
    auto shortData = MakePickingTemplate(MakePickingData(1, 12, three, kSquare, {{{0, 2}}}));
    EXPECT_EQ(shortData->GetRenderingData()->GetPickingVertices(), nullptr);
    EXPECT_TRUE(m_log.Contains("fewer vertex bytes than vertices"));

    auto partial = MakePickingTemplate(MakePickingData(1, 12, FlatSquare(0.0f), {0, 1, 2, 3}, {{{0, 1}}}));
    EXPECT_EQ(partial->GetRenderingData()->GetPickingIndices(), nullptr);
    EXPECT_TRUE(m_log.Contains("index data that is not whole triangles"));

    auto sound = MakePickingTemplate(MakePickingData(1, 12, FlatSquare(0.0f), kSquare, {{{0, 2}}}));
    EXPECT_NE(sound->GetRenderingData()->GetPickingVertices(), nullptr);
}

TEST_F(MeshRayPickTest, SkinningBlendsWeightedBonesUpToTheFirstZeroWeight)
{
    // Bone 0 moves by +1 on x, bone 1 by +10 on y, bone 2 doubles z.
    const float bones[36] = {1, 0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0,  //
                             1, 0, 0, 0, 0, 1, 0, 10, 0, 0, 1, 0, //
                             1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 2, 0};
    PickVertices v;
    const uint8_t half[8] = {0, 1, 2, 0, 51, 204, 0, 255}; // third weight 0 ends the list
    const uint8_t whole[8] = {0, 2, 0, 0, 0, 255, 0, 0}; // a leading zero weight ends nothing
    v.Float(1, 2, 3, &half);
    v.Float(1, 2, 3, &whole);
    float out[6] = {};
    // The CPU vertex path: bone indices, then weights.
    const uint32_t cpuPath = 1 | 2 | MeshTemplateRenderingData::kLayoutIndicesFirst;
    ASSERT_TRUE(MeshRayPick::SkinPositions(cpuPath, v.bytes.data(), 20, 2, bones, 3, MeshPositionDecoding(), out));
    EXPECT_NEAR(out[0], 1.0f + 0.2f, 1e-5f);
    EXPECT_NEAR(out[1], 2.0f + 0.8f * 10.0f, 1e-5f);
    EXPECT_NEAR(out[2], 3.0f, 1e-5f);
    EXPECT_NEAR(out[5], 6.0f, 1e-5f);

    // The collision copy: weights, then bone indices.
    PickVertices copy;
    const uint8_t weightsFirst[8] = {51, 204, 0, 255, 0, 1, 2, 0};
    copy.Float(1, 2, 3, &weightsFirst);
    ASSERT_TRUE(MeshRayPick::SkinPositions(1 | 2, copy.bytes.data(), 20, 1, bones, 3, MeshPositionDecoding(), out));
    EXPECT_NEAR(out[0], 1.0f + 0.2f, 1e-5f);
    EXPECT_NEAR(out[1], 2.0f + 0.8f * 10.0f, 1e-5f);

    PickVertices packed;
    packed.Packed(32767, 0, -32768);
    packed.Put(uint8_t(1)), packed.Put(uint8_t(0)), packed.Put(uint16_t(0));
    packed.Put(uint8_t(255)), packed.Put(uint8_t(0)), packed.Put(uint16_t(0));
    MeshPositionDecoding decoding{Vector(1, 1, 1, 0), Vector(2, 2, 2, 1)};
    ASSERT_TRUE(MeshRayPick::SkinPositions(4 | 2 | MeshTemplateRenderingData::kLayoutIndicesFirst, packed.bytes.data(), 16, 1, bones, 3, decoding, out));
    EXPECT_NEAR(out[0], 3.0f, 1e-5f);
    EXPECT_NEAR(out[1], 11.0f, 1e-5f);
    EXPECT_NEAR(out[2], -1.0f, 1e-5f);
}

TEST_F(MeshRayPickTest, SkinningRefusesBonesThePoseDoesNotHave)
{
    const float bones[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    PickVertices v;
    const uint8_t skin[8] = {0, 1, 0, 0, 128, 127, 0, 0};
    v.Float(1, 2, 3, &skin);
    float out[3] = {};
    EXPECT_FALSE(MeshRayPick::SkinPositions(1 | 2 | MeshTemplateRenderingData::kLayoutIndicesFirst, v.bytes.data(), 20,
                                            1, bones, 1, MeshPositionDecoding(), out));
    EXPECT_TRUE(m_log.Contains("names bone 1 of 1"));
    // A layout without skinning bytes is not skinned at all.
    EXPECT_FALSE(MeshRayPick::SkinPositions(1, v.bytes.data(), 20, 1, bones, 1, MeshPositionDecoding(), out));
}
