// Blob shadow quads: the ground offset along the sun (and its guard for a sun on the horizon), the
// body and head quads' corners, mapping and strength worked out by hand, and the 128-quad lists.
#include "renderer/FakeShadowQuads.h"

#include "core/reflection/RTTIPropertiesBase.h"
#include "renderer/MeshFakeShadowDefinition.h"
#include "renderer/MeshRenderSharedBuffers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>

namespace
{
using FakeShadowQuads::SceneLight;

SceneLight Light(const Vector& direction, float shadow = 1.0f, float fake = 1.0f)
{
    SceneLight light;
    light.direction = direction;
    light.shadowStrength = shadow;
    light.fakeShadowStrength = fake;
    return light;
}

Matrix At(float x, float y, float z)
{
    Matrix m = Matrix::ONE;
    m.rows[3] = Vector(x, y, z, 1.0f);
    return m;
}

void ExpectVertex(const FakeShadowVertex& v, float x, float y, float z, float u, float tv, float s)
{
    EXPECT_NEAR(v.x, x, 1e-4f);
    EXPECT_NEAR(v.y, y, 1e-4f);
    EXPECT_NEAR(v.z, z, 1e-4f);
    EXPECT_FLOAT_EQ(v.u, u);
    EXPECT_FLOAT_EQ(v.v, tv);
    EXPECT_FLOAT_EQ(v.strength, s);
}

class FakeShadowQuadsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // A 2 x 2 quad centred on the mesh: offsets of half the unit square.
        m_definition.m_bodyScaleOffset = Vector(2.0f, 2.0f, 0.5f, 0.5f);
        m_definition.m_bodyMapping = Vector(0.25f, 0.5f, 0.75f, 1.0f);
    }

    MeshFakeShadowDefinition m_definition;
    MeshRenderSharedBuffers m_buffers;
};
} // namespace

TEST(FakeShadowGroundOffsetTest, PointsCastAlongTheLightUpToTheLimit)
{
    const float n = std::sqrt(0.5f);
    const struct
    {
        Vector light;
        float height, limit;
        Vector expected;
    } cases[] = {
        {Vector(1, -1, 0, 0), 2.0f, 10.0f, Vector(2, 0, 0, 0)},    // 45 degrees: as far as high
        {Vector(3, -3, 0, 0), 2.0f, 10.0f, Vector(2, 0, 0, 0)},    // the light is normalised first
        {Vector(0, -1, 1, 0), 20.0f, 10.0f, Vector(0, 0, 10, 0)},  // cut to the limit
        {Vector(1, -2, 0, 0), 4.0f, 10.0f, Vector(2, 0, 0, 0)},    // steeper: shorter
        {Vector(0, -1, 0, 0), 5.0f, 10.0f, Vector(0, 0, 0, 0)},    // straight down
        {Vector(1, -1, 0, 0), 0.0005f, 10.0f, Vector(0, 0, 0, 0)}, // within 0.001: not moved
        {Vector(1, 0, 0, 0), 2.0f, 10.0f, Vector(10, 0, 0, 0)},    // level sun: the limit, no NaN
        {Vector(n, 0, n, 0), -2.0f, 4.0f, Vector(-2 * n * 2, 0, -2 * n * 2, 0)}, // below ground: against it
        {Vector(1, 0, 0, 0), 0.0f, 10.0f, Vector(0, 0, 0, 0)},     // level sun, point on the ground
        {Vector(1, -1, 0, 0), 2.0f, -1.0f, Vector(0, 0, 0, 0)},    // a negative limit allows none
    };
    for (const auto& c : cases)
    {
        const Vector d = FakeShadowQuads::GroundOffset(c.light, c.height, c.limit);
        SCOPED_TRACE(testing::Message() << c.light.x << "," << c.light.y << "," << c.light.z << " h " << c.height);
        EXPECT_NEAR(d.x, c.expected.x, 1e-4f);
        EXPECT_NEAR(d.y, c.expected.y, 1e-4f);
        EXPECT_NEAR(d.z, c.expected.z, 1e-4f);
    }
}

TEST_F(FakeShadowQuadsTest, TheBodyQuadLiesUnderTheMeshPushedAwayFromTheSun)
{
    // Sun down at 45 degrees towards +x: the pivot 2 above the ground casts 2 along x.
    FakeShadowQuads::Build(m_definition, At(10.0f, 3.0f, 20.0f), nullptr, 0, 2.0f, Light(Vector(1, -1, 0, 0), 0.5f, 0.8f),
                           m_buffers);
    ASSERT_EQ(m_buffers.GetQuadCount(MeshRenderSharedBuffers::kBufferA), 1u);
    EXPECT_EQ(m_buffers.GetQuadCount(MeshRenderSharedBuffers::kBufferB), 0u);
    const FakeShadowVertex* v = m_buffers.GetVertices(MeshRenderSharedBuffers::kBufferA);
    // Corners (0,1), (1,1), (1,0), (0,0) -> (-1, 1), (1, 1), (1, -1), (-1, -1), on the mesh's ground
    // at y 3, moved by (2, 0, 0); strength 2 x 0.5 x 0.8.
    ExpectVertex(v[0], 11.0f, 3.0f, 21.0f, 0.25f, 0.5f, 0.8f);
    ExpectVertex(v[1], 13.0f, 3.0f, 21.0f, 0.75f, 0.5f, 0.8f);
    ExpectVertex(v[2], 13.0f, 3.0f, 19.0f, 0.75f, 1.0f, 0.8f);
    ExpectVertex(v[3], 11.0f, 3.0f, 19.0f, 0.25f, 1.0f, 0.8f);
}

TEST_F(FakeShadowQuadsTest, ScaleAndOffsetMoveTheUnitSquareThenScaleIt)
{
    // Offsets 0 put the unit square at -1..0 before the scale (3, 2); the sun straight down adds nothing.
    m_definition.m_bodyScaleOffset = Vector(3.0f, 2.0f, 0.0f, 0.0f);
    m_definition.m_bufferSelect = 1;
    FakeShadowQuads::Build(m_definition, Matrix::ONE, nullptr, 0, 1.0f, Light(Vector(0, -1, 0, 0)), m_buffers);
    ASSERT_EQ(m_buffers.GetQuadCount(MeshRenderSharedBuffers::kBufferB), 1u) << "the definition picks list B";
    EXPECT_EQ(m_buffers.GetQuadCount(MeshRenderSharedBuffers::kBufferA), 0u);
    const FakeShadowVertex* v = m_buffers.GetVertices(MeshRenderSharedBuffers::kBufferB);
    ExpectVertex(v[0], -3.0f, 0.0f, 0.0f, 0.25f, 0.5f, 1.0f);
    ExpectVertex(v[2], 0.0f, 0.0f, -2.0f, 0.75f, 1.0f, 1.0f);
}

TEST_F(FakeShadowQuadsTest, StrengthIsClampedToOneAndZeroStillBuildsTheQuad)
{
    const struct
    {
        float strength, expected;
    } cases[] = {{4.0f, 1.0f}, {0.0f, 0.0f}, {-1.0f, 0.0f}, {NAN, 0.0f}, {0.5f, 0.5f}};
    for (const auto& c : cases)
    {
        m_buffers.Clear();
        FakeShadowQuads::Build(m_definition, Matrix::ONE, nullptr, 0, c.strength, Light(Vector(0, -1, 0, 0)), m_buffers);
        ASSERT_EQ(m_buffers.GetQuadCount(MeshRenderSharedBuffers::kBufferA), 1u) << c.strength;
        EXPECT_FLOAT_EQ(m_buffers.GetVertices(MeshRenderSharedBuffers::kBufferA)[3].strength, c.expected) << c.strength;
    }
}

TEST_F(FakeShadowQuadsTest, HeadsNeedABoneInsideThePose)
{
    // Bone 1 turns a quarter about y and scales by 2 (the scale is dropped); its translation too.
    float bones[24] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, //
                       0, 0, 2, 7, 0, 2, 0, 7, -2, 0, 0, 7};
    m_definition.m_headPoint[0] = Vector(1.0f, 2.0f, 0.0f, 1.0f);
    m_definition.m_headPoint[1] = Vector(0.0f, 1.0f, 0.0f, 1.0f);
    m_definition.m_headAScaleOffset = Vector(1.0f, 1.0f, 0.5f, 0.5f);
    m_definition.m_headAMapping = Vector(0.0f, 0.0f, 0.5f, 0.5f);
    const struct
    {
        int32_t boneA, boneB;
        const float* pose;
        uint32_t count;
        uint32_t quads;
    } cases[] = {
        {-1, -1, bones, 2, 1}, {1, -1, bones, 2, 2}, {2, -1, bones, 2, 1},
        {1, 0, bones, 2, 3},   {1, 0, nullptr, 0, 1}, {1, 0, bones, 1, 2},
    };
    for (const auto& c : cases)
    {
        m_buffers.Clear();
        m_definition.m_headBone[0] = c.boneA;
        m_definition.m_headBone[1] = c.boneB;
        FakeShadowQuads::Build(m_definition, At(0.0f, 0.0f, 10.0f), c.pose, c.count, 1.0f, Light(Vector(1, -1, 0, 0)),
                               m_buffers);
        EXPECT_EQ(m_buffers.GetQuadCount(MeshRenderSharedBuffers::kBufferA), c.quads)
            << c.boneA << " " << c.boneB << " of " << c.count;
    }
    // Head A alone: the unit square centred, turned a quarter about y (the bone's x axis is -z and its
    // z axis x, so (x, z) -> (z, -x)), placed at H (1, 0), moved by the global 10 along z, plus the
    // offset of a point 2 high (2 along x).
    m_buffers.Clear();
    m_definition.m_headBone[1] = -1;
    m_definition.m_headBone[0] = 1;
    FakeShadowQuads::Build(m_definition, At(0.0f, 0.0f, 10.0f), bones, 2, 1.0f, Light(Vector(1, -1, 0, 0)), m_buffers);
    const FakeShadowVertex* head = m_buffers.GetVertices(MeshRenderSharedBuffers::kBufferA) + 4;
    ExpectVertex(head[0], 0.5f + 1.0f + 2.0f, 0.0f, 0.5f + 10.0f, 0.0f, 0.0f, 1.0f);
    ExpectVertex(head[1], 0.5f + 1.0f + 2.0f, 0.0f, -0.5f + 10.0f, 0.5f, 0.0f, 1.0f);
    ExpectVertex(head[3], -0.5f + 1.0f + 2.0f, 0.0f, 0.5f + 10.0f, 0.0f, 0.5f, 1.0f);
}

// A template's text reaches the field the quads read (values no default holds and no two fields share).
TEST_F(FakeShadowQuadsTest, EachDefinitionNameSetsItsOwnField)
{
    MeshFakeShadowDefinition& d = m_definition;
    const std::tuple<const char*, const char*, const float*> rows[] = {
        {"Body mapping", "1 2 3 4", &d.m_bodyMapping.x}, {"Body scale offset", "5 6 7 8", &d.m_bodyScaleOffset.x},
        {"Body pivot Y", "9", &d.m_bodyPivotY}, {"Body max shadow offset", "10", &d.m_bodyMaxShadowOffset},
        {"HeadA mapping", "11 0 0 0", &d.m_headAMapping.x}, {"HeadB mapping", "15 0 0 0", &d.m_headBMapping.x},
        {"HeadA scale offset", "19 0 0 0", &d.m_headAScaleOffset.x},
        {"HeadB scale offset", "23 0 0 0", &d.m_headBScaleOffset.x},
        {"HeadA max shadow offset", "27", &d.m_headAMaxShadowOffset},
        {"HeadB max shadow offset", "28", &d.m_headBMaxShadowOffset}, {"Enabled", "1", nullptr}};
    for (const auto& [name, text, field] : rows)
    {
        const RTTIProperty* property = d.GetClassProperties()->FindProperty(name);
        ASSERT_TRUE(property != nullptr && property->SetFromText(&d, text)) << name;
    }
    for (const auto& [name, text, field] : rows)
        EXPECT_EQ(field != nullptr ? *field : float(d.m_enabled), std::stof(text)) << name;
}

TEST_F(FakeShadowQuadsTest, TheHundredAndTwentyNinthQuadIsDropped)
{
    for (uint32_t i = 0; i < MeshRenderSharedBuffers::kCapacity + 1; ++i)
        FakeShadowQuads::Build(m_definition, At(float(i), 0.0f, 0.0f), nullptr, 0, 1.0f, Light(Vector(0, -1, 0, 0)),
                               m_buffers);
    EXPECT_EQ(m_buffers.GetQuadCount(MeshRenderSharedBuffers::kBufferA), 128u);
    // The last kept quad is the 128th mesh's; list B is untouched.
    EXPECT_FLOAT_EQ(m_buffers.GetVertices(MeshRenderSharedBuffers::kBufferA)[127 * 4].x, 127.0f - 1.0f);
    EXPECT_EQ(m_buffers.GetQuadCount(MeshRenderSharedBuffers::kBufferB), 0u);
    const uint16_t* indices = m_buffers.GetIndices() + 127 * 6;
    const uint16_t expected[6] = {508, 509, 510, 508, 510, 511};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(indices[i], expected[i]);
    m_buffers.Clear();
    EXPECT_EQ(m_buffers.GetQuadCount(MeshRenderSharedBuffers::kBufferA), 0u);
}
