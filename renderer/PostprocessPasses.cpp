// The chain's passes that others call too: the Gaussian blur, the UI's blurred screen area and the
// scene passes' ambient occlusion. Render thread only.
#include "platform/gpu/GpuDevice.h"
#include "platform/gpu/GpuSurface.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/PostprocessManager.h"
#include "renderer/RenderTargetSet.h"
#include "renderer/SceneLighting.h"
#include "renderer/SceneParametersWrapper.h"
#include "renderer/jobs/TextureHolder.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr uint32_t kPassClamped = SAMPLER_CLAMP_U | SAMPLER_CLAMP_V;
constexpr uint32_t kPassClampedSrgb = SAMPLER_SRGB | kPassClamped;
constexpr uint32_t kClampedPoint = kPassClamped | SAMPLER_POINT;
constexpr uint32_t kDepthSampler = 10;
constexpr uint32_t kPassQuadStride = 20;

// A quad over the viewport whose texture coordinates cover the region's share (u, v) of the source,
// moved by half a texel (du, dv): pixel centres lie on whole window coordinates, so each pixel then
// reads its own texel's centre and the blur leaves what it blurs where it was.
void DrawRegionQuad(NorvexRenderer& renderer, float u, float v, float du, float dv)
{
    const float vertices[4][5] = {{-1.0f, 1.0f, 0.0f, du, dv},
                                  {1.0f, 1.0f, 0.0f, u + du, dv},
                                  {1.0f, -1.0f, 0.0f, u + du, v + dv},
                                  {-1.0f, -1.0f, 0.0f, du, v + dv}};
    renderer.GetDevice()->SetFVF(gpu::kFvfXyz | gpu::kFvfTex1);
    renderer.DrawPrimitiveUP(gpu::kPrimitiveTriangleFan, 2, vertices, kPassQuadStride);
}

// Render-target flags: sRGB writes (bit 0); the viewport is set by the caller (bit 1).
constexpr uint32_t kOwnViewport = 2;
constexpr uint32_t kSrgbWrite = 1;

void BindTarget(NorvexRenderer& renderer, const RenderTarget& target, uint32_t width, uint32_t height,
                uint32_t flags = kOwnViewport)
{
    renderer.SetRenderTargets(&target, nullptr, flags);
    renderer.SetViewportRect(0, 0, width, height);
}
} // namespace

void PostprocessManager::GaussianBlur(NorvexRenderer& renderer, float sigma, float stepScale, TextureHolder* source,
                                      const RenderTarget& intermediate, const RenderTarget& destination,
                                      uint32_t regionWidth, uint32_t regionHeight)
{
    const ShaderPair& pair = m_passes[PASS_GAUSS_BLUR];
    if (!pair.IsValid() || source == nullptr || intermediate.GetSurface() == nullptr ||
        destination.GetSurface() == nullptr)
        return;
    const float w = float(std::max(renderer.GetRenderWidth(), 1u));
    const float h = float(std::max(renderer.GetRenderHeight(), 1u));
    const PostprocessMath::GaussianKernel kernel = PostprocessMath::ComputeGaussianKernel(sigma);
    const Vector weights(kernel.centre, kernel.weights[0], kernel.weights[1], kernel.weights[2]);
    const Vector offsets(kernel.offsets[0], kernel.offsets[1], kernel.offsets[2], 0.0f);
    const float u = float(regionWidth) / w, v = float(regionHeight) / h;
    const struct
    {
        TextureHolder* from;
        const RenderTarget& to;
        Vector step;
    } passes[2] = {{source, intermediate, Vector(0.0f, stepScale / h, 0.0f, 0.0f)},
                   {intermediate.GetHolder(), destination, Vector(stepScale / w, 0.0f, 0.0f, 0.0f)}};
    for (const auto& pass : passes)
    {
        // The blur reads through sRGB, so it writes through sRGB: what it keeps stays encoded as it came
        // and repeated passes neither darken nor brighten it.
        BindTarget(renderer, pass.to, regionWidth, regionHeight, kOwnViewport | kSrgbWrite);
        renderer.SetTexture(0, pass.from, kPassClampedSrgb);
        pair.Bind();
        renderer.SetPixelShaderConstants(kRegBlurStep, &pass.step.x, 1);
        renderer.SetPixelShaderConstants(kRegBlurWeights, &weights.x, 1);
        renderer.SetPixelShaderConstants(kRegBlurOffsets, &offsets.x, 1);
        DrawRegionQuad(renderer, u, v, 0.5f / w, 0.5f / h);
    }
    renderer.SetTexture(0, nullptr, kPassClampedSrgb);
}

bool PostprocessManager::BlurScreenRect(NorvexRenderer& renderer, const Matrix& drawMatrix, const Vector& size,
                                        float sigma, uint32_t passes, TextureHolder** texture, Vector* uvSize,
                                        Vector* uvOrigin)
{
    gpu::GpuDevice* const device = renderer.GetDevice();
    if (device == nullptr || !renderer.GetDeviceManager().AreTargetsReady())
        return false;
    const RenderTargetSet& targets = renderer.GetDeviceManager().GetRenderTargets();
    gpu::GpuSurface* frame = nullptr;
    if (device->GetRenderTarget(0, &frame) != gpu::kOk || frame == nullptr)
        return false;
    // The copy must not land in the target it is read from (the frame stays in a ping-pong target
    // when the render size differs from the back buffer's); the blur's intermediate neither.
    const uint32_t copyIndex = frame == targets.pingPong[0].GetSurface() ? 1 : 0;
    const RenderTarget& copy = targets.pingPong[copyIndex];
    const RenderTarget& intermediate =
        frame == targets.pingPong[1 - copyIndex].GetSurface() ? targets.auxiliary : targets.pingPong[1 - copyIndex];
    gpu::SurfaceDesc desc = {};
    frame->GetDesc(&desc);
    const uint32_t renderWidth = std::max(renderer.GetRenderWidth(), 1u);
    const uint32_t renderHeight = std::max(renderer.GetRenderHeight(), 1u);
    Matrix toClip;
    toClip.Mul(renderer.GetViewProjection(), drawMatrix);
    float minX = float(desc.width), minY = float(desc.height), maxX = 0.0f, maxY = 0.0f;
    const float xs[4] = {0.0f, size.x, size.x, 0.0f};
    const float ys[4] = {0.0f, 0.0f, size.y, size.y};
    for (uint32_t i = 0; i < 4; ++i)
    {
        Vector corner(xs[i], ys[i], 0.0f, 1.0f);
        corner.Transform(toClip);
        const float w = corner.w != 0.0f ? corner.w : 1.0f;
        const float x = std::clamp((corner.x / w + 1.0f) * 0.5f * float(desc.width), 0.0f, float(desc.width));
        const float y = std::clamp((1.0f - corner.y / w) * 0.5f * float(desc.height), 0.0f, float(desc.height));
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
    }
    const gpu::Rect area = {int32_t(std::floor(minX)), int32_t(std::floor(minY)), int32_t(std::ceil(maxX)),
                            int32_t(std::ceil(maxY))};
    if (copy.GetSurface() == nullptr || area.right <= area.left || area.bottom <= area.top)
    {
        frame->Release();
        return false;
    }
    // Half size, and the back buffer's pixels brought to the render size.
    const float divisor = 2.0f * float(desc.width) / float(renderWidth);
    const uint32_t regionWidth =
        std::clamp(uint32_t(std::ceil(float(area.right - area.left) / divisor)), 1u, renderWidth);
    const uint32_t regionHeight =
        std::clamp(uint32_t(std::ceil(float(area.bottom - area.top) / divisor)), 1u, renderHeight);
    const gpu::Rect region = {0, 0, int32_t(regionWidth), int32_t(regionHeight)};
    if (device->StretchRect(frame, &area, copy.GetSurface(), &region, gpu::kFilterLinear) != gpu::kOk)
    {
        frame->Release();
        return false;
    }
    const CachedRenderState before = renderer.GetStateCache().GetCached();
    const gpu::Viewport viewport = renderer.GetViewportState().viewport;
    uint32_t scissor = 0;
    device->GetRenderState(gpu::kRsScissorTestEnable, &scissor);
    device->SetRenderState(gpu::kRsScissorTestEnable, 0);
    renderer.SetCullMode(gpu::kCullNone);
    renderer.SetAlphaTest(0, 0);
    renderer.SetBlendMode(0);
    for (uint32_t pass = 0; pass < passes; ++pass)
        GaussianBlur(renderer, sigma, 1.0f, copy.GetHolder(), intermediate, copy, regionWidth, regionHeight);
    const RenderTarget frameTarget(frame, nullptr);
    renderer.SetRenderTargets(&frameTarget, nullptr, before.renderTargetFlags | 2u);
    renderer.ApplyViewport(viewport);
    device->SetRenderState(gpu::kRsScissorTestEnable, scissor);
    if (before.cullMode != CachedRenderState::kUnknown)
        renderer.SetCullMode(before.cullMode);
    if (before.alphaTestMode != CachedRenderState::kUnknown)
        renderer.SetAlphaTest(before.alphaTestMode, before.alphaReference);
    if (before.blendMode != CachedRenderState::kUnknown)
        renderer.SetBlendMode(before.blendMode);
    frame->Release();

    const float scaleU = 1.0f / (divisor * float(renderWidth));
    const float scaleV = 1.0f / (divisor * float(renderHeight));
    *texture = copy.GetHolder();
    uvOrigin->Set((minX - float(area.left)) * scaleU, (minY - float(area.top)) * scaleV, 0.0f, 0.0f);
    uvSize->Set((maxX - minX) * scaleU, (maxY - minY) * scaleV, 0.0f, 0.0f);
    return true;
}

bool PostprocessManager::PrepareAmbientOcclusion(NorvexRenderer& renderer, TextureHolder* source)
{
    const SceneShadingParameters& shading = GetActiveSceneParameters().GetShading();
    const ShaderPair& pair = m_ssaoPrepare[shading.ssaoUseNormalMaps != 0 ? 1 : 0];
    const RenderTargetSet& targets = renderer.GetDeviceManager().GetRenderTargets();
    if (!m_ssaoPrepare[0].IsValid() || !m_ssaoPrepare[1].IsValid() || renderer.GetDevice() == nullptr ||
        targets.ambientOcclusion[0].GetSurface() == nullptr)
        return false;
    const uint32_t width = std::max(renderer.GetRenderWidth(), 1u), height = std::max(renderer.GetRenderHeight(), 1u);
    BindTarget(renderer, targets.ambientOcclusion[0], width, height);
    renderer.SetTexture(0, source, kPassClamped);
    const RenderTarget& depth = renderer.HasDepthTextureSupport() ? targets.sceneDepth : targets.linearDepth;
    renderer.SetTexture(kDepthSampler, depth.GetHolder(), kClampedPoint);
    pair.Bind();
    const PostprocessMath::AmbientOcclusionConstants c =
        PostprocessMath::ComputeAmbientOcclusionConstants(float(height), shading.ssaoRadius, shading.ssaoIntensity);
    Vector constants[9];
    for (uint32_t i = 0; i < 8; ++i)
        constants[i] = Vector(c.kernel[i][0], c.kernel[i][1], 0.0f, 0.0f);
    constants[8] = Vector(1.0f / float(width), 1.0f / float(height), c.strengthTerm, c.radius);
    renderer.SetPixelShaderConstants(kRegOcclusionKernel, &constants[0].x, 9);
    renderer.BindScreenQuad();
    renderer.DrawPrimitive(gpu::kPrimitiveTriangleFan, 0, 2);
    return true;
}

bool PostprocessManager::BlurAmbientOcclusion(NorvexRenderer& renderer)
{
    const RenderTargetSet& targets = renderer.GetDeviceManager().GetRenderTargets();
    const RenderTarget& light = targets.GetLightAccumulation(false);
    const RenderTarget& occluded = targets.GetLightAccumulation(true);
    if (!m_ssaoBlur[0].IsValid() || !m_ssaoBlur[1].IsValid() || renderer.GetDevice() == nullptr ||
        targets.ambientOcclusion[0].GetSurface() == nullptr || targets.ambientOcclusion[1].GetSurface() == nullptr ||
        light.GetSurface() == nullptr || occluded.GetSurface() == nullptr)
        return false;
    const SceneShadingParameters& shading = GetActiveSceneParameters().GetShading();
    const uint32_t width = std::max(renderer.GetRenderWidth(), 1u), height = std::max(renderer.GetRenderHeight(), 1u);
    const Vector& c = shading.ssaoColor;
    renderer.BindScreenQuad();
    for (uint32_t pass = 0; pass < 2; ++pass)
    {
        const bool last = pass == 1;
        if (last)
        {
            // Light in and out through sRGB, the way "Lighting" wrote it and "Compose" reads it.
            renderer.SetRenderTargets(&occluded, nullptr, 3);
            renderer.SetViewportRect(0, 0, width, height);
            renderer.SetTexture(1, light.GetHolder(), SAMPLER_POINT | SAMPLER_SRGB);
        }
        else
            BindTarget(renderer, targets.ambientOcclusion[1], width, height);
        renderer.SetTexture(0, targets.ambientOcclusion[pass].GetHolder(), SAMPLER_POINT);
        m_ssaoBlur[pass].Bind();
        const Vector constants[3] = {
            Vector(1.0f - c.x, 1.0f - c.y, 1.0f - c.z, 1.0f - c.w), c,
            Vector(shading.ssaoDecreaseWithLighting, last ? 0.0f : 1.0f / float(width), last ? 1.0f / float(height) : 0.0f,
                   0.0f)};
        renderer.SetPixelShaderConstants(kRegOcclusionColor, &constants[0].x, 3);
        renderer.DrawPrimitive(gpu::kPrimitiveTriangleFan, 0, 2);
    }
    renderer.SetTexture(1, nullptr, SAMPLER_POINT);
    return true;
}
