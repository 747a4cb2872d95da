// Render thread: the opcode table and the handlers that keep state or gather.
#include "renderer/NorvexRenderer.h"

#include "core/console/GameConsole.h"
#include "platform/os/Clock.h"
#include "renderer/NorvexRendererObject.h"
#include "renderer/jobs/NorvexRendererResourceAccessJob.h"

#include <cstring>

namespace
{
constexpr uint8_t kRenderThreadChannel = 5;
namespace rp = renderpayload;
} // namespace

using R = NorvexRenderer;

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
    /* 12 */ {&R::OpSetLoadingScreen, rp::kSetLoadingScreen, "loading-screen frames, UI screens"},
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
    /* 23 */ {&R::OpPostProcess, rp::kU32, "PostprocessManager::Run, post-processing chain"},
    /* 24 */ {&R::OpBeginFrame, 0, nullptr},
    /* 25 */ {&R::OpNotBuilt, rp::kSetScenePassOptions, "NorvexRenderer::SetScenePassOptions, scene passes"},
    /* 26 */ {&R::OpNotBuilt, 0, "NorvexRenderer::BeginOutlines, entity outlines"},
    /* 27 */ {&R::OpNotBuilt, 0, "NorvexRenderer::RenderOutlines, entity outlines"},
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
    /* 41 */ {&R::OpSetFrameTimes, rp::kSetFrameTimes, "particle frame, SFX contexts, scene environment and UI clocks"},
    /* 42 */ {&R::OpIssueQuery, rp::kIssueQuery, nullptr},
    /* 43 */ {&R::OpGetQueryData, rp::kGetQueryData, nullptr},
    /* 44 */ {&R::OpSetScissor, kVariablePayload, nullptr},
    /* 45 */ {&R::OpDrawText, kVariablePayload, "ResourceFont::DrawTextA, text drawing"},
    /* 46 */ {&R::OpAddLight, rp::kPointer, nullptr},
    /* 47 */ {&R::OpCall, kVariablePayload, nullptr},
    /* 48 */ {&R::OpBeginGather, 0, nullptr},
    /* 49 */ {&R::OpNotBuilt, rp::kRenderGathered, "NorvexRenderer::RenderGathered, gathered scene rendering"},
    /* 50 */ {&R::OpDeleteObject, rp::kPointer, nullptr},
    /* 51 */ {&R::OpRunJob, rp::kPointer, nullptr},
    /* 52 */ {nullptr, 0, nullptr},
    /* 53 */ {&R::OpSetDepthStencilEnabled, rp::kU8, nullptr},
    /* 54 */ {&R::OpNothing, 0, nullptr},
    /* 55 */ {&R::OpSetDepthStencilSurface, rp::kPointer, nullptr},
    /* 56 */ {&R::OpEmptyDebugDraw, rp::kDebugDrawBox, nullptr},
    /* 57 */ {&R::OpNotBuilt, rp::kDrawSolidBox, "NorvexRenderer::DrawSolidBox, built-in shapes"},
    /* 58 */ {&R::OpEmptyDebugDraw, rp::kDebugDrawShape, nullptr},
    /* 59 */ {&R::OpEmptyDebugDraw, rp::kDebugDrawPointLight, nullptr},
    /* 60 */ {&R::OpEmptyDebugDraw, rp::kDebugDrawSpotLight, nullptr},
    /* 61 */ {&R::OpEmptyDebugDraw, rp::kDebugDrawSpotLight, nullptr},
    /* 62 */ {&R::OpEmptyDebugDraw, rp::kDebugDrawShape, nullptr},
    /* 63 */ {&R::OpNotBuilt, rp::kDrawAxisGizmo, "NorvexRenderer::DrawAxisGizmo, built-in shapes"},
    /* 64 */ {&R::OpNotBuilt, rp::kDebugDrawShape, "wire shape, built-in shapes"},
    /* 65 */ {&R::OpNotBuilt, rp::kDebugDrawMarker, "NorvexRenderer::DebugDrawMarker, built-in shapes"},
    /* 66 */ {&R::OpNotBuilt, rp::kDrawMesh, "NorvexRenderer::DrawMesh, mesh draws"},
    /* 67 */ {&R::OpDrawMeshSkinned, rp::kDrawMeshSkinnedBase, "NorvexRenderer::DrawMesh, mesh draws"},
    /* 68 */ {&R::OpNotBuilt, rp::kDrawMeshTemplate, "NorvexRenderer::DrawMeshTemplate, mesh draws"},
    /* 69 */ {&R::OpDrawMeshSkinned, rp::kDrawMeshTemplateSkinnedBase, "NorvexRenderer::DrawMeshTemplate, mesh draws"},
    /* 70 */ {&R::OpNotBuilt, rp::kDrawParticleSystem, "NorvexRenderer::DrawParticleSystem, particles"},
    /* 71 */ {&R::OpAddRenderTask, rp::kAddRenderTask, "rendering-context task records, outline passes and immediate drawing"},
};

void NorvexRenderer::OpEnd(uint32_t opcode)
{
    if (opcode != RENDER_OP_END_SYNC)
        return;
    // Counted early so that jobs stamped up to this marker may run. The writer waits for this marker,
    // so its count is exact here: taking it over also catches up with the commands of a dropped block,
    // whose jobs would otherwise stall this drain for ever.
    const uint32_t written = m_writer.GetCommandsWritten();
    m_commandsExecuted.store(written, std::memory_order_release);
    while (!ProcessResourceJobs(0, 3.4028235e38f))
    {
    }
    m_commandsExecuted.store(written - 1, std::memory_order_release);
    SyncPresenter();
}

void NorvexRenderer::SyncPresenter()
{
    if (!m_presenter.IsRunning())
        return;
    m_presenter.Flush();
    if (m_presenter.TakeDeviceLost())
        m_deviceResetPending.store(true, std::memory_order_release);
}

void NorvexRenderer::OpNothing(uint32_t)
{
}

void NorvexRenderer::OpDeleteObject(uint32_t)
{
    NorvexRendererObject* const object = GetPointer<NorvexRendererObject>();
    if (m_readOk && object != nullptr)
        object->DestroyOnRenderThread();
}

void NorvexRenderer::OpRunJob(uint32_t)
{
    NorvexRendererResourceAccessJob* const job = GetPointer<NorvexRendererResourceAccessJob>();
    if (m_readOk)
        RunImmediateJob(*this, job);
}

void NorvexRenderer::OpNotBuilt(uint32_t opcode)
{
    SkipPayload(kOpcodes[opcode].payloadBytes);
    ReportNotBuilt(opcode);
}

void NorvexRenderer::OpEmptyDebugDraw(uint32_t opcode)
{
    SkipPayload(kOpcodes[opcode].payloadBytes);
}

void NorvexRenderer::OpDrawMeshSkinned(uint32_t opcode)
{
    SkipPayload(kOpcodes[opcode].payloadBytes);
    SkipBoneArray();
    ReportNotBuilt(opcode);
}

void NorvexRenderer::OpDrawText(uint32_t opcode)
{
    SkipPayload(rp::kDrawTextHeader - rp::kU32 - rp::kU8);
    const uint32_t bytes = Get<uint32_t>();
    SkipPayload(rp::kU8);
    SkipPayload(bytes);
    ReportNotBuilt(opcode);
}

void NorvexRenderer::OpInitSceneCellGrid(uint32_t)
{
    const BoundingBox4 box = Get<BoundingBox4>();
    const float edge = Get<float>();
    if (!m_readOk)
        return;
    m_cellGrid.Build(
        box, edge, [](void* self) { static_cast<NorvexRenderer*>(self)->PumpLoadingScreen(); },
        m_loadingScreen != nullptr ? this : nullptr);
}

void NorvexRenderer::OpSetSceneCellRange(uint32_t)
{
    const float low = Get<float>();
    const float high = Get<float>();
    if (m_readOk)
        m_cellGrid.SetRange(low, high);
}

void NorvexRenderer::OpRequestDeviceReset(uint32_t)
{
    m_deviceResetPending.store(true, std::memory_order_release);
}

void NorvexRenderer::OpSetGameDelegate(uint32_t)
{
    m_gameDelegate = GetPointer<GameDelegate>();
}

void NorvexRenderer::OpSetGatherFlag(uint32_t)
{
    m_gatherFlag = Get<uint8_t>();
}

void NorvexRenderer::OpInvalidateCachedTarget(uint32_t)
{
    m_cachedTargetIndex = -1;
}

void NorvexRenderer::OpSetFrameBox(uint32_t)
{
    m_readOk = m_readOk && GetRing().Read(m_frameBox, sizeof(m_frameBox));
    m_frameStamp = Get<uint32_t>();
}

void NorvexRenderer::OpSetPassMask(uint32_t)
{
    m_passMask = Get<uint32_t>();
}

void NorvexRenderer::OpSetFlagBit(uint32_t)
{
    const uint32_t index = Get<uint32_t>();
    const uint8_t on = Get<uint8_t>();
    if (!m_readOk)
        return;
    if (index / 32 >= kFlagWords)
    {
        gConsole.Warning(kRenderThreadChannel, "Renderer flag bit %u is out of range", index);
        return;
    }
    const uint32_t bit = 1u << (index % 32);
    m_flagWords[index / 32] = on ? (m_flagWords[index / 32] | bit) : (m_flagWords[index / 32] & ~bit);
}

void NorvexRenderer::OpSetOutlineParams(uint32_t opcode)
{
    uint8_t* const target = m_outlineParams[opcode == RENDER_OP_SET_OUTLINE_PARAMS ? 0 : 1];
    m_readOk = m_readOk && GetRing().Read(target, rp::kOutlineParams);
}

void NorvexRenderer::OpSetFieldOfView(uint32_t)
{
    m_fieldOfView = Get<float>();
}

void NorvexRenderer::OpSetSceneColorMode(uint32_t)
{
    m_sceneColorMode = Get<uint32_t>();
}

void NorvexRenderer::OpSetFlagByte(uint32_t)
{
    m_flagByte = Get<uint8_t>();
}

void NorvexRenderer::OpSleep(uint32_t)
{
    const uint32_t milliseconds = Get<uint32_t>();
    if (m_readOk)
        os::Sleep(milliseconds);
}

void NorvexRenderer::OpSetFrameTimes(uint32_t)
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
    // Particles, SFX contexts, the scene environment and the UI's render side take the clocks here.
    (void)flags;
    ReportNotBuilt(RENDER_OP_SET_FRAME_TIMES);
}

void NorvexRenderer::OpAddLight(uint32_t)
{
    RendererLightWrapper* const light = GetPointer<RendererLightWrapper>();
    if (m_readOk && m_gathering)
        AddFrameLight(light);
}

void NorvexRenderer::OpCall(uint32_t)
{
    const RenderCallFunction function = reinterpret_cast<RenderCallFunction>(Get<uintptr_t>());
    const uint32_t subCommand = Get<uint32_t>();
    if (!m_readOk)
        return;
    if (function == nullptr)
    {
        // Its arguments cannot be stepped over without the function that knows them.
        gConsole.Error(kRenderThreadChannel, "Render call command without a function (sub-command %u)", subCommand);
        m_readOk = false;
        return;
    }
    function(*this, subCommand, GetRing());
}

void NorvexRenderer::OpBeginGather(uint32_t)
{
    m_gathered.clear();
    m_outlined.clear();
    m_lights.clear();
    m_gathering = true;
}

void NorvexRenderer::OpAddRenderTask(uint32_t opcode)
{
    EntityRenderingContext* const context = GetPointer<EntityRenderingContext>();
    const uint32_t passFlags = Get<uint32_t>();
    if (!m_readOk)
        return;
    if (m_gathering && (passFlags & (0x40 | 0x80)))
        AddGatheredTask(context, passFlags);
    // Sorted task records, outline pass bits and immediate drawing ask the rendering context itself.
    if (!m_gathering || (passFlags & (0x20 | 0x200)))
        ReportNotBuilt(opcode);
}

void NorvexRenderer::AddFrameLight(RendererLightWrapper* light)
{
    if (m_lights.size() < kMaxFrameLights)
    {
        m_lights.push_back(light);
        ++m_lightListCounter;
    }
}

void NorvexRenderer::AddGatheredTask(EntityRenderingContext* context, uint32_t passFlags)
{
    if (m_gathered.size() < kMaxGathered)
        m_gathered.push_back({context, passFlags});
}

void NorvexRenderer::AddOutlinedTask(EntityRenderingContext* context, uint32_t passFlags)
{
    if (m_outlined.size() < kMaxOutlined)
        m_outlined.push_back({context, passFlags});
}
