// Scene parameter sets: the defaults and their identity tables, the fill from a template (colour
// conversions, two-sided modes, specular, sampled curves, sky matrices), the blend of two sets
// field by field with its special cases, and the counted texture handles.
#include "renderer/SceneParametersWrapper.h"

#include "core/math/HDRColor.h"
#include "renderer/jobs/TextureHolder.h"
#include "scene/kinds/SceneParametersTemplate.h"
#include "support/SceneTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>

namespace
{
void ExpectVector(const Vector& v, float x, float y, float z, float w, const char* what, float tolerance = 1e-5f)
{
    EXPECT_NEAR(v.x, x, tolerance) << what;
    EXPECT_NEAR(v.y, y, tolerance) << what;
    EXPECT_NEAR(v.z, z, tolerance) << what;
    EXPECT_NEAR(v.w, w, tolerance) << what;
}

void ExpectMatrix(const Matrix& m, const Matrix& expected)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(m.At(r, c), expected.At(r, c), 1e-5f) << r << "," << c;
}

class SceneParametersWrapperTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterSceneClasses();
        m_linear = HDRColor::IsLinearLighting();
        HDRColor::SetLinearLighting(false);
    }
    void TearDown() override { HDRColor::SetLinearLighting(m_linear); }

    void Set(const char* name, const char* text)
    {
        const RTTIProperty* property = m_template.GetClassProperties()->FindPropertyInClassChain(name);
        ASSERT_NE(property, nullptr) << name;
        ASSERT_TRUE(property->SetFromText(&m_template, text)) << name;
    }
    std::unique_ptr<SceneParametersWrapper> Filled()
    {
        auto set = std::make_unique<SceneParametersWrapper>();
        set->SetFromTemplate(m_template);
        return set;
    }

    SceneParametersTemplate m_template;
    bool m_linear = true;
};
} // namespace

TEST_F(SceneParametersWrapperTest, DefaultsHoldIdentityTablesAndThePlainLook)
{
    SceneParametersWrapper set;
    // The defaults also reset a used set.
    set.GetShading().customParams[3] = set.GetShading().excludeColor[1] = Vector(1, 2, 3, 4);
    set.GetShading().excludeFalloff[3] = 5.0f;
    set.SetDefaults();
    const SceneShadingParameters& s = set.GetShading();
    ExpectVector(s.customParams[3], 0, 0, 0, 0, "custom param");
    ExpectVector(s.excludeColor[1], 0, 0, 0, 0, "exclude colour");
    for (uint32_t i : {0u, 1u, 512u, 1023u})
        ExpectVector(s.toneMapping[i], 4.0f * i / 1023.0f, 4.0f * i / 1023.0f, 4.0f * i / 1023.0f, 0.0f, "tone");
    for (uint32_t i : {0u, 1u, 32u, 63u})
        ExpectVector(s.colorLookup[i], i / 63.0f, i / 63.0f, i / 63.0f, 0.0f, "lookup");
    EXPECT_EQ(s.rgbShift[63], 0.0f);
    const struct
    {
        const char* name;
        float value, expected;
    } scalars[] = {
        {"exposition", s.exposition, 1.0f},       {"fog end", s.fogEnd, 0.0f},
        {"exclude falloff", s.excludeFalloff[3], 0.0f},
        {"glow threshold", s.glowThreshold, 0.8f}, {"glow softness", s.glowSoftness, 2.0f},
        {"vignette end", s.vignetteEnd, 0.1f},    {"vignette aspect", s.vignetteAspect, 0.8f},
        {"local contrast variation", s.localContrastVariation, 0.9f},
        {"fake diffuse normal scale", s.fakeDiffuseNormalScale, 0.5f},
        {"zoom blurred ratio", s.zoomBlurBlurredRatio, 1.0f}, {"iPad2 brightness", s.iPad2Brightness, 1.0f},
        {"fxaa subpix", s.fxaaSubpix, 0.75f},     {"fxaa edge min", s.fxaaEdgeThresholdMin, 0.0625f},
        {"console edge min", s.fxaaConsoleEdgeThresholdMin, 0.05f}, {"ssao radius", s.ssaoRadius, 15.0f},
        {"screen curve amplitude", s.screenCurveAmplitude, 1.0f}, {"screen curve coverage", s.screenCurveCoverage, 0.0f},
        {"cloud pitch", set.GetSky().cloudPitch, 60.0f}, {"cloud scale", set.GetSky().cloudScale, 5.0f},
        {"layer height", set.GetSky().layerHeight, 0.0f},
        {"light pitch", set.GetSun().lightPitch, 45.0f}, {"specular pitch", set.GetSun().specularPitch, 0.0f},
    };
    for (const auto& scalar : scalars)
        EXPECT_FLOAT_EQ(scalar.value, scalar.expected) << scalar.name;
    EXPECT_EQ(s.srgb, 1);
    EXPECT_EQ(s.fxaaEnabled, 0);
    EXPECT_EQ(s.ssaoUseNormalMaps, 0);
    ExpectVector(s.fogColor, 1, 1, 1, 1, "fog colour");
    ExpectVector(s.sfxColorMultiplier, 1, 1, 1, 1, "sfx multiplier");
    ExpectVector(s.diffuseColorMultiplierLinear, 1, 1, 1, 1, "diffuse linear");
    ExpectVector(s.topColor, 0, 0, 0, 0, "top colour");
    ExpectVector(set.GetSun().sunColorLinear, 1, 1, 1, 1, "sun linear");
    ExpectVector(set.GetSun().secondaryColor, 0, 0, 0, 0, "secondary");
    // (0, 0, 1) turned 45 degrees about X: down and forward.
    ExpectVector(set.GetSun().lightDirection, 0.0f, -std::sqrt(0.5f), std::sqrt(0.5f), 0.0f, "light direction");
    ExpectVector(set.GetSun().specularDirection, 0, 0, 1, 0, "specular direction");

    Matrix scale, pitch, expected;
    scale.LoadUniformScale(0.2f);
    pitch.LoadXRotation(-60.0f);
    expected.Mul(pitch, scale);
    ExpectMatrix(set.GetSky().cloudProjection, expected);
    // A layer scale of 0 leaves the layer projection unscaled instead of infinite.
    ExpectMatrix(set.GetSky().layerProjection, Matrix::ONE);
}

TEST_F(SceneParametersWrapperTest, TwoSidedModesAndTheSideColourOverlay)
{
    // Colours as their stored channels: sun 200, secondary 100, side 50 with alpha 0 or 255.
    const float sun = 200.0f / 255.0f, secondary = 100.0f / 255.0f, side = 50.0f / 255.0f;
    auto linear = [](float v) { return std::pow(v, 2.2f); };
    const struct
    {
        const char* mode;
        bool opaqueSide;
        float secondary, side, sideLinear;
    } cases[] = {
        {"0", false, 0.0f, 0.0f, 0.0f},
        {"1", false, secondary, 0.0f, 0.0f},
        {"2", false, secondary, (sun + secondary) / 2, (linear(sun) + linear(secondary)) / 2},
        {"0", true, 0.0f, side, linear(side)},
        {"3", false, 0.0f, 0.0f, 0.0f}, // an unknown mode lights like single sided
        {"2", true, secondary, side, linear(side)},
    };
    Set("Color", "200 200 200 255 1");
    Set("Secondary color", "100 100 100 255 1");
    SceneParametersWrapper set; // refilled case after case: nothing of the mode before may stay
    for (const auto& c : cases)
    {
        Set("Two sided mode", c.mode);
        Set("Side color", c.opaqueSide ? "50 50 50 255 1" : "50 50 50 0 1");
        set.SetFromTemplate(m_template);
        const SceneSunParameters& s = set.GetSun();
        const std::string what = std::string("mode ") + c.mode + (c.opaqueSide ? " opaque side" : " clear side");
        EXPECT_NEAR(s.secondaryColor.x, c.secondary, 1e-5f) << what;
        // The linear forms use gamma 2.2 whatever the switch says.
        EXPECT_NEAR(s.secondaryColorLinear.z, linear(c.secondary), 1e-5f) << what;
        EXPECT_NEAR(s.sideColor.y, c.side, 1e-5f) << what;
        EXPECT_NEAR(s.sideColorLinear.x, c.sideLinear, 1e-5f) << what;
    }
}

TEST_F(SceneParametersWrapperTest, EveryValueIsCopiedFromItsProperty)
{
    using W = SceneParametersWrapper;
    const struct
    {
        const char* property;
        float (*read)(const W&);
    } floats[] = {
        {"Wrap around factor", [](const W& w) { return w.GetSun().wrapAround; }},
        {"Shadow strength", [](const W& w) { return w.GetSun().shadowStrength; }},
        {"Fake shadow strength", [](const W& w) { return w.GetSun().fakeShadowStrength; }},
        {"Exposition", [](const W& w) { return w.GetShading().exposition; }},
        {"Exclude color 0 falloff start", [](const W& w) { return w.GetShading().excludeFalloff[0]; }},
        {"Exclude color 0 falloff end", [](const W& w) { return w.GetShading().excludeFalloff[1]; }},
        {"Exclude color 1 falloff start", [](const W& w) { return w.GetShading().excludeFalloff[2]; }},
        {"Exclude color 1 falloff end", [](const W& w) { return w.GetShading().excludeFalloff[3]; }},
        {"Fog start", [](const W& w) { return w.GetShading().fogStart; }},
        {"Fog end", [](const W& w) { return w.GetShading().fogEnd; }},
        {"Glow threshold", [](const W& w) { return w.GetShading().glowThreshold; }},
        {"Glow softness", [](const W& w) { return w.GetShading().glowSoftness; }},
        {"Vignette start", [](const W& w) { return w.GetShading().vignetteStart; }},
        {"Vignette end", [](const W& w) { return w.GetShading().vignetteEnd; }},
        {"Vignette aspect", [](const W& w) { return w.GetShading().vignetteAspect; }},
        {"Image local contrast", [](const W& w) { return w.GetShading().localContrast; }},
        {"Image local contrast variation", [](const W& w) { return w.GetShading().localContrastVariation; }},
        {"Image contrast", [](const W& w) { return w.GetShading().contrast; }},
        {"Image saturation", [](const W& w) { return w.GetShading().saturation; }},
        {"Low spec contrast multiplier", [](const W& w) { return w.GetShading().lowSpecContrast; }},
        {"Low spec saturation multiplier", [](const W& w) { return w.GetShading().lowSpecSaturation; }},
        {"iPad2 square contrast factor", [](const W& w) { return w.GetShading().iPad2SquareContrast; }},
        {"iPad2 brightness", [](const W& w) { return w.GetShading().iPad2Brightness; }},
        {"Fake diffuse normal scale", [](const W& w) { return w.GetShading().fakeDiffuseNormalScale; }},
        {"Zoom blur strength", [](const W& w) { return w.GetShading().zoomBlurStrength; }},
        {"Zoom blur source ratio", [](const W& w) { return w.GetShading().zoomBlurSourceRatio; }},
        {"Zoom blur blurred ratio", [](const W& w) { return w.GetShading().zoomBlurBlurredRatio; }},
        {"Sharpen strength", [](const W& w) { return w.GetShading().sharpenStrength; }},
        {"Battle mode desaturation", [](const W& w) { return w.GetShading().battleModeDesaturation; }},
        {"Subpix aliasing (0.5 - sharper, 1.0 - softer)", [](const W& w) { return w.GetShading().fxaaSubpix; }},
        {"Edge treshold", [](const W& w) { return w.GetShading().fxaaEdgeThreshold; }},
        {"Edge treshold min", [](const W& w) { return w.GetShading().fxaaEdgeThresholdMin; }},
        {"Console subpix aliasing (0.33 - sharper, 0.5 - default)",
         [](const W& w) { return w.GetShading().fxaaConsoleSubpix; }},
        {"Console edge treshold", [](const W& w) { return w.GetShading().fxaaConsoleEdgeThreshold; }},
        {"Console edge treshold min", [](const W& w) { return w.GetShading().fxaaConsoleEdgeThresholdMin; }},
        {"SSAO intensity", [](const W& w) { return w.GetShading().ssaoIntensity; }},
        {"SSAO radius", [](const W& w) { return w.GetShading().ssaoRadius; }},
        {"SSAO decrease with lighting", [](const W& w) { return w.GetShading().ssaoDecreaseWithLighting; }},
        {"Screen curve amplitude", [](const W& w) { return w.GetShading().screenCurveAmplitude; }},
        {"Screen curve curvature", [](const W& w) { return w.GetShading().screenCurveCurvature; }},
        {"Screen curve coverage", [](const W& w) { return w.GetShading().screenCurveCoverage; }},
        {"Cloud projection rotation", [](const W& w) { return w.GetSky().cloudRotation; }},
        {"Layer cloud heigh", [](const W& w) { return w.GetSky().layerHeight; }},
        // Colours by their green channel (value / 255) and the custom parameters by y.
        {"Fog color", [](const W& w) { return w.GetShading().fogColor.y; }},
        {"Glow color", [](const W& w) { return w.GetShading().glowColor.y; }},
        {"Non glow color", [](const W& w) { return w.GetShading().nonGlowColor.y; }},
        {"Exclude color 1", [](const W& w) { return w.GetShading().excludeColor[1].y; }},
        {"Top color", [](const W& w) { return w.GetShading().topColor.y; }},
        {"Bottom color", [](const W& w) { return w.GetShading().bottomColor.y; }},
        {"Light proble multiplier", [](const W& w) { return w.GetShading().lightProbeMultiplier.y; }},
        {"Diffuse color multiplier", [](const W& w) { return w.GetShading().diffuseColorMultiplier.y; }},
        {"No blur color correction", [](const W& w) { return w.GetShading().noBlurColorCorrection.y; }},
        {"Low spec mode color correction", [](const W& w) { return w.GetShading().lowSpecColorCorrection.y; }},
        {"SFX color multiplier", [](const W& w) { return w.GetShading().sfxColorMultiplier.y; }},
        {"SSAO color", [](const W& w) { return w.GetShading().ssaoColor.y; }},
        {"Param 1", [](const W& w) { return w.GetShading().customParams[0].y; }},
        {"Param 2", [](const W& w) { return w.GetShading().customParams[1].y; }},
        {"Param 3", [](const W& w) { return w.GetShading().customParams[2].y; }},
        {"Param 4", [](const W& w) { return w.GetShading().customParams[3].y; }},
        {"Layer cloud drift", [](const W& w) { return w.GetSky().layerDrift.y; }},
    };
    char text[64];
    for (size_t i = 0; i < std::size(floats); ++i)
    {
        const float value = float(i + 2);
        const RTTIProperty* property = m_template.GetClassProperties()->FindPropertyInClassChain(floats[i].property);
        ASSERT_NE(property, nullptr) << floats[i].property;
        const bool colour = property->GetType() == uint32_t(RTTI_TYPE_HDR_COLOR);
        if (colour)
            std::snprintf(text, sizeof(text), "0 %d 0 255 1", int(value));
        else
            std::snprintf(text, sizeof(text), "%g %g %g %g", value, value, value, value);
        Set(floats[i].property, text);
    }
    const auto set = Filled();
    for (size_t i = 0; i < std::size(floats); ++i)
    {
        const RTTIProperty* property = m_template.GetClassProperties()->FindPropertyInClassChain(floats[i].property);
        const float value = float(i + 2);
        const float expected = property->GetType() == uint32_t(RTTI_TYPE_HDR_COLOR) ? value / 255.0f : value;
        EXPECT_NEAR(floats[i].read(*set), expected, 1e-5f) << floats[i].property;
    }
    const struct
    {
        const char* property;
        uint8_t (*read)(const W&);
    } switches[] = {
        {"Affects sun", [](const W& w) { return w.GetSwitches().affectsSun; }},
        {"Affects texture and color", [](const W& w) { return w.GetSwitches().affectsCloudLook; }},
        {"Affects projection", [](const W& w) { return w.GetSwitches().affectsCloudProjection; }},
        {"Affects layer texture", [](const W& w) { return w.GetSwitches().affectsLayerTexture; }},
        {"Affects layer projection", [](const W& w) { return w.GetSwitches().affectsLayerProjection; }},
        {"Affects environment map", [](const W& w) { return w.GetSwitches().affectsEnvironmentMap; }},
        {"FXAA enabled", [](const W& w) { return w.GetShading().fxaaEnabled; }},
        {"SSAO use normal maps", [](const W& w) { return w.GetShading().ssaoUseNormalMaps; }},
        {"SRGB", [](const W& w) { return w.GetShading().srgb; }},
    };
    // One switch on at a time, then none: each lands in its own field only.
    for (size_t on = 0; on <= std::size(switches); ++on)
    {
        for (size_t k = 0; k < std::size(switches); ++k)
            Set(switches[k].property, k == on ? "1" : "0");
        const auto flags = Filled();
        for (size_t k = 0; k < std::size(switches); ++k)
            EXPECT_EQ(switches[k].read(*flags), k == on) << switches[k].property << ", on: " << on;
    }
}

TEST_F(SceneParametersWrapperTest, SpecularFollowsTheSunUnlessSeparate)
{
    Set("Color", "255 0 0 255 2");
    Set("Light yaw", "30");
    Set("Light pitch", "20");
    Set("Specular color", "0 255 0 255 3");
    Set("Specular yaw", "90");
    Set("Specular pitch", "0");
    Set("Specular multiplier", "0.5");
    auto set = Filled();
    // The sun's colour with its multiplier in w, then times the specular multiplier.
    ExpectVector(set->GetSun().specularColor, 1.0f, 0.0f, 0.0f, 1.0f, "shared specular");
    EXPECT_FLOAT_EQ(set->GetSun().specularYaw, 30.0f);
    EXPECT_FLOAT_EQ(set->GetSun().specularPitch, 20.0f);

    Set("Separate specular params", "1");
    set = Filled();
    ExpectVector(set->GetSun().specularColor, 0.0f, 1.5f, 0.0f, 1.5f, "separate specular");
    ExpectVector(set->GetSun().specularDirection, 1.0f, 0.0f, 0.0f, 0.0f, "specular direction");
    Matrix pitch, yaw;
    Vector light(0, 0, 1, 0);
    pitch.LoadXRotation(20.0f);
    yaw.LoadYRotation(30.0f);
    light.Transform(pitch);
    light.Transform(yaw);
    ExpectVector(set->GetSun().lightDirection, light.x, light.y, light.z, 0.0f, "light direction");
}

TEST_F(SceneParametersWrapperTest, ColourConversionsFollowTheLinearLightingSwitch)
{
    Set("Fog color", "51 102 255 128 2");
    Set("Exclude color 0", "51 102 255 128 2");
    Set("Diffuse color multiplier", "51 0 0 255 1");
    HDRColor::SetLinearLighting(true);
    const auto set = Filled();
    const SceneShadingParameters& s = set->GetShading();
    ExpectVector(s.fogColor, std::pow(0.4f, 2.2f), std::pow(0.8f, 2.2f), std::pow(2.0f, 2.2f), 128 / 255.0f, "fog");
    ExpectVector(s.excludeColor[0], 0.4f, 0.8f, 2.0f, 128 / 255.0f, "exclude colours stay raw");
    EXPECT_NEAR(s.diffuseColorMultiplierLinear.x, std::pow(0.2f, 2.2f), 1e-5f);
}

TEST_F(SceneParametersWrapperTest, CurvesAreSampledIntoClampedTables)
{
    // The template's own curves: tone 0 -> 0, 1 -> 1, 4 -> 1 and lookup black to white.
    const auto set = Filled();
    const SceneShadingParameters& s = set->GetShading();
    EXPECT_NEAR(s.toneMapping[0].x, 0.0f, 1e-6f);
    EXPECT_NEAR(s.toneMapping[128].y, 128 * 4.0f / 1023.0f, 1e-5f);
    EXPECT_NEAR(s.toneMapping[512].z, 1.0f, 1e-6f);
    EXPECT_NEAR(s.toneMapping[1023].w, 1.0f, 1e-6f);
    EXPECT_NEAR(s.colorLookup[0].x, 0.0f, 1e-6f);
    EXPECT_NEAR(s.colorLookup[63].x, 1.0f, 1e-6f);
    EXPECT_NEAR(s.colorLookup[63].w, 0.0f, 1e-6f);

    // Values above 1 and below 0 are clamped.
    TEnvelope<Vector>& tone = m_template.GetToneMappingCurve();
    tone = TEnvelope<Vector>();
    tone.AddKey(Vector(-1, 3, 0.25f, 0), 0.0f, -1);
    const auto clamped = Filled();
    ExpectVector(clamped->GetShading().toneMapping[700], 0.0f, 1.0f, 0.25f, 0.0f, "clamped");
}

TEST_F(SceneParametersWrapperTest, TheRGBShiftTableRepeatsTheCurveWithItsPeriod)
{
    TEnvelope<Vector>& curve = m_template.GetRGBShiftCurve();
    curve = TEnvelope<Vector>();
    curve.AddKey(Vector(0, 0, 0, 0), 0.0f, -1);
    curve.AddKey(Vector(5, 0, 0, 0), 5.0f, -1);
    const float step = 5.0f / 63.0f;
    const struct
    {
        const char* length;
        uint32_t entry;
        float expected;
    } cases[] = {
        {"5", 12, 12 * step}, {"5", 63, 5.0f},                 // no wrap over the five seconds
        {"0.5", 6, 6 * step}, {"0.5", 7, 7 * step - 0.5f},     // the first wrap
        {"0.5", 13, 13 * step - 1.0f},                     // after two wraps
        {"0.01", 40, std::fmod(40 * step, 0.01f)},             // shorter than one step still repeats
    };
    for (const auto& c : cases)
    {
        Set("RGB shift scale curve length (max=5)", c.length);
        const auto set = Filled();
        EXPECT_NEAR(set->GetShading().rgbShift[c.entry], c.expected, 2e-3f) << c.length << " entry " << c.entry;
    }
}

TEST_F(SceneParametersWrapperTest, SkyValuesAndMatricesComeFromTheTemplate)
{
    Set("Cloud color", "255 255 255 255 1");
    Set("Layer cloud color", "255 255 255 255 1");
    Set("Cloud projection scale", "0");
    Set("Cloud projection yaw", "90");
    Set("Cloud projection pitch", "0");
    Set("Layer projection scale", "4");
    Set("Layer projection rotation", "90");
    Set("Cloud drift", "1 2 0 0");
    const auto set = Filled();
    const SceneSkyParameters& sky = set->GetSky();
    // No textures: no cloud colours, whatever the template says.
    ExpectVector(sky.cloudColor, 0, 0, 0, 0, "cloud colour");
    ExpectVector(sky.layerColor, 0, 0, 0, 0, "layer colour");
    ExpectVector(sky.cloudDrift, 1, 2, 0, 0, "drift");
    Matrix yaw;
    yaw.LoadYRotation(-90.0f);
    ExpectMatrix(sky.cloudProjection, yaw);
    Matrix scale, rotation, layer;
    scale.LoadUniformScale(0.25f);
    rotation.LoadZRotation(90.0f);
    layer.Mul(rotation, scale);
    ExpectMatrix(sky.layerProjection, layer);
    EXPECT_EQ(set->GetSwitches().affectsSun, 0);
}

namespace
{
// Every blended float of the shading group, and the ones taken from the target unchanged.
struct ShadingFloat
{
    float SceneShadingParameters::*member;
    bool blended;
};
const ShadingFloat kShadingFloats[] = {
    {&SceneShadingParameters::exposition, true},
    {&SceneShadingParameters::fogStart, true},
    {&SceneShadingParameters::fogEnd, true},
    {&SceneShadingParameters::glowThreshold, true},
    {&SceneShadingParameters::glowSoftness, true},
    {&SceneShadingParameters::vignetteStart, true},
    {&SceneShadingParameters::vignetteEnd, true},
    {&SceneShadingParameters::vignetteAspect, true},
    {&SceneShadingParameters::localContrast, true},
    {&SceneShadingParameters::localContrastVariation, true},
    {&SceneShadingParameters::contrast, true},
    {&SceneShadingParameters::saturation, true},
    {&SceneShadingParameters::lowSpecContrast, true},
    {&SceneShadingParameters::lowSpecSaturation, true},
    {&SceneShadingParameters::iPad2SquareContrast, true},
    {&SceneShadingParameters::iPad2Brightness, true},
    {&SceneShadingParameters::fakeDiffuseNormalScale, true},
    {&SceneShadingParameters::zoomBlurStrength, true},
    {&SceneShadingParameters::zoomBlurSourceRatio, true},
    {&SceneShadingParameters::zoomBlurBlurredRatio, true},
    {&SceneShadingParameters::sharpenStrength, true},
    {&SceneShadingParameters::battleModeDesaturation, true},
    {&SceneShadingParameters::fxaaSubpix, false},
    {&SceneShadingParameters::fxaaEdgeThreshold, false},
    {&SceneShadingParameters::fxaaEdgeThresholdMin, false},
    {&SceneShadingParameters::fxaaConsoleSubpix, false},
    {&SceneShadingParameters::fxaaConsoleEdgeThreshold, false},
    {&SceneShadingParameters::fxaaConsoleEdgeThresholdMin, false},
    {&SceneShadingParameters::ssaoIntensity, false},
    {&SceneShadingParameters::ssaoRadius, false},
    {&SceneShadingParameters::ssaoDecreaseWithLighting, false},
    {&SceneShadingParameters::screenCurveAmplitude, false},
    {&SceneShadingParameters::screenCurveCurvature, false},
    {&SceneShadingParameters::screenCurveCoverage, false},
};
struct ShadingVector
{
    Vector SceneShadingParameters::*member;
    bool blended;
};
const ShadingVector kShadingVectors[] = {
    {&SceneShadingParameters::fogColor, true},
    {&SceneShadingParameters::glowColor, true},
    {&SceneShadingParameters::nonGlowColor, true},
    {&SceneShadingParameters::topColor, true},
    {&SceneShadingParameters::bottomColor, true},
    {&SceneShadingParameters::lightProbeMultiplier, true},
    {&SceneShadingParameters::diffuseColorMultiplier, true},
    {&SceneShadingParameters::noBlurColorCorrection, true},
    {&SceneShadingParameters::lowSpecColorCorrection, true},
    {&SceneShadingParameters::sfxColorMultiplier, true},
    {&SceneShadingParameters::diffuseColorMultiplierLinear, true},
    {&SceneShadingParameters::ssaoColor, false},
};
float SceneSunParameters::*const kSunFloats[] = {
    &SceneSunParameters::lightYaw,   &SceneSunParameters::lightPitch,     &SceneSunParameters::specularYaw,
    &SceneSunParameters::specularPitch, &SceneSunParameters::wrapAround, &SceneSunParameters::shadowStrength,
    &SceneSunParameters::fakeShadowStrength,
};
Vector SceneSunParameters::*const kSunVectors[] = {
    &SceneSunParameters::sunColor,       &SceneSunParameters::secondaryColor,      &SceneSunParameters::sideColor,
    &SceneSunParameters::specularColor,  &SceneSunParameters::sunColorLinear,      &SceneSunParameters::secondaryColorLinear,
    &SceneSunParameters::sideColorLinear,
};
float SceneSkyParameters::*const kSkyFloats[] = {
    &SceneSkyParameters::cloudYaw,   &SceneSkyParameters::cloudPitch,    &SceneSkyParameters::cloudScale,
    &SceneSkyParameters::cloudRotation, &SceneSkyParameters::layerHeight, &SceneSkyParameters::layerRotation,
    &SceneSkyParameters::layerScale,
};
Vector SceneSkyParameters::*const kSkyVectors[] = {
    &SceneSkyParameters::cloudColor, &SceneSkyParameters::layerColor, &SceneSkyParameters::cloudDrift,
    &SceneSkyParameters::layerDrift,
};

// Distinct values in both sets, both with a zoom blur so its ratios blend.
void FillDistinct(SceneParametersWrapper& set, float base)
{
    set.SetDefaults();
    float v = base;
    auto next = [&v]() {
        v += 1.0f;
        return Vector(v, v + 0.25f, v + 0.5f, v + 0.75f);
    };
    for (const ShadingFloat& f : kShadingFloats)
        set.GetShading().*f.member = v += 1.0f;
    for (const ShadingVector& f : kShadingVectors)
        set.GetShading().*f.member = next();
    for (auto member : kSunFloats)
        set.GetSun().*member = v += 1.0f;
    for (auto member : kSunVectors)
        set.GetSun().*member = next();
    for (auto member : kSkyFloats)
        set.GetSky().*member = v += 1.0f;
    for (auto member : kSkyVectors)
        set.GetSky().*member = next();
    SceneShadingParameters& s = set.GetShading();
    for (uint32_t i = 0; i < SceneShadingParameters::kToneMappingEntries; ++i)
        s.toneMapping[i] = Vector(v + i, 0, 0, 0);
    for (uint32_t i = 0; i < SceneShadingParameters::kColorLookupEntries; ++i)
        s.colorLookup[i] = Vector(0, v + i, 0, 0);
    for (uint32_t i = 0; i < SceneShadingParameters::kRGBShiftEntries; ++i)
        s.rgbShift[i] = v + i;
    for (int i = 0; i < 4; ++i)
    {
        s.excludeFalloff[i] = v + 10.0f * i;
        s.customParams[i] = Vector(v - i, 0, 0, 0);
    }
    s.excludeColor[0] = Vector(v, v, v, v);
    s.excludeColor[1] = Vector(-v, v, v, v);
    s.srgb = base > 0.0f ? 0 : 1;
    s.fxaaEnabled = s.ssaoUseNormalMaps = base > 0.0f ? 1 : 0;
}
} // namespace

TEST_F(SceneParametersWrapperTest, LerpBlendsEveryBlendedFieldAndTakesTheRestFromTheTarget)
{
    SceneParametersWrapper from, to, out;
    FillDistinct(from, 0.0f);
    FillDistinct(to, 1000.0f);
    for (const float t : {0.0f, 0.25f, 1.0f})
    {
        out.Lerp(from, to, t);
        auto mix = [t](float a, float b) { return a * (1.0f - t) + b * t; };
        const SceneShadingParameters& f = from.GetShading();
        const SceneShadingParameters& o = to.GetShading();
        const SceneShadingParameters& s = out.GetShading();
        for (size_t i = 0; i < std::size(kShadingFloats); ++i)
        {
            const ShadingFloat& field = kShadingFloats[i];
            const float expected = field.blended ? mix(f.*field.member, o.*field.member) : o.*field.member;
            EXPECT_FLOAT_EQ(s.*field.member, expected) << "shading float " << i << " at " << t;
        }
        for (size_t i = 0; i < std::size(kShadingVectors); ++i)
        {
            const ShadingVector& field = kShadingVectors[i];
            const Vector& a = f.*field.member;
            const Vector& b = o.*field.member;
            const Vector& r = s.*field.member;
            EXPECT_FLOAT_EQ(r.y, field.blended ? mix(a.y, b.y) : b.y) << "shading vector " << i << " at " << t;
            EXPECT_FLOAT_EQ(r.w, field.blended ? mix(a.w, b.w) : b.w) << "shading vector " << i << " at " << t;
        }
        for (size_t i = 0; i < std::size(kSunFloats); ++i)
            EXPECT_FLOAT_EQ(out.GetSun().*kSunFloats[i], mix(from.GetSun().*kSunFloats[i], to.GetSun().*kSunFloats[i]))
                << "sun float " << i;
        for (size_t i = 0; i < std::size(kSunVectors); ++i)
            EXPECT_FLOAT_EQ((out.GetSun().*kSunVectors[i]).z,
                            mix((from.GetSun().*kSunVectors[i]).z, (to.GetSun().*kSunVectors[i]).z))
                << "sun vector " << i;
        for (size_t i = 0; i < std::size(kSkyFloats); ++i)
            EXPECT_FLOAT_EQ(out.GetSky().*kSkyFloats[i], mix(from.GetSky().*kSkyFloats[i], to.GetSky().*kSkyFloats[i]))
                << "sky float " << i;
        for (size_t i = 0; i < std::size(kSkyVectors); ++i)
            EXPECT_FLOAT_EQ((out.GetSky().*kSkyVectors[i]).x,
                            mix((from.GetSky().*kSkyVectors[i]).x, (to.GetSky().*kSkyVectors[i]).x))
                << "sky vector " << i;
        for (uint32_t i : {0u, 1023u})
            EXPECT_FLOAT_EQ(s.toneMapping[i].x, mix(f.toneMapping[i].x, o.toneMapping[i].x)) << "tone " << i;
        for (uint32_t i : {0u, 63u})
        {
            EXPECT_FLOAT_EQ(s.colorLookup[i].y, mix(f.colorLookup[i].y, o.colorLookup[i].y)) << "lookup " << i;
            EXPECT_FLOAT_EQ(s.rgbShift[i], mix(f.rgbShift[i], o.rgbShift[i])) << "shift " << i;
        }
        for (int i = 0; i < 4; ++i)
        {
            EXPECT_FLOAT_EQ(s.excludeFalloff[i], mix(f.excludeFalloff[i], o.excludeFalloff[i])) << "falloff " << i;
            EXPECT_FLOAT_EQ(s.customParams[i].x, mix(f.customParams[i].x, o.customParams[i].x)) << "param " << i;
        }
        EXPECT_FLOAT_EQ(s.excludeColor[1].x, mix(f.excludeColor[1].x, o.excludeColor[1].x));
        EXPECT_EQ(s.srgb, o.srgb);
        EXPECT_EQ(s.fxaaEnabled, o.fxaaEnabled);
        EXPECT_EQ(s.ssaoUseNormalMaps, o.ssaoUseNormalMaps);
    }
}

TEST_F(SceneParametersWrapperTest, LerpRebuildsDirectionsAndMatricesFromTheBlendedAngles)
{
    SceneParametersWrapper from, to, out, expected;
    from.SetDefaults();
    to.SetDefaults();
    to.GetSun().lightYaw = 90.0f;
    to.GetSun().specularPitch = 90.0f;
    to.GetSky().cloudScale = 15.0f;
    to.GetSky().layerScale = 4.0f;
    out.Lerp(from, to, 0.5f);
    expected.SetDefaults();
    expected.GetSun().lightYaw = 45.0f;
    expected.GetSun().specularPitch = 45.0f;
    expected.GetSky().cloudScale = 10.0f;
    expected.GetSky().layerScale = 2.0f;
    expected.UpdateLightDirections();
    expected.UpdateSkyMatrices();
    const Vector& d = expected.GetSun().lightDirection;
    ExpectVector(out.GetSun().lightDirection, d.x, d.y, d.z, 0.0f, "light direction");
    const Vector& sd = expected.GetSun().specularDirection;
    ExpectVector(out.GetSun().specularDirection, sd.x, sd.y, sd.z, 0.0f, "specular direction");
    ExpectMatrix(out.GetSky().cloudProjection, expected.GetSky().cloudProjection);
    ExpectMatrix(out.GetSky().layerProjection, expected.GetSky().layerProjection);

    // Blending into one of its own inputs gives the same result.
    from.Lerp(from, to, 0.5f);
    EXPECT_FLOAT_EQ(from.GetSun().lightYaw, 45.0f);
    ExpectMatrix(from.GetSky().cloudProjection, expected.GetSky().cloudProjection);
}

TEST_F(SceneParametersWrapperTest, ZoomBlurRatiosFollowWhichSetBlurs)
{
    const struct
    {
        float fromStrength, toStrength, t, source, blurred;
    } cases[] = {
        // Both blur: both ratios blend (from 0.2/0.6 to 0.4/0.2).
        {1.0f, 2.0f, 0.5f, 0.3f, 0.4f},
        // Only the old set blurs: towards 1 and 0.
        {1.0f, 0.0f, 0.5f, 0.6f, 0.3f},
        {1.0f, -1.0f, 1.0f, 1.0f, 0.0f},
        // The old set does not blur: the new ratios from the first frame.
        {0.0f, 2.0f, 0.0f, 0.4f, 0.2f},
    };
    for (const auto& c : cases)
    {
        SceneParametersWrapper from, to, out;
        from.SetDefaults();
        to.SetDefaults();
        from.GetShading().zoomBlurStrength = c.fromStrength;
        from.GetShading().zoomBlurSourceRatio = 0.2f;
        from.GetShading().zoomBlurBlurredRatio = 0.6f;
        to.GetShading().zoomBlurStrength = c.toStrength;
        to.GetShading().zoomBlurSourceRatio = 0.4f;
        to.GetShading().zoomBlurBlurredRatio = 0.2f;
        out.Lerp(from, to, c.t);
        EXPECT_FLOAT_EQ(out.GetShading().zoomBlurSourceRatio, c.source) << c.fromStrength << " " << c.toStrength;
        EXPECT_FLOAT_EQ(out.GetShading().zoomBlurBlurredRatio, c.blurred) << c.fromStrength << " " << c.toStrength;
    }
}

TEST_F(SceneParametersWrapperTest, TextureHandlesHoldOneReferenceEach)
{
    TextureHolder* const a = new TextureHolder;
    TextureHolder* const b = new TextureHolder;
    {
        SceneParametersWrapper set;
        set.SetCloudTexture(a);
        set.SetLayerTexture(a);
        set.SetEnvironmentMap(b);
        EXPECT_EQ(a->GetReferenceCount(), 3u);
        EXPECT_EQ(b->GetReferenceCount(), 2u);
        set.SetLayerTexture(b);
        set.SetEnvironmentMap(b);
        EXPECT_EQ(a->GetReferenceCount(), 2u);
        EXPECT_EQ(b->GetReferenceCount(), 3u);
        EXPECT_EQ(set.GetCloudTexture(), a);
        EXPECT_EQ(set.GetLayerTexture(), b);
        set.SetCloudTexture(nullptr);
        EXPECT_EQ(set.GetCloudTexture(), nullptr);
        EXPECT_EQ(a->GetReferenceCount(), 1u);
    }
    EXPECT_EQ(b->GetReferenceCount(), 1u) << "the set's references go with it";
    delete a;
    delete b;
}
