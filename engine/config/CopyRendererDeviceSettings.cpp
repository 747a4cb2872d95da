#include "engine/config/CopyRendererDeviceSettings.h"

#include "engine/config/EngineConfig.h"
#include "engine/config/ProjectConfig.h"

void CopyRendererDeviceSettings(const EngineConfig& config, const ProjectConfig& project,
                                RendererDeviceSettings* settings)
{
    const RendererConfigContainer& renderer = config.m_rendererConfig;
    RendererDeviceSettings s;
    s.msaaMode = renderer.m_msaaMode;
    s.gfxQualityLevel = renderer.m_gfxQualityLevel;
    s.shadowMapSize = renderer.m_shadowMapSize;
    s.gpuSync = renderer.m_gpuSync;
    s.vsync = renderer.m_vSync;
    s.enableShadowMap = renderer.m_enableShadowMap;
    s.enableShadowMapFiltering = renderer.m_enableShadowMapFiltering;
    s.enableFullScreenEffects = renderer.m_enableFullScreenEffects;
    s.enableRefraction = renderer.m_enableRefraction;
    s.enableOutlines = renderer.m_enableOutlines;
    s.semiResolutionScreenScale = renderer.m_semiResolutionScreenScale;
    s.standaloneBuild = config.IsStandaloneBuild();
    s.filterKernelSize = project.m_filterKernelSize;
    s.depthBias = project.m_depthBias;
    s.slopeDepthBias = project.m_slopeDepthBias;
    s.effectSoftnessDistance = project.m_effectSoftnessDistance;
    s.outlines = project.m_outlines;
    s.fakeShadows = project.m_fakeShadows;
    s.postUpscaleDepthStencil = project.m_postUpscaleDepthStencil;
    *settings = s;
}
