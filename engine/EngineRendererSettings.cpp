#include "engine/EngineRendererSettings.h"

#include "engine/config/EngineConfig.h"
#include "engine/config/ProjectConfig.h"

RendererDeviceSettings BuildRendererDeviceSettings(const EngineConfig& config, const ProjectConfig& project)
{
    const RendererConfigContainer& renderer = config.m_rendererConfig;
    RendererDeviceSettings settings;
    settings.msaaMode = renderer.m_msaaMode;
    settings.gfxQualityLevel = renderer.m_gfxQualityLevel;
    settings.shadowMapSize = renderer.m_shadowMapSize;
    settings.gpuSync = renderer.m_gpuSync;
    settings.vsync = renderer.m_vSync;
    settings.enableShadowMap = renderer.m_enableShadowMap;
    settings.enableShadowMapFiltering = renderer.m_enableShadowMapFiltering;
    settings.enableFullScreenEffects = renderer.m_enableFullScreenEffects;
    settings.enableRefraction = renderer.m_enableRefraction;
    settings.enableOutlines = renderer.m_enableOutlines;
    settings.semiResolutionScreenScale = renderer.m_semiResolutionScreenScale;
    settings.standaloneBuild = config.IsStandaloneBuild();
    settings.filterKernelSize = project.m_filterKernelSize;
    settings.depthBias = project.m_depthBias;
    settings.slopeDepthBias = project.m_slopeDepthBias;
    settings.effectSoftnessDistance = project.m_effectSoftnessDistance;
    settings.outlines = project.m_outlines;
    settings.fakeShadows = project.m_fakeShadows;
    settings.postUpscaleDepthStencil = project.m_postUpscaleDepthStencil;
    return settings;
}
