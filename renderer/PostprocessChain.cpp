// The desktop and mobile chains: glow, luminance, composite, FXAA, RGB shift and zoom blur, and the
// routing between the ping-pong targets and the frame's own target. Render thread only.
#include "engine/scripting/GameDelegate.h"
#include "platform/gpu/GpuDevice.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/OutlineRenderer.h"
#include "renderer/PostprocessManager.h"
#include "renderer/RenderTargetSet.h"
#include "renderer/SceneEnvironment.h"
#include "renderer/SceneLighting.h"
#include "renderer/SceneParametersWrapper.h"
#include "renderer/jobs/TextureHolder.h"

#include <algorithm>
#include <cmath>

namespace
{
// Sampler flags: clamped; clamped with sRGB reads; sRGB reads only.
constexpr uint32_t kClamped = SAMPLER_CLAMP_U | SAMPLER_CLAMP_V;
constexpr uint32_t kClampedSrgb = SAMPLER_SRGB | kClamped;
constexpr uint32_t kSrgbOnly = SAMPLER_SRGB;
// Where a pass writes: a ping-pong target by index, or the frame's own target.
constexpr uint32_t kSavedTarget = 2;
// Render-target flags of the glow and luminance atlas: sRGB writes, the viewport set by the pass.
constexpr uint32_t kAtlasFlags = 3;

Vector Splat(float value) { return Vector(value, value, value, value); }

Vector MulComponents(const Vector& a, const Vector& b) { return Vector(a.x * b.x, a.y * b.y, a.z * b.z, a.w * b.w); }
} // namespace

struct PostprocessManager::ChainState
{
    gpu::GpuSurface* saved = nullptr; // the frame's target, one reference held
    gpu::Viewport savedViewport = {};
    uint32_t savedFlags = 0;
    float width = 1.0f; // render-target size
    float height = 1.0f;
    uint32_t quarterWidth = 1; // of the saved viewport
    uint32_t quarterHeight = 1;
    bool sizesEqual = true;
    uint32_t result = kSavedTarget; // where the last pass wrote
};

namespace
{
const RenderTargetSet& Targets(NorvexRenderer& renderer) { return renderer.GetDeviceManager().GetRenderTargets(); }

// A ping-pong target whole, as the full-size passes write it.
void BindPingPong(NorvexRenderer& renderer, uint32_t index)
{
    renderer.SetRenderTargets(&Targets(renderer).pingPong[index], nullptr, 2);
    renderer.SetViewportRect(0, 0, renderer.GetRenderWidth(), renderer.GetRenderHeight());
}

// Ping-pong A as the atlas, one region of it as the viewport. The blur and the composite read the
// atlas through sRGB, so its passes write through sRGB: the glow arrives as bright as it was cut.
void BindAtlas(NorvexRenderer& renderer, const gpu::Viewport& region)
{
    renderer.SetRenderTargets(&Targets(renderer).pingPong[0], nullptr, kAtlasFlags);
    renderer.ApplyViewport(region);
}

void DrawQuad(NorvexRenderer& renderer) { renderer.DrawPrimitive(gpu::kPrimitiveTriangleFan, 0, 2); }

// Vertex register 0 of the passes that read the previous result at full size: the texel, then the
// half texel their quads move by so that each pixel reads its own texel.
void SetTexelShift(NorvexRenderer& renderer, float width, float height)
{
    const Vector texel(1.0f / width, 1.0f / height, 0.5f / width, 0.5f / height);
    renderer.SetVertexShaderConstants(0, &texel.x, 1);
}
} // namespace

void PostprocessManager::BeginChain(NorvexRenderer& renderer, ChainState& state)
{
    gpu::GpuDevice* const device = renderer.GetDevice();
    device->GetRenderTarget(0, &state.saved);
    device->GetViewport(&state.savedViewport);
    state.savedFlags = renderer.GetStateCache().GetCached().renderTargetFlags & 1u;
    renderer.SetDepthState(gpu::kCmpAlways, false, 0.0f);
    const CameraState& camera = renderer.GetCamera();
    m_inverseCamera.Mul(camera.inverseView, camera.inverseProjection);
    m_cameraPosition = camera.inverseView.rows[3];
    state.width = float(std::max(renderer.GetRenderWidth(), 1u));
    state.height = float(std::max(renderer.GetRenderHeight(), 1u));
    state.quarterWidth = (state.savedViewport.width + 3) / 4;
    state.quarterHeight = (state.savedViewport.height + 3) / 4;
    state.sizesEqual = renderer.GetRenderWidth() == renderer.GetBackBufferWidth() &&
                       renderer.GetRenderHeight() == renderer.GetBackBufferHeight();
    state.result = kSavedTarget;
}

void PostprocessManager::BindQuadState(NorvexRenderer& renderer)
{
    renderer.BindScreenQuad();
    renderer.SetCullMode(gpu::kCullNone);
    renderer.SetAlphaTest(0, 0);
    renderer.SetBlendMode(0);
}

void PostprocessManager::RefreshTables(bool force)
{
    if (!force && !m_tables[TABLE_TONE].dirty && !m_tables[TABLE_COLOR].dirty)
        return;
    const SceneShadingParameters& shading = GetActiveSceneParameters().GetShading();
    FillLookupTexture(TABLE_TONE, shading.toneMapping, true);
    FillLookupTexture(TABLE_COLOR, shading.colorLookup, false);
    gSceneEnvironment.ClearDirty();
}

void PostprocessManager::DrawGlow(NorvexRenderer& renderer, const ChainState& state, float factor, float sigma,
                                  bool twice)
{
    const ShaderPair& pair = m_passes[PASS_GLOW_SOURCE];
    const RenderTargetSet& targets = Targets(renderer);
    if (pair.IsValid())
    {
        const gpu::Viewport quarter = {0, 0, state.quarterWidth, state.quarterHeight, 0.0f, 1.0f};
        BindAtlas(renderer, quarter);
        renderer.SetTexture(0, targets.sceneColor.GetHolder(), kClamped);
        pair.Bind();
        const Vector vertex[2] = {Vector(1.0f, 1.0f, 2.0f / state.width, 2.0f / state.height),
                                  Vector(1.0f / state.width, 1.0f / state.height, -1.0f / state.width,
                                         1.0f / state.height)};
        renderer.SetVertexShaderConstants(0, &vertex[0].x, 2);
        const Vector pixel = Splat(factor);
        renderer.SetPixelShaderConstants(kRegFactor, &pixel.x, 1);
        DrawQuad(renderer);
    }
    GaussianBlur(renderer, sigma, 1.0f, targets.pingPong[0].GetHolder(), targets.pingPong[1], targets.pingPong[0],
                 state.quarterWidth, state.quarterHeight);
    if (twice)
        GaussianBlur(renderer, sigma, 2.0f, targets.pingPong[0].GetHolder(), targets.pingPong[1],
                     targets.pingPong[0], state.quarterWidth, state.quarterHeight);
    renderer.BindScreenQuad();
}

void PostprocessManager::DrawLuminance(NorvexRenderer& renderer, const ChainState& state, float factor)
{
    const ShaderPair& pair = m_passes[PASS_DOWNSCALE_LUMINANCE];
    if (!pair.IsValid())
        return;
    const uint32_t w = uint32_t(state.width), h = uint32_t(state.height);
    const gpu::Viewport atlas = {w / 2, 0, (w + 3) / 4, (h + 3) / 4, 0.0f, 1.0f};
    BindAtlas(renderer, atlas);
    renderer.SetTexture(0, Targets(renderer).sceneColor.GetHolder(), kClamped);
    renderer.SetTexture(1, m_tables[TABLE_TONE].texture, kClampedSrgb);
    pair.Bind();
    const Vector vertex[2] = {
        Vector(1.0f, 1.0f, 2.0f / state.width, 2.0f / state.height),
        Vector(1.0f / state.width, 1.0f / state.height, -1.0f / state.width, 1.0f / state.height)};
    renderer.SetVertexShaderConstants(0, &vertex[0].x, 2);
    const Vector pixel = Splat(factor);
    renderer.SetPixelShaderConstants(kRegFactor, &pixel.x, 1);
    DrawQuad(renderer);
}

void PostprocessManager::DrawComposite(NorvexRenderer& renderer, ChainState& state,
                                       const SceneShadingParameters& shading, uint32_t variant, bool zoom)
{
    const ShaderPair& pair = m_composite[variant];
    const RenderTargetSet& targets = Targets(renderer);
    if (!pair.IsValid())
    {
        // Without its shader the scene still reaches the frame, as it is: a missing data file must
        // not leave the screen black.
        CopyToOutput(renderer, state, targets.sceneColor.GetSurface());
        return;
    }
    const bool enabled = (variant & PostprocessMath::kCompositeEnabled) != 0;
    renderer.SetTexture(0, targets.sceneColor.GetHolder(), kClamped);
    if (enabled)
    {
        renderer.SetTexture(1, targets.pingPong[0].GetHolder(), kClampedSrgb);
        renderer.SetTexture(2, targets.auxiliary.GetHolder(), kClamped);
        renderer.SetTexture(3, m_tables[TABLE_COLOR].texture, kClampedSrgb);
        renderer.SetTexture(4, m_tables[TABLE_TONE].texture, kClampedSrgb);
        renderer.SetTexture(5, GetActiveSceneParameters().GetCloudTexture(), kSrgbOnly);
    }
    pair.Bind();
    const float w = state.width, h = state.height;
    Matrix columns;
    columns.TransposeOf(m_inverseCamera);
    const Vector vertex[kCompositeVertexRegisters] = {
        Vector(1.0f / w, 1.0f / h, 0.5f / w, 0.5f / h),
        Vector(float(state.quarterWidth) / w, float(state.quarterHeight) / h, 0.5f, 0.0f),
        columns.rows[0], columns.rows[1], columns.rows[2], columns.rows[3],
        m_cameraPosition,
        shading.fogColor,
        Vector(shading.fogStart, shading.fogEnd, 0.0f, 0.0f),
        Vector(shading.vignetteStart, shading.vignetteEnd, shading.vignetteAspect, 0.0f),
        shading.topColor,
        shading.bottomColor,
        shading.lightProbeMultiplier,
        shading.excludeColor[0],
        shading.excludeColor[1],
        Vector(shading.excludeFalloff[0], shading.excludeFalloff[1], shading.excludeFalloff[2],
               shading.excludeFalloff[3]),
        Vector(shading.glowThreshold, shading.glowSoftness, shading.exposition, 0.0f),
        Vector(shading.zoomBlurStrength, shading.zoomBlurSourceRatio, shading.zoomBlurBlurredRatio, 0.0f),
        Vector(w, h, float(renderer.GetBackBufferWidth()), float(renderer.GetBackBufferHeight())),
    };
    float contrast = shading.contrast, saturation = shading.saturation;
    if ((variant & PostprocessMath::kCompositeLowSpec) != 0)
    {
        contrast *= shading.lowSpecContrast;
        saturation *= shading.lowSpecSaturation;
    }
    Vector custom[4] = {shading.customParams[0], shading.customParams[1], shading.customParams[2],
                        shading.customParams[3]};
    if (GameDelegate* const delegate = renderer.GetExecutor().GetGameDelegate())
        delegate->OnPostProcessColors(custom);
    const Vector white(1.0f, 1.0f, 1.0f, 1.0f);
    const Vector pixel[kCompositePixelRegisters] = {
        zoom ? white : MulComponents(shading.noBlurColorCorrection, white),
        shading.glowColor,
        shading.nonGlowColor,
        Vector(shading.exposition, contrast, saturation, shading.localContrast),
        Vector(shading.localContrastVariation, shading.sharpenStrength, shading.battleModeDesaturation,
               shading.iPad2SquareContrast),
        shading.diffuseColorMultiplierLinear,
        shading.lowSpecColorCorrection,
        custom[0], custom[1], custom[2], custom[3],
        shading.fogColor,
        Vector(1.0f / w, 1.0f / h, float(state.quarterWidth) / w, float(state.quarterHeight) / h),
        Vector(shading.zoomBlurSourceRatio, shading.zoomBlurBlurredRatio, shading.fakeDiffuseNormalScale,
               shading.iPad2Brightness),
        Vector(shading.vignetteStart, shading.vignetteEnd, shading.vignetteAspect, 0.0f),
    };
    renderer.SetVertexShaderConstants(0, &vertex[0].x, kCompositeVertexRegisters);
    renderer.SetPixelShaderConstants(0, &pixel[0].x, kCompositePixelRegisters);
    DrawQuad(renderer);
    // The later passes write the atlas: nothing may still read it.
    if (enabled)
        renderer.SetTexture(1, nullptr, kClampedSrgb);
}

void PostprocessManager::BindOutput(NorvexRenderer& renderer, ChainState& state, uint32_t output)
{
    state.result = output;
    if (output != kSavedTarget)
    {
        BindPingPong(renderer, output);
        return;
    }
    const RenderTarget saved(state.saved, nullptr);
    renderer.SetRenderTargets(&saved, nullptr, state.savedFlags | 2u);
    renderer.ApplyViewport(state.savedViewport);
}

uint32_t PostprocessManager::NextOutput(const ChainState& state, bool last)
{
    if (last && state.sizesEqual)
        return kSavedTarget;
    return state.result == 1 ? 0 : 1;
}

void PostprocessManager::DrawFxaa(NorvexRenderer& renderer, ChainState& state, const SceneShadingParameters& shading,
                                  bool last)
{
    const ShaderPair& pair = m_passes[PASS_FXAA];
    if (!pair.IsValid())
        return;
    TextureHolder* const previous = Targets(renderer).pingPong[state.result == 1 ? 1 : 0].GetHolder();
    BindOutput(renderer, state, NextOutput(state, last));
    renderer.SetTexture(0, previous, kClamped);
    pair.Bind();
    const float factors[6] = {shading.fxaaSubpix,        shading.fxaaEdgeThreshold,
                              shading.fxaaEdgeThresholdMin, shading.fxaaConsoleSubpix,
                              shading.fxaaConsoleEdgeThreshold, shading.fxaaConsoleEdgeThresholdMin};
    const PostprocessMath::FxaaConstants c =
        PostprocessMath::ComputeFxaaConstants(state.width, state.height, state.width, state.height, factors);
    renderer.SetVertexShaderConstants(0, &c.vertex.x, 1);
    renderer.SetPixelShaderConstants(0, &c.pixel[0].x, 7);
    DrawQuad(renderer);
}

void PostprocessManager::DrawRGBShift(NorvexRenderer& renderer, ChainState& state, float shift, bool last)
{
    const ShaderPair& pair = m_passes[PASS_RGB_SHIFT];
    if (!pair.IsValid())
        return;
    TextureHolder* const previous = Targets(renderer).pingPong[state.result == 1 ? 1 : 0].GetHolder();
    BindOutput(renderer, state, NextOutput(state, last));
    renderer.SetTexture(0, previous, kClamped);
    pair.Bind();
    const float pixels = shift * 2.0f * state.height * PostprocessMath::kPixelsPer1080;
    const Vector constant(pixels / state.width, pixels / state.height, 0.0f, 0.0f);
    SetTexelShift(renderer, state.width, state.height);
    renderer.SetPixelShaderConstants(kRegShift, &constant.x, 1);
    DrawQuad(renderer);
}

void PostprocessManager::DrawZoomBlur(NorvexRenderer& renderer, ChainState& state,
                                      const SceneShadingParameters& shading, bool last)
{
    const ShaderPair& pair = m_passes[PASS_ZOOM_BLUR];
    if (!pair.IsValid())
        return;
    const Vector constant(shading.zoomBlurStrength * -0.005f, shading.zoomBlurSourceRatio,
                          shading.zoomBlurBlurredRatio, 0.0f);
    for (uint32_t pass = 0; pass < 2; ++pass)
    {
        TextureHolder* const previous = Targets(renderer).pingPong[state.result == 1 ? 1 : 0].GetHolder();
        BindOutput(renderer, state, NextOutput(state, last && pass == 1));
        renderer.SetTexture(0, previous, kClamped);
        pair.Bind();
        SetTexelShift(renderer, state.width, state.height);
        renderer.SetPixelShaderConstants(kRegZoom, &constant.x, 1);
        DrawQuad(renderer);
    }
}

void PostprocessManager::CopyToOutput(NorvexRenderer& renderer, const ChainState& state, gpu::GpuSurface* source)
{
    gpu::GpuDevice* const device = renderer.GetDevice();
    gpu::GpuSurface* output = nullptr;
    device->GetRenderTarget(0, &output);
    if (source != nullptr && output != nullptr && output != source)
    {
        const gpu::Rect area = {int32_t(state.savedViewport.x), int32_t(state.savedViewport.y),
                                int32_t(state.savedViewport.x + state.savedViewport.width),
                                int32_t(state.savedViewport.y + state.savedViewport.height)};
        device->StretchRect(source, nullptr, output, output == state.saved ? &area : nullptr, gpu::kFilterLinear);
    }
    gpu::SafeRelease(output);
}

void PostprocessManager::EndChain(NorvexRenderer& renderer, ChainState& state)
{
    // A pass whose shader is missing left the result in a ping-pong target: the frame still gets it.
    if (state.sizesEqual && state.result != kSavedTarget)
    {
        gpu::GpuSurface* const result = Targets(renderer).pingPong[state.result].GetSurface();
        BindOutput(renderer, state, kSavedTarget);
        CopyToOutput(renderer, state, result);
    }
    if (state.sizesEqual || state.result == kSavedTarget)
        BindOutput(renderer, state, kSavedTarget);
    else
        BindPingPong(renderer, state.result);
    gpu::SafeRelease(state.saved);
    renderer.GetDevice()->SetStreamSource(0, nullptr, 0, 0);
    renderer.DisableStencil();
}

void PostprocessManager::RunDesktop(NorvexRenderer& renderer, uint32_t flags)
{
    ChainState state;
    BeginChain(renderer, state);
    const bool enabled = (flags & 1u) != 0;
    const SceneParametersWrapper& scene = GetActiveSceneParameters();
    const SceneShadingParameters& shading = scene.GetShading();
    const DeviceParams& params = renderer.GetDeviceParams();
    if (enabled && params.outlinesEnabled != 0)
        gOutlineRenderer.Reconstruct(renderer, renderer.GetExecutor().GetOutlineParams(0), false,
                                     renderer.GetExecutor().IsFrameMultisampled());
    if (enabled)
        RefreshTables(gSceneEnvironment.IsDirty());
    BindQuadState(renderer);

    PostprocessMath::ChainInputs inputs;
    inputs.enabled = enabled;
    inputs.fxaaAllowed = (flags & 4u) != 0;
    inputs.outlineSwitch = params.outlinesEnabled != 0;
    inputs.quality = params.qualityLevel;
    inputs.localContrast = shading.localContrast;
    inputs.zoomBlurStrength = shading.zoomBlurStrength;
    inputs.rgbShift = PostprocessMath::RGBShiftAmount(shading.rgbShift, renderer.GetFrameClockSeconds(1),
                                                      renderer.GetFieldOfView());
    inputs.sceneFxaa = shading.fxaaEnabled != 0;
    const PostprocessMath::ChainDecision decision = PostprocessMath::DecideChain(inputs);
    if (enabled)
    {
        DrawGlow(renderer, state, shading.glowThreshold, shading.glowSoftness, true);
        if (decision.localContrast)
            DrawLuminance(renderer, state, shading.exposition);
    }
    const bool anyAfter = decision.zoom || decision.rgb || decision.fxaa;
    BindOutput(renderer, state, !anyAfter && state.sizesEqual ? kSavedTarget : 1);
    DrawComposite(renderer, state, shading, decision.compositeVariant, decision.zoom);
    if (decision.fxaa)
        DrawFxaa(renderer, state, shading, !decision.rgb && !decision.zoom);
    if (decision.rgb)
        DrawRGBShift(renderer, state, inputs.rgbShift, !decision.zoom);
    if (decision.zoom)
        DrawZoomBlur(renderer, state, shading, true);
    EndChain(renderer, state);
}

void PostprocessManager::RunMobile(NorvexRenderer& renderer, uint32_t flags, uint32_t platformMode)
{
    ChainState state;
    BeginChain(renderer, state);
    const bool enabled = (flags & 1u) != 0;
    const SceneShadingParameters& shading = GetActiveSceneParameters().GetShading();
    const RenderTargetSet& targets = Targets(renderer);
    // The mobile modes draw the outlines whatever the renderer's switch says.
    if (enabled)
        gOutlineRenderer.Reconstruct(renderer, renderer.GetExecutor().GetOutlineParams(0), false,
                                     renderer.GetExecutor().IsFrameMultisampled());
    BindQuadState(renderer);
    if (enabled)
        DrawGlow(renderer, state, shading.glowThreshold, shading.glowSoftness, false);
    const float effect = renderer.GetFieldOfView();
    const uint32_t variant =
        PostprocessMath::MobileCompositeVariant(enabled, shading.zoomBlurStrength, platformMode, effect);
    const bool curve = shading.screenCurveCoverage > PostprocessMath::kEffectEpsilon;
    BindOutput(renderer, state, kSavedTarget);
    if (curve || !state.sizesEqual)
        BindOutput(renderer, state, 1);
    // The composite and the screen curve's copy and bend read at full size: each pixel its own texel.
    SetTexelShift(renderer, state.width, state.height);
    const ShaderPair& composite = m_mobile[variant];
    if (composite.IsValid())
    {
        renderer.SetTexture(0, targets.sceneColor.GetHolder(), kClamped);
        renderer.SetTexture(1, targets.pingPong[0].GetHolder(), kClamped);
        renderer.SetTexture(2, targets.auxiliary.GetHolder(), kClamped);
        composite.Bind();
        const Vector effects(effect * PostprocessMath::kPixelsPer1080, shading.zoomBlurStrength * -0.005f,
                             shading.zoomBlurSourceRatio, shading.zoomBlurBlurredRatio);
        renderer.SetPixelShaderConstants(kRegMobileEffects, &effects.x, 1);
        DrawQuad(renderer);
        renderer.SetTexture(1, nullptr, kClamped);
    }
    const ShaderPair& copy = m_screenCurve[0];
    const ShaderPair& bend = m_screenCurve[PostprocessMath::kScreenCurveEnabled | PostprocessMath::kScreenCurveOn];
    if (curve && copy.IsValid() && bend.IsValid())
    {
        renderer.SetRenderTargets(&targets.sceneColor, nullptr, 2);
        renderer.SetViewportRect(0, 0, renderer.GetRenderWidth(), renderer.GetRenderHeight());
        renderer.SetTexture(0, targets.pingPong[1].GetHolder(), kClamped);
        copy.Bind();
        DrawQuad(renderer);
        BindOutput(renderer, state, state.sizesEqual ? kSavedTarget : 1);
        renderer.SetTexture(0, targets.sceneColor.GetHolder(), kClamped);
        bend.Bind();
        const Vector factors(shading.screenCurveAmplitude, shading.screenCurveCurvature, shading.screenCurveCoverage,
                             0.0f);
        renderer.SetPixelShaderConstants(0, &factors.x, 1);
        DrawQuad(renderer);
    }
    EndChain(renderer, state);
}
