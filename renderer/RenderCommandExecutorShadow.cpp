// Render thread: the scene pass options (opcode 25) and the directional shadow map they draw before
// the scene: every shadow caster of the grid cells under the light's box, drawn depth-only from the
// scene light's direction into the shadow map, with the light's texture matrix kept for the
// lighting passes.
#include "renderer/RenderCommandExecutor.h"

#include "platform/gpu/GpuDevice.h"
#include "renderer/EntityRenderingContext.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/SceneLighting.h"
#include "renderer/SceneParametersWrapper.h"
#include "renderer/ShadowMapProjection.h"

namespace
{
// The depth-bias settings are given for a map of this size.
constexpr float kBiasReferenceSize = 2048.0f;
constexpr uint32_t kShadowAllChannels = 15;
// Contexts asked for ahead of the one the walk tests: enough to cover a trip to memory.
constexpr size_t kShadowPrefetchAhead = 8;

bool Overlaps(const BoundingBox4& a, const BoundingBox4& b)
{
    return a.min.x <= b.max.x && b.min.x <= a.max.x && a.min.y <= b.max.y && b.min.y <= a.max.y &&
           a.min.z <= b.max.z && b.min.z <= a.max.z;
}
} // namespace

bool RenderCommandExecutor::IsShadowLayerVisible(uint8_t layer) const
{
    return (m_frameBox[layer >> 3] & (1u << (layer & 7))) != 0;
}

void RenderCommandExecutor::OpSetScenePassOptions(uint32_t)
{
    const uint32_t passFlags = Get<uint32_t>();
    const uint8_t shadowDebug = Get<uint8_t>();
    // The debug view of the shadow map draws nothing.
    (void)shadowDebug;
    if (!m_readOk || Device() == nullptr)
        return;
    const RenderTargetSet& targets = m_renderer.GetDeviceManager().GetRenderTargets();
    if (m_renderer.GetDeviceManager().AreTargetsReady() && targets.shadowMap.GetSurface() != nullptr &&
        targets.shadowDummy.GetSurface() != nullptr)
        RenderShadowMap(passFlags);
}

void RenderCommandExecutor::RenderShadowMap(uint32_t passFlags)
{
    const DeviceParams& params = m_renderer.GetDeviceParams();
    const SceneSunParameters& scene = GetActiveSceneParameters().GetSun();
    if (params.shadowMapEnabled == 0 || !(scene.shadowStrength > 0.0f) || params.shadowMapSize == 0)
        return;
    RenderStateCache& state = m_renderer.GetStateCache();
    const RenderTargetSet& targets = m_renderer.GetDeviceManager().GetRenderTargets();
    const uint32_t size = params.shadowMapSize;

    // 1-4. The light's view and projection over the camera frustum cut at the scene's floor.
    const CameraState saved = state.GetCamera();
    const ShadowMapProjection::Result shadow = ShadowMapProjection::Compute(
        saved.inverseViewProjection, scene.lightDirection, m_cellGrid.GetBox().min.y, size);
    m_shadowView = shadow.view;
    m_shadowProjection = shadow.projection;
    m_shadowTextureMatrix = shadow.textureMatrix;

    // 5. Depth-only into the map.
    const float scale = kBiasReferenceSize / float(size);
    state.SetDepthBias(params.depthBias * scale, params.slopeDepthBias * scale);
    gpu::GpuSurface* savedTarget = nullptr;
    gpu::GpuSurface* savedDepth = nullptr;
    Device()->GetRenderTarget(0, &savedTarget);
    Device()->GetDepthStencilSurface(&savedDepth);
    const gpu::Viewport savedViewport = state.GetViewportState().viewport;
    state.SetRenderTargets(&targets.shadowDummy, nullptr, 2);
    Device()->SetDepthStencilSurface(targets.shadowMap.GetSurface());
    state.ApplyViewport({0, 0, size, size, 0.0f, 1.0f});
    state.ClearTargets(gpu::kClearDepth, Vector(), 1.0f, 0);
    state.SetColorWriteMask(0);
    state.SetDepthState(gpu::kCmpLessEqual, true, 0.0f);
    state.UpdateCamera(shadow.view, shadow.projection, Matrix::ONE);

    // 6. The casters of the cells under the light's box, each once: those of visible layers that the
    // detail level draws.
    const uint32_t detailLevel = params.qualityLevel;
    Matrix lightToWorld;
    lightToWorld.InverseOf(shadow.view);
    BoundingBox4 worldBox = BoundingBox4::INVALID;
    worldBox.Expand3D(shadow.box, lightToWorld);
    const SceneCellRange range = m_cellGrid.GetCellRange(worldBox);
    ++m_shadowVisit;
    m_shadowCasters = 0;
    // The cells' records in one list first, so that the contexts are asked for ahead across cell
    // ends too (a cell holds few records).
    m_shadowWalk.clear();
    if (!range.IsEmpty())
        for (int32_t z = range.z0; z < range.z1; ++z)
            for (int32_t x = range.x0; x < range.x1; ++x)
                for (const SceneCellRecord& record : m_cellGrid.GetCell(uint32_t(x), uint32_t(z)).records)
                    m_shadowWalk.push_back(record.context);
    const size_t count = m_shadowWalk.size();
    for (size_t i = 0; i < count; ++i)
    {
        // Most contexts under the light's box cast: their draw lines are wanted too.
        if (i + kShadowPrefetchAhead < count)
        {
            m_shadowWalk[i + kShadowPrefetchAhead]->PrefetchForTests();
            m_shadowWalk[i + kShadowPrefetchAhead]->PrefetchForDraw();
        }
        EntityRenderingContext* const context = m_shadowWalk[i];
        if (!context->MarkVisited(m_shadowVisit) || !context->CastsShadows() || context->IsFlagged() ||
            context->GetDetailLevel() > detailLevel || !IsShadowLayerVisible(context->GetLayer()))
            continue;
        // The world box's box in light space: its centre moved, its half sizes through the absolute
        // rotation, the same box as that of its eight corners.
        BoundingBox4 lightBox;
        lightBox.Transform3D(context->GetWorldBox(), shadow.view);
        if (!context->GetWorldBox().IsValid3() || !Overlaps(lightBox, shadow.box))
            continue;
        context->DrawDepth(0, passFlags);
        ++m_shadowCasters;
    }
    m_shadowMapReady = true;

    // 7. Everything back as it was.
    state.SetDepthBias(0.0f, 0.0f);
    state.UpdateCamera(saved.view, saved.projection, saved.third);
    state.SetDepthState(gpu::kCmpLessEqual, true, 0.0f);
    state.SetAlphaTest(0, 0);
    Device()->SetDepthStencilSurface(savedDepth);
    Device()->SetRenderTarget(0, savedTarget);
    gpu::SafeRelease(savedDepth);
    gpu::SafeRelease(savedTarget);
    if (savedViewport.width != 0 && savedViewport.height != 0)
        state.ApplyViewport(savedViewport);
    state.SetColorWriteMask(kShadowAllChannels);
}
