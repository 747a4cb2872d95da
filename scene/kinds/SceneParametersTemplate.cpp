#include "scene/kinds/SceneParametersTemplate.h"

#include "engine/config/ProjectConfig.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/SceneEnvironment.h"
#include "renderer/SceneParametersWrapper.h"
#include "renderer/resources/ResourceManager.h"
#include "renderer/resources/ResourceTexture.h"
#include "scene/entities/EntityConstants.h"
#include "scene/entities/SceneEntity.h"

namespace
{
const char* const kTwoSidedNames[] = {"Single sided", "Double sided", "Gooch lighting", nullptr};
constexpr uint32_t kColorFlags = 8;
// A file name property whose editor browses the "Textures" folder.
constexpr uint32_t kFileNameFlags = 0x800;
// Post-load flag: the load is not allowed to wait for the resource thread.
constexpr uint32_t kPostLoadNoWait = 4;

HDRColor ColorOf(float r, float g, float b, float a)
{
    HDRColor color;
    color.FromVector(Vector(r, g, b, a));
    return color;
}
} // namespace

RTTI_DEFINE_CLASS_TABLE(SceneParametersTemplate, EntityTemplate)

void SceneParametersTemplate::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = SceneParametersTemplate;
    auto f = [&table](const char* name, float C::*member) {
        table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>(name, member));
    };
    auto b = [&table](const char* name, bool C::*member) {
        table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>(name, member));
    };
    auto c = [&table](const char* name, HDRColor C::*member, uint32_t flags = 0) {
        table.AddProperty(new RTTIDirectAccessTypedProperty<C, HDRColor>(name, member, flags));
    };
    auto v = [&table](const char* name, Vector C::*member) {
        table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>(name, member));
    };
    auto file = [&table](const char* name, NameString C::*member) {
        table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>(name, member, kFileNameFlags));
    };
    auto group = [&table](const char* name) { table.AddProperty(new RTTIPropertyGroup(name)); };

    f("Attack time", &C::m_attackTime);
    group("SUN");
    b("Affects sun", &C::m_affectsSun);
    f("Light yaw", &C::m_lightYaw);
    f("Light pitch", &C::m_lightPitch);
    c("Color", &C::m_color, kColorFlags);
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Two sided mode", &C::m_twoSidedMode,
                                                                     RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(kTwoSidedNames);
    f("Wrap around factor", &C::m_wrapAround);
    c("Secondary color", &C::m_secondaryColor, kColorFlags);
    c("Side color", &C::m_sideColor);
    f("Shadow strength", &C::m_shadowStrength);
    f("Fake shadow strength", &C::m_fakeShadowStrength);
    table.AddProperty(new RTTIPropertySeparator("Specular"));
    b("Separate specular params", &C::m_separateSpecular);
    f("Specular yaw", &C::m_specularYaw);
    f("Specular pitch", &C::m_specularPitch);
    c("Specular color", &C::m_specularColor, kColorFlags);
    f("Specular multiplier", &C::m_specularMultiplier);
    group("Cloud look");
    b("Affects texture and color", &C::m_affectsCloudLook);
    file("Cloud texture file name", &C::m_cloudTextureName);
    c("Cloud color", &C::m_cloudColor);
    group("Cloud projection");
    b("Affects projection", &C::m_affectsCloudProjection);
    f("Cloud projection yaw", &C::m_cloudYaw);
    f("Cloud projection pitch", &C::m_cloudPitch);
    f("Cloud projection scale", &C::m_cloudScale);
    f("Cloud projection rotation", &C::m_cloudRotation);
    v("Cloud drift", &C::m_cloudDrift);
    group("Layer clouds");
    b("Affects layer texture", &C::m_affectsLayerTexture);
    file("Texture file name", &C::m_layerTextureName);
    c("Layer cloud color", &C::m_layerColor);
    b("Affects layer projection", &C::m_affectsLayerProjection);
    f("Layer cloud heigh", &C::m_layerHeight);
    f("Layer projection scale", &C::m_layerScale);
    f("Layer projection rotation", &C::m_layerRotation);
    v("Layer cloud drift", &C::m_layerDrift);
    group("Environment map");
    b("Affects environment map", &C::m_affectsEnvironmentMap);
    file("Env map file name", &C::m_environmentMapName);
    group("Fog");
    c("Fog color", &C::m_fogColor);
    f("Fog start", &C::m_fogStart);
    f("Fog end", &C::m_fogEnd);
    group("Glow");
    f("Glow threshold", &C::m_glowThreshold);
    f("Glow softness", &C::m_glowSoftness);
    c("Glow color", &C::m_glowColor);
    c("Non glow color", &C::m_nonGlowColor);
    group("Tone mapping");
    table.AddProperty(new RTTIEmbeddedObjectProperty<C, TEnvelope<Vector>>("Tone mapping curve", &C::m_toneMappingCurve));
    f("Exposition", &C::m_exposition);
    b("SRGB", &C::m_srgb);
    c("Low spec mode color correction", &C::m_lowSpecColorCorrection);
    group("Color lookup");
    table.AddProperty(new RTTIEmbeddedObjectProperty<C, TEnvelope<HDRColor>>("Color lookup curve", &C::m_colorLookupCurve));
    c("Exclude color 0", &C::m_excludeColor0);
    c("Exclude color 1", &C::m_excludeColor1);
    f("Exclude color 0 falloff start", &C::m_exclude0FalloffStart);
    f("Exclude color 0 falloff end", &C::m_exclude0FalloffEnd);
    f("Exclude color 1 falloff start", &C::m_exclude1FalloffStart);
    f("Exclude color 1 falloff end", &C::m_exclude1FalloffEnd);
    group("Screen color");
    c("Top color", &C::m_topColor);
    c("Bottom color", &C::m_bottomColor);
    group("Vignette");
    f("Vignette start", &C::m_vignetteStart);
    f("Vignette end", &C::m_vignetteEnd);
    f("Vignette aspect", &C::m_vignetteAspect);
    group("Contrast and saturation");
    f("Image local contrast", &C::m_localContrast);
    f("Image local contrast variation", &C::m_localContrastVariation);
    f("Image contrast", &C::m_contrast);
    f("Image saturation", &C::m_saturation);
    f("Low spec contrast multiplier", &C::m_lowSpecContrast);
    f("Low spec saturation multiplier", &C::m_lowSpecSaturation);
    group("Zoom blur");
    f("Zoom blur strength", &C::m_zoomBlurStrength);
    f("Zoom blur source ratio", &C::m_zoomBlurSourceRatio);
    f("Zoom blur blurred ratio", &C::m_zoomBlurBlurredRatio);
    f("Mac zoom blur source ratio multiplier", &C::m_macZoomBlurSourceMultiplier);
    f("Mac zoom blur blurred ratio multiplier", &C::m_macZoomBlurBlurredMultiplier);
    c("No blur color correction", &C::m_noBlurColorCorrection);
    group("Sharpen");
    f("Sharpen strength", &C::m_sharpenStrength);
    group("Screen curve effect");
    f("Screen curve amplitude", &C::m_screenCurveAmplitude);
    f("Screen curve curvature", &C::m_screenCurveCurvature);
    f("Screen curve coverage", &C::m_screenCurveCoverage);
    group("RGB shift");
    table.AddProperty(new RTTIEmbeddedObjectProperty<C, TEnvelope<Vector>>("RGB shift scale curve", &C::m_rgbShiftCurve));
    f("RGB shift scale curve length (max=5)", &C::m_rgbShiftCurveLength);
    group("FXAA");
    b("FXAA enabled", &C::m_fxaaEnabled);
    f("Subpix aliasing (0.5 - sharper, 1.0 - softer)", &C::m_fxaaSubpix);
    f("Edge treshold", &C::m_fxaaEdgeThreshold);
    f("Edge treshold min", &C::m_fxaaEdgeThresholdMin);
    f("Console subpix aliasing (0.33 - sharper, 0.5 - default)", &C::m_fxaaConsoleSubpix);
    f("Console edge treshold", &C::m_fxaaConsoleEdgeThreshold);
    f("Console edge treshold min", &C::m_fxaaConsoleEdgeThresholdMin);
    group("SSAO");
    f("SSAO intensity", &C::m_ssaoIntensity);
    f("SSAO radius", &C::m_ssaoRadius);
    b("SSAO use normal maps", &C::m_ssaoUseNormalMaps);
    f("SSAO decrease with lighting", &C::m_ssaoDecreaseWithLighting);
    c("SSAO color", &C::m_ssaoColor, kColorFlags);
    group("Shader effect");
    f("Battle mode desaturation", &C::m_battleModeDesaturation);
    c("Diffuse color multiplier", &C::m_diffuseColorMultiplier);
    c("SFX color multiplier", &C::m_sfxColorMultiplier);
    group("iOS specific");
    f("iPad2 square contrast factor", &C::m_iPad2SquareContrast);
    f("iPad2 brightness", &C::m_iPad2Brightness);
    f("Fake diffuse normal scale", &C::m_fakeDiffuseNormalScale);
    group("Lightmaps");
    c("Light proble multiplier", &C::m_lightProbeMultiplier);
    group("Custom params");
    v("Param 1", &C::m_param1);
    v("Param 2", &C::m_param2);
    v("Param 3", &C::m_param3);
    v("Param 4", &C::m_param4);
}

SceneParametersTemplate::SceneParametersTemplate()
    : m_color(ColorOf(1, 1, 1, 1)), m_secondaryColor(ColorOf(0.25f, 0.25f, 0.25f, 0)), m_sideColor(ColorOf(0, 0, 0, 0)),
      m_specularColor(ColorOf(1, 1, 1, 1)), m_cloudColor(ColorOf(1, 1, 1, 1)), m_layerColor(ColorOf(1, 1, 1, 1)),
      m_fogColor(ColorOf(1, 1, 1, 1)), m_glowColor(ColorOf(1, 1, 1, 1)), m_nonGlowColor(ColorOf(1, 1, 1, 1)),
      m_toneMappingCurve(0, Vector(0, 0, 0, 0)), m_lowSpecColorCorrection(255, 255, 255, 255),
      m_colorLookupCurve(0, HDRColor(255, 255, 255, 255)), m_excludeColor0(ColorOf(0, 0, 0, 0)),
      m_excludeColor1(ColorOf(0, 0, 0, 0)), m_topColor(ColorOf(0, 0, 0, 0)), m_bottomColor(ColorOf(0, 0, 0, 0)),
      m_noBlurColorCorrection(255, 255, 255, 255), m_rgbShiftCurve(0, Vector(0, 0, 0, 0)),
      m_param1(gProjectConfig.m_postprocessParam1), m_param2(gProjectConfig.m_postprocessParam2),
      m_param3(gProjectConfig.m_postprocessParam3), m_param4(gProjectConfig.m_postprocessParam4)
{
    m_toneMappingCurve.AddKey(Vector(0, 0, 0, 0), 0.0f, -1);
    m_toneMappingCurve.AddKey(Vector(1, 1, 1, 1), 1.0f, -1);
    m_toneMappingCurve.AddKey(Vector(1, 1, 1, 1), 4.0f, -1);
    m_colorLookupCurve.AddKey(HDRColor(0, 0, 0, 0), 0.0f, -1);
    m_colorLookupCurve.AddKey(HDRColor(255, 255, 255, 0), 1.0f, -1);
    m_rgbShiftCurve.AddKey(Vector(0, 0, 0, 0), 0.0f, -1);
    m_rgbShiftCurve.AddKey(Vector(0, 0, 0, 0), 10.0f, -1);
    SetWireframeColor(ColorOf(1.0f, 0.5f, 0.0f, 1.0f));
    SetTypeId(ENTITY_SCENEPARAMBOX);
}

SceneParametersTemplate::~SceneParametersTemplate()
{
    DropWrapper(false);
    ReleaseTextures();
}

Entity* SceneParametersTemplate::CreateEntity()
{
    return new SceneParametersEntity;
}

void SceneParametersTemplate::DropWrapper(bool wait)
{
    SceneParametersWrapper* const old = m_wrapper;
    m_wrapper = nullptr;
    if (old == nullptr)
        return;
    // Commands already written may name the set: it dies on the render thread after them. Without
    // a running render thread nothing there can hold it.
    if (gRenderer != nullptr && gRenderer->IsRunning())
        NorvexRendererObject::PostDeletion(old, false, wait);
    else
        delete old;
}

void SceneParametersTemplate::ReleaseTextures()
{
    for (ResourceTexture** texture : {&m_cloudTexture, &m_layerTexture, &m_environmentMap})
    {
        if (*texture != nullptr)
            (*texture)->Release();
        *texture = nullptr;
    }
}

ResourceTexture* SceneParametersTemplate::LoadTexture(const NameString& name, bool blocking)
{
    if (name.IsEmpty() || name.CStr()[0] == 0 || gResourceManager == nullptr)
        return nullptr;
    Resource* const resource = gResourceManager->GetResource(RESOURCE_TYPE_TEXTURE, name.CStr(), 0, true, 0);
    ResourceTexture* const texture = dynamic_cast<ResourceTexture*>(resource);
    if (texture == nullptr)
    {
        if (resource != nullptr)
            resource->Release();
        return nullptr;
    }
    texture->Load(blocking);
    return texture;
}

void SceneParametersTemplate::RebuildWrapper(bool blocking)
{
    ReleaseTextures();
    m_cloudTexture = LoadTexture(m_cloudTextureName, blocking);
    m_layerTexture = LoadTexture(m_layerTextureName, blocking);
    m_environmentMap = LoadTexture(m_environmentMapName, blocking);
    DropWrapper(blocking);
    SceneParametersWrapper* const wrapper = new SceneParametersWrapper;
    wrapper->SetFromTemplate(*this);
    wrapper->SetReady();
    m_wrapper = wrapper;
}

void SceneParametersTemplate::OnPropertyChanged(const RTTIProperty* property)
{
    RebuildWrapper(true);
    EntityTemplate::OnPropertyChanged(property);
    if (GetGUID().IsNull() || !(GetGUID() == gProjectConfig.m_uiSceneParamTemplate))
        return;
    gSceneEnvironment.SetOverrideParameters(m_wrapper);
    gProjectConfig.OnPropertyChanged(gProjectConfig.GetClassProperties()->FindProperty("UI scene param template"));
}

void SceneParametersTemplate::OnPostLoad(uint32_t flags)
{
    EntityTemplate::OnPostLoad(flags);
    RebuildWrapper((flags & kPostLoadNoWait) == 0);
}

void SceneParametersTemplate::BlendTo(uint32_t flags, float seconds)
{
    if (m_wrapper != nullptr)
        gSceneEnvironment.BlendToParameters(m_wrapper, flags, seconds < 0.0f ? m_attackTime : seconds);
}

void SceneParametersTemplate::SetAsOverride()
{
    if (m_wrapper != nullptr)
        gSceneEnvironment.SetOverrideParameters(m_wrapper);
}
