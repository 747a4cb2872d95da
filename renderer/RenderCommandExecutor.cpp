// Render thread: the opcode table, the block loop, the idle tick and the handlers that keep state,
// gather or run the device's opcodes.
#include "renderer/RenderCommandExecutor.h"

#include "core/console/GameConsole.h"
#include "effects/particles/ParticlePools.h"
#include "effects/particles/ParticleSystemContext.h"
#include "effects/SFXContext.h"
#include "platform/gpu/GpuDevice.h"
#include "platform/os/Clock.h"
#include "renderer/EntityRenderingContext.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/NorvexRendererObject.h"
#include "renderer/OutlineRenderer.h"
#include "renderer/RendererThreadCheck.h"
#include "renderer/SceneEnvironment.h"
#include "renderer/jobs/NorvexRendererResourceAccessJob.h"
#include "renderer/resources/ResourceFont.h"
#include "ui/render/UIRenderFrame.h"

#include <algorithm>
#include <cstring>

namespace
{
constexpr uint32_t kIdleTicksBeforeSleep = 16;
namespace rp = renderpayload;
} // namespace

using R = RenderCommandExecutor;

// Handlers whose subsystem is not built yet are OpNotBuilt: they consume the payload and say once
// that the feature is missing. Opcode 52 has no handler: it is read as unknown.
const R::OpcodeInfo R::kOpcodes[kRenderOpcodeCount] = {
    /* 0 */ {&R::OpEnd, 0, nullptr},
    /* 1 */ {&R::OpEnd, 0, nullptr},
    /* 2 */ {&R::OpInitDX, rp::kInitDX, nullptr},
    /* 3 */ {&R::OpReleaseDeviceObjects, 0, nullptr},
    /* 4 */ {&R::OpCloseDX, 0, nullptr},
    /* 5 */ {&R::OpResetWithParams, rp::kResetWithParams, nullptr},
    /* 6 */ {&R::OpInitSceneCellGrid, rp::kInitSceneCellGrid, nullptr},
    /* 7 */ {&R::OpSetSceneCellRange, rp::kSetSceneCellRange, nullptr},
    /* 8 */ {&R::OpRequestDeviceReset, 0, nullptr},
    /* 9 */ {&R::OpSetGameDelegate, rp::kPointer, nullptr},
    /* 10 */ {&R::OpNothing, 0, nullptr},
    /* 11 */ {&R::OpNothing, 0, nullptr},
    /* 12 */ {&R::OpSetLoadingScreen, rp::kSetLoadingScreen, nullptr},
    /* 13 */ {&R::OpSetBlankMode, rp::kPointer, nullptr},
    /* 14 */ {&R::OpSetGatherFlag, rp::kU8, nullptr},
    /* 15 */ {&R::OpInvalidateCachedTarget, 0, nullptr},
    /* 16 */ {&R::OpSetFrameBox, rp::kSetFrameBox, nullptr},
    /* 17 */ {&R::OpSetFrameTarget, rp::kSetFrameTarget, nullptr},
    /* 18 */ {&R::OpUpscaleFinal, 0, nullptr},
    /* 19 */ {&R::OpSetPassMask, rp::kU32, nullptr},
    /* 20 */ {&R::OpSetFlagBit, rp::kSetFlagBit, nullptr},
    /* 21 */ {&R::OpSetOutlineParams, rp::kOutlineParams, nullptr},
    /* 22 */ {&R::OpSetOutlineParams, rp::kOutlineParams, nullptr},
    /* 23 */ {&R::OpPostProcess, rp::kU32, nullptr},
    /* 24 */ {&R::OpBeginFrame, 0, nullptr},
    /* 25 */ {&R::OpSetScenePassOptions, rp::kSetScenePassOptions, nullptr},
    /* 26 */ {&R::OpBeginOutlines, 0, nullptr},
    /* 27 */ {&R::OpRenderOutlines, 0, nullptr},
    /* 28 */ {&R::OpNotBuilt, 0, "mesh rendering-data pass"},
    /* 29 */ {&R::OpSetViewport, rp::kSetViewport, nullptr},
    /* 30 */ {&R::OpSetBrightness, rp::kFloat, nullptr},
    /* 31 */ {&R::OpSetScreenScale, rp::kFloat, nullptr},
    /* 32 */ {&R::OpSetScreenScale, rp::kFloat, nullptr},
    /* 33 */ {&R::OpSetCamera, rp::kSetCamera, nullptr},
    /* 34 */ {&R::OpSetFieldOfView, rp::kFloat, nullptr},
    /* 35 */ {&R::OpSetSceneColorMode, rp::kU32, nullptr},
    /* 36 */ {&R::OpSetFlagByte, rp::kU8, nullptr},
    /* 37 */ {&R::OpClear, rp::kClear, nullptr},
    /* 38 */ {&R::OpSetSRGBWrite, rp::kU8, nullptr},
    /* 39 */ {&R::OpPresent, rp::kPointer, nullptr},
    /* 40 */ {&R::OpSleep, rp::kU32, nullptr},
    /* 41 */ {&R::OpSetFrameTimes, rp::kSetFrameTimes, nullptr},
    /* 42 */ {&R::OpIssueQuery, rp::kIssueQuery, nullptr},
    /* 43 */ {&R::OpGetQueryData, rp::kGetQueryData, nullptr},
    /* 44 */ {&R::OpSetScissor, kVariablePayload, nullptr},
    /* 45 */ {&R::OpDrawText, kVariablePayload, nullptr},
    /* 46 */ {&R::OpAddLight, rp::kPointer, nullptr},
    /* 47 */ {&R::OpCall, kVariablePayload, nullptr},
    /* 48 */ {&R::OpBeginGather, 0, nullptr},
    /* 49 */ {&R::OpRenderGathered, rp::kRenderGathered, nullptr},
    /* 50 */ {&R::OpDeleteObject, rp::kPointer, nullptr},
    /* 51 */ {&R::OpRunJob, rp::kPointer, nullptr},
    /* 52 */ {nullptr, 0, nullptr},
    /* 53 */ {&R::OpSetDepthStencilEnabled, rp::kU8, nullptr},
    /* 54 */ {&R::OpNothing, 0, nullptr},
    /* 55 */ {&R::OpSetDepthStencilSurface, rp::kPointer, nullptr},
    /* 56 */ {&R::OpEmptyDebugDraw, rp::kDebugDrawBox, nullptr},
    /* 57 */ {&R::OpDrawSolidBox, rp::kDrawSolidBox, nullptr},
    /* 58 */ {&R::OpEmptyDebugDraw, rp::kDebugDrawShape, nullptr},
    /* 59 */ {&R::OpEmptyDebugDraw, rp::kDebugDrawPointLight, nullptr},
    /* 60 */ {&R::OpEmptyDebugDraw, rp::kDebugDrawSpotLight, nullptr},
    /* 61 */ {&R::OpEmptyDebugDraw, rp::kDebugDrawSpotLight, nullptr},
    /* 62 */ {&R::OpEmptyDebugDraw, rp::kDebugDrawShape, nullptr},
    /* 63 */ {&R::OpDrawAxisGizmo, rp::kDrawAxisGizmo, nullptr},
    /* 64 */ {&R::OpDrawWireShape, rp::kDebugDrawShape, nullptr},
    /* 65 */ {&R::OpDebugDrawMarker, rp::kDebugDrawMarker, nullptr},
    /* 66 */ {&R::OpDrawMesh, rp::kDrawMesh, nullptr},
    /* 67 */ {&R::OpDrawMesh, rp::kDrawMeshSkinnedBase, nullptr},
    /* 68 */ {&R::OpDrawMeshTemplate, rp::kDrawMeshTemplate, nullptr},
    /* 69 */ {&R::OpDrawMeshTemplate, rp::kDrawMeshTemplateSkinnedBase, nullptr},
    /* 70 */ {&R::OpDrawParticleSystem, rp::kDrawParticleSystem, nullptr},
    /* 71 */ {&R::OpAddRenderTask, rp::kAddRenderTask, nullptr},
};

RenderCommandExecutor::RenderCommandExecutor(NorvexRenderer& renderer)
    : m_renderer(renderer), m_ring(renderer.GetRing())
{
    // Every layer is visible until the game sends the frame's mask.
    std::fill(std::begin(m_frameBox), std::end(m_frameBox), uint8_t(0xFF));
}

gpu::GpuDevice* RenderCommandExecutor::Device() const
{
    return m_renderer.GetDevice();
}

void RenderCommandExecutor::HandleRecord(const uint8_t* record)
{
    uint32_t id = 0;
    std::memcpy(&id, record, sizeof(id));
    if (id == kRenderBlockRecordId)
    {
        ExecuteCommands();
        return;
    }
    gConsole.Error(CONSOLE_CHANNEL_RENDER, "NorvexRenderer: unknown ring record %u", id);
}

void RenderCommandExecutor::RunIdleWork(bool hadWork)
{
    NORVEX_CHECK_RENDER_SIDE(m_renderer);
    m_consecutiveIdleTicks = hadWork ? 0 : m_consecutiveIdleTicks + 1;
    if (m_blankMode)
        RenderBlankFrame();
    else
    {
        if (m_loadingScreen != nullptr && !m_renderer.IsDeviceResetPending())
        {
            // Idle while loading: sleep until the next loading frame is due or work arrives.
            const double left = GetLoadingFrameTimeLeft();
            if (!hadWork && left > 0.0)
                m_renderer.WaitForWorkFor(uint32_t(left * 1000.0) + 1);
            PumpLoadingScreen();
        }
        else if (m_consecutiveIdleTicks > kIdleTicksBeforeSleep)
        {
            SleepUntilWork();
        }
    }
    m_renderer.ProcessResourceJobs(1000, 0.01f);
}

void RenderCommandExecutor::SleepUntilWork()
{
    // Sleep until the next block, flush or stop arrives; the record's own count stays for it.
    m_renderer.WaitForWork();
    m_consecutiveIdleTicks = 0;
}

void RenderCommandExecutor::ExecuteCommands()
{
    NORVEX_CHECK_RENDER_SIDE(m_renderer);
    CommandRingBuffer& ring = m_ring;
    for (;;)
    {
        if (m_loadingScreen != nullptr)
            PumpLoadingScreen();
        const uint32_t misalign = uint32_t(reinterpret_cast<uintptr_t>(ring.GetReadCursor()) & 3u);
        if (misalign != 0)
            ring.SkipRead(4 - misalign);
        uint32_t opcode = 0;
        if (!ring.Read(&opcode, sizeof(opcode)))
        {
            gConsole.Error(CONSOLE_CHANNEL_RENDER, "Render command block ends without an end marker, previous: %u",
                           m_previousOpcode);
            return;
        }
        if (opcode >= kRenderOpcodeCount || kOpcodes[opcode].handler == nullptr)
        {
            // Commands carry no length: what follows an unknown opcode cannot be found, so the rest of
            // the block is dropped rather than decoded as garbage.
            gConsole.Error(CONSOLE_CHANNEL_RENDER, "Unknown NR task: %u, previous: %u", opcode, m_previousOpcode);
            gConsole.Error(CONSOLE_CHANNEL_RENDER, "The rest of the render command block (%u bytes) is dropped",
                           ring.GetReadLeft());
            m_previousOpcode = opcode;
            return;
        }
        m_readOk = true;
        const Handler handler = kOpcodes[opcode].handler;
        (this->*handler)(opcode);
        m_previousOpcode = opcode;
        m_commandsExecuted.fetch_add(1, std::memory_order_acq_rel);
        if (!m_readOk)
        {
            gConsole.Error(CONSOLE_CHANNEL_RENDER,
                           "Render command %u reads past the end of its block; the block is dropped", opcode);
            return;
        }
        if (opcode == RENDER_OP_END_BLOCK || opcode == RENDER_OP_END_SYNC)
            return;
    }
}

void RenderCommandExecutor::SkipPayload(uint32_t bytes)
{
    m_readOk = m_readOk && m_ring.SkipRead(bytes);
}

void RenderCommandExecutor::ReportNotBuilt(uint32_t opcode)
{
    if (m_notBuiltReported[opcode])
        return;
    m_notBuiltReported[opcode] = true;
    gConsole.Warning(CONSOLE_CHANNEL_RENDER,
                     "Render command %u (%s) is not built yet; its commands are read and dropped", opcode,
                     kOpcodes[opcode].feature ? kOpcodes[opcode].feature : "?");
}

void RenderCommandExecutor::EnableLoadingFrames(bool enable)
{
    NORVEX_CHECK_GAME_THREAD(m_renderer);
    os::ScopedLock lock(m_renderer.GetDisplayLock());
    m_loadingFramesAllowed = enable;
}

void RenderCommandExecutor::AllocateFrameLists()
{
    m_cellGrid.Reset();
    m_gathered.reserve(kMaxGathered);
    m_outlined.reserve(kMaxOutlined);
    m_lights.reserve(kMaxFrameLights);
    m_taskRecords.Allocate();
}

void RenderCommandExecutor::FreeFrameLists()
{
    m_gathered = {};
    m_outlined = {};
    m_lights = {};
    m_taskRecords.Free();
}

void RenderCommandExecutor::OpEnd(uint32_t opcode)
{
    if (opcode != RENDER_OP_END_SYNC)
        return;
    // Counted early so that jobs stamped up to this marker may run. The writer waits for this marker,
    // so its count is exact here: taking it over also catches up with the commands of a dropped block,
    // whose jobs would otherwise stall this drain for ever.
    const uint32_t written = m_renderer.GetCommandsWritten();
    m_commandsExecuted.store(written, std::memory_order_release);
    m_renderer.DrainResourceJobs();
    m_commandsExecuted.store(written - 1, std::memory_order_release);
    SyncPresenter();
}

void RenderCommandExecutor::SyncPresenter()
{
    if (!m_renderer.GetPresenter().IsRunning())
        return;
    m_renderer.GetPresenter().Flush();
    if (m_renderer.GetPresenter().TakeDeviceLost())
        m_renderer.GetDeviceManager().MarkResetPending();
}

void RenderCommandExecutor::OpNothing(uint32_t)
{
}

void RenderCommandExecutor::OpDeleteObject(uint32_t)
{
    NorvexRendererObject* const object = GetPointer<NorvexRendererObject>();
    if (m_readOk && object != nullptr)
        object->DestroyOnRenderThread();
}

void RenderCommandExecutor::OpRunJob(uint32_t)
{
    NorvexRendererResourceAccessJob* const job = GetPointer<NorvexRendererResourceAccessJob>();
    if (m_readOk)
        RunImmediateJob(m_renderer, job);
}

void RenderCommandExecutor::OpNotBuilt(uint32_t opcode)
{
    SkipPayload(kOpcodes[opcode].payloadBytes);
    ReportNotBuilt(opcode);
}

void RenderCommandExecutor::OpEmptyDebugDraw(uint32_t opcode)
{
    SkipPayload(kOpcodes[opcode].payloadBytes);
}

void RenderCommandExecutor::OpDrawSolidBox(uint32_t)
{
    const BoundingBox4 box = Get<BoundingBox4>();
    const Matrix transform = Get<Matrix>();
    const Vector color = Get<Vector>();
    const uint8_t cullSide = Get<uint8_t>();
    const uint8_t depthTest = Get<uint8_t>();
    if (m_readOk)
        m_renderer.DrawDebugBox(box, transform, color, cullSide, depthTest != 0);
}

void RenderCommandExecutor::OpBeginOutlines(uint32_t)
{
    gOutlineRenderer.Reset();
}

void RenderCommandExecutor::OpRenderOutlines(uint32_t)
{
    gOutlineRenderer.Render(m_renderer, m_outlineParams[0]);
}

void RenderCommandExecutor::OpDrawAxisGizmo(uint32_t)
{
    const Matrix transform = Get<Matrix>();
    const uint8_t depthTest = Get<uint8_t>();
    if (m_readOk)
        m_renderer.DrawGizmoShape(transform, depthTest != 0);
}

void RenderCommandExecutor::OpDrawWireShape(uint32_t)
{
    const Matrix transform = Get<Matrix>();
    const Vector color = Get<Vector>();
    if (m_readOk)
        m_renderer.DrawWireShape(transform, color);
}

void RenderCommandExecutor::OpDebugDrawMarker(uint32_t)
{
    const Matrix transform = Get<Matrix>();
    const Vector color = Get<Vector>();
    const uint8_t highlight = Get<uint8_t>();
    if (m_readOk)
        m_renderer.DrawMarkerShape(transform, color, highlight != 0);
}

void RenderCommandExecutor::OpDrawText(uint32_t)
{
    const ResourceFont* const font = GetPointer<const ResourceFont>();
    const Matrix transform = Get<Matrix>();
    const Vector color = Get<Vector>();
    const int32_t spacing = Get<int32_t>();
    const uint32_t blendMode = Get<uint32_t>();
    const uint32_t bytes = Get<uint32_t>();
    const bool cullFlag = Get<uint8_t>() != 0;
    // The text need not end in a zero: it is copied, and what the narrow drawing would never read
    // is stepped over.
    char text[ResourceFont::kMaxNarrowCharacters + 1] = {};
    const uint32_t kept = std::min(bytes, ResourceFont::kMaxNarrowCharacters);
    m_readOk = m_readOk && m_ring.Read(text, kept);
    SkipPayload(bytes - kept);
    if (m_readOk && font != nullptr)
        font->DrawTextA(text, transform, color, spacing, blendMode, cullFlag, gpu::kCmpAlways);
}

void RenderCommandExecutor::OpInitSceneCellGrid(uint32_t)
{
    const BoundingBox4 box = Get<BoundingBox4>();
    const float edge = Get<float>();
    if (!m_readOk)
        return;
    // Without a loading screen there is nothing to pump: no pump, rather than one called on null.
    void (*const pump)(void*) = [](void* self) { static_cast<RenderCommandExecutor*>(self)->PumpLoadingScreen(); };
    m_cellGrid.Build(box, edge, m_loadingScreen != nullptr ? pump : nullptr, this);
}

void RenderCommandExecutor::OpSetSceneCellRange(uint32_t)
{
    const float low = Get<float>();
    const float high = Get<float>();
    if (m_readOk)
        m_cellGrid.SetRange(low, high);
}

void RenderCommandExecutor::OpRequestDeviceReset(uint32_t)
{
    m_renderer.GetDeviceManager().MarkResetPending();
}

void RenderCommandExecutor::OpSetGameDelegate(uint32_t)
{
    m_gameDelegate = GetPointer<GameDelegate>();
}

void RenderCommandExecutor::OpSetGatherFlag(uint32_t)
{
    m_gatherFlag = Get<uint8_t>();
}

void RenderCommandExecutor::OpInvalidateCachedTarget(uint32_t)
{
    m_cachedTargetIndex = -1;
}

void RenderCommandExecutor::OpSetFrameBox(uint32_t)
{
    m_readOk = m_readOk && m_ring.Read(m_frameBox, sizeof(m_frameBox));
    m_frameStamp = Get<uint32_t>();
}

void RenderCommandExecutor::OpSetPassMask(uint32_t)
{
    m_passMask = Get<uint32_t>();
}

void RenderCommandExecutor::OpSetFlagBit(uint32_t)
{
    const uint32_t index = Get<uint32_t>();
    const uint8_t on = Get<uint8_t>();
    if (!m_readOk)
        return;
    if (index / 32 >= kFlagWords)
    {
        gConsole.Warning(CONSOLE_CHANNEL_RENDER, "Renderer flag bit %u is out of range", index);
        return;
    }
    const uint32_t bit = 1u << (index % 32);
    m_flagWords[index / 32] = on ? (m_flagWords[index / 32] | bit) : (m_flagWords[index / 32] & ~bit);
}

void RenderCommandExecutor::OpSetOutlineParams(uint32_t opcode)
{
    uint8_t* const target = m_outlineParams[opcode == RENDER_OP_SET_OUTLINE_PARAMS ? 0 : 1];
    m_readOk = m_readOk && m_ring.Read(target, rp::kOutlineParams);
}

void RenderCommandExecutor::OpSetFieldOfView(uint32_t)
{
    m_fieldOfView = Get<float>();
}

void RenderCommandExecutor::OpSetSceneColorMode(uint32_t)
{
    m_renderer.GetStateCache().SetSceneColorMode(Get<uint32_t>());
}

void RenderCommandExecutor::OpSetFlagByte(uint32_t)
{
    m_flagByte = Get<uint8_t>();
}

void RenderCommandExecutor::OpSleep(uint32_t)
{
    const uint32_t milliseconds = Get<uint32_t>();
    if (m_readOk)
        os::Sleep(milliseconds);
}

void RenderCommandExecutor::OpSetFrameTimes(uint32_t)
{
    uint64_t counters[3];
    float steps[3];
    for (int i = 0; i < 3; ++i)
    {
        counters[i] = Get<uint64_t>();
        steps[i] = Get<float>();
    }
    const uint32_t flags = Get<uint32_t>();
    if (!m_readOk)
        return;
    for (int i = 0; i < 3; ++i)
    {
        m_clockCounters[i] = counters[i];
        m_clockSeconds[i] = double(counters[i]) / double(os::kCounterFrequency);
    }
    m_firstClockStep = steps[0] > 0.0f ? steps[0] : 0.0f;
    if ((flags & kFrameTimesSceneBlocked) == 0)
    {
        beginParticleFrame(counters, steps, m_renderer.GetGFXQualityLevel());
        SFXContext::RenderAll(m_clockSeconds[0], steps[0], m_clockSeconds[1], steps[1], m_clockSeconds[2], steps[2]);
    }
    gSceneEnvironment.Update(counters[0], steps[0], counters[1], steps[1], counters[2], steps[2]);
    UpdateUIRenderFrame(counters[0], counters[1], counters[2]);
}

void RenderCommandExecutor::OpDrawParticleSystem(uint32_t)
{
    ParticleSystemContext* const context = GetPointer<ParticleSystemContext>();
    const Matrix world = Get<Matrix>();
    Get<BoundingBox4>();
    const Vector color = Get<Vector>();
    if (m_readOk && context != nullptr)
        context->Draw(world, color, 0);
}

void RenderCommandExecutor::OpAddLight(uint32_t)
{
    RendererLightWrapper* const light = GetPointer<RendererLightWrapper>();
    if (m_readOk && m_gathering)
        AddFrameLight(light);
}

void RenderCommandExecutor::OpCall(uint32_t)
{
    const RenderCallFunction function = reinterpret_cast<RenderCallFunction>(Get<uintptr_t>());
    const uint32_t subCommand = Get<uint32_t>();
    if (!m_readOk)
        return;
    if (function == nullptr)
    {
        // Its arguments cannot be stepped over without the function that knows them.
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "Render call command without a function (sub-command %u)", subCommand);
        m_readOk = false;
        return;
    }
    function(m_renderer, subCommand, m_ring);
}

void RenderCommandExecutor::OpBeginGather(uint32_t)
{
    m_gathered.clear();
    m_outlined.clear();
    m_lights.clear();
    m_taskRecords.Clear();
    m_gathering = true;
}

void RenderCommandExecutor::OpAddRenderTask(uint32_t)
{
    EntityRenderingContext* const context = GetPointer<EntityRenderingContext>();
    const uint32_t passFlags = Get<uint32_t>();
    if (!m_readOk || context == nullptr)
        return;
    if (!m_gathering)
    {
        context->DrawMain(passFlags, Vector(1.0f, 1.0f, 1.0f, 1.0f));
        return;
    }
    if (passFlags & (kTaskGatherMesh | kTaskGatherMeshAlt))
        AddGatheredTask(context, passFlags);
    if (passFlags & kTaskSorted)
    {
        RenderTaskRecord* const record = AllocTaskRecord();
        if (record != nullptr)
        {
            record->context = context;
            record->passFlags = passFlags;
            record->depth = ViewDepth(context->GetWorld());
            record->sortOffset = context->GetSortOffset();
            record->bucket = std::min(context->GetRenderLayer(), ForwardBuckets::kBucketCount - 1);
            AddSortKey(record->depth + kTaskSortKeyBase + record->sortOffset);
        }
    }
    if ((passFlags & kTaskOutlined) && (context->GetChannelMask(passFlags) & m_passMask) != 0)
        AddOutlinedTask(context, passFlags);
}

float RenderCommandExecutor::ViewDepth(const Matrix& world) const
{
    // The view matrix takes row vectors: the origin's view-space z is its dot with column 2.
    const Matrix& view = m_renderer.GetStateCache().GetCamera().view;
    const Vector& origin = world.rows[3];
    return origin.x * view.At(0, 2) + origin.y * view.At(1, 2) + origin.z * view.At(2, 2) + view.At(3, 2);
}

void RenderCommandExecutor::AddFrameLight(RendererLightWrapper* light)
{
    // A null light would be read by the lighting pass: it is not taken.
    if (light != nullptr && m_lights.size() < kMaxFrameLights)
        m_lights.push_back(light);
}

void RenderCommandExecutor::AddGatheredTask(EntityRenderingContext* context, uint32_t passFlags)
{
    if (m_gathered.size() < kMaxGathered)
        m_gathered.push_back({context, passFlags});
}

void RenderCommandExecutor::AddOutlinedTask(EntityRenderingContext* context, uint32_t passFlags)
{
    if (m_outlined.size() < kMaxOutlined)
        m_outlined.push_back({context, passFlags});
}

void RenderCommandExecutor::OpInitDX(uint32_t)
{
    // The full-screen flag already sits in the parameter block.
    void* const window = GetPointer<void>();
    Get<uint8_t>();
    if (m_readOk && Device() == nullptr)
        m_renderer.GetDeviceManager().InitDX(window);
}

void RenderCommandExecutor::OpReleaseDeviceObjects(uint32_t)
{
    ReleaseRendererDeviceObjects();
}

void RenderCommandExecutor::ReleaseRendererDeviceObjects()
{
    m_renderer.DrainResourceJobs();
    m_cellGrid.Reset();
    ReleaseFrameSurfaces();
    m_renderer.GetDeviceManager().GetTextRenderer().ReleaseBuffers();
    m_renderer.GetDeviceManager().GetUIQuadGeometry().Release();
    m_renderer.GetDeviceManager().ReleaseSharedDeviceObjects();
    m_renderer.GetDeviceManager().ReleaseRenderTargets();
}

void RenderCommandExecutor::OpCloseDX(uint32_t)
{
    m_renderer.GetDeviceManager().CloseDX();
}

void RenderCommandExecutor::OpResetWithParams(uint32_t)
{
    void* const window = GetPointer<void>();
    DeviceParams params;
    m_readOk = m_readOk && m_ring.Read(&params, sizeof(params));
    if (!m_readOk || Device() == nullptr)
        return;
    RenderDeviceManager& device = m_renderer.GetDeviceManager();
    os::ScopedLock lock(m_renderer.GetDisplayLock());
    device.SetDeviceParams(params);
    device.ApplyPresentParameters(window);
}
