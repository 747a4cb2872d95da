// The renderer's device parameter block and the configuration values it is built from. The game
// thread builds a block; the renderer keeps its copy under the display lock. Plain data.
#pragma once

#include <cstdint>

// Configuration read when the device parameters are built: the user's renderer settings and the
// project's values. Engine start-up fills it (BuildRendererDeviceSettings); the defaults are those of
// a fresh configuration, so a renderer started without one behaves as a new install.
struct RendererDeviceSettings
{
    uint32_t msaaMode = 0;          // "MSAA Mode": 0 off, 1 two samples, 2 four samples
    uint32_t gfxQualityLevel = 3;   // "GFX quality level"
    uint32_t shadowMapSize = 2048;  // "Shadow map size"
    bool gpuSync = true;            // "GPU Sync"
    bool vsync = true;              // "VSync"
    bool enableShadowMap = true;    // "Enable shadow map"
    bool enableShadowMapFiltering = true; // "Enable shadow map filtering"
    bool enableFullScreenEffects = true;  // "Enable full screen effects"
    bool enableRefraction = true;   // "Enable refraction"
    bool enableOutlines = true;     // "Enable outlines"
    float semiResolutionScreenScale = 1.0f; // "Semi resolution screen scale"
    bool standaloneBuild = false;   // the configuration's standalone-build answer
    // Project configuration.
    float filterKernelSize = 3.0f;  // "Filter kernel size"
    float depthBias = 0.01f;        // "Depth bias"
    float slopeDepthBias = 0.02f;   // "Slope depth bias"
    float effectSoftnessDistance = 2.5f; // "Effect softness distance"
    bool outlines = true;           // "Outlines"
    bool fakeShadows = true;        // "Fake shadows"
    bool postUpscaleDepthStencil = false; // "Post upscale depth/stencil"
};

// The 16-word block (64 bytes): words 0-6, bytes 28-29, words 8-10, bytes 44-49, word 13, bytes
// 56-59, word 15.
struct DeviceParams
{
    uint32_t outputWidth = 0; // as requested, 0 when not given
    uint32_t outputHeight = 0;
    uint32_t renderWidth = 0; // output size x scale, truncated
    uint32_t renderHeight = 0;
    uint32_t msaaMode = 0;
    uint32_t qualityLevel = 0;
    uint32_t shadowMapSize = 0;
    uint8_t shadowMapEnabled = 0;
    uint8_t gpuSync = 0;
    uint8_t pad30[2] = {};
    float filterKernelSize = 0.0f;
    float depthBias = 0.0f;
    float slopeDepthBias = 0.0f;
    uint8_t shadowMapFiltering = 0;
    uint8_t refraction = 0;
    uint8_t outlinesEnabled = 0;
    uint8_t vsync = 0;
    uint8_t fullScreen = 0;
    uint8_t standaloneBuild = 0;
    uint8_t pad50[2] = {};
    float scale = 1.0f;
    uint8_t projectOutlines = 0;
    uint8_t projectFakeShadows = 0;
    uint8_t highQuality = 0; // quality at least 3
    uint8_t postUpscaleDepthStencil = 0;
    float effectSoftnessDistance = 0.0f;
};
static_assert(sizeof(DeviceParams) == 64);

// Fills the block from the settings: output size (0 keeps none), apply-configuration flag, full screen.
void FillDeviceParams(const RendererDeviceSettings& settings, uint32_t outputWidth, uint32_t outputHeight,
                      bool applyConfiguration, bool fullScreen, DeviceParams* params);
