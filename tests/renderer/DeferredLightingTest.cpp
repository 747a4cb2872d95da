// The deferred lighting's arithmetic: the full-screen pass's options, a light volume's colours,
// options and mask use by quality, and its mesh, radius and inside rule.
#include "renderer/DeferredLighting.h"

#include "renderer/LightRenderData.h"
#include "renderer/jobs/TextureHolder.h"

#include <gtest/gtest.h>

#include <cmath>

using DL = DeferredLighting::FullScreenInputs;

TEST(DeferredLightingTest, FullScreenOptionsFollowShadowsProjectionAndQuality)
{
    struct Case
    {
        bool allowed, shadowSwitch, present;
        float value;
        bool projected;
        uint32_t quality;
        bool filtering;
        uint32_t options;
    };
    const Case cases[] = {
        {true, true, true, 0.5f, false, 3, false, 0x2},  {true, true, true, 0.5f, false, 3, true, 0x6},
        {false, true, true, 0.5f, false, 3, true, 0x0},  {true, false, true, 0.5f, false, 3, true, 0x0},
        {true, true, false, 0.5f, false, 3, true, 0x0},  {true, true, true, 0.0f, false, 3, true, 0x0},
        {false, false, false, 0.0f, true, 2, false, 0x1}, {false, false, false, 0.0f, true, 0, false, 0x8},
        {false, false, false, 0.0f, false, 1, false, 0x8}, {false, false, false, 0.0f, true, 1, false, 0x9},
    };
    for (const Case& c : cases)
    {
        DL in;
        in.shadowsAllowed = c.allowed;
        in.shadowSwitch = c.shadowSwitch;
        in.shadowMapPresent = c.present;
        in.shadowValue = c.value;
        in.projectedTexture = c.projected;
        in.quality = c.quality;
        in.shadowFiltering = c.filtering;
        EXPECT_EQ(DeferredLighting::FullScreenOptions(in), c.options) << &c - cases;
    }
}

TEST(DeferredLightingTest, AMaskedLightBelowQualityTwoDrawsAtAShareOfItsColourWithoutItsMask)
{
    TextureHolder mask;
    LightRenderData light;
    light.SetPoint(Vector(1.0f, 0.5f, 0.0f, 1.0f), 2.0f, 1.0f, 4.0f, &mask, Vector(), Vector(1, 1, 1, 1));
    struct Case
    {
        uint32_t quality;
        float share;
        bool useMask;
        uint32_t options;
    };
    for (const Case& c : {Case{1, 0.3f, false, 0x8}, Case{2, 1.0f, true, 0x1}, Case{0, 0.3f, false, 0x8}})
    {
        const DeferredLighting::VolumeColors colors = DeferredLighting::ComputeVolumeColors(light, c.quality, 0.0f);
        EXPECT_EQ(colors.useMask, c.useMask) << c.quality;
        EXPECT_EQ(colors.options, c.options) << c.quality;
        EXPECT_FLOAT_EQ(colors.color.x, c.share) << c.quality;
        EXPECT_FLOAT_EQ(colors.color.y, 0.5f * c.share) << c.quality;
        EXPECT_FLOAT_EQ(colors.specular.x, 2.0f * c.share) << c.quality;
        EXPECT_FLOAT_EQ(colors.specular.w, DeferredLighting::Luminance(colors.specular)) << c.quality;
    }
    // Full desaturation leaves the luminance in every channel.
    const DeferredLighting::VolumeColors grey = DeferredLighting::ComputeVolumeColors(light, 3, 1.0f);
    const float luminance = 0.2126f + 0.7152f * 0.5f;
    EXPECT_FLOAT_EQ(grey.color.x, luminance);
    EXPECT_FLOAT_EQ(grey.color.z, luminance);
    light.Release();
}

TEST(DeferredLightingTest, VolumesCoverTheirLightAndTheSpotRadiusStaysBounded)
{
    // Widths below 90 degrees are drawn as given (cone and mask); only wider or untangentable ones change.
    const float widest = DeferredLighting::kWidestDrawnSpotDegrees;
    const std::pair<float, float> widths[] = {{45.0f, 45.0f},    {-30.0f, -30.0f}, {89.9f, 89.9f},     {90.0f, widest},
                                              {120.0f, widest}, {NAN, widest},    {-INFINITY, widest}};
    for (const auto& [width, drawn] : widths)
    {
        EXPECT_EQ(DeferredLighting::DrawnSpotWidth(width), drawn) << width;
        const float tangent = std::tan(drawn * 3.14159265f / 180.0f);
        EXPECT_NEAR(DeferredLighting::SpotConeRadius(width, 4.0f), 4.0f * tangent, 1e-3f * std::fabs(tangent)) << width;
        EXPECT_NEAR(DeferredLighting::SpotMaskProjection(width).rows[0].x, 0.5f / tangent, 1e-3f / std::fabs(tangent))
            << width;
    }

    LightRenderData point;
    Matrix at = Matrix::ONE;
    at.rows[2] = Vector(0.0f, 0.0f, 2.0f, 0.0f); // the light's scale doubles its reach
    at.rows[3] = Vector(5.0f, 0.0f, 0.0f, 1.0f);
    point.SetTransform(at);
    point.SetPoint(Vector(1, 1, 1, 1), 1.0f, 1.0f, 3.0f, nullptr, Vector(), Vector(1, 1, 1, 1));
    const DeferredLighting::Volume sphere = DeferredLighting::ComputeVolume(point);
    EXPECT_NEAR(sphere.radius, 6.0f * 1.05f, 1e-4f);
    EXPECT_FLOAT_EQ(sphere.model.rows[0].x, sphere.radius);
    EXPECT_FLOAT_EQ(sphere.model.rows[3].x, 5.0f);
    EXPECT_TRUE(DeferredLighting::IsCameraInside(sphere, Vector(5.0f + sphere.radius + 0.4f, 0, 0, 1)));
    EXPECT_FALSE(DeferredLighting::IsCameraInside(sphere, Vector(5.0f + sphere.radius + 0.6f, 0, 0, 1)));

    LightRenderData spot;
    spot.SetSpot(Vector(1, 1, 1, 1), 1.0f, 0.0f, 8.0f, 30.0f, 0.5f, nullptr, Vector(), Vector(1, 1, 1, 1));
    const DeferredLighting::Volume cone = DeferredLighting::ComputeVolume(spot);
    EXPECT_NEAR(cone.model.rows[2].z, 8.0f, 1e-4f) << "the cone runs the light's z for its length";
    EXPECT_NEAR(cone.model.rows[0].x, 8.0f / std::sqrt(3.0f), 1e-3f) << "tan 30 x length";
    EXPECT_NEAR(cone.model.rows[1].y, 8.0f / std::sqrt(3.0f), 1e-3f);
    EXPECT_NEAR(cone.radius, std::sqrt(16.0f + 64.0f / 3.0f), 1e-3f) << "the sphere through the cone's base rim";
    EXPECT_NEAR(cone.centre.z, 4.0f, 1e-4f);
    Vector corner(1.0f, 1.0f, 1.0f, 1.0f);
    corner.Transform(cone.model);
    EXPECT_FLOAT_EQ(corner.w, 1.0f) << "the scaled axes carry no w: mesh points stay points";

    LightRenderData tube;
    tube.SetTube(Vector(1, 1, 1, 1), 1.0f, 0.0f, 2.0f, 6.0f, nullptr, Vector(), Vector(1, 1, 1, 1));
    const DeferredLighting::Volume cylinder = DeferredLighting::ComputeVolume(tube);
    EXPECT_NEAR(cylinder.model.rows[1].x, 5.0f, 1e-4f) << "half the tube plus its reach, along its x";
    EXPECT_EQ(std::pair(cylinder.model.rows[0].y, cylinder.model.rows[2].z), std::pair(2.0f, 2.0f)) << "its reach across";
    EXPECT_NEAR(cylinder.radius, std::sqrt(29.0f), 1e-4f) << "the sphere through the rims of its caps";
}
