#include "engine/config/LUAConfigHelper.h"

#include "core/console/GameConsole.h"
#include "effects/particles/ParticleSystem.h"
#include "engine/EngineRendererSettings.h"
#include "engine/NorvexEngine.h"
#include "engine/config/GameConfig.h"
#include "engine/config/ProjectConfig.h"
#include "engine/platform/PlatformState.h"
#include "renderer/NorvexRenderer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

LUAConfigHelper gConfigHelper;

namespace
{
RendererConfigContainer& RendererConfig() { return gGameConfig.m_rendererConfig; }

NorvexRenderer* Renderer() { return gNorvexEngine.GetRenderer(); }

void RequestDeviceReset()
{
    if (NorvexRenderer* renderer = Renderer())
        renderer->RequestDeviceReset();
}

const std::vector<DisplayModeEntry>* DisplayModes()
{
    const NorvexRenderer* renderer = Renderer();
    return renderer != nullptr ? &renderer->GetDisplayModes().Modes() : nullptr;
}
} // namespace

void LUAConfigHelper::ReapplyDisplaySettings(NorvexRenderer& renderer)
{
    renderer.SetDeviceSettings(BuildRendererDeviceSettings(gGameConfig, gProjectConfig));
    renderer.ApplyDisplaySettings(gPlatform.window, renderer.GetBackBufferWidth(), renderer.GetBackBufferHeight(), true,
                                  gPlatform.displayChanged);
}

uint32_t LUAConfigHelper::GetGFXQualityLevel() const { return RendererConfig().m_gfxQualityLevel; }

void LUAConfigHelper::SetGFXQualityLevel(uint32_t level)
{
    RendererConfig().m_gfxQualityLevel = std::min(level, RendererConfigContainer::kMaxQualityLevel);
    // Particle systems choose their shader variant by the renderer's copy of the level.
    NorvexRenderer* renderer = Renderer();
    if (renderer != nullptr && renderer->SetGFXQualityLevel(RendererConfig().m_gfxQualityLevel))
        ParticleSystem::RebuildAllShaders();
}

float LUAConfigHelper::GetScreenResolutionScale() const { return RendererConfig().m_semiResolutionScreenScale; }

void LUAConfigHelper::SetScreenResolutionScale(float scale)
{
    RendererConfig().m_semiResolutionScreenScale = std::clamp(scale, 0.1f, 1.0f);
    RequestDeviceReset();
}

float LUAConfigHelper::GetBrightness() const { return RendererConfig().m_brightness; }

void LUAConfigHelper::SetBrightness(float brightness)
{
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, "Brightness set to %f", brightness);
    RendererConfig().m_brightness = std::clamp(brightness, 0.0f, 1.0f);
    if (NorvexRenderer* renderer = Renderer())
        renderer->SetBrightness(RendererConfig().m_brightness);
}

float LUAConfigHelper::GetScreenScaleX() const { return RendererConfig().m_screenScaleX; }

void LUAConfigHelper::SetScreenScaleX(float scale)
{
    RendererConfig().m_screenScaleX = std::clamp(scale, 0.0f, 1.0f);
    if (NorvexRenderer* renderer = Renderer())
        renderer->SetScreenScaleX(RendererConfig().m_screenScaleX);
}

float LUAConfigHelper::GetScreenScaleY() const { return RendererConfig().m_screenScaleY; }

void LUAConfigHelper::SetScreenScaleY(float scale)
{
    RendererConfig().m_screenScaleY = std::clamp(scale, 0.0f, 1.0f);
    if (NorvexRenderer* renderer = Renderer())
        renderer->SetScreenScaleY(RendererConfig().m_screenScaleY);
}

void LUAConfigHelper::SetZoom(float zoom)
{
    const float clamped = std::clamp(zoom, 0.0f, 1.0f);
    SetScreenScaleX(clamped);
    SetScreenScaleY(clamped);
}

void LUAConfigHelper::ToggleShadows()
{
    RendererConfig().m_enableShadowMap = !RendererConfig().m_enableShadowMap;
    if (NorvexRenderer* renderer = Renderer())
        ReapplyDisplaySettings(*renderer);
}

void LUAConfigHelper::ToggleVSync()
{
    RendererConfig().m_vSync = !RendererConfig().m_vSync;
    RequestDeviceReset();
}

bool LUAConfigHelper::IsHDMode() const { return gGameConfig.IsHDMode(); }

void LUAConfigHelper::EnableFrontToBackSorting(bool enable)
{
    if (NorvexRenderer* renderer = Renderer())
        renderer->EnableFrontToBackSorting(enable);
}

bool LUAConfigHelper::IsFrontToBackSortingEnabled() const
{
    const NorvexRenderer* renderer = Renderer();
    return renderer != nullptr && renderer->IsFrontToBackSortingEnabled();
}

bool LUAConfigHelper::GetFullScreen() const { return gGameConfig.m_fullScreenMode; }

void LUAConfigHelper::SetFullScreen(bool fullScreen) { gGameConfig.m_fullScreenMode = fullScreen; }

bool LUAConfigHelper::GetOutlineState() const { return RendererConfig().m_enableOutlines; }

void LUAConfigHelper::SetOutlineState(bool on) { RendererConfig().m_enableOutlines = on; }

void LUAConfigHelper::AdjustScreenModeTableToDisplayMode() { m_fullScreenCopy = gGameConfig.m_fullScreenMode; }

uint32_t LUAConfigHelper::GetScreenModeCount() const
{
    if (!m_fullScreenCopy)
        return kWindowedModeCount;
    const auto* modes = DisplayModes();
    return modes != nullptr ? uint32_t(modes->size()) : 0;
}

std::string LUAConfigHelper::GetScreenModeDesc(uint32_t index) const
{
    char text[32];
    if (m_fullScreenCopy)
    {
        // Scripts pass the index: one past the list must not read past it.
        const auto* modes = DisplayModes();
        if (modes == nullptr || index >= modes->size())
            return std::string();
        std::snprintf(text, sizeof(text), "%dx%d", int((*modes)[index].width), int((*modes)[index].height));
        return text;
    }
    const float step = kScaleSteps[std::min(index, kWindowedModeCount - 1)];
    std::snprintf(text, sizeof(text), "%u%%", unsigned(step * 100.0f + 0.5f));
    return text;
}

void LUAConfigHelper::SetScreenMode(uint32_t index)
{
    if (m_fullScreenCopy)
    {
        const auto* modes = DisplayModes();
        if (modes == nullptr || index >= modes->size() || gPlatform.desktopWidth == 0)
        {
            gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "SetScreenMode: no display mode %u", index);
            return;
        }
        const float scale = float((*modes)[index].width) / float(gPlatform.desktopWidth);
        RendererConfig().m_semiResolutionScreenScale = std::min(scale, 1.0f);
    }
    else
    {
        RendererConfig().m_semiResolutionScreenScale = kScaleSteps[std::min(index, kWindowedModeCount - 1)];
    }
    RequestDeviceReset();
}

uint32_t LUAConfigHelper::GetScreenMode() const
{
    const float scale = RendererConfig().m_semiResolutionScreenScale;
    if (m_fullScreenCopy)
    {
        const NorvexRenderer* renderer = Renderer();
        if (renderer == nullptr)
            return 0;
        uint32_t width = uint32_t(float(gPlatform.desktopWidth) * scale);
        uint32_t height = uint32_t(float(gPlatform.desktopHeight) * scale);
        uint32_t refreshRate = 0;
        if (!renderer->FindDisplayMode(&width, &height, &refreshRate))
            return 0;
        const auto& modes = renderer->GetDisplayModes().Modes();
        for (uint32_t i = 0; i < modes.size(); ++i)
            if (modes[i].width == width && modes[i].height == height)
                return i;
        return 0;
    }
    uint32_t nearest = kWindowedModeCount - 1;
    float nearestDistance = 2.0f;
    for (uint32_t i = 0; i < kWindowedModeCount; ++i)
    {
        const float distance = std::abs(kScaleSteps[i] - scale);
        if (distance < nearestDistance) // the first step wins a tie
        {
            nearest = i;
            nearestDistance = distance;
        }
    }
    return nearest;
}
