// The renderer's start-up settings copied from the user and project configurations.
#include "engine/EngineRendererSettings.h"
#include "engine/config/GameConfig.h"
#include "engine/config/ProjectConfig.h"

#include <gtest/gtest.h>

namespace
{
void ExpectSameSettings(const RendererDeviceSettings& a, const RendererDeviceSettings& b)
{
    EXPECT_EQ(a.msaaMode, b.msaaMode);
    EXPECT_EQ(a.gfxQualityLevel, b.gfxQualityLevel);
    EXPECT_EQ(a.shadowMapSize, b.shadowMapSize);
    EXPECT_EQ(a.gpuSync, b.gpuSync);
    EXPECT_EQ(a.vsync, b.vsync);
    EXPECT_EQ(a.enableShadowMap, b.enableShadowMap);
    EXPECT_EQ(a.enableShadowMapFiltering, b.enableShadowMapFiltering);
    EXPECT_EQ(a.enableFullScreenEffects, b.enableFullScreenEffects);
    EXPECT_EQ(a.enableRefraction, b.enableRefraction);
    EXPECT_EQ(a.enableOutlines, b.enableOutlines);
    EXPECT_EQ(a.semiResolutionScreenScale, b.semiResolutionScreenScale);
    EXPECT_EQ(a.standaloneBuild, b.standaloneBuild);
    EXPECT_EQ(a.filterKernelSize, b.filterKernelSize);
    EXPECT_EQ(a.depthBias, b.depthBias);
    EXPECT_EQ(a.slopeDepthBias, b.slopeDepthBias);
    EXPECT_EQ(a.effectSoftnessDistance, b.effectSoftnessDistance);
    EXPECT_EQ(a.outlines, b.outlines);
    EXPECT_EQ(a.fakeShadows, b.fakeShadows);
    EXPECT_EQ(a.postUpscaleDepthStencil, b.postUpscaleDepthStencil);
}
} // namespace

TEST(EngineRendererSettingsTest, FreshConfigurationsGiveTheSettingsDefaults)
{
    const EngineConfig config;
    const ProjectConfig project;
    const RendererDeviceSettings copied = BuildRendererDeviceSettings(config, project);
    ExpectSameSettings(copied, RendererDeviceSettings());
    EXPECT_TRUE(copied.vsync);
    EXPECT_TRUE(copied.gpuSync);
    EXPECT_EQ(copied.gfxQualityLevel, 3u);
    EXPECT_EQ(copied.shadowMapSize, 2048u);
    EXPECT_FLOAT_EQ(copied.filterKernelSize, 3.0f);
}

TEST(EngineRendererSettingsTest, EveryValueComesFromItsProperty)
{
    GameConfig config;
    RendererConfigContainer& r = config.m_rendererConfig;
    r.m_msaaMode = 2;
    r.m_gfxQualityLevel = 1;
    r.m_shadowMapSize = 512;
    r.m_gpuSync = false;
    r.m_vSync = false;
    r.m_enableShadowMap = false;
    r.m_enableShadowMapFiltering = false;
    r.m_enableFullScreenEffects = false;
    r.m_enableRefraction = false;
    r.m_enableOutlines = false;
    r.m_semiResolutionScreenScale = 0.5f;
    ProjectConfig project;
    project.m_filterKernelSize = 5.0f;
    project.m_depthBias = 0.25f;
    project.m_slopeDepthBias = 0.5f;
    project.m_effectSoftnessDistance = 7.0f;
    project.m_outlines = false;
    project.m_fakeShadows = false;
    project.m_postUpscaleDepthStencil = true;

    const RendererDeviceSettings copied = BuildRendererDeviceSettings(config, project);
    RendererDeviceSettings expected;
    expected.msaaMode = 2;
    expected.gfxQualityLevel = 1;
    expected.shadowMapSize = 512;
    expected.gpuSync = false;
    expected.vsync = false;
    expected.enableShadowMap = false;
    expected.enableShadowMapFiltering = false;
    expected.enableFullScreenEffects = false;
    expected.enableRefraction = false;
    expected.enableOutlines = false;
    expected.semiResolutionScreenScale = 0.5f;
    expected.standaloneBuild = true; // the game's configuration answers yes
    expected.filterKernelSize = 5.0f;
    expected.depthBias = 0.25f;
    expected.slopeDepthBias = 0.5f;
    expected.effectSoftnessDistance = 7.0f;
    expected.outlines = false;
    expected.fakeShadows = false;
    expected.postUpscaleDepthStencil = true;
    ExpectSameSettings(copied, expected);
    r.m_vSync = true;
    EXPECT_TRUE(BuildRendererDeviceSettings(config, project).vsync) << "apart from GPU sync";
}
