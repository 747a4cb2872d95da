#include "engine/config/ProjectConfig.h"

#include "core/reflection/RTTIClass.h"
#include "engine/config/ConfigServices.h"
#include "engine/config/LanguageNames.h"

RTTI_DEFINE_CLASS(ProjectConfig, RTTIPolyBaseClass)

ProjectConfig gProjectConfig;

namespace
{
const char* const kVisualizationModeNames[] = {"PC", "iPhone", "iPad2", nullptr};
const char* const kSubtitleModeNames[] = {"Default", "On", "Off", nullptr};
const char* const kDefaultLanguageName = "Default language";
// Any private IPv4 network will do; the distribution servers are looked for from here.
const char* const kDefaultDistributionAddress = "192.168.0.1";
const char* const kDefaultSubnetMask = "255.255.255.0";
constexpr uint32_t kUIPropertyFlag = 4096;
} // namespace

void ProjectConfig::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = ProjectConfig;
    constexpr uint32_t kEnum = RTTI_PROPERTY_ENUMERATION;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, std::string>("Default scene", &C::m_defaultScene, 2));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, float>("Default asset import scale", &C::m_defaultAssetImportScale));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, std::string>("Executable file name", &C::m_executableFileName));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Language mask", &C::m_languageMask));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>(kDefaultLanguageName, &C::m_defaultLanguage, kEnum))
        ->SetEnumerationNames(gLanguageNames);
    table.AddProperty(
        new RTTIDynarrayOfEmbeddedObjectsProperty<C, FontReplacement>("Font replacement", &C::m_fontReplacements));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, std::string>("Default delegate tag", &C::m_defaultDelegateTag));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, std::string>("Store definition file", &C::m_storeDefinitionFile));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, uint32_t>("Visualization mode", &C::m_visualizationMode, kEnum))
        ->SetEnumerationNames(kVisualizationModeNames);
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, std::string>("Distribution tag", &C::m_distributionTag));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Distribution Server Starting Adress",
                                                                       &C::m_distributionServerStartingAddress));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Distribution Server Subnet Mask",
                                                                       &C::m_distributionServerSubnetMask));
    table.AddProperty(new RTTIDynarrayProperty<C, NameString, DynarraySafe<NameString>>("Scene variations",
                                                                                        &C::m_sceneVariations));

    table.AddProperty(new RTTIPropertyGroup("EngineConfigCustomization"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Text language", &C::m_textLanguage, kEnum))
        ->SetEnumerationNames(gLanguageNames);
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Voice language", &C::m_voiceLanguage, kEnum))
        ->SetEnumerationNames(gLanguageNames);
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Subtitle mode", &C::m_subtitleMode, kEnum))
        ->SetEnumerationNames(kSubtitleModeNames);

    table.AddProperty(new RTTIPropertyGroup("Input"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Enable controller", &C::m_enableController));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, bool>("Enable controller vibrations", &C::m_enableControllerVibrations));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, float>("XBox controller dead zone", &C::m_xboxControllerDeadZone));

    table.AddProperty(new RTTIPropertyGroup("Editor"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Editor FOV", &C::m_editorFOV));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Editor near plane", &C::m_editorNearPlane));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Editor far plane", &C::m_editorFarPlane));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Editor helper scale", &C::m_editorHelperScale));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, float>("Editor zoom speed scale", &C::m_editorZoomSpeedScale));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("First ID of project specific templates",
                                                                     &C::m_firstProjectTemplateId));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Last ID of project specific templates",
                                                                     &C::m_lastProjectTemplateId));

    table.AddProperty(new RTTIPropertyGroup("Shadows"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Filter kernel size", &C::m_filterKernelSize));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Depth bias", &C::m_depthBias));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Slope depth bias", &C::m_slopeDepthBias));
    table.AddProperty(new RTTIEmbeddedObjectProperty<C, OutlineParams>("Outline", &C::m_outline));
    table.AddProperty(new RTTIEmbeddedObjectProperty<C, OutlineParams>("UI outline", &C::m_uiOutline));

    table.AddProperty(new RTTIPropertyGroup("Various effects"));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, float>("Effect softness distance", &C::m_effectSoftnessDistance));

    table.AddProperty(new RTTIPropertyGroup("Rendering features"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Fake shadows", &C::m_fakeShadows));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Outlines", &C::m_outlines));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, bool>("Post upscale depth/stencil", &C::m_postUpscaleDepthStencil));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, float>("Lightmap texel density", &C::m_lightmapTexelDensity));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Postprocess shader", &C::m_postprocessShader));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>("Postprocess param 1", &C::m_postprocessParam1));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>("Postprocess param 2", &C::m_postprocessParam2));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>("Postprocess param 3", &C::m_postprocessParam3));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>("Postprocess param 4", &C::m_postprocessParam4));

    table.AddProperty(new RTTIPropertyGroup("Default volumes"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Default sound volume", &C::m_defaultSoundVolume));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Default music volume", &C::m_defaultMusicVolume));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Default speech volume", &C::m_defaultSpeechVolume));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Scale sounds position by screen aspect ratio",
                                                                 &C::m_scaleSoundsPositionByScreenAspectRatio));

    table.AddProperty(new RTTIPropertyGroup("UI"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Old UI Behaviour", &C::m_oldUIBehaviour));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("UI screen width", &C::m_uiScreenWidth));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("UI screen height", &C::m_uiScreenHeight));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("UI screen Z Near Mult", &C::m_uiScreenZNearMult));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("UI screen Z Far Mult", &C::m_uiScreenZFarMult));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, SimpleGUID>("UI scene param template",
                                                                       &C::m_uiSceneParamTemplate, kUIPropertyFlag));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, std::string>("UI prefab path prefix", &C::m_uiPrefabPathPrefix));
    table.AddProperty(new RTTIDynarrayProperty<C, NameString, DynarraySafe<NameString>>("UI property names",
                                                                                        &C::m_uiPropertyNames));

    table.AddProperty(new RTTIPropertyGroup("Mobile memory"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Mesh optimziation vertex limit",
                                                                     &C::m_meshOptimizationVertexLimit));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Sound pool MB", &C::m_soundPoolMB));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Sound decoders", &C::m_soundDecoders));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Animation buffer KB", &C::m_animationBufferKB));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("World range", &C::m_worldRange));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("World cell", &C::m_worldCell));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Max particles", &C::m_maxParticles));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Particles per system", &C::m_particlesPerSystem));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Particle spawn rate multiplier",
                                                                  &C::m_particleSpawnRateMultiplier));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Particle pausing", &C::m_particlePausing));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Collision vertices", &C::m_collisionVertices));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, bool>("PC uses mobile settings", &C::m_pcUsesMobileSettings));

    table.AddProperty(new RTTIPropertyGroup("Android"));
    table.AddProperty(new RTTIDynarrayOfEmbeddedObjectsProperty<C, MobileDeviceEntry>("Android device config",
                                                                                       &C::m_androidDeviceConfig));
    table.AddProperty(new RTTIDynarrayOfEmbeddedObjectsProperty<C, MobileTextureQualityEntry>(
        "Mobile texture config", &C::m_mobileTextureConfig));

    table.AddProperty(new RTTIPropertyGroup("Physics"));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("PhysX enabled", &C::m_physXEnabled));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("PhysX simulation speed multiplier",
                                                                  &C::m_physXSimulationSpeedMultiplier));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, float>("PhysX earthquake force", &C::m_physXEarthquakeForce));
}

ProjectConfig::ProjectConfig()
    : m_executableFileName("Default"),
      m_distributionServerStartingAddress(kDefaultDistributionAddress),
      m_distributionServerSubnetMask(kDefaultSubnetMask),
      m_defaultLanguage(kLanguageDefault),
      m_textLanguage(kLanguageDefault),
      m_voiceLanguage(kLanguageEnglish)
{
}

void ProjectConfig::Clear()
{
    m_executableFileName.clear();
    m_defaultScene.clear();
    m_defaultDelegateTag.clear();
    m_storeDefinitionFile.clear();
    m_distributionTag.clear();
    m_uiPrefabPathPrefix.clear();
    m_distributionServerStartingAddress = NameString();
    m_distributionServerSubnetMask = NameString();
    m_postprocessShader = NameString();
    m_fontReplacements.FreeStorage();
    m_sceneVariations.FreeStorage();
    m_uiPropertyNames.FreeStorage();
    m_androidDeviceConfig.FreeStorage();
    m_mobileTextureConfig.FreeStorage();
}

void ProjectConfig::OnPropertyChanged(const RTTIProperty* property)
{
    const char* name = property != nullptr ? property->GetName().c_str() : nullptr;
    if ((name == nullptr || property->GetName() == kDefaultLanguageName) && gConfigServices.selectSteamLanguage != nullptr)
        gConfigServices.selectSteamLanguage();
    // A listener may remove itself while being told, so walk a copy.
    const Dynarray<ProjectConfigChangeListener*> listeners = m_changeListeners;
    for (ProjectConfigChangeListener* listener : listeners)
        listener->OnProjectConfigChanged(*this, name);
}

void ProjectConfig::OnPostLoad(uint32_t flags)
{
    (void)flags;
    // Enumerations index name lists; values from a file are bounded.
    if (m_defaultLanguage >= kLanguageCount)
        m_defaultLanguage = kLanguageDefault;
    if (m_textLanguage >= kLanguageCount)
        m_textLanguage = kLanguageDefault;
    if (m_voiceLanguage >= kLanguageCount)
        m_voiceLanguage = kLanguageEnglish;
    if (m_subtitleMode > 2)
        m_subtitleMode = 0;
    if (m_visualizationMode > VISUALIZATION_IPAD2)
        m_visualizationMode = VISUALIZATION_PC;
    OnPropertyChanged(nullptr);
}

void ProjectConfig::AddChangeListener(ProjectConfigChangeListener* listener)
{
    if (listener != nullptr)
        m_changeListeners.Add(listener);
}

void ProjectConfig::RemoveChangeListener(ProjectConfigChangeListener* listener)
{
    m_changeListeners.RemoveValue(listener);
}

bool ProjectConfig::FindFontReplacement(uint32_t language, const NameString& font, NameString& name, float& scale,
                                        uint32_t& granularity, uint32_t& maxSize) const
{
    for (const FontReplacement& row : m_fontReplacements)
    {
        if (row.m_language == language && row.m_original == font)
        {
            name = row.m_replacement;
            scale = row.m_scale;
            granularity = row.m_granularity;
            maxSize = row.m_maxSize;
            return true;
        }
    }
    name = font;
    scale = 1.0f;
    granularity = 1;
    maxSize = 0;
    return false;
}

bool ProjectConfig::UsesMobileSettings() const
{
    return m_pcUsesMobileSettings || m_visualizationMode == VISUALIZATION_IPHONE ||
           m_visualizationMode == VISUALIZATION_IPAD2;
}

uint32_t ProjectConfig::GetSoundPoolMB() const
{
    return UsesMobileSettings() ? m_soundPoolMB : 32;
}

uint32_t ProjectConfig::GetSoundDecoders() const
{
    return UsesMobileSettings() ? m_soundDecoders : 64;
}

uint32_t ProjectConfig::GetAnimationBufferKB() const
{
    return UsesMobileSettings() ? m_animationBufferKB : 1024;
}

float ProjectConfig::GetWorldRange() const
{
    return UsesMobileSettings() ? m_worldRange : 2400.0f;
}

float ProjectConfig::GetWorldCell() const
{
    return UsesMobileSettings() ? m_worldCell : 40.0f;
}

uint32_t ProjectConfig::GetMaxParticles() const
{
    return UsesMobileSettings() ? m_maxParticles : 262144;
}

uint32_t ProjectConfig::GetParticlesPerSystem() const
{
    return UsesMobileSettings() ? m_particlesPerSystem : 10922;
}

bool ProjectConfig::IsParticlePausingEnabled() const
{
    return UsesMobileSettings() ? m_particlePausing : true;
}

bool ProjectConfig::UseCollisionVertices() const
{
    return UsesMobileSettings() ? m_collisionVertices : true;
}

float ProjectConfig::GetParticleSpawnRateMultiplier() const
{
    return UsesMobileSettings() ? m_particleSpawnRateMultiplier : 1.0f;
}
