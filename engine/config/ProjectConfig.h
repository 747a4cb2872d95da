// The game project's own settings, read once from "Project.ConfigBin" in "common" and never
// written by the game. Main thread; other subsystems read the global gProjectConfig.
#pragma once

#include "core/SimpleGUID.h"
#include "core/containers/Dynarray.h"
#include "core/math/Vector.h"
#include "core/reflection/RTTIPolyBaseClass.h"
#include "core/strings/NameString.h"
#include "engine/config/FontReplacement.h"
#include "engine/config/MobileQualityEntries.h"
#include "renderer/OutlineParams.h"

#include <cstdint>
#include <string>

class ProjectConfig;

// Told about every property change of the project configuration (null name: everything changed).
class ProjectConfigChangeListener
{
public:
    virtual ~ProjectConfigChangeListener() = default;
    virtual void OnProjectConfigChanged(ProjectConfig& config, const char* propertyName) = 0;
};

// Reflected project settings with font replacements, budgets and change listeners.
class ProjectConfig : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(ProjectConfig, RTTIPolyBaseClass)

public:
    // Values of "Visualization mode".
    enum VisualizationMode : uint32_t
    {
        VISUALIZATION_PC = 0,
        VISUALIZATION_IPHONE = 1,
        VISUALIZATION_IPAD2 = 2,
    };

    ProjectConfig();
    ProjectConfig(const ProjectConfig&) = delete;
    ProjectConfig& operator=(const ProjectConfig&) = delete;

    // Frees the strings and arrays and empties the names, before a fresh read.
    void Clear();

    // Null or "Default language": the text language is chosen again; then every listener in order.
    void OnPropertyChanged(const RTTIProperty* property) override;
    // Reading the file counts as a change of everything.
    void OnPostLoad(uint32_t flags) override;
    void AddChangeListener(ProjectConfigChangeListener* listener);
    void RemoveChangeListener(ProjectConfigChangeListener* listener);

    // The first row for the language and font gives the replacement; without one the font keeps its
    // own name with scale 1.0, granularity 1 and no maximum size, and the result is false.
    bool FindFontReplacement(uint32_t language, const NameString& font, NameString& name, float& scale,
                             uint32_t& granularity, uint32_t& maxSize) const;

    // Budgets: the project's values when mobile settings apply, else the PC values.
    bool UsesMobileSettings() const;
    uint32_t GetSoundPoolMB() const;
    uint32_t GetSoundDecoders() const;
    uint32_t GetAnimationBufferKB() const;
    float GetWorldRange() const;
    float GetWorldCell() const;
    uint32_t GetMaxParticles() const;
    uint32_t GetParticlesPerSystem() const;
    bool IsParticlePausingEnabled() const;
    bool UseCollisionVertices() const;
    float GetParticleSpawnRateMultiplier() const;

    std::string m_executableFileName;
    std::string m_defaultScene;
    std::string m_defaultDelegateTag;
    std::string m_storeDefinitionFile;
    std::string m_distributionTag;
    NameString m_distributionServerStartingAddress;
    NameString m_distributionServerSubnetMask;
    std::string m_uiPrefabPathPrefix;
    float m_defaultAssetImportScale = 1.0f;
    bool m_enableController = false;
    bool m_enableControllerVibrations = true;
    float m_xboxControllerDeadZone = 0.25f;
    float m_editorFOV = 60.0f; // degrees
    float m_editorNearPlane = 0.01f;
    float m_editorFarPlane = 1000.0f;
    float m_editorHelperScale = 1.0f;
    float m_editorZoomSpeedScale = 1.0f;
    uint32_t m_languageMask = 0xFFFFFFFFu; // bit n = language n available
    uint32_t m_defaultLanguage;
    DynarraySafe<FontReplacement> m_fontReplacements;
    DynarraySafe<NameString> m_sceneVariations;
    NameString m_postprocessShader;
    Vector m_postprocessParam1;
    Vector m_postprocessParam2;
    Vector m_postprocessParam3;
    Vector m_postprocessParam4;
    uint32_t m_textLanguage;
    uint32_t m_voiceLanguage;
    uint32_t m_subtitleMode = 0;
    float m_filterKernelSize = 3.0f;
    float m_depthBias = 0.01f;
    float m_slopeDepthBias = 0.02f;
    OutlineParams m_outline;
    OutlineParams m_uiOutline;
    float m_effectSoftnessDistance = 2.5f;
    bool m_fakeShadows = true;
    bool m_outlines = true;
    bool m_postUpscaleDepthStencil = false;
    float m_lightmapTexelDensity = 1.0f;
    float m_defaultSoundVolume = 1.0f;
    float m_defaultMusicVolume = 1.0f;
    float m_defaultSpeechVolume = 1.0f;
    bool m_scaleSoundsPositionByScreenAspectRatio = false;
    SimpleGUID m_uiSceneParamTemplate;
    float m_uiScreenWidth = 1280.0f;
    float m_uiScreenHeight = 720.0f;
    float m_uiScreenZNearMult = 1.0f;
    float m_uiScreenZFarMult = 3.0f;
    DynarraySafe<NameString> m_uiPropertyNames;
    uint32_t m_meshOptimizationVertexLimit = 200;
    uint32_t m_soundPoolMB = 7;
    uint32_t m_soundDecoders = 16;
    uint32_t m_animationBufferKB = 128;
    uint32_t m_maxParticles = 8192;
    uint32_t m_particlesPerSystem = 1024;
    float m_particleSpawnRateMultiplier = 1.0f;
    float m_worldRange = 2400.0f;
    float m_worldCell = 40.0f;
    bool m_particlePausing = true;
    bool m_collisionVertices = true;
    bool m_pcUsesMobileSettings = false;
    DynarraySafe<MobileDeviceEntry> m_androidDeviceConfig;
    DynarraySafe<MobileTextureQualityEntry> m_mobileTextureConfig;
    uint32_t m_visualizationMode = VISUALIZATION_PC;
    bool m_physXEnabled = false;
    float m_physXSimulationSpeedMultiplier = 1.0f;
    float m_physXEarthquakeForce = 18000.0f;
    uint32_t m_firstProjectTemplateId = 0;
    uint32_t m_lastProjectTemplateId = 0;
    bool m_oldUIBehaviour = false;

private:
    Dynarray<ProjectConfigChangeListener*> m_changeListeners;
};

extern ProjectConfig gProjectConfig;
