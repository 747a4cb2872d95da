#include "renderer/SceneParametersWrapper.h"

#include "renderer/RendererObjectHandle.h"

#include <cmath>

namespace
{
float Mix(float from, float to, float t)
{
    return from * (1.0f - t) + to * t;
}

Vector Mix(const Vector& from, const Vector& to, float t)
{
    Vector out;
    out.SetSimd(_mm_add_ps(_mm_mul_ps(from.Simd(), _mm_set1_ps(1.0f - t)), _mm_mul_ps(to.Simd(), _mm_set1_ps(t))));
    return out;
}

// (0, 0, 1, 0) turned about X by the pitch, then about Y by the yaw.
Vector DirectionOf(float yawDegrees, float pitchDegrees)
{
    Matrix rotation;
    Vector direction(0.0f, 0.0f, 1.0f, 0.0f);
    rotation.LoadXRotation(pitchDegrees);
    direction.Transform(rotation);
    rotation.LoadYRotation(yawDegrees);
    direction.Transform(rotation);
    return direction;
}

// 1 / scale; a zero (or vanishing) scale leaves the projection unscaled instead of infinite.
float InverseScale(float scale)
{
    const float inverse = 1.0f / scale;
    return std::isfinite(inverse) ? inverse : 1.0f;
}

// m := m × next (m applied first).
void Then(Matrix& m, const Matrix& next)
{
    m.Mul(next, m);
}
} // namespace

SceneParametersWrapper::~SceneParametersWrapper()
{
    RendererObjectHandle::Release(m_cloudTexture);
    RendererObjectHandle::Release(m_layerTexture);
    RendererObjectHandle::Release(m_environmentMap);
}

void SceneParametersWrapper::SetCloudTexture(TextureHolder* handle)
{
    RendererObjectHandle::Replace(m_cloudTexture, handle);
}

void SceneParametersWrapper::SetLayerTexture(TextureHolder* handle)
{
    RendererObjectHandle::Replace(m_layerTexture, handle);
}

void SceneParametersWrapper::SetEnvironmentMap(TextureHolder* handle)
{
    RendererObjectHandle::Replace(m_environmentMap, handle);
}

void SceneParametersWrapper::UpdateLightDirections()
{
    m_sun.lightDirection = DirectionOf(m_sun.lightYaw, m_sun.lightPitch);
    m_sun.specularDirection = DirectionOf(m_sun.specularYaw, m_sun.specularPitch);
}

void SceneParametersWrapper::UpdateSkyMatrices()
{
    SceneSkyParameters& sky = m_sky;
    Matrix rotation;
    sky.cloudProjection.LoadUniformScale(InverseScale(sky.cloudScale));
    rotation.LoadZRotation(sky.cloudRotation);
    Then(sky.cloudProjection, rotation);
    rotation.LoadXRotation(-sky.cloudPitch);
    Then(sky.cloudProjection, rotation);
    rotation.LoadYRotation(-sky.cloudYaw);
    Then(sky.cloudProjection, rotation);

    sky.layerProjection.LoadUniformScale(InverseScale(sky.layerScale));
    rotation.LoadZRotation(sky.layerRotation);
    Then(sky.layerProjection, rotation);
}

void SceneParametersWrapper::SetDefaults()
{
    const Vector one(1.0f, 1.0f, 1.0f, 1.0f);
    m_sun = SceneSunParameters();
    m_sun.sunColor = one;
    m_sun.sunColorLinear = one;
    m_sun.lightPitch = 45.0f;
    UpdateLightDirections();

    SceneShadingParameters& s = m_shading;
    for (uint32_t i = 0; i < SceneShadingParameters::kToneMappingEntries; ++i)
    {
        const float v = 4.0f * float(i) / float(SceneShadingParameters::kToneMappingEntries - 1);
        s.toneMapping[i] = Vector(v, v, v, 0.0f);
    }
    s.exposition = 1.0f;
    for (uint32_t i = 0; i < SceneShadingParameters::kColorLookupEntries; ++i)
    {
        const float v = float(i) / float(SceneShadingParameters::kColorLookupEntries - 1);
        s.colorLookup[i] = Vector(v, v, v, 0.0f);
    }
    s.excludeColor[0] = s.excludeColor[1] = Vector();
    for (float& falloff : s.excludeFalloff)
        falloff = 0.0f;
    s.fogColor = one;
    s.fogStart = 0.0f;
    s.fogEnd = 0.0f;
    s.glowThreshold = 0.8f;
    s.glowSoftness = 2.0f;
    s.glowColor = s.nonGlowColor = one;
    s.vignetteStart = 0.0f;
    s.vignetteEnd = 0.1f;
    s.vignetteAspect = 0.8f;
    s.topColor = s.bottomColor = Vector();
    s.lightProbeMultiplier = one;
    s.localContrast = 1.0f;
    s.localContrastVariation = 0.9f;
    s.contrast = s.saturation = s.lowSpecContrast = s.lowSpecSaturation = 1.0f;
    s.iPad2SquareContrast = 0.0f;
    s.iPad2Brightness = 1.0f;
    s.fakeDiffuseNormalScale = 0.5f;
    s.zoomBlurStrength = 0.0f;
    s.zoomBlurSourceRatio = 0.0f;
    s.zoomBlurBlurredRatio = 1.0f;
    s.sharpenStrength = 0.0f;
    s.battleModeDesaturation = 0.0f;
    s.srgb = 1;
    s.diffuseColorMultiplier = s.noBlurColorCorrection = s.lowSpecColorCorrection = s.sfxColorMultiplier = one;
    for (Vector& param : s.customParams)
        param = Vector();
    s.fxaaEnabled = 0;
    s.fxaaSubpix = 0.75f;
    s.fxaaEdgeThreshold = 0.125f;
    s.fxaaEdgeThresholdMin = 0.0625f;
    s.fxaaConsoleSubpix = 0.5f;
    s.fxaaConsoleEdgeThreshold = 0.125f;
    s.fxaaConsoleEdgeThresholdMin = 0.05f;
    s.ssaoIntensity = 0.0f;
    s.ssaoRadius = 15.0f;
    s.ssaoUseNormalMaps = 0;
    s.ssaoDecreaseWithLighting = 0.0f;
    s.ssaoColor = Vector();
    for (float& shift : s.rgbShift)
        shift = 0.0f;
    s.screenCurveAmplitude = 1.0f;
    s.screenCurveCurvature = 1.0f;
    s.screenCurveCoverage = 0.0f;
    s.diffuseColorMultiplierLinear = one;

    m_sky = SceneSkyParameters();
    m_sky.cloudPitch = 60.0f;
    m_sky.cloudScale = 5.0f;
    UpdateSkyMatrices();
}

void SceneParametersWrapper::Lerp(const SceneParametersWrapper& from, const SceneParametersWrapper& to, float t)
{
    const SceneSunParameters& fs = from.m_sun;
    const SceneSunParameters& ts = to.m_sun;
    SceneSunParameters& sun = m_sun;
    sun.sunColor = Mix(fs.sunColor, ts.sunColor, t);
    sun.secondaryColor = Mix(fs.secondaryColor, ts.secondaryColor, t);
    sun.sideColor = Mix(fs.sideColor, ts.sideColor, t);
    sun.specularColor = Mix(fs.specularColor, ts.specularColor, t);
    sun.lightYaw = Mix(fs.lightYaw, ts.lightYaw, t);
    sun.lightPitch = Mix(fs.lightPitch, ts.lightPitch, t);
    sun.specularYaw = Mix(fs.specularYaw, ts.specularYaw, t);
    sun.specularPitch = Mix(fs.specularPitch, ts.specularPitch, t);
    sun.wrapAround = Mix(fs.wrapAround, ts.wrapAround, t);
    sun.shadowStrength = Mix(fs.shadowStrength, ts.shadowStrength, t);
    sun.fakeShadowStrength = Mix(fs.fakeShadowStrength, ts.fakeShadowStrength, t);
    sun.sunColorLinear = Mix(fs.sunColorLinear, ts.sunColorLinear, t);
    sun.secondaryColorLinear = Mix(fs.secondaryColorLinear, ts.secondaryColorLinear, t);
    sun.sideColorLinear = Mix(fs.sideColorLinear, ts.sideColorLinear, t);
    UpdateLightDirections();

    const SceneShadingParameters& f = from.m_shading;
    const SceneShadingParameters& o = to.m_shading;
    SceneShadingParameters& s = m_shading;
    // Read before anything is written: this set may be `from`.
    const float fromZoom = f.zoomBlurStrength, toZoom = o.zoomBlurStrength;
    const float fromSource = f.zoomBlurSourceRatio, fromBlurred = f.zoomBlurBlurredRatio;
    for (uint32_t i = 0; i < SceneShadingParameters::kToneMappingEntries; ++i)
        s.toneMapping[i] = Mix(f.toneMapping[i], o.toneMapping[i], t);
    for (uint32_t i = 0; i < SceneShadingParameters::kColorLookupEntries; ++i)
        s.colorLookup[i] = Mix(f.colorLookup[i], o.colorLookup[i], t);
    for (uint32_t i = 0; i < SceneShadingParameters::kRGBShiftEntries; ++i)
        s.rgbShift[i] = Mix(f.rgbShift[i], o.rgbShift[i], t);
    s.exposition = Mix(f.exposition, o.exposition, t);
    for (int i = 0; i < 2; ++i)
        s.excludeColor[i] = Mix(f.excludeColor[i], o.excludeColor[i], t);
    for (int i = 0; i < 4; ++i)
        s.excludeFalloff[i] = Mix(f.excludeFalloff[i], o.excludeFalloff[i], t);
    s.fogColor = Mix(f.fogColor, o.fogColor, t);
    s.fogStart = Mix(f.fogStart, o.fogStart, t);
    s.fogEnd = Mix(f.fogEnd, o.fogEnd, t);
    s.glowThreshold = Mix(f.glowThreshold, o.glowThreshold, t);
    s.glowSoftness = Mix(f.glowSoftness, o.glowSoftness, t);
    s.glowColor = Mix(f.glowColor, o.glowColor, t);
    s.nonGlowColor = Mix(f.nonGlowColor, o.nonGlowColor, t);
    s.vignetteStart = Mix(f.vignetteStart, o.vignetteStart, t);
    s.vignetteEnd = Mix(f.vignetteEnd, o.vignetteEnd, t);
    s.vignetteAspect = Mix(f.vignetteAspect, o.vignetteAspect, t);
    s.topColor = Mix(f.topColor, o.topColor, t);
    s.bottomColor = Mix(f.bottomColor, o.bottomColor, t);
    s.lightProbeMultiplier = Mix(f.lightProbeMultiplier, o.lightProbeMultiplier, t);
    s.localContrast = Mix(f.localContrast, o.localContrast, t);
    s.localContrastVariation = Mix(f.localContrastVariation, o.localContrastVariation, t);
    s.contrast = Mix(f.contrast, o.contrast, t);
    s.saturation = Mix(f.saturation, o.saturation, t);
    s.lowSpecContrast = Mix(f.lowSpecContrast, o.lowSpecContrast, t);
    s.lowSpecSaturation = Mix(f.lowSpecSaturation, o.lowSpecSaturation, t);
    s.iPad2SquareContrast = Mix(f.iPad2SquareContrast, o.iPad2SquareContrast, t);
    s.iPad2Brightness = Mix(f.iPad2Brightness, o.iPad2Brightness, t);
    s.fakeDiffuseNormalScale = Mix(f.fakeDiffuseNormalScale, o.fakeDiffuseNormalScale, t);
    s.zoomBlurStrength = Mix(fromZoom, toZoom, t);
    // The ratios: blended between two zoom blurs, relaxing to plain (1, 0) when only the old set
    // blurs, and the new set's at once when the old one does not blur.
    if (fromZoom > 0.0f && toZoom > 0.0f)
    {
        s.zoomBlurSourceRatio = Mix(fromSource, o.zoomBlurSourceRatio, t);
        s.zoomBlurBlurredRatio = Mix(fromBlurred, o.zoomBlurBlurredRatio, t);
    }
    else if (fromZoom > 0.0f)
    {
        s.zoomBlurSourceRatio = fromSource * (1.0f - t) + t;
        s.zoomBlurBlurredRatio = fromBlurred * (1.0f - t);
    }
    else
    {
        s.zoomBlurSourceRatio = o.zoomBlurSourceRatio;
        s.zoomBlurBlurredRatio = o.zoomBlurBlurredRatio;
    }
    s.sharpenStrength = Mix(f.sharpenStrength, o.sharpenStrength, t);
    s.battleModeDesaturation = Mix(f.battleModeDesaturation, o.battleModeDesaturation, t);
    s.diffuseColorMultiplier = Mix(f.diffuseColorMultiplier, o.diffuseColorMultiplier, t);
    s.noBlurColorCorrection = Mix(f.noBlurColorCorrection, o.noBlurColorCorrection, t);
    s.lowSpecColorCorrection = Mix(f.lowSpecColorCorrection, o.lowSpecColorCorrection, t);
    s.sfxColorMultiplier = Mix(f.sfxColorMultiplier, o.sfxColorMultiplier, t);
    s.diffuseColorMultiplierLinear = Mix(f.diffuseColorMultiplierLinear, o.diffuseColorMultiplierLinear, t);
    for (int i = 0; i < 4; ++i)
        s.customParams[i] = Mix(f.customParams[i], o.customParams[i], t);
    // Switch-like values are never in between: the new set's from the first frame.
    s.srgb = o.srgb;
    s.fxaaEnabled = o.fxaaEnabled;
    s.fxaaSubpix = o.fxaaSubpix;
    s.fxaaEdgeThreshold = o.fxaaEdgeThreshold;
    s.fxaaEdgeThresholdMin = o.fxaaEdgeThresholdMin;
    s.fxaaConsoleSubpix = o.fxaaConsoleSubpix;
    s.fxaaConsoleEdgeThreshold = o.fxaaConsoleEdgeThreshold;
    s.fxaaConsoleEdgeThresholdMin = o.fxaaConsoleEdgeThresholdMin;
    s.ssaoIntensity = o.ssaoIntensity;
    s.ssaoRadius = o.ssaoRadius;
    s.ssaoUseNormalMaps = o.ssaoUseNormalMaps;
    s.ssaoDecreaseWithLighting = o.ssaoDecreaseWithLighting;
    s.ssaoColor = o.ssaoColor;
    s.screenCurveAmplitude = o.screenCurveAmplitude;
    s.screenCurveCurvature = o.screenCurveCurvature;
    s.screenCurveCoverage = o.screenCurveCoverage;

    const SceneSkyParameters& fk = from.m_sky;
    const SceneSkyParameters& ok = to.m_sky;
    SceneSkyParameters& sky = m_sky;
    sky.cloudColor = Mix(fk.cloudColor, ok.cloudColor, t);
    sky.layerColor = Mix(fk.layerColor, ok.layerColor, t);
    sky.cloudDrift = Mix(fk.cloudDrift, ok.cloudDrift, t);
    sky.cloudYaw = Mix(fk.cloudYaw, ok.cloudYaw, t);
    sky.cloudPitch = Mix(fk.cloudPitch, ok.cloudPitch, t);
    sky.cloudScale = Mix(fk.cloudScale, ok.cloudScale, t);
    sky.cloudRotation = Mix(fk.cloudRotation, ok.cloudRotation, t);
    sky.layerDrift = Mix(fk.layerDrift, ok.layerDrift, t);
    sky.layerHeight = Mix(fk.layerHeight, ok.layerHeight, t);
    sky.layerRotation = Mix(fk.layerRotation, ok.layerRotation, t);
    sky.layerScale = Mix(fk.layerScale, ok.layerScale, t);
    UpdateSkyMatrices();
}
