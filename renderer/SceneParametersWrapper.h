// SceneParametersWrapper: one render-side scene parameter set, the values of a
// SceneParametersTemplate already turned into what the shaders take (colour vectors, the tone,
// colour lookup and RGB shift tables, light directions, cloud and layer projection matrices).
// A template fills its set on the thread that loads or edits it, before the set is marked ready
// and handed to the render side; the scene environment makes and blends its own sets on the render
// thread; every renderer part reads the set in force through the scene environment and never
// writes it. The set is one flat object with fixed tables, so a blend is a single pass of
// multiply-adds without allocation.
#pragma once

#include "core/math/Matrix.h"
#include "core/math/Vector.h"
#include "renderer/NorvexRendererObject.h"

#include <cstdint>

class SceneParametersTemplate;
class TextureHolder;

// The sun: colours, angles (degrees) and the directions derived from them.
struct SceneSunParameters
{
    Vector sunColor;
    Vector secondaryColor;
    Vector sideColor;
    Vector specularColor;
    float lightYaw = 0.0f;
    float lightPitch = 0.0f;
    float specularYaw = 0.0f;
    float specularPitch = 0.0f;
    float wrapAround = 0.0f;
    float shadowStrength = 0.0f;
    float fakeShadowStrength = 0.0f;
    Vector sunColorLinear;
    Vector secondaryColorLinear;
    Vector sideColorLinear;
    // (0, 0, 1, 0) turned by the pitch about X, then by the yaw about Y: where the light travels.
    Vector lightDirection;
    Vector specularDirection;
};

// Fog, glow, tone mapping, colour grading and the post-processing values.
struct SceneShadingParameters
{
    static constexpr uint32_t kToneMappingEntries = 1024; // inputs 0 to 4
    static constexpr uint32_t kColorLookupEntries = 64;   // inputs 0 to 1
    static constexpr uint32_t kRGBShiftEntries = 64;      // times 0 to 5 s

    Vector toneMapping[kToneMappingEntries];
    float exposition = 0.0f;
    Vector colorLookup[kColorLookupEntries];
    Vector excludeColor[2];
    // Colour 0 start and end, then colour 1 start and end.
    float excludeFalloff[4] = {};
    Vector fogColor;
    float fogStart = 0.0f;
    float fogEnd = 0.0f;
    float glowThreshold = 0.0f;
    float glowSoftness = 0.0f;
    Vector glowColor;
    Vector nonGlowColor;
    float vignetteStart = 0.0f;
    float vignetteEnd = 0.0f;
    float vignetteAspect = 0.0f;
    Vector topColor;
    Vector bottomColor;
    Vector lightProbeMultiplier;
    float localContrast = 0.0f;
    float localContrastVariation = 0.0f;
    float contrast = 0.0f;
    float saturation = 0.0f;
    float lowSpecContrast = 0.0f;
    float lowSpecSaturation = 0.0f;
    float iPad2SquareContrast = 0.0f;
    float iPad2Brightness = 0.0f;
    float fakeDiffuseNormalScale = 0.0f;
    float zoomBlurStrength = 0.0f;
    float zoomBlurSourceRatio = 0.0f;
    float zoomBlurBlurredRatio = 0.0f;
    float sharpenStrength = 0.0f;
    float battleModeDesaturation = 0.0f;
    uint8_t srgb = 0;
    Vector diffuseColorMultiplier;
    Vector noBlurColorCorrection;
    Vector lowSpecColorCorrection;
    Vector sfxColorMultiplier;
    Vector customParams[4];
    uint8_t fxaaEnabled = 0;
    float fxaaSubpix = 0.0f;
    float fxaaEdgeThreshold = 0.0f;
    float fxaaEdgeThresholdMin = 0.0f;
    float fxaaConsoleSubpix = 0.0f;
    float fxaaConsoleEdgeThreshold = 0.0f;
    float fxaaConsoleEdgeThresholdMin = 0.0f;
    float ssaoIntensity = 0.0f;
    float ssaoRadius = 0.0f;
    uint8_t ssaoUseNormalMaps = 0;
    float ssaoDecreaseWithLighting = 0.0f;
    Vector ssaoColor;
    float rgbShift[kRGBShiftEntries] = {};
    float screenCurveAmplitude = 0.0f;
    float screenCurveCurvature = 0.0f;
    float screenCurveCoverage = 0.0f;
    Vector diffuseColorMultiplierLinear;
};

// Sky clouds and the cloud layer: colours, texture-space drifts per second, projection values
// (degrees) and the projection matrices built from them.
struct SceneSkyParameters
{
    Vector cloudColor;
    Vector layerColor;
    Vector cloudDrift;
    float cloudYaw = 0.0f;
    float cloudPitch = 0.0f;
    float cloudScale = 0.0f;
    float cloudRotation = 0.0f;
    Matrix cloudProjection = Matrix::ONE;
    Vector layerDrift;
    float layerHeight = 0.0f;
    float layerRotation = 0.0f;
    float layerScale = 0.0f;
    Matrix layerProjection = Matrix::ONE;
};

// Which groups a set changes when the scene environment blends to it.
struct SceneParameterSwitches
{
    uint8_t affectsSun = 0;
    uint8_t affectsCloudLook = 0; // cloud texture and colour
    uint8_t affectsCloudProjection = 0;
    uint8_t affectsLayerTexture = 0;
    uint8_t affectsLayerProjection = 0;
    uint8_t affectsEnvironmentMap = 0;
};

// A render-side scene parameter set.
class SceneParametersWrapper : public NorvexRendererObject
{
public:
    SceneParametersWrapper() = default;
    // Releases the three texture handles (render thread, or any thread while no renderer runs).
    ~SceneParametersWrapper() override;
    SceneParametersWrapper(const SceneParametersWrapper&) = delete;
    SceneParametersWrapper& operator=(const SceneParametersWrapper&) = delete;

    // Fills every value from the template; the set takes one reference on each of the template's
    // loaded textures at once (the template's own reference keeps them alive meanwhile), releasing
    // any it held.
    void SetFromTemplate(const SceneParametersTemplate& parameters);
    void SetDefaults();
    // This set = the blend of two sets by t (0 gives `from`, 1 gives `to`); switches and textures
    // stay as they are. Either set may be this one.
    void Lerp(const SceneParametersWrapper& from, const SceneParametersWrapper& to, float t);
    void UpdateLightDirections();
    // The projection matrices from the sky's projection values.
    void UpdateSkyMatrices();

    // Render thread: each releases the old handle and keeps one reference of its own on the new.
    void SetCloudTexture(TextureHolder* handle);
    void SetLayerTexture(TextureHolder* handle);
    void SetEnvironmentMap(TextureHolder* handle);
    // The cloud texture is the set's first handle.
    TextureHolder* GetCloudTexture() const { return m_cloudTexture; }
    TextureHolder* GetLayerTexture() const { return m_layerTexture; }
    TextureHolder* GetEnvironmentMap() const { return m_environmentMap; }

    // The groups; the scene environment copies them whole (sun, shading) or item by item (sky).
    SceneSunParameters& GetSun() { return m_sun; }
    const SceneSunParameters& GetSun() const { return m_sun; }
    SceneShadingParameters& GetShading() { return m_shading; }
    const SceneShadingParameters& GetShading() const { return m_shading; }
    SceneSkyParameters& GetSky() { return m_sky; }
    const SceneSkyParameters& GetSky() const { return m_sky; }
    const SceneParameterSwitches& GetSwitches() const { return m_switches; }

private:
    SceneSunParameters m_sun;
    SceneShadingParameters m_shading;
    SceneSkyParameters m_sky;
    SceneParameterSwitches m_switches;
    TextureHolder* m_cloudTexture = nullptr;
    TextureHolder* m_layerTexture = nullptr;
    TextureHolder* m_environmentMap = nullptr;
};
