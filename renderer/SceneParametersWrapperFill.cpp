// Filling a scene parameter set from its template: colour conversions, the two-sided modes, the
// sampled curve tables and the texture references. Runs on the thread that loads or edits the
// template, before the set is handed to the render side.
#include "renderer/SceneParametersWrapper.h"

#include "effects/TEnvelope.h"
#include "renderer/RendererObjectHandle.h"
#include "renderer/resources/ResourceTexture.h"
#include "scene/kinds/SceneParametersTemplate.h"

#include <cmath>

namespace
{
Vector VectorOf(const HDRColor& color)
{
    Vector v;
    color.ToVector(v);
    return v;
}

Vector LinearOf(const HDRColor& color)
{
    Vector v;
    color.ToLinearVector(v);
    return v;
}

Vector RawOf(const HDRColor& color)
{
    Vector v;
    color.ToVectorRaw(v);
    return v;
}

Vector Average(const Vector& a, const Vector& b)
{
    return Vector((a.x + b.x) * 0.5f, (a.y + b.y) * 0.5f, (a.z + b.z) * 0.5f, (a.w + b.w) * 0.5f);
}

// base × (1 - a) + over × a with a = over's fourth component.
Vector Over(const Vector& base, const Vector& over)
{
    const float a = over.w, k = 1.0f - a;
    return Vector(base.x * k + over.x * a, base.y * k + over.y * a, base.z * k + over.z * a, base.w * k + over.w * a);
}

void Clamp01(Vector& v)
{
    v.Clamp(Vector(0.0f, 0.0f, 0.0f, 0.0f), Vector(1.0f, 1.0f, 1.0f, 1.0f));
}

TextureHolder* HandleOf(const ResourceTexture* texture)
{
    return texture != nullptr && texture->IsLoaded() ? texture->GetTextureHolder() : nullptr;
}

// The first component of the curve, 64 samples 5/63 s apart, the curve restarting each `period`.
void SampleRGBShift(const TEnvelope<Vector>& curve, float period, float* out)
{
    constexpr float kStep = 5.0f / 63.0f;
    EnvelopePlayState state;
    Envelope::ResetPlayback(state);
    float elapsed = 0.0f;
    for (uint32_t i = 0; i < SceneShadingParameters::kRGBShiftEntries; ++i)
    {
        Vector value;
        curve.Evaluate(state, value);
        out[i] = value.x;
        elapsed += kStep;
        // The slack keeps the rounding of 63 summed steps from wrapping a five-second period.
        if (period > 0.0f && elapsed > period + 1e-5f)
        {
            // A remainder, not one subtraction: a period shorter than a step still repeats.
            elapsed = std::fmod(elapsed, period);
            Envelope::ResetPlayback(state);
            curve.Advance(state, elapsed);
        }
        else
            curve.Advance(state, kStep);
    }
}
} // namespace

void SceneParametersWrapper::SetFromTemplate(const SceneParametersTemplate& p)
{
    m_switches.affectsSun = p.m_affectsSun;
    m_switches.affectsCloudLook = p.m_affectsCloudLook;
    m_switches.affectsCloudProjection = p.m_affectsCloudProjection;
    m_switches.affectsLayerTexture = p.m_affectsLayerTexture;
    m_switches.affectsLayerProjection = p.m_affectsLayerProjection;
    m_switches.affectsEnvironmentMap = p.m_affectsEnvironmentMap;

    SceneSunParameters& sun = m_sun;
    sun.sunColor = VectorOf(p.m_color);
    sun.sunColorLinear = LinearOf(p.m_color);
    sun.lightYaw = p.m_lightYaw;
    sun.lightPitch = p.m_lightPitch;
    if (p.m_separateSpecular)
    {
        sun.specularColor = VectorOf(p.m_specularColor);
        sun.specularColor.w = p.m_specularColor.multiplier;
        sun.specularYaw = p.m_specularYaw;
        sun.specularPitch = p.m_specularPitch;
    }
    else
    {
        sun.specularColor = sun.sunColor;
        sun.specularColor.w = p.m_color.multiplier;
        sun.specularYaw = p.m_lightYaw;
        sun.specularPitch = p.m_lightPitch;
    }
    sun.specularColor.Mul(p.m_specularMultiplier);
    sun.wrapAround = p.m_wrapAround;
    sun.shadowStrength = p.m_shadowStrength;
    sun.fakeShadowStrength = p.m_fakeShadowStrength;

    // 0 single sided, 1 double sided (a secondary light), 2 Gooch lighting (a side band between
    // the two); the side colour then lays itself over by its alpha in every mode.
    sun.secondaryColor = sun.secondaryColorLinear = sun.sideColor = sun.sideColorLinear = Vector();
    if (p.m_twoSidedMode == 1 || p.m_twoSidedMode == 2)
    {
        sun.secondaryColor = VectorOf(p.m_secondaryColor);
        sun.secondaryColorLinear = LinearOf(p.m_secondaryColor);
    }
    if (p.m_twoSidedMode == 2)
    {
        sun.sideColor = Average(sun.sunColor, sun.secondaryColor);
        sun.sideColorLinear = Average(sun.sunColorLinear, sun.secondaryColorLinear);
    }
    sun.sideColor = Over(sun.sideColor, VectorOf(p.m_sideColor));
    sun.sideColorLinear = Over(sun.sideColorLinear, LinearOf(p.m_sideColor));
    UpdateLightDirections();

    SceneShadingParameters& s = m_shading;
    EnvelopePlayState state;
    Envelope::ResetPlayback(state);
    for (Vector& entry : s.toneMapping)
    {
        p.m_toneMappingCurve.Evaluate(state, entry);
        Clamp01(entry);
        p.m_toneMappingCurve.Advance(state, 4.0f / 1023.0f);
    }
    Envelope::ResetPlayback(state);
    for (Vector& entry : s.colorLookup)
    {
        HDRColor color;
        p.m_colorLookupCurve.Evaluate(state, color);
        entry = RawOf(color);
        Clamp01(entry);
        p.m_colorLookupCurve.Advance(state, 1.0f / 63.0f);
    }
    s.exposition = p.m_exposition;
    s.excludeColor[0] = RawOf(p.m_excludeColor0);
    s.excludeColor[1] = RawOf(p.m_excludeColor1);
    s.excludeFalloff[0] = p.m_exclude0FalloffStart;
    s.excludeFalloff[1] = p.m_exclude0FalloffEnd;
    s.excludeFalloff[2] = p.m_exclude1FalloffStart;
    s.excludeFalloff[3] = p.m_exclude1FalloffEnd;
    s.fogColor = VectorOf(p.m_fogColor);
    s.fogStart = p.m_fogStart;
    s.fogEnd = p.m_fogEnd;
    s.glowThreshold = p.m_glowThreshold;
    s.glowSoftness = p.m_glowSoftness;
    s.glowColor = VectorOf(p.m_glowColor);
    s.nonGlowColor = VectorOf(p.m_nonGlowColor);
    s.vignetteStart = p.m_vignetteStart;
    s.vignetteEnd = p.m_vignetteEnd;
    s.vignetteAspect = p.m_vignetteAspect;
    s.topColor = VectorOf(p.m_topColor);
    s.bottomColor = VectorOf(p.m_bottomColor);
    s.lightProbeMultiplier = VectorOf(p.m_lightProbeMultiplier);
    s.localContrast = p.m_localContrast;
    s.localContrastVariation = p.m_localContrastVariation;
    s.contrast = p.m_contrast;
    s.saturation = p.m_saturation;
    s.lowSpecContrast = p.m_lowSpecContrast;
    s.lowSpecSaturation = p.m_lowSpecSaturation;
    s.iPad2SquareContrast = p.m_iPad2SquareContrast;
    s.iPad2Brightness = p.m_iPad2Brightness;
    s.fakeDiffuseNormalScale = p.m_fakeDiffuseNormalScale;
    s.zoomBlurStrength = p.m_zoomBlurStrength;
    s.zoomBlurSourceRatio = p.m_zoomBlurSourceRatio;
    s.zoomBlurBlurredRatio = p.m_zoomBlurBlurredRatio;
    s.sharpenStrength = p.m_sharpenStrength;
    s.battleModeDesaturation = p.m_battleModeDesaturation;
    s.srgb = p.m_srgb;
    s.diffuseColorMultiplier = VectorOf(p.m_diffuseColorMultiplier);
    s.noBlurColorCorrection = VectorOf(p.m_noBlurColorCorrection);
    s.lowSpecColorCorrection = VectorOf(p.m_lowSpecColorCorrection);
    s.sfxColorMultiplier = VectorOf(p.m_sfxColorMultiplier);
    s.customParams[0] = p.m_param1;
    s.customParams[1] = p.m_param2;
    s.customParams[2] = p.m_param3;
    s.customParams[3] = p.m_param4;
    s.fxaaEnabled = p.m_fxaaEnabled;
    s.fxaaSubpix = p.m_fxaaSubpix;
    s.fxaaEdgeThreshold = p.m_fxaaEdgeThreshold;
    s.fxaaEdgeThresholdMin = p.m_fxaaEdgeThresholdMin;
    s.fxaaConsoleSubpix = p.m_fxaaConsoleSubpix;
    s.fxaaConsoleEdgeThreshold = p.m_fxaaConsoleEdgeThreshold;
    s.fxaaConsoleEdgeThresholdMin = p.m_fxaaConsoleEdgeThresholdMin;
    s.ssaoIntensity = p.m_ssaoIntensity;
    s.ssaoRadius = p.m_ssaoRadius;
    s.ssaoUseNormalMaps = p.m_ssaoUseNormalMaps;
    s.ssaoDecreaseWithLighting = p.m_ssaoDecreaseWithLighting;
    s.ssaoColor = VectorOf(p.m_ssaoColor);
    SampleRGBShift(p.m_rgbShiftCurve, p.m_rgbShiftCurveLength, s.rgbShift);
    s.screenCurveAmplitude = p.m_screenCurveAmplitude;
    s.screenCurveCurvature = p.m_screenCurveCurvature;
    s.screenCurveCoverage = p.m_screenCurveCoverage;
    s.diffuseColorMultiplierLinear = LinearOf(p.m_diffuseColorMultiplier);

    SceneSkyParameters& sky = m_sky;
    sky.cloudColor = p.m_cloudTexture != nullptr ? VectorOf(p.m_cloudColor) : Vector();
    sky.cloudDrift = p.m_cloudDrift;
    sky.cloudYaw = p.m_cloudYaw;
    sky.cloudPitch = p.m_cloudPitch;
    sky.cloudScale = p.m_cloudScale;
    sky.cloudRotation = p.m_cloudRotation;
    sky.layerColor = p.m_layerTexture != nullptr ? VectorOf(p.m_layerColor) : Vector();
    sky.layerDrift = p.m_layerDrift;
    sky.layerHeight = p.m_layerHeight;
    sky.layerRotation = p.m_layerRotation;
    sky.layerScale = p.m_layerScale;
    UpdateSkyMatrices();

    // The template's resources hold their own references, so adding ours here is safe on this
    // thread, and a set deleted on the render thread never drops a reference it has not taken yet.
    RendererObjectHandle::Replace(m_cloudTexture, HandleOf(p.m_cloudTexture));
    RendererObjectHandle::Replace(m_layerTexture, HandleOf(p.m_layerTexture));
    RendererObjectHandle::Replace(m_environmentMap, HandleOf(p.m_environmentMap));
}
