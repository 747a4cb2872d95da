// SceneParametersTemplate: one complete set of scene look parameters (sun, clouds, environment map,
// fog, glow, tone mapping, colour lookup, post-processing and four free parameters). It keeps a
// render-side copy of itself (SceneParametersWrapper) that it rebuilds whenever it is loaded or
// edited; activating one of its entities blends the scene environment to that copy. Properties are
// edited on the main thread; the post-load rebuild may run on the resource thread that loads the
// template body.
#pragma once

#include "core/math/HDRColor.h"
#include "core/math/Vector.h"
#include "core/strings/NameString.h"
#include "effects/TEnvelope.h"
#include "scene/templates/EntityTemplate.h"

#include <cstdint>

class ResourceTexture;
class SceneParametersWrapper;

// Template of scene-parameters entities (type id 9).
class SceneParametersTemplate : public EntityTemplate
{
    RTTI_DECLARE_CLASS(SceneParametersTemplate, EntityTemplate)
    // The render-side set converts these values itself.
    friend class SceneParametersWrapper;

public:
    SceneParametersTemplate();
    ~SceneParametersTemplate() override;

    const char* GetTemplateClassName() const override { return "SceneParametersTemplate"; }
    Entity* CreateEntity() override;
    const char* GetEntityClassName() const override { return "SceneParametersEntity"; }
    // An edit rebuilds the render-side set, tells the entities, and refreshes the scene
    // environment's override set when this is the project's UI scene parameter template.
    void OnPropertyChanged(const RTTIProperty* property) override;
    void OnPostLoad(uint32_t flags) override;

    // Blends the scene environment to this set; a negative time blends over "Attack time".
    void BlendTo(uint32_t flags, float seconds);
    // Copies this set into the scene environment's override set.
    void SetAsOverride();
    // Releases the textures, replaces the render-side set with a new one filled from the properties.
    void RebuildWrapper(bool blocking);

    const SceneParametersWrapper* GetWrapper() const { return m_wrapper; }
    float GetAttackTime() const { return m_attackTime; }
    TEnvelope<Vector>& GetToneMappingCurve() { return m_toneMappingCurve; }
    TEnvelope<HDRColor>& GetColorLookupCurve() { return m_colorLookupCurve; }
    TEnvelope<Vector>& GetRGBShiftCurve() { return m_rgbShiftCurve; }

private:
    void ReleaseTextures();
    ResourceTexture* LoadTexture(const NameString& name, bool blocking);
    void DropWrapper(bool wait);

    float m_attackTime = 1.0f;
    // Sun.
    bool m_affectsSun = false;
    float m_lightYaw = 0.0f;
    float m_lightPitch = 45.0f;
    HDRColor m_color;
    uint32_t m_twoSidedMode = 0;
    float m_wrapAround = 0.0f;
    HDRColor m_secondaryColor;
    HDRColor m_sideColor;
    float m_shadowStrength = 0.5f;
    float m_fakeShadowStrength = 0.8f;
    bool m_separateSpecular = false;
    float m_specularYaw = 0.0f;
    float m_specularPitch = 45.0f;
    HDRColor m_specularColor;
    float m_specularMultiplier = 1.0f;
    // Clouds.
    bool m_affectsCloudLook = false;
    NameString m_cloudTextureName;
    HDRColor m_cloudColor;
    bool m_affectsCloudProjection = false;
    float m_cloudYaw = 0.0f;
    float m_cloudPitch = 60.0f;
    float m_cloudScale = 10.0f;
    float m_cloudRotation = 0.0f;
    Vector m_cloudDrift;
    bool m_affectsLayerTexture = false;
    NameString m_layerTextureName;
    HDRColor m_layerColor;
    bool m_affectsLayerProjection = false;
    float m_layerHeight = 50.0f;
    float m_layerScale = 10.0f;
    float m_layerRotation = 0.0f;
    Vector m_layerDrift;
    bool m_affectsEnvironmentMap = false;
    NameString m_environmentMapName;
    // Fog, glow, tone mapping, colour lookup.
    HDRColor m_fogColor;
    float m_fogStart = 700.0f;
    float m_fogEnd = 1500.0f;
    float m_glowThreshold = 0.8f;
    float m_glowSoftness = 2.0f;
    HDRColor m_glowColor;
    HDRColor m_nonGlowColor;
    TEnvelope<Vector> m_toneMappingCurve;
    float m_exposition = 1.0f;
    bool m_srgb = true;
    HDRColor m_lowSpecColorCorrection;
    TEnvelope<HDRColor> m_colorLookupCurve;
    HDRColor m_excludeColor0;
    HDRColor m_excludeColor1;
    float m_exclude0FalloffStart = 0.0f;
    float m_exclude0FalloffEnd = 0.0f;
    float m_exclude1FalloffStart = 0.0f;
    float m_exclude1FalloffEnd = 0.0f;
    // Screen.
    HDRColor m_topColor;
    HDRColor m_bottomColor;
    float m_vignetteStart = 0.0f;
    float m_vignetteEnd = 0.1f;
    float m_vignetteAspect = 0.8f;
    float m_localContrast = 1.0f;
    float m_localContrastVariation = 0.9f;
    float m_contrast = 1.0f;
    float m_saturation = 1.0f;
    float m_lowSpecContrast = 1.0f;
    float m_lowSpecSaturation = 1.0f;
    float m_zoomBlurStrength = 0.0f;
    float m_zoomBlurSourceRatio = 0.0f;
    float m_zoomBlurBlurredRatio = 1.0f;
    float m_macZoomBlurSourceMultiplier = 1.5f;
    float m_macZoomBlurBlurredMultiplier = 0.8f;
    HDRColor m_noBlurColorCorrection;
    float m_sharpenStrength = 0.0f;
    float m_screenCurveAmplitude = 1.0f;
    float m_screenCurveCurvature = 1.0f;
    float m_screenCurveCoverage = 0.0f;
    TEnvelope<Vector> m_rgbShiftCurve;
    float m_rgbShiftCurveLength = 1.0f;
    bool m_fxaaEnabled = false;
    float m_fxaaSubpix = 0.75f;
    float m_fxaaEdgeThreshold = 0.125f;
    float m_fxaaEdgeThresholdMin = 0.0625f;
    float m_fxaaConsoleSubpix = 0.5f;
    float m_fxaaConsoleEdgeThreshold = 0.125f;
    float m_fxaaConsoleEdgeThresholdMin = 0.05f;
    float m_ssaoIntensity = 0.0f;
    float m_ssaoRadius = 15.0f;
    bool m_ssaoUseNormalMaps = true;
    float m_ssaoDecreaseWithLighting = 0.0f;
    HDRColor m_ssaoColor = HDRColor(0, 0, 0, 255);
    float m_battleModeDesaturation = 0.0f;
    HDRColor m_diffuseColorMultiplier = HDRColor(255, 255, 255, 255);
    HDRColor m_sfxColorMultiplier = HDRColor(255, 255, 255, 255);
    float m_iPad2SquareContrast = 0.0f;
    float m_iPad2Brightness = 1.0f;
    float m_fakeDiffuseNormalScale = 0.5f;
    HDRColor m_lightProbeMultiplier = HDRColor(255, 255, 255, 255);
    Vector m_param1;
    Vector m_param2;
    Vector m_param3;
    Vector m_param4;

    ResourceTexture* m_cloudTexture = nullptr;
    ResourceTexture* m_layerTexture = nullptr;
    ResourceTexture* m_environmentMap = nullptr;
    SceneParametersWrapper* m_wrapper = nullptr;
};
