// What the render thread last set on the device, so that redundant state changes are skipped, plus
// the frame's draw counters, viewport and camera matrices that every draw uses. Plain data owned by
// the renderer; render thread only.
#pragma once

#include "core/math/Matrix.h"
#include "platform/gpu/GpuTypes.h"

#include <cstdint>

class TextureHolder;

namespace gpu
{
class GpuPixelShader;
class GpuVertexShader;
}

// Sampler flag bits of NorvexRenderer::SetTexture.
enum SamplerFlag : uint32_t
{
    SAMPLER_SRGB = 1u << 0,
    SAMPLER_CLAMP_U = 1u << 1,
    SAMPLER_CLAMP_V = 1u << 2,
    SAMPLER_POINT = 1u << 3,
    SAMPLER_FORCE_SRGB = 1u << 6, // keeps sRGB read in scene colour modes 1 and 2
    SAMPLER_BORDER = 1u << 10,
    SAMPLER_LINEAR_MIP = 1u << 11,
    SAMPLER_SCENE_SLOT = 1u << 12,
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

struct RenderStateCache
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
    Matrix viewProjection = Matrix::ONE;         // P x V
    Matrix biasedThirdProjection = Matrix::ONE;  // T x biased P
    Matrix biasedViewProjection = Matrix::ONE;   // T x biased P x V: what draws use
    bool mirrored = false;                       // negative determinant: culling flips
    float depthScale = 1.0f;
};
