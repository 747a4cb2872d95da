// ctest-labels: thread
// The lighting cube drawn from the directional-ambient lights: each light's constants for the
// two-sided modes, and on a running renderer with the project's shaders the faces a light
// pointing down lights (its colour above, its secondary colour below, its side term around), the
// renderer's light mask leaving a light out, redraws only when the list or the mask changed, and a
// light's mask texture darkening the directions it covers.
#include "renderer/AmbientCube.h"

#include "renderer/LightRenderData.h"
#include "renderer/RendererLightWrapper.h"
#include "renderer/jobs/TextureHolder.h"
#include "support/MaskTexture.h"
#include "support/RenderDataHarness.h"
#include "support/RenderThreadCall.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
void ExpectVector(const Vector& v, float x, float y, float z, float w, const char* what)
{
    EXPECT_FLOAT_EQ(v.x, x) << what;
    EXPECT_FLOAT_EQ(v.y, y) << what;
    EXPECT_FLOAT_EQ(v.z, z) << what;
    EXPECT_FLOAT_EQ(v.w, w) << what;
}
} // namespace

TEST(AmbientCubeTest, LightConstantsFollowTheTwoSidedModeAndTheSideAlpha)
{
    LightRenderData light(LightRenderData::TYPE_DIRECTIONAL_AMBIENT);
    Matrix transform = Matrix::ONE;
    transform.rows[2] = Vector(0.0f, -3.0f, 4.0f, 7.0f); // normalised, w dropped
    struct Case
    {
        uint32_t mode;
        float sideAlpha;
        Vector secondary, side;
    };
    // Colour (0.8, 0.4, 0, 1) and secondary (0, 0.4, 0.8, 1) at a quarter: (0.2, 0.1, 0, 0.25) and
    // (0, 0.1, 0.2, 0.25); their average (0.1, 0.1, 0.1, 0.25); side (0.4, 0.8, 0.4, a) at a quarter.
    const Case cases[] = {
        {0, 0.5f, Vector(), Vector(0.05f, 0.1f, 0.05f, 0.0625f)},
        {1, 0.5f, Vector(0.0f, 0.1f, 0.2f, 0.25f), Vector(0.05f, 0.1f, 0.05f, 0.0625f)},
        {2, 0.5f, Vector(0.0f, 0.1f, 0.2f, 0.25f), Vector(0.1f, 0.15f, 0.1f, 0.1875f)},
        {2, 0.0f, Vector(0.0f, 0.1f, 0.2f, 0.25f), Vector(0.1f, 0.1f, 0.1f, 0.25f)},
        {2, 1.0f, Vector(0.0f, 0.1f, 0.2f, 0.25f), Vector(0.1f, 0.2f, 0.1f, 0.25f)},
    };
    for (const Case& c : cases)
    {
        light.SetDirectionalAmbient(Vector(0.8f, 0.4f, 0.0f, 1.0f), Vector(0.0f, 0.4f, 0.8f, 1.0f),
                                    Vector(0.4f, 0.8f, 0.4f, c.sideAlpha), 0.7f, c.mode, 0.3f, nullptr, Vector(),
                                    Vector(1, 1, 1, 1), 0);
        light.SetTransform(transform);
        Vector k[AmbientCube::kLightConstantCount];
        AmbientCube::ComputeLightConstants(light, false, k);
        const std::string what = "mode " + std::to_string(c.mode) + " side alpha " + std::to_string(c.sideAlpha);
        ExpectVector(k[0], 0.0f, -0.6f, 0.8f, 0.0f, what.c_str());
        ExpectVector(k[1], 0.2f, 0.1f, 0.0f, 0.25f, what.c_str());
        ExpectVector(k[2], c.secondary.x, c.secondary.y, c.secondary.z, c.secondary.w, what.c_str());
        ExpectVector(k[3], c.side.x, c.side.y, c.side.z, c.side.w, what.c_str());
        ExpectVector(k[4], 0.3f, 0.7f, 0.0f, 0.0f, what.c_str());
    }
    // Linear lighting converts the colours before the quarter.
    Vector k[AmbientCube::kLightConstantCount];
    AmbientCube::ComputeLightConstants(light, true, k);
    EXPECT_FLOAT_EQ(k[1].x, std::pow(0.8f, 2.2f) * 0.25f);
    EXPECT_FLOAT_EQ(k[1].w, 0.25f) << "alpha is not converted";
    light.Release();
}

TEST(AmbientCubeTest, TheMaskMatrixRotatesThenFlipsY)
{
    Vector p(1.0f, 2.0f, 3.0f, 1.0f);
    p.Transform(AmbientCube::ComputeMaskMatrix(Vector()));
    ExpectVector(p, 1.0f, -2.0f, 3.0f, 1.0f, "no rotation");
    Vector q(1.0f, 0.0f, 0.0f, 1.0f);
    q.Transform(AmbientCube::ComputeMaskMatrix(Vector(0.0f, 0.0f, 90.0f, 0.0f)));
    EXPECT_NEAR(q.x, 0.0f, 1e-6f);
    EXPECT_NEAR(std::fabs(q.y), 1.0f, 1e-6f) << "a quarter turn about z moves x onto the (flipped) y axis";
}

namespace
{
class AmbientCubeFrameTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DataRoot data;
        ASSERT_TRUE(m_harness.StartWithShaders(data));
        m_light = new RendererLightWrapper;
        Matrix down = Matrix::ONE;
        down.rows[2] = Vector(0.0f, -1.0f, 0.0f, 0.0f);
        m_light->PostMatrix(down);
    }
    void TearDown() override
    {
        NorvexRendererObject::PostDeletion(m_light, true, false);
        m_harness.GetRenderer().SubmitCommands(true);
        m_harness.Stop();
    }
    // One frame set-up with the stamp as the renderer's light mask; the centre of each face and the
    // draws the set-up made.
    std::vector<uint32_t> Frame(uint32_t lightMask, uint32_t* draws = nullptr)
    {
        NorvexRenderer& renderer = m_harness.GetRenderer();
        renderer.SetVisibleLayers(nullptr, lightMask);
        renderer.SetFrameTarget(nullptr, 0, 1);
        renderer.SubmitCommands(true);
        std::vector<uint32_t> centres;
        RunOnRenderThread(renderer, [&](NorvexRenderer& r) {
            if (draws != nullptr)
                *draws = r.GetDevice()->GetFrameStatistics().drawCalls;
            auto* cube = static_cast<gpu::GpuCubeTexture*>(
                r.GetDeviceManager().GetRenderTargets().lightingCube->GetTexture());
            for (uint32_t face = 0; face < 6; ++face)
            {
                gpu::GpuSurface* surface = nullptr;
                ASSERT_EQ(cube->GetCubeMapSurface(face, 0, &surface), gpu::kOk);
                centres.push_back(surface->ReadPixelArgb(32, 32) & 0xFFFFFFu);
                surface->Release();
            }
        });
        renderer.UpscaleFinal();
        renderer.Present(nullptr);
        renderer.SubmitCommands(true);
        return centres;
    }

    RenderDataHarness m_harness;
    RendererLightWrapper* m_light = nullptr;
};
} // namespace

TEST_F(AmbientCubeFrameTest, ALightPointingDownLightsTheFacesItReachesUnlessTheMaskLeavesItOut)
{
    // Red above, green below (single-sided mode 1 keeps the secondary colour), blue at the sides.
    m_light->PostDirectionalAmbient(Vector(1.0f, 0.0f, 0.0f, 1.0f), Vector(0.0f, 1.0f, 0.0f, 1.0f),
                                    Vector(0.0f, 0.0f, 1.0f, 1.0f), 1.0f, 1, 0.0f, nullptr, Vector(),
                                    Vector(1, 1, 1, 1), 0x2);
    const uint32_t blue = 0x40, green = 0x4000, red = 0x400000;
    // +X, -X, +Y, -Y, +Z, -Z.
    EXPECT_EQ(Frame(0x1), (std::vector<uint32_t>{blue, blue, red, green, blue, blue}));
    uint32_t draws = 99;
    Frame(0x1, &draws);
    EXPECT_EQ(draws, 0u) << "nothing changed: the cube is not drawn again";
    EXPECT_EQ(Frame(0x2), (std::vector<uint32_t>(6, 0u))) << "the light's mask shares a bit with the renderer's";
    Frame(0x4, &draws);
    EXPECT_EQ(draws, 6u) << "a new light mask redraws the six faces";
    m_light->PostDirectionalAmbient(Vector(1.0f, 1.0f, 1.0f, 1.0f), Vector(), Vector(), 1.0f, 0, 0.0f, nullptr,
                                    Vector(), Vector(1, 1, 1, 1), 0x2);
    Frame(0x4, &draws);
    EXPECT_EQ(draws, 6u) << "a changed light redraws the six faces";

    // A device reset makes the cube anew, empty: the next frame draws it again.
    NorvexRenderer& renderer = m_harness.GetRenderer();
    const uint32_t resets = renderer.GetDevice()->GetResetCount();
    renderer.RequestDeviceReset();
    renderer.SubmitCommands(true);
    renderer.ApplyDisplaySettings(m_harness.GetWindow(), 0, 0, false, false);
    ASSERT_EQ(renderer.GetDevice()->GetResetCount(), resets + 1);
    const std::vector<uint32_t> afterReset = Frame(0x4, &draws);
    EXPECT_EQ(draws, 6u) << "the new cube is drawn";
    EXPECT_EQ(afterReset[2], 0x404040u) << "white light from above, at a quarter";
}

TEST_F(AmbientCubeFrameTest, ALightsMaskTextureDarkensTheDirectionsItCovers)
{
    NorvexRenderer& renderer = m_harness.GetRenderer();
    TextureHolder* const mask = MakeLeftHalfMask(renderer);
    ASSERT_NE(mask, nullptr);
    // Blue all around; the mask (unturned, y flipped) takes x of the direction: lit towards -x only.
    m_light->PostDirectionalAmbient(Vector(), Vector(), Vector(0.0f, 0.0f, 1.0f, 1.0f), 1.0f, 0, 0.0f, mask, Vector(),
                                    Vector(1, 1, 1, 1), 0x2);
    Frame(0x1);
    uint32_t towardsMinusX = 0, towardsPlusX = 0;
    RunOnRenderThread(renderer, [&](NorvexRenderer& r) {
        auto* cube = static_cast<gpu::GpuCubeTexture*>(r.GetDeviceManager().GetRenderTargets().lightingCube->GetTexture());
        gpu::GpuSurface* face = nullptr;
        ASSERT_EQ(cube->GetCubeMapSurface(4, 0, &face), gpu::kOk); // +Z: its left columns lean towards -x
        towardsMinusX = face->ReadPixelArgb(8, 32) & 0xFFFFFFu;
        towardsPlusX = face->ReadPixelArgb(56, 32) & 0xFFFFFFu;
        face->Release();
    });
    EXPECT_NEAR(int(towardsMinusX & 0xFF), 0x40, 2) << "the white half of the mask keeps the side term";
    EXPECT_EQ(towardsPlusX, 0u) << "the black half takes it away";
    m_light->PostDirectionalAmbient(Vector(), Vector(), Vector(), 1.0f, 0, 0.0f, nullptr, Vector(), Vector(1, 1, 1, 1),
                                    0x2);
    renderer.SubmitCommands(true);
    DropMask(renderer, mask);
}
