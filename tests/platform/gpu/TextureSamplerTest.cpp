#include "GpuTestSupport.h"

#include "platform/gpu/TextureSampler.h"

#include <cstring>

using namespace gpu;

namespace
{
class TextureSamplerTest : public GpuDeviceFixture
{
protected:
    // A texture whose level L, texel (x, y) holds ARGB colour(L, x, y).
    template <typename Color>
    GpuTexture* MakeTexture(uint32_t size, uint32_t levels, Color color)
    {
        GpuTexture* texture = nullptr;
        EXPECT_EQ(m_device->CreateTexture(size, size, levels, 0, kFormatA8R8G8B8, kPoolManaged, &texture), kOk);
        for (uint32_t level = 0; level < levels; ++level)
        {
            LockedRect locked;
            EXPECT_EQ(texture->LockRect(level, &locked, nullptr, 0), kOk);
            const uint32_t edge = std::max(size >> level, 1u);
            for (uint32_t y = 0; y < edge; ++y)
                for (uint32_t x = 0; x < edge; ++x)
                {
                    const uint32_t argb = color(level, x, y);
                    memcpy(static_cast<uint8_t*>(locked.bits) + y * locked.pitch + x * 4, &argb, 4);
                }
            texture->UnlockRect(level);
        }
        return texture;
    }

    void ResetStates()
    {
        std::fill(m_states, m_states + kSamplerStateCount, 0u);
        m_states[kSsAddressU] = m_states[kSsAddressV] = kAddressWrap;
        m_states[kSsMagFilter] = m_states[kSsMinFilter] = kFilterPoint;
    }

    uint32_t m_states[kSamplerStateCount] = {};
    const float m_still[2] = {0.0f, 0.0f};
};

// 4x4 texels: red is 64 * x, green 64 * y.
uint32_t Ramp(uint32_t, uint32_t x, uint32_t y) { return 0xFF000000u | (x * 64) << 16 | (y * 64) << 8; }

TEST_F(TextureSamplerTest, AddressModesPickTheTexelOutsideTheTexture)
{
    GpuTexture* texture = MakeTexture(4, 1, Ramp);
    ResetStates();
    m_states[kSsBorderColor] = 0xFF0000FFu;
    const SamplerView sampler = {texture, m_states};
    struct Case
    {
        uint32_t mode;
        float u;
        uint32_t expected; // packed ARGB at v = 0.1
    };
    const Case cases[] = {
        {kAddressWrap, 1.3f, 0xFF400000u},   // texel 5 wraps to 1
        {kAddressWrap, -0.1f, 0xFFC00000u},  // texel -1 wraps to 3
        {kAddressClamp, 1.3f, 0xFFC00000u},  // clamped to 3
        {kAddressClamp, -0.5f, 0xFF000000u}, // clamped to 0
        {kAddressMirror, 1.1f, 0xFFC00000u}, // texel 4 mirrors to 3
        {kAddressMirror, 1.3f, 0xFF800000u}, // texel 5 mirrors to 2
        {kAddressBorder, 1.3f, 0xFF0000FFu},
        {kAddressBorder, 0.3f, 0xFF400000u}, // inside is unaffected
    };
    for (const Case& c : cases)
    {
        m_states[kSsAddressU] = c.mode;
        EXPECT_EQ(PackArgb(Sample2D(sampler, c.u, 0.1f, m_still, m_still)), c.expected)
            << "mode " << c.mode << " u " << c.u;
    }
    texture->Release();
}

TEST_F(TextureSamplerTest, LinearFilteringWeighsTheFourNearestTexels)
{
    GpuTexture* texture = MakeTexture(4, 1, Ramp);
    ResetStates();
    m_states[kSsAddressU] = m_states[kSsAddressV] = kAddressClamp;
    const SamplerView sampler = {texture, m_states};
    // u = 0.25 lies between texel centres 0.125 and 0.375: half of red 0 and red 64.
    EXPECT_EQ(PackArgb(Sample2D(sampler, 0.25f, 0.125f, m_still, m_still)), 0xFF400000u) << "point takes texel 1";
    m_states[kSsMagFilter] = kFilterLinear;
    const Color4f c = Sample2D(sampler, 0.25f, 0.25f, m_still, m_still);
    EXPECT_NEAR(c.r, 32.0f / 255.0f, 1e-5);
    EXPECT_NEAR(c.g, 32.0f / 255.0f, 1e-5);
    texture->Release();
}

TEST_F(TextureSamplerTest, MipLevelFollowsTheTextureCoordinateChangePerPixel)
{
    // Level colours: 0 red, 1 green, 2 blue.
    const uint32_t colors[] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu};
    GpuTexture* texture = MakeTexture(4, 3, [&](uint32_t level, uint32_t, uint32_t) { return colors[level]; });
    ResetStates();
    m_states[kSsMipFilter] = kFilterPoint;
    const SamplerView sampler = {texture, m_states};
    struct Case
    {
        float step; // u change per pixel
        uint32_t expected;
    };
    // One texel per pixel is level 0, two level 1, four (or more) level 2.
    // Three texels per pixel (level 1.58) rounds to the nearest level, 2.
    for (const Case& c : {Case{0.25f, colors[0]}, Case{0.5f, colors[1]}, Case{0.75f, colors[2]}, Case{1.0f, colors[2]},
                          Case{8.0f, colors[2]}})
    {
        const float dx[2] = {c.step, 0.0f};
        EXPECT_EQ(PackArgb(Sample2D(sampler, 0.5f, 0.5f, dx, m_still)), c.expected) << "step " << c.step;
    }
    const float two[2] = {0.5f, 0.0f};
    m_states[kSsMaxMipLevel] = 2;
    EXPECT_EQ(PackArgb(Sample2D(sampler, 0.5f, 0.5f, two, m_still)), colors[2]) << "the largest level allowed";
    m_states[kSsMaxMipLevel] = 0;
    m_states[kSsMipFilter] = kFilterNone;
    EXPECT_EQ(PackArgb(Sample2D(sampler, 0.5f, 0.5f, two, m_still)), colors[0]) << "without mip filtering, level 0";
    texture->Release();
}

// Each face is 2x2 texels coloured by face and texel; a direction whose major axis is shorter than 1
// and whose other two components point into one quadrant of the face must land on that texel.
TEST_F(TextureSamplerTest, CubeDirectionsPickTheirFaceAndTexel)
{
    GpuCubeTexture* cube = nullptr;
    ASSERT_EQ(m_device->CreateCubeTexture(4, 1, 0, kFormatA8R8G8B8, kPoolManaged, &cube), kOk);
    auto texel = [](uint32_t face, uint32_t x, uint32_t y) { return 0xFF000000u | (face + 1) << 4 | (y * 4 + x); };
    for (uint32_t face = 0; face < 6; ++face)
    {
        LockedRect locked;
        ASSERT_EQ(cube->LockRect(face, 0, &locked, nullptr, 0), kOk);
        for (uint32_t i = 0; i < 16; ++i)
        {
            const uint32_t argb = texel(face, i % 4, i / 4);
            memcpy(static_cast<uint8_t*>(locked.bits) + (i / 4) * locked.pitch + (i % 4) * 4, &argb, 4);
        }
        cube->UnlockRect(face, 0);
    }
    ResetStates();
    const SamplerView sampler = {cube, m_states};
    // The direction that reaches face coordinates (s, t), each in [-1, 1] scaled by the major axis.
    const float m = 0.8f;
    auto direction = [m](uint32_t face, float s, float t, float out[3]) {
        const float table[6][3] = {{m, -t, -s}, {-m, -t, s}, {s, m, t}, {s, -m, -t}, {s, -t, m}, {-s, -t, -m}};
        std::copy(table[face], table[face] + 3, out);
    };
    for (uint32_t face = 0; face < 6; ++face)
        for (uint32_t quadrant = 0; quadrant < 4; ++quadrant)
        {
            const uint32_t x = quadrant % 2, y = quadrant / 2;
            float d[3];
            // Divided by the major axis both land on inner texels; divided by a minor one, s reaches an edge.
            direction(face, x ? 0.3f : -0.3f, y ? 0.1f : -0.1f, d);
            EXPECT_EQ(PackArgb(SampleCube(sampler, d[0], d[1], d[2])), texel(face, 1 + x, 1 + y))
                << "face " << face << ", texel " << x << "," << y;
        }
    // No direction, no texture or a flat one: opaque black.
    EXPECT_EQ(PackArgb(SampleCube(sampler, 0.0f, 0.0f, 0.0f)), 0xFF000000u);
    EXPECT_EQ(PackArgb(SampleCube({nullptr, m_states}, 1.0f, 0.0f, 0.0f)), 0xFF000000u);
    GpuTexture* flat = nullptr;
    ASSERT_EQ(m_device->CreateTexture(4, 4, 1, 0, kFormatA8R8G8B8, kPoolManaged, &flat), kOk);
    EXPECT_EQ(PackArgb(SampleCube({flat, m_states}, 1.0f, 0.0f, 0.0f)), 0xFF000000u);
    flat->Release();
    cube->Release();
}

// Rows of level 0 alternate black and white; the smaller levels are their grey average. A pixel
// whose footprint is 4 texels along u and 1 along v blurs to grey at level 2 under plain filtering;
// anisotropic filtering with 4 taps stays at level 0 on the white row, with 2 taps it is at level 1.
TEST_F(TextureSamplerTest, AnisotropicFilteringTakesTapsAlongTheLongerAxisUpToItsMaximum)
{
    GpuTexture* texture = MakeTexture(8, 4, [](uint32_t level, uint32_t, uint32_t y) {
        return level == 0 ? (y % 2 ? 0xFFFFFFFFu : 0xFF000000u) : 0xFF808080u;
    });
    ResetStates();
    m_states[kSsMagFilter] = kFilterLinear;
    m_states[kSsMipFilter] = kFilterPoint;
    const SamplerView sampler = {texture, m_states};
    const float dx[2] = {0.5f, 0.0f}, dy[2] = {0.0f, 0.125f};
    const float whiteRow = 1.5f / 8.0f;
    struct Case
    {
        uint32_t minFilter, maxAnisotropy;
        uint32_t expected;
    };
    const Case cases[] = {
        {kFilterLinear, 4, 0xFF808080u},
        {kFilterAnisotropic, 1, 0xFF808080u},
        {kFilterAnisotropic, 2, 0xFF808080u},
        {kFilterAnisotropic, 4, 0xFFFFFFFFu},
        {kFilterAnisotropic, 16, 0xFFFFFFFFu},
    };
    for (const Case& c : cases)
    {
        m_states[kSsMinFilter] = c.minFilter;
        m_states[kSsMaxAnisotropy] = c.maxAnisotropy;
        EXPECT_EQ(PackArgb(Sample2D(sampler, 0.5f, whiteRow, dx, dy)), c.expected)
            << "filter " << c.minFilter << ", max anisotropy " << c.maxAnisotropy;
    }
    // As the magnification filter it filters linearly: half way between a black and a white row.
    m_states[kSsMagFilter] = kFilterAnisotropic;
    EXPECT_EQ(PackArgb(Sample2D(sampler, 0.5f, 1.0f / 8.0f, m_still, m_still)), 0xFF808080u);
    texture->Release();
}
} // namespace
