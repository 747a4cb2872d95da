// The twelve vertex kernels against an independent computation of corners, UV bytes and colour
// bytes, the kernel chosen per definition, and the fill order of sort mode "Reverse".
#include "effects/particles/ParticleVertexKernels.h"

#include "effects/particles/ParticleRecord.h"
#include "support/ParticleTestSupport.h"

#include <cmath>

namespace
{
struct Setting
{
    uint32_t faceMode;
    bool rotating;
    bool animated;
};

// Definition values shared by every case.
constexpr float kT1 = 0.2f, kT2 = 0.6f;
constexpr float kSizes[4] = {0.5f, 1.0f, 2.0f, 1.5f};
constexpr float kShapeX = 2.0f, kShapeY = 1.0f, kShapeZ = 0.5f, kShapeW = 0.25f;
constexpr float kAnchorX = 0.25f, kAnchorY = 0.75f;
constexpr float kRotation = 90.0f, kRotationVariation = 30.0f; // degrees per life
// The emitter's z scale: velocity-aligned quads take their height from it, the others from y (1).
constexpr float kStretchZ = 2.0f;

uint32_t Byte(float value)
{
    return uint32_t(std::min(std::max(value, 0.0f), 1.0f) * 255.0f);
}

// The corners, colour and UV words worked out from the formulas, without the context's tables.
void Reference(const Setting& s, const ParticleRecord& p, float now, const Vector& side0, const Vector& up0,
               const Vector& camera, float out[4][3], uint32_t& color, uint32_t uv[4])
{
    const float f = (now - p.birth) * p.inverseLife;
    const float times[4] = {0.0f, kT1, kT2, 1.0f};
    const int i = (f > kT1 ? 1 : 0) + (f > kT2 ? 1 : 0);
    const float t = std::min(std::max((f - times[i]) / (times[i + 1] - times[i]), 0.0f), 1.0f);
    const float size = kSizes[i] + (kSizes[i + 1] - kSizes[i]) * t;
    const float b0 = float(p.word & 255) / 255.0f;
    const float w = (kShapeX - kShapeZ + 2.0f * kShapeZ * b0) * size;
    const float h = (kShapeY - kShapeW + 2.0f * kShapeW * b0) * size * (s.faceMode == 4 ? kStretchZ : 1.0f);
    const Vector v(p.velocity[0], p.velocity[1], p.velocity[2], 0.0f);
    Vector side = side0, up = up0;
    if (s.faceMode == 4)
    {
        side.Cross(v, Vector(p.position[0] - camera.x, p.position[1] - camera.y, p.position[2] - camera.z, 0.0f));
        side.Normalize();
        up = v;
        up.Normalize();
        up.NegateXYZ(up);
    }
    else if (s.faceMode == 5)
    {
        side.Cross(v, Vector(-0.0124f, 0.131f, 1.0f, 0.0f));
        side.Normalize();
        up.Cross(v, side);
        up.Normalize();
    }
    const float ox[4] = {-kAnchorX * w, (1 - kAnchorX) * w, (1 - kAnchorX) * w, -kAnchorX * w};
    const float oy[4] = {-kAnchorY * h, -kAnchorY * h, (1 - kAnchorY) * h, (1 - kAnchorY) * h};
    float angle = 0.0f;
    if (s.rotating)
    {
        const float lo = (kRotation - kRotationVariation) * 0.017453292f;
        const float hi = (kRotation + kRotationVariation) * 0.017453292f;
        angle = (lo + (hi - lo) * float((p.word >> 16) & 255) / 255.0f) * f +
                float((p.word >> 8) & 255) / 255.0f * 6.2831853f;
    }
    for (int k = 0; k < 4; ++k)
    {
        const float x = ox[k] * std::cos(angle) - oy[k] * std::sin(angle);
        const float y = ox[k] * std::sin(angle) + oy[k] * std::cos(angle);
        out[k][0] = p.position[0] + x * side.x + y * up.x;
        out[k][1] = p.position[1] + x * side.y + y * up.y;
        out[k][2] = p.position[2] + x * side.z + y * up.z;
    }
    uint32_t frameBlend = 0;
    float u0 = 0, v0 = 0, u1 = 0, v1 = 0, du = 1, dv = 1;
    if (s.animated)
    {
        // A 3 x 2 sheet, "Cycle".
        const float position = 6.0f * f;
        const uint32_t frame = uint32_t(std::floor(position)) % 6;
        const uint32_t next = std::min(frame + 1, 5u);
        frameBlend = uint32_t((position - std::floor(position)) * 255.0f);
        du = 1.0f / 3.0f;
        dv = 0.5f;
        u0 = float(frame % 3) * du;
        v0 = float(frame / 3) * dv;
        u1 = float(next % 3) * du;
        v1 = float(next / 3) * dv;
    }
    const uint32_t blend = uint32_t(t * 255.0f);
    color = uint32_t(i) | (blend << 8) | (frameBlend << 16) | ((255 - blend) << 24);
    const float cu[4] = {0, 1, 1, 0}, cv[4] = {0, 0, 1, 1};
    for (int k = 0; k < 4; ++k)
        uv[k] = Byte(u0 + cu[k] * du) | (Byte(v0 + cv[k] * dv) << 8) | (Byte(u1 + cu[k] * du) << 16) |
                (Byte(v1 + cv[k] * dv) << 24);
}

using ParticleVertexKernelsTest = ParticlePoolsFixture;

TEST_F(ParticleVertexKernelsTest, EveryKernelMatchesTheIndependentComputation)
{
    const Setting settings[] = {
        {0, false, false}, {1, false, true}, {2, true, false}, {3, true, true},
        {4, false, false}, {4, false, true}, {4, true, false}, {4, true, true},
        {5, false, false}, {5, false, true}, {5, true, false}, {5, true, true},
    };
    const uint32_t kernels[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    ParticleRecord particles[3] = {
        {10.0f, 0.0f, 0.1f, 0x00000000u, {1.0f, 2.0f, 3.0f}, {0.0f, 1.0f, 0.5f}},
        {10.0f, 1.0f, 0.25f, 0x80FF40C0u, {-4.0f, 0.5f, 2.0f}, {2.0f, -1.0f, 0.0f}},
        {10.0f, 2.5f, 0.5f, 0x11223344u, {0.0f, 0.0f, 0.0f}, {0.3f, 0.4f, -2.0f}},
    };
    const float now = 2.9f; // fractions 0.29, 0.475, 0.2
    const ParticleKernelAxes axes = {Vector(1.0f, 0.0f, 0.0f, 0.0f), Vector(0.0f, -1.0f, 0.0f, 0.0f),
                                     Vector(5.0f, 6.0f, -20.0f, 1.0f)};
    Matrix stretched = Matrix::ONE;
    stretched.rows[2].z = kStretchZ;
    for (size_t c = 0; c < std::size(settings); ++c)
    {
        const Setting& s = settings[c];
        ParticleSystem system;
        SetParticleProperty(system, "Face camera mode", std::to_string(s.faceMode).c_str());
        SetParticleProperty(system, "Node 1 time", "0.2");
        SetParticleProperty(system, "Node 2 time", "0.6");
        SetParticleProperty(system, "Node 0 size", "0.5");
        SetParticleProperty(system, "Node 1 size", "1");
        SetParticleProperty(system, "Node 2 size", "2");
        SetParticleProperty(system, "Node 3 size", "1.5");
        SetParticleProperty(system, "Shape", "2 1 0.5 0.25");
        SetParticleProperty(system, "Anchor", "0.25 0.75 0 0");
        if (s.rotating)
        {
            SetParticleProperty(system, "Rotation speed", "90");
            SetParticleProperty(system, "Rotation speed var", "30");
        }
        if (s.animated)
        {
            SetParticleProperty(system, "Texture frames X", "3");
            SetParticleProperty(system, "Texture frames Y", "2");
            SetParticleProperty(system, "Animation mode", "1");
        }
        ParticleSystemContext* context = Play(system, 0, false, stretched);
        ASSERT_EQ(context->GetKernelIndex(), kernels[c]) << c;
        for (const ParticleRecord& particle : particles)
        {
            ParticleVertex vertices[4];
            particleVertexKernel[context->GetKernelIndex()](*context, vertices, particle, now, axes);
            float corners[4][3];
            uint32_t color = 0;
            uint32_t uv[4];
            Reference(s, particle, now, axes.side, axes.up, axes.cameraPosition, corners, color, uv);
            for (int k = 0; k < 4; ++k)
            {
                for (int a = 0; a < 3; ++a)
                    EXPECT_NEAR(vertices[k].position[a], corners[k][a], 1e-4f) << "case " << c << " corner " << k;
                EXPECT_EQ(vertices[k].color, color) << "case " << c << " corner " << k;
                EXPECT_EQ(vertices[k].uv, uv[k]) << "case " << c << " corner " << k;
            }
        }
    }
}

TEST_F(ParticleVertexKernelsTest, ReverseSortWritesTheNewestFirst)
{
    for (const char* sort : {"0", "1"})
    {
        // Six records copied on each frame: in a pool of 16 the third frame's wrap round its end.
        Init(16, 16, false);
        ParticleSystem system;
        SetParticleProperty(system, "Sort mode", sort);
        SetParticleProperty(system, "Spawn rate", "30");
        SetParticleProperty(system, "Life time", "10");
        SetParticleProperty(system, "Emitter size", "5 5 5 0");
        ParticleSystemContext* context = Play(system);
        for (const float seconds : {0.2f, 0.0f, 0.0f})
            Frame(seconds);
        ASSERT_EQ(context->GetRingStart(), 12u);
        ASSERT_GE(context->GetCount(), 3u);
        std::vector<ParticleVertex> vertices(context->GetCount() * 4);
        const ParticleKernelAxes axes = {Vector::UNITX, Vector::UNITY, Vector::ZERO4};
        ASSERT_EQ(context->FillVertices(vertices.data(), axes), context->GetCount());
        const std::vector<ParticleRecord> records = Records(*context);
        const ParticleRecord& firstWritten = sort[0] == '1' ? records.back() : records.front();
        ParticleVertex expected[4];
        particleVertexKernel[context->GetKernelIndex()](*context, expected, firstWritten, context->GetNow(), axes);
        EXPECT_EQ(std::memcmp(vertices.data(), expected, sizeof(expected)), 0) << "sort " << sort;
    }
}

TEST_F(ParticleVertexKernelsTest, VelocityNormalInstancesTurnTheirZAxisAlongTheVelocity)
{
    Init(8, 8, false);
    ParticleSystem system;
    for (const auto& [name, text] : {std::pair{"Face camera mode", "5"}, {"Initial velocity", "0 0 2 0"},
                                     {"Initial velocity var", "0 0 0 0"}, {"Random rotation at start", "1"}})
        SetParticleProperty(system, name, text);
    ParticleSystemContext* context = Play(system);
    Frame(0.5f);
    Frame(0.0f); // the six records now wrap round the end of the pool of 8
    std::vector<float> rows(context->GetCount() * kParticleInstanceBytes / 4);
    ASSERT_EQ(context->FillInstances(reinterpret_cast<uint8_t*>(rows.data())), 6u);
    for (size_t i = 8; i < rows.size(); i += 16)
        EXPECT_TRUE(rows[i] == 0.0f && rows[i + 1] == 0.0f) << "no z in side or up, whatever the start angle";
}
} // namespace
