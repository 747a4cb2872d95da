// The renderer's off-screen targets: the scene drawn at render-target size, its depth, the post
// chain's ping-pong pair, the auxiliary, ambient occlusion and shadow targets, the lighting cubes,
// and the multisampled pair. All of them go before a device reset and come back after it.
// Render thread (or the game thread while it holds the device).
#pragma once

#include "platform/gpu/GpuTypes.h"
#include "renderer/RenderTarget.h"

#include <cstdint>

class TextureHolder;

namespace gpu
{
class GpuDevice;
class GpuSurface;
}

// What the targets are made for.
struct RenderTargetSettings
{
    uint32_t renderWidth = 0;
    uint32_t renderHeight = 0;
    uint32_t backBufferWidth = 0;
    uint32_t backBufferHeight = 0;
    uint32_t qualityLevel = 0;
    uint32_t msaaMode = 0; // 0 off, 1 two samples, 2 four samples
    uint32_t shadowMapSize = 0;
    bool refraction = false; // "Enable refraction" (taken with quality level 2 or more)
    bool hardwareDepth = false;
    bool intz = false; // INTZ depth textures, preferred over RAWZ
    bool fakeShadows = false; // the project draws blob shadows
};

// Every target the renderer draws into besides the back buffer.
class RenderTargetSet
{
public:
    static constexpr uint32_t kLightingCubeEdge = 64;
    static constexpr uint32_t kEmptyCubeEdge = 4;

    RenderTargetSet() = default;
    ~RenderTargetSet() { Release(); }
    RenderTargetSet(const RenderTargetSet&) = delete;
    RenderTargetSet& operator=(const RenderTargetSet&) = delete;

    // Releases everything, then makes the set; false (nothing made) when a render-target dimension
    // is 0. A target the device refuses stays empty; only the auxiliary target falls back, from
    // A2R10G10B10 to A8R8G8B8 with one warning.
    bool Create(gpu::GpuDevice* device, const RenderTargetSettings& settings);
    void Release();

    // The sample count of an MSAA mode: 0 for none.
    static uint32_t SampleCount(uint32_t msaaMode);
    // The blob shadow target is a quarter of the render size along each side, at least one pixel.
    static uint32_t FakeShadowSize(uint32_t renderSize) { return renderSize >= 4 ? renderSize / 4 : 1; }

    // The deferred scene passes' targets: the normals, and the light accumulation pair.
    const RenderTarget& GetNormals() const { return pingPong[0]; }
    const RenderTarget& GetLightAccumulation(bool second) const { return second ? auxiliary : pingPong[1]; }

    gpu::Format GetSceneColorFormat() const { return m_sceneColorFormat; }
    uint32_t GetSampleCount() const { return m_sampleCount; }

    RenderTarget refractionCopy;
    RenderTarget linearDepth;
    RenderTarget sceneDepth;
    RenderTarget backBufferDepth;
    RenderTarget sceneColor;
    RenderTarget backBufferColor;
    RenderTarget pingPong[2];
    RenderTarget auxiliary;
    RenderTarget shadowDummy;
    RenderTarget ambientOcclusion[2];
    RenderTarget shadowMap;
    RenderTarget fakeShadow;
    gpu::GpuSurface* multisampledColor = nullptr;
    gpu::GpuSurface* multisampledDepth = nullptr;
    TextureHolder* lightingCube = nullptr;
    TextureHolder* emptyCube = nullptr;

private:
    static TextureHolder* CreateCube(gpu::GpuDevice* device, uint32_t edge);
    // Clears every face of the empty cube to black, keeping render target 0 and the viewport.
    static void ClearCube(gpu::GpuDevice* device, TextureHolder* cube, uint32_t edge);

    gpu::Format m_sceneColorFormat = gpu::kFormatA2R10G10B10;
    uint32_t m_sampleCount = 0;
};
