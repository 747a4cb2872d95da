// Render thread: gathered scene rendering (opcode 49). The contexts gathered since opcode 48 are
// drawn in a fixed pipeline: the screen tiles of the outlined entities, an optional clear, the
// deferred passes over the gathered mesh list ("Normals" into the normals target, "Lighting" into
// the light accumulation target, the ambient occlusion when the scene has it, "Compose" into the
// scene colour target, then the stencil-free pass) and the forward buckets of the task records with their stencil set-up. Full lists are
// reported once at the end of the frame's pass.
#include "renderer/RenderCommandExecutor.h"

#include "core/console/GameConsole.h"
#include "engine/scripting/GameDelegate.h"
#include "platform/gpu/GpuDevice.h"
#include "renderer/DeferredLighting.h"
#include "renderer/EntityRenderingContext.h"
#include "renderer/GatheredDepthSort.h"
#include "renderer/MeshTemplateRenderingData.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/OutlineRenderer.h"
#include "renderer/SceneLighting.h"
#include "renderer/SceneParametersWrapper.h"
#include "renderer/jobs/TextureHolder.h"

namespace
{
const Vector kWhite(1.0f, 1.0f, 1.0f, 1.0f);
constexpr uint32_t kClearAll = gpu::kClearTarget | gpu::kClearDepth | gpu::kClearStencil;
// Clamped, point-filtered reads of the deferred targets.
constexpr uint32_t kDeferredSamplerFlags = SAMPLER_CLAMP_U | SAMPLER_CLAMP_V | SAMPLER_POINT;
constexpr uint32_t kNormalsSampler = 6;
constexpr uint32_t kLightSampler = 7;
constexpr uint32_t kAllChannels = 15;
// Shadowed lighting needs this quality level and more than this shadow strength.
constexpr uint32_t kShadowQuality = 3;
constexpr float kShadowStrengthFloor = 0.001f;
// Contexts asked for ahead of the one a pass draws: enough to cover a trip to memory.
constexpr size_t kPrefetchAhead = 8;
} // namespace

void RenderCommandExecutor::OpRenderGathered(uint32_t)
{
    const Vector color = Get<Vector>();
    const uint32_t passFlags = Get<uint32_t>();
    const uint8_t clear = Get<uint8_t>();
    if (!m_readOk)
        return;
    if (Device() != nullptr)
        RenderGatheredTasks(passFlags, clear != 0, color);
    m_gathering = false;
    ReportGatheredOverflows();
}

void RenderCommandExecutor::RenderGatheredTasks(uint32_t passFlags, bool clear, const Vector& color)
{
    // The outlined entities' tiles; with outlines switched off no tile is marked. Blob shadows are
    // the look of scene colour modes 1 and 2: mode 0 (linear lighting) leaves the game's request unanswered.
    bool fakeShadows = false;
    if ((passFlags & kPassNoOutlineMasks) == 0)
    {
        gOutlineRenderer.GatherOutlines(m_renderer, m_renderer.GetDeviceParams().outlinesEnabled != 0 ? m_passMask : 0,
                                        uint32_t(m_outlined.size()), m_outlined.data());
        const uint32_t colorMode = m_renderer.GetStateCache().GetSceneColorMode();
        fakeShadows = m_fakeShadowsDue && (colorMode == 1 || colorMode == 2);
        m_fakeShadowsDue = false;
        if (fakeShadows)
            RenderFakeShadows();
    }
    if (clear)
    {
        BindSceneColorTarget();
        ClearBoundTargets(kClearAll, color, 1.0f, 0);
    }
    m_renderer.SetSceneConstants((passFlags & kPassPlainSceneConstants) == 0);
    if (m_gameDelegate != nullptr)
        m_gameDelegate->OnBeforeScenePasses();
    if ((passFlags & kPassNoDeferred) == 0)
    {
        if (m_gatherFlag != 0)
            SortGatheredByDepth();
        RenderDeferredPasses(passFlags);
    }
    if (fakeShadows)
        ComposeFakeShadows();
    if (m_gameDelegate != nullptr)
        m_gameDelegate->OnAfterScenePasses();
    RenderStateCache& state = m_renderer.GetStateCache();
    state.SetStencilOps(gpu::kStencilReplace, gpu::kStencilReplace, gpu::kStencilReplace);
    state.SetStencilFunc(gpu::kCmpAlways, 255, 0, 0);
    m_buckets.Build(m_taskRecords);
    RenderForwardBuckets();
}

void RenderCommandExecutor::SortGatheredByDepth()
{
    const uint32_t count = uint32_t(m_gathered.size());
    m_depthKeys.resize(count);
    m_depthOrder.resize(count);
    for (uint32_t i = 0; i < count; ++i)
    {
        if (i + kPrefetchAhead < count)
            m_gathered[i + kPrefetchAhead].context->PrefetchForTests();
        const EntityRenderingContext& context = *m_gathered[i].context;
        const BoundingBox4& box = context.GetWorldBox();
        float key = kTaskSortKeyBase;
        if (box.IsValid3())
        {
            Matrix centre = Matrix::ONE;
            centre.rows[3] = Vector((box.min.x + box.max.x) * 0.5f, (box.min.y + box.max.y) * 0.5f,
                                    (box.min.z + box.max.z) * 0.5f, 1.0f);
            key = ViewDepth(centre) + context.GetSortOffset() + kTaskSortKeyBase;
        }
        m_depthKeys[i] = key;
    }
    GatheredDepthSort::Order(m_depthKeys.data(), count, m_depthOrder.data());
    m_depthSorted.resize(count);
    for (uint32_t i = 0; i < count; ++i)
        m_depthSorted[i] = m_gathered[m_depthOrder[i]];
    m_gathered.swap(m_depthSorted);
}

void RenderCommandExecutor::DrawGatheredEntries(int32_t passA, uint32_t passB)
{
    MeshTemplateRenderingData::BeginGather(passA, passB);
    const size_t count = m_gathered.size();
    for (size_t i = 0; i < count; ++i)
    {
        if (i + kPrefetchAhead < count)
            m_gathered[i + kPrefetchAhead].context->PrefetchForDraw();
        const GatheredTask& task = m_gathered[i];
        if ((task.passFlags & kTaskGatherMesh) != 0)
            task.context->DrawMainPass(task.passFlags, kWhite, passA, passB);
    }
    MeshTemplateRenderingData::FlushGathered();
}

void RenderCommandExecutor::RenderDeferredPasses(uint32_t passFlags)
{
    RenderStateCache& state = m_renderer.GetStateCache();
    const RenderTargetSet& targets = m_renderer.GetDeviceManager().GetRenderTargets();
    const RenderTarget& normals = targets.GetNormals();
    const bool multisampled = m_frameMultisampled && targets.multisampledDepth != nullptr;
    // Without the deferred targets (none made yet) only the stencil-free pass can draw.
    if (m_renderer.GetDeviceManager().AreTargetsReady() && normals.GetSurface() != nullptr)
    {
        // "Normals".
        const RenderTarget* depthAsColor = nullptr;
        if (!m_renderer.HasDepthTextureSupport() && targets.linearDepth.GetSurface() != nullptr)
        {
            depthAsColor = &targets.linearDepth;
            state.SetRenderTargets(depthAsColor, nullptr, 0);
            state.ClearTargets(gpu::kClearTarget, kWhite, 0.0f, 0);
        }
        state.SetRenderTargets(&normals, nullptr, 0);
        if (!multisampled)
        {
            Device()->SetDepthStencilSurface(m_mainDepthStencil);
            ClearBoundTargets(gpu::kClearTarget | gpu::kClearStencil, Vector(), 0.0f, 0);
        }
        else
        {
            // The deferred targets hold one sample: drawn with the multisampled depth, the lights
            // would read a depth texture nothing wrote and test a stencil their targets cannot use,
            // losing every light volume and shadow. They take the main depth-stencil surface (the
            // depth texture the lights read), cleared as the multisampled one is, which "Compose"
            // fills again.
            BindSceneColorTarget();
            ClearBoundTargets(gpu::kClearDepth | gpu::kClearStencil, Vector(), 1.0f, 0);
            state.SetRenderTargets(&normals, nullptr, 0);
            Device()->SetDepthStencilSurface(m_mainDepthStencil);
            ClearBoundTargets(kClearAll, Vector(), 1.0f, 0);
        }
        state.SetRenderTargets(&normals, depthAsColor, 0);
        state.SetBlendMode(0);
        state.SetDepthState(gpu::kCmpLessEqual, true, 0.0f);
        state.SetStencilOps(gpu::kStencilReplace, gpu::kStencilReplace, gpu::kStencilReplace);
        state.SetStencilFunc(gpu::kCmpAlways, 255, 1, 1);
        DrawGatheredEntries(2, 3);
        if (m_gameDelegate != nullptr)
            m_gameDelegate->OnAfterNormalsPass();

        // "Lighting": the deferred pixels only (stencil bit 1 of the normals pass).
        const bool shadowing = (passFlags & kPassShadowed) != 0 &&
                               m_renderer.GetDeviceParams().qualityLevel >= kShadowQuality &&
                               GetActiveSceneParameters().GetSun().shadowStrength > kShadowStrengthFloor &&
                               state.GetSceneColorMode() == 0;
        state.SetStencilOps(gpu::kStencilKeep, gpu::kStencilKeep, gpu::kStencilKeep);
        state.SetStencilFunc(gpu::kCmpEqual, 1, 1, 1);
        DeferredLighting::RenderLights(m_renderer, m_lights, shadowing, false);
        state.DisableStencil();
        const bool occluded = DeferredLighting::RenderAmbientOcclusion(m_renderer);

        // "Compose".
        state.SetTexture(kNormalsSampler, normals.GetHolder(), kDeferredSamplerFlags);
        state.SetTexture(kLightSampler, targets.GetLightAccumulation(occluded).GetHolder(),
                         kDeferredSamplerFlags | SAMPLER_SRGB);
        BindSceneColorTarget();
        state.SetFullViewport();
        state.SetBlendMode(0);
        state.SetDepthState(gpu::kCmpLessEqual, true, 0.0f);
        DrawGatheredEntries(4, 0);
        if (m_gameDelegate != nullptr)
            m_gameDelegate->OnAfterComposePass();
        state.SetTexture(kNormalsSampler, nullptr, kDeferredSamplerFlags);
        state.SetTexture(kLightSampler, nullptr, kDeferredSamplerFlags);
    }
    state.SetStencilOps(gpu::kStencilReplace, gpu::kStencilReplace, gpu::kStencilReplace);
    state.SetStencilFunc(gpu::kCmpAlways, 255, 0, 0);
    DrawGatheredEntries(8, 1);
    state.DisableStencil();
}

void RenderCommandExecutor::SetForwardBucketState(const ForwardBucketState& bucket)
{
    RenderStateCache& state = m_renderer.GetStateCache();
    if (bucket.setsColorWriteMask)
        state.SetColorWriteMask(bucket.colorWriteMask);
    if (bucket.setsStencil)
    {
        state.SetStencilOps(bucket.stencilPass, bucket.stencilFail, bucket.stencilDepthFail);
        state.SetStencilFunc(bucket.stencilFunction, bucket.stencilReference, bucket.stencilReadMask,
                             bucket.stencilWriteMask);
    }
}

void RenderCommandExecutor::RenderForwardBuckets()
{
    RenderStateCache& state = m_renderer.GetStateCache();
    if (m_taskRecords.GetCount() == 0)
    {
        state.DisableStencil();
        return;
    }
    const bool frontToBack = m_renderer.IsFrontToBackSortingEnabled();
    for (uint32_t b = 0; b < ForwardBuckets::kBucketCount; ++b)
    {
        if ((m_flagWords[kForwardBucketWord] & (1u << b)) == 0 || m_buckets.GetCount(b) == 0)
            continue;
        const ForwardBucketState& bucket = ForwardBuckets::GetState(b);
        SetForwardBucketState(bucket);
        if (bucket.sorts)
            m_buckets.Sort(b, frontToBack);
        const RenderTaskSortKey* pairs = m_buckets.GetPairs(b);
        for (uint32_t i = 0; i < m_buckets.GetCount(b); ++i)
        {
            const RenderTaskRecord& record = m_taskRecords.GetRecord(pairs[i].recordIndex);
            record.context->DrawMainPass(record.passFlags, kWhite, 1, bucket.passArgument);
        }
        if (bucket.restoresColorWriteMask)
            state.SetColorWriteMask(kAllChannels);
        if (bucket.switchesStencilOff)
            state.DisableStencil();
    }
    state.DisableStencil();
}

void RenderCommandExecutor::ReportGatheredOverflows()
{
    if (m_gathered.size() >= kMaxGathered)
        gConsole.Error(CONSOLE_CHANNEL_RENDER,
                       "Too many deferred meshes visible at once. Please kick the nearest programmer's butt and ask "
                       "him to increase the buffer size or develop a better solution.");
    if (m_outlined.size() >= kMaxOutlined)
        gConsole.Error(CONSOLE_CHANNEL_RENDER,
                       "Too many outlined entities visible at once. Please kick the nearest programmer's butt and ask "
                       "him to increase the buffer size or develop a better solution.");
    if (m_taskRecords.HasOverflowed())
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "Too many gathered render tasks. Certain objects will not display at all.");
}

void RenderCommandExecutor::BindSceneColorTarget()
{
    if (Device() == nullptr)
        return;
    const RenderTargetSet& targets = m_renderer.GetDeviceManager().GetRenderTargets();
    const RenderTarget target(m_frameColorTarget, nullptr);
    m_renderer.GetStateCache().SetRenderTargets(&target, nullptr, m_frameSRGBWrite ? 1u : 0u);
    Device()->SetDepthStencilSurface(m_frameMultisampled && targets.multisampledDepth != nullptr
                                         ? targets.multisampledDepth
                                         : m_mainDepthStencil);
}

void RenderCommandExecutor::ClearBoundTargets(uint32_t flags, const Vector& color, float depth, uint32_t stencil)
{
    gpu::GpuSurface* depthSurface = nullptr;
    Device()->GetDepthStencilSurface(&depthSurface);
    // Only what is bound is cleared: depth and stencil with no depth-stencil surface are dropped.
    if (depthSurface == nullptr)
        flags &= ~(gpu::kClearDepth | gpu::kClearStencil);
    else
    {
        if (!depthSurface->Info().hasStencil)
            flags &= ~gpu::kClearStencil;
        depthSurface->Release();
    }
    if (flags != 0)
        m_renderer.GetStateCache().ClearTargets(flags, color, depth, stencil);
}
