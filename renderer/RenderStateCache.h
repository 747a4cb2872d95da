// The render-state cache and draw wrappers: what the render thread last set on the device, so that
// redundant state changes are skipped, plus the frame's draw counters, viewport and camera matrices
// that every draw uses.
//
// Threads: render thread only, or the game thread while it holds the device during creation and
// reset (the render thread idle). Calls from any other thread are logged in checked builds.
#pragma once

#include "core/math/Matrix.h"
#include "platform/gpu/GpuTypes.h"

#include <cstdint>

class NorvexRenderer;
class PixelShaderObject;
class RenderTarget;
class TextureHolder;
class VertexShaderObject;

namespace gpu
{
class GpuDevice;
class GpuPixelShader;
class GpuSwapChain;
class GpuVertexShader;
} // namespace gpu

// Sampler flag bits of RenderStateCache::SetTexture.
enum SamplerFlag : uint32_t
{
    SAMPLER_SRGB = 1u << 0,
    SAMPLER_CLAMP_U = 1u << 1,
    SAMPLER_CLAMP_V = 1u << 2,
    SAMPLER_POINT = 1u << 3,
    SAMPLER_FORCE_SRGB = 1u << 6, // keeps sRGB read in scene colour modes 1 and 2
    SAMPLER_BORDER = 1u << 10,
    SAMPLER_LINEAR_MIP = 1u << 11,
    SAMPLER_SCENE_SLOT = 1u << 12, // the environment map of the scene parameter set in force, when it has one
};

// One row of the blend-mode table (device blend numbers).
struct BlendModeRow
{
    uint32_t enable;
    uint32_t op;
    uint32_t source;
    uint32_t destination;
    uint32_t separateAlpha;
    uint32_t alphaOp;
    uint32_t alphaSource;
    uint32_t alphaDestination;
    Vector fade;
};

// The values last set on the device (kUnknown forces the next set).
struct CachedRenderState
{
    static constexpr uint32_t kUnknown = 0xFFFFFFFFu;
    static constexpr uint32_t kBlendModeCount = 10;

    uint32_t blendMode = kUnknown;
    uint32_t cullMode = kUnknown;
    uint32_t alphaTestMode = kUnknown;
    uint32_t alphaReference = kUnknown;
    uint32_t depthFunction = kUnknown;
    uint32_t depthWrite = kUnknown;
    float depthBias = 0.0f;
    bool depthBiasKnown = false;
    float biasedDepthTerm = 0.0f; // 0.7 x depth bias
    const gpu::GpuVertexShader* vertexShader = nullptr;
    const gpu::GpuPixelShader* pixelShader = nullptr;
    bool vertexShaderKnown = false;
    bool pixelShaderKnown = false;
    TextureHolder* holders[gpu::kSamplerCount] = {};
    uint32_t samplerFlags[gpu::kSamplerCount] = {};
    uint32_t stencilEnable = kUnknown;
    uint32_t stencilFunction = kUnknown;
    uint32_t stencilPass = kUnknown;
    uint32_t stencilFail = kUnknown;
    uint32_t stencilDepthFail = kUnknown;
    uint32_t stencilReference = kUnknown;
    uint32_t stencilReadMask = kUnknown;
    uint32_t stencilWriteMask = kUnknown;
    uint32_t renderTargetFlags = 0;
};

// The viewport with its size's reciprocals.
struct ViewportState
{
    gpu::Viewport viewport = {0, 0, 0, 0, 0.0f, 1.0f};
    float width = 0.0f;
    float height = 0.0f;
    float inverseWidth = 0.0f;
    float inverseHeight = 0.0f;
};

// The render thread's camera: view V, projection P (plain and depth-biased), third matrix T and
// what draws derive from them.
struct CameraState
{
    Matrix view = Matrix::ONE;
    Matrix projection = Matrix::ONE;
    Matrix biasedProjection = Matrix::ONE;
    Matrix third = Matrix::ONE;
    Matrix inverseView = Matrix::ONE;
    Matrix inverseProjection = Matrix::ONE;
    Matrix inverseViewProjection = Matrix::ONE;
    Matrix viewProjection = Matrix::ONE;        // P x V
    Matrix biasedThirdProjection = Matrix::ONE; // T x biased P
    Matrix biasedViewProjection = Matrix::ONE;  // T x biased P x V: what draws use
    bool mirrored = false;                      // negative determinant: culling flips
    float depthScale = 1.0f;
};

// The cached state setters, the uncached wrappers and the draw wrappers of the render thread. Cached
// setters call the device only when the value changes; the wrappers always do.
class RenderStateCache
{
public:
    explicit RenderStateCache(NorvexRenderer& renderer);
    RenderStateCache(const RenderStateCache&) = delete;
    RenderStateCache& operator=(const RenderStateCache&) = delete;

    // Forgets the cached state and puts the device's samplers and stencil in the known defaults.
    void Reset();
    // Mode 0 to 9 of the blend-mode table.
    void SetBlendMode(uint32_t mode);
    static const Vector& GetBlendModeFadeVector(uint32_t mode);
    void SetCullMode(uint32_t cullMode);
    // Mode 0 off, 1 on with greater, 2 on with less; other modes change nothing.
    void SetAlphaTest(uint32_t mode, uint32_t reference);
    void SetDepthState(uint32_t compareFunction, bool writeEnable, float bias);
    void SetVertexShader(const VertexShaderObject* shader);
    void SetPixelShader(const PixelShaderObject* shader);
    // Binds the holder's texture (or none) and sets the sampler states of the SamplerFlag groups
    // that changed since the stage's last flags.
    void SetTexture(uint32_t stage, TextureHolder* holder, uint32_t flags);
    void SetStencilOps(uint32_t pass, uint32_t fail, uint32_t depthFail);
    void SetStencilFunc(uint32_t function, uint32_t reference, uint32_t readMask, uint32_t writeMask);
    void SetStencilWriteMask(uint32_t mask);
    void DisableStencil();
    // Counts are in 4-float registers.
    void SetVertexShaderConstants(uint32_t firstRegister, const float* data, uint32_t count);
    void SetPixelShaderConstants(uint32_t firstRegister, const float* data, uint32_t count);
    void SetDepthBias(float bias, float slopeScaledBias);
    void SetColorWriteMask(uint32_t mask);
    void SetSRGBWriteState(bool on);
    // Flags bit 0: sRGB write; bit 1: keep the viewport the device set for the new target 0.
    void SetRenderTargets(const RenderTarget* target0, const RenderTarget* target1, uint32_t flags);
    // Clears the whole target; the colour is packed as it is.
    void ClearTargets(uint32_t flags, const Vector& color, float depth, uint32_t stencil);
    // A lost device sets the reset flag.
    void PresentFrame(gpu::GpuSwapChain* swapChain);
    void DrawPrimitive(uint32_t type, uint32_t startVertex, uint32_t primitiveCount);
    void DrawPrimitiveUP(uint32_t type, uint32_t primitiveCount, const void* vertices, uint32_t stride);
    void DrawIndexedPrimitive(uint32_t type, int32_t baseVertex, uint32_t minIndex, uint32_t numVertices,
                              uint32_t startIndex, uint32_t primitiveCount);
    void DrawIndexedPrimitiveUP(uint32_t type, uint32_t minIndex, uint32_t numVertices, uint32_t primitiveCount,
                                const void* indices, gpu::Format indexFormat, const void* vertices, uint32_t stride);
    void ApplyViewport(const gpu::Viewport& viewport);
    void SetViewportRect(uint32_t x, uint32_t y, uint32_t width, uint32_t height);
    void SetFullViewport();
    // View, projection and third matrix, with everything derived from them.
    void UpdateCamera(const Matrix& view, const Matrix& projection, const Matrix& third);
    // Projection only; the view and the third matrix stay.
    void SetProjection(const Matrix& projection);
    // Biased projection and view-projection from the depth bias term.
    void UpdateBiasedMatrices();
    // Scene colour modes 1 and 2 draw linear: sRGB read and write follow them.
    void SetSceneColorMode(uint32_t mode) { m_sceneColorMode = mode; }
    uint32_t GetSceneColorMode() const { return m_sceneColorMode; }
    // The frame's draw counters start again when its targets are selected.
    void ResetFrameCounters();

    const CachedRenderState& GetCached() const { return m_cached; }
    const ViewportState& GetViewportState() const { return m_viewport; }
    const CameraState& GetCamera() const { return m_camera; }
    uint32_t GetFrameDrawCalls() const { return m_frameDrawCalls; }
    uint32_t GetFramePrimitives() const { return m_framePrimitives; }
    // Primitives an instanced draw drew beyond the ones its draw call counted.
    void CountPrimitives(uint32_t count) { m_framePrimitives += count; }

private:
    gpu::GpuDevice* Device() const;
    void CountDraw(uint32_t primitiveCount);

    NorvexRenderer& m_renderer;
    CachedRenderState m_cached;
    ViewportState m_viewport;
    CameraState m_camera;
    uint32_t m_sceneColorMode = 0;
    uint32_t m_frameDrawCalls = 0;
    uint32_t m_framePrimitives = 0;
};
