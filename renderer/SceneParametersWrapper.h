// SceneParametersWrapper: the render-side copy of one scene-parameter set, filled once from its
// SceneParametersTemplate (any thread that rebuilds the template, before the wrapper is marked ready
// and handed to the render side) and read-only afterwards. The scene environment copies the set it
// blends to, so a wrapper may die after the commands that name it ran.
#pragma once

#include "core/math/Vector.h"
#include "effects/TEnvelope.h"
#include "renderer/NorvexRendererObject.h"

#include <cstdint>

class TextureHolder;

// The values of one scene-parameter set as the renderer uses them; colours as vectors.
struct SceneParametersData
{
    // The "Affects" switches: sun, cloud texture and colour, cloud projection, layer texture,
    // layer projection, environment map.
    bool affectsSun = false;
    bool affectsCloudLook = false;
    bool affectsCloudProjection = false;
    bool affectsLayerTexture = false;
    bool affectsLayerProjection = false;
    bool affectsEnvironmentMap = false;

    float lightYaw = 0.0f, lightPitch = 45.0f; // degrees
    Vector sunColor = Vector(1.0f, 1.0f, 1.0f, 1.0f), secondaryColor, sideColor;
    uint32_t twoSidedMode = 0;
    float wrapAround = 0.0f, shadowStrength = 0.5f, fakeShadowStrength = 0.8f;
    bool separateSpecular = false;
    float specularYaw = 0.0f, specularPitch = 45.0f, specularMultiplier = 1.0f;
    Vector specularColor;

    TextureHolder* cloudTexture = nullptr;
    Vector cloudColor;
    float cloudYaw = 0.0f, cloudPitch = 60.0f, cloudScale = 10.0f, cloudRotation = 0.0f;
    Vector cloudDrift;
    TextureHolder* layerTexture = nullptr;
    Vector layerColor;
    float layerHeight = 50.0f, layerScale = 10.0f, layerRotation = 0.0f;
    Vector layerDrift;
    TextureHolder* environmentMap = nullptr;

    Vector fogColor;
    float fogStart = 700.0f, fogEnd = 1500.0f;
    float glowThreshold = 0.8f, glowSoftness = 2.0f;
    Vector glowColor, nonGlowColor;
    TEnvelope<Vector> toneMappingCurve;
    float exposition = 1.0f;
    bool srgb = true;
    Vector lowSpecColorCorrection;
    TEnvelope<HDRColor> colorLookupCurve;
    Vector excludeColor[2];
    float excludeFalloff[4] = {};
    Vector topColor, bottomColor;
    float vignetteStart = 0.0f, vignetteEnd = 0.1f, vignetteAspect = 0.8f;
    float localContrast = 1.0f, localContrastVariation = 0.9f, contrast = 1.0f, saturation = 1.0f;
    float lowSpecContrast = 1.0f, lowSpecSaturation = 1.0f;
    float zoomBlurStrength = 0.0f, zoomBlurSourceRatio = 0.0f, zoomBlurBlurredRatio = 1.0f;
    float macZoomBlurSourceMultiplier = 1.5f, macZoomBlurBlurredMultiplier = 0.8f;
    Vector noBlurColorCorrection;
    float sharpenStrength = 0.0f;
    float screenCurveAmplitude = 1.0f, screenCurveCurvature = 1.0f, screenCurveCoverage = 0.0f;
    TEnvelope<Vector> rgbShiftCurve;
    float rgbShiftCurveLength = 1.0f;
    bool fxaaEnabled = false;
    float fxaaSubpix = 0.75f, fxaaEdgeThreshold = 0.125f, fxaaEdgeThresholdMin = 0.0625f;
    float fxaaConsoleSubpix = 0.5f, fxaaConsoleEdgeThreshold = 0.125f, fxaaConsoleEdgeThresholdMin = 0.05f;
    float ssaoIntensity = 0.0f, ssaoRadius = 15.0f, ssaoDecreaseWithLighting = 0.0f;
    bool ssaoUseNormalMaps = true;
    Vector ssaoColor;
    float battleModeDesaturation = 0.0f;
    Vector diffuseColorMultiplier, sfxColorMultiplier;
    float iPad2SquareContrast = 0.0f, iPad2Brightness = 1.0f, fakeDiffuseNormalScale = 0.5f;
    Vector lightProbeMultiplier;
    Vector customParams[4];
};

// A render-side scene-parameter set.
class SceneParametersWrapper : public NorvexRendererObject
{
public:
    SceneParametersWrapper() = default;

    // Filled before SetReady; read-only once the wrapper is handed over.
    SceneParametersData& GetDataForFill() { return m_data; }
    const SceneParametersData& GetData() const { return m_data; }

private:
    SceneParametersData m_data;
};
