#include "renderer/DeviceParams.h"

#include <algorithm>

void FillDeviceParams(const RendererDeviceSettings& settings, uint32_t outputWidth, uint32_t outputHeight,
                      bool applyConfiguration, bool fullScreen, DeviceParams* params)
{
    DeviceParams p;
    const uint32_t quality = settings.gfxQualityLevel;
    p.outputWidth = outputWidth;
    p.outputHeight = outputHeight;
    p.scale = applyConfiguration ? settings.semiResolutionScreenScale : 1.0f;
    p.renderWidth = uint32_t(float(outputWidth) * p.scale);
    p.renderHeight = uint32_t(float(outputHeight) * p.scale);
    p.msaaMode = settings.msaaMode;
    p.qualityLevel = quality;
    if (quality != 0)
    {
        p.shadowMapSize = std::clamp<uint32_t>(settings.shadowMapSize, 16, 4096);
        if (quality < 2)
            p.shadowMapSize /= 2;
    }
    p.shadowMapEnabled = quality != 0 && settings.enableShadowMap;
    p.gpuSync = settings.gpuSync;
    p.filterKernelSize = settings.filterKernelSize;
    p.depthBias = settings.depthBias;
    p.slopeDepthBias = settings.slopeDepthBias;
    p.shadowMapFiltering = settings.enableShadowMap && settings.enableShadowMapFiltering && quality > 2;
    p.refraction = settings.enableRefraction && quality >= 2;
    p.outlinesEnabled = settings.enableOutlines;
    p.vsync = applyConfiguration && settings.vsync;
    p.fullScreen = fullScreen;
    p.standaloneBuild = settings.standaloneBuild;
    p.projectOutlines = settings.outlines;
    p.projectFakeShadows = settings.fakeShadows;
    p.highQuality = quality >= 3;
    p.postUpscaleDepthStencil = settings.postUpscaleDepthStencil;
    p.effectSoftnessDistance = settings.effectSoftnessDistance;
    *params = p;
}
