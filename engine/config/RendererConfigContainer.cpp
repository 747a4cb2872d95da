#include "engine/config/RendererConfigContainer.h"

#include "core/reflection/RTTIClass.h"
#include "engine/config/ConfigServices.h"

#include <cstring>

RTTI_DEFINE_CLASS(RendererConfigContainer, RTTIPolyBaseClass)

namespace
{
const char* const kMsaaModeNames[] = {"None", "2X", "4X", nullptr};
const char* const kQualityLevelNames[] = {"Ultra low", "Low", "Medium", "High", "Very high", nullptr};
const char* const kGfxQualityLevelName = "GFX quality level";
} // namespace

void RendererConfigContainer::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = RendererConfigContainer;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("MSAA Mode", &C::m_msaaMode,
                                                                     RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(kMsaaModeNames);
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>(kGfxQualityLevelName, &C::m_gfxQualityLevel,
                                                                     RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(kQualityLevelNames);
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, float>("Semi resolution screen scale", &C::m_semiResolutionScreenScale));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Brightness", &C::m_brightness));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("ScreenScaleX", &C::m_screenScaleX));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("ScreenScaleY", &C::m_screenScaleY));
    table.AddProperty(new RTTIPropertyGroup("Rendering options"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("GPU Sync", &C::m_gpuSync));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("VSync", &C::m_vSync));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Enable shadow map", &C::m_enableShadowMap));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, bool>("Enable shadow map filtering", &C::m_enableShadowMapFiltering));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Shadow map size", &C::m_shadowMapSize));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, bool>("Enable full screen effects", &C::m_enableFullScreenEffects));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Enable refraction", &C::m_enableRefraction));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Enable outlines", &C::m_enableOutlines));
    table.AddProperty(new RTTIPropertyGroup("Rendering debug options"));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, bool>("Display shadow debug info", &C::m_displayShadowDebugInfo));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Display entity names", &C::m_displayEntityNames));
}

void RendererConfigContainer::SetDefaults()
{
    m_msaaMode = 0;
    m_gfxQualityLevel = 3;
    m_gpuSync = true;
    m_vSync = true;
    m_displayShadowDebugInfo = false;
    m_displayEntityNames = false;
    m_enableShadowMap = true;
    m_enableShadowMapFiltering = true;
    m_enableFullScreenEffects = true;
    m_enableRefraction = true;
    m_enableOutlines = true;
    m_shadowMapSize = 2048;
    m_semiResolutionScreenScale = 1.0f;
    m_brightness = 0.5f;
    m_screenScaleX = 1.0f;
    m_screenScaleY = 1.0f;
}

void RendererConfigContainer::OnPropertyChanged(const RTTIProperty* property)
{
    if (property != nullptr && property->GetName() != kGfxQualityLevelName)
        return;
    if (gConfigServices.applySeriousGFXSettings != nullptr)
        gConfigServices.applySeriousGFXSettings();
}

void RendererConfigContainer::OnPostLoad(uint32_t flags)
{
    (void)flags;
    if (m_msaaMode > 2)
        m_msaaMode = 0;
    if (m_gfxQualityLevel > kMaxQualityLevel)
        m_gfxQualityLevel = kMaxQualityLevel;
}
