// Game thread: beginning commands, ending batches, frame pacing, and one emitter per opcode, each a
// command and its payload.
#include "renderer/RenderCommandStream.h"

#include "core/console/GameConsole.h"
#include "core/math/HDRColor.h"
#include "core/threads/BaseThread.h"
#include "engine/profiler/Profiler.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/RendererThreadCheck.h"

#include <cstring>

namespace
{
namespace rp = renderpayload;
const Vector kStreamWhite(1.0f, 1.0f, 1.0f, 1.0f);
// A present that never comes (its block abandoned, the thread stuck) must not hang the game for ever.
constexpr uint32_t kPresentWaitLimitMs = 2000;
} // namespace

RenderCommandStream::RenderCommandStream(NorvexRenderer& renderer) : m_renderer(renderer), m_writer(renderer)
{
}

bool RenderCommandStream::WriteCommand(uint32_t opcode, uint32_t payloadBytes)
{
    NORVEX_CHECK_GAME_THREAD(m_renderer);
    return m_writer.WriteCommand(opcode, payloadBytes);
}

void RenderCommandStream::EndBatch(uint32_t endMarker)
{
    m_writer.CloseBlock(endMarker);
    if (endMarker == RENDER_OP_END_SYNC)
        m_renderer.Flush();
    m_writer.OpenBlock();
}

void RenderCommandStream::SubmitCommands(bool sync)
{
    NORVEX_CHECK_GAME_THREAD(m_renderer);
    if (!m_open || (!sync && m_writer.IsBlockEmpty()))
        return;
    EndBatch(sync ? RENDER_OP_END_SYNC : RENDER_OP_END_BLOCK);
}

void RenderCommandStream::SubmitFrameSection(uint32_t framesAhead)
{
    SubmitCommands(false);
    gProfiler.StartTimer(PROFILER_MAIN_IDLE, 0);
    while (m_framesWaited + framesAhead < m_presentsWritten)
    {
        ++m_framesWaited;
        if (!m_renderer.WaitForPresent(kPresentWaitLimitMs))
        {
            gConsole.Warning(CONSOLE_CHANNEL_ENGINE,
                             "The render thread has not presented for %u ms; frame pacing skipped",
                             kPresentWaitLimitMs);
            m_framesWaited = m_presentsWritten;
            break;
        }
    }
    gProfiler.StopTimer(PROFILER_MAIN_IDLE, 0);
}

void RenderCommandStream::WaitForThread(BaseThread& thread)
{
    SubmitCommands(false);
    thread.Flush();
}

void RenderCommandStream::ReleaseDeviceObjects()
{
    if (m_open)
        WriteCommand(RENDER_OP_RELEASE_DEVICE_OBJECTS, 0);
}

void RenderCommandStream::InitSceneCellGrid(const BoundingBox4& sceneBox, float cellSize)
{
    if (!WriteCommand(RENDER_OP_INIT_SCENE_CELL_GRID, rp::kInitSceneCellGrid))
        return;
    Put(sceneBox);
    Put(cellSize);
}

void RenderCommandStream::SetSceneCellRange(float low, float high)
{
    if (!WriteCommand(RENDER_OP_SET_SCENE_CELL_RANGE, rp::kSetSceneCellRange))
        return;
    Put(low);
    Put(high);
}

void RenderCommandStream::RequestDeviceReset()
{
    WriteCommand(RENDER_OP_REQUEST_DEVICE_RESET, 0);
}

void RenderCommandStream::SetGameDelegate(GameDelegate* delegate)
{
    if (WriteCommand(RENDER_OP_SET_GAME_DELEGATE, rp::kPointer))
        WritePointer(delegate);
}

void RenderCommandStream::SetLoadingScreen(UIScreen* screen, uint8_t option, uint8_t drawAfterPostProcess)
{
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, "NorvexRenderer::SetLoadingScreen %s",
                    screen != nullptr ? "NOT NULL" : "NULL");
    m_loadingScreenShown = screen != nullptr;
    if (!WriteCommand(RENDER_OP_SET_LOADING_SCREEN, rp::kSetLoadingScreen))
        return;
    WritePointer(screen);
    Put(option);
    Put(drawAfterPostProcess);
    if (m_open)
        SubmitCommands(false);
}

void RenderCommandStream::SetGatherFlag(uint8_t flag)
{
    if (WriteCommand(RENDER_OP_SET_GATHER_FLAG, rp::kU8))
        Put(flag);
}

void RenderCommandStream::InvalidateCachedTarget()
{
    WriteCommand(RENDER_OP_INVALIDATE_CACHED_TARGET, 0);
}

void RenderCommandStream::SetVisibleLayers(const uint8_t* layerMask32, uint32_t stamp)
{
    if (!WriteCommand(RENDER_OP_SET_FRAME_BOX, rp::kSetFrameBox))
        return;
    uint8_t mask[rp::kBox];
    if (layerMask32 != nullptr)
        std::memcpy(mask, layerMask32, sizeof(mask));
    else
        std::memset(mask, 0xFF, sizeof(mask));
    m_writer.Write(mask, sizeof(mask));
    Put(stamp);
}

void RenderCommandStream::SetFrameTarget(gpu::GpuSwapChain* swapChain, uint8_t multisample, uint8_t targetMode)
{
    if (!WriteCommand(RENDER_OP_SET_FRAME_TARGET, rp::kSetFrameTarget))
        return;
    WritePointer(swapChain);
    Put(multisample);
    Put(targetMode);
}

void RenderCommandStream::UpscaleFinal()
{
    WriteCommand(RENDER_OP_UPSCALE_FINAL, 0);
}

void RenderCommandStream::SetPassMask(uint32_t mask)
{
    if (WriteCommand(RENDER_OP_SET_PASS_MASK, rp::kU32))
        Put(mask);
}

void RenderCommandStream::SetOutlineParams(const void* params40)
{
    if (WriteCommand(RENDER_OP_SET_OUTLINE_PARAMS, rp::kOutlineParams))
        m_writer.Write(params40, rp::kOutlineParams);
}

void RenderCommandStream::SetOutlineParamsB(const void* params40)
{
    if (WriteCommand(RENDER_OP_SET_OUTLINE_PARAMS_B, rp::kOutlineParams))
        m_writer.Write(params40, rp::kOutlineParams);
}

void RenderCommandStream::PostProcess(uint32_t effectFlags)
{
    if (!m_renderer.GetDeviceManager().GetDeviceSettings().enableFullScreenEffects)
        effectFlags &= 1u;
    if (WriteCommand(RENDER_OP_POST_PROCESS, rp::kU32))
        Put(effectFlags);
}

void RenderCommandStream::BeginFrame()
{
    WriteCommand(RENDER_OP_BEGIN_FRAME, 0);
}

void RenderCommandStream::SetScenePassOptions(uint32_t options, uint8_t shadowDebug)
{
    if (!WriteCommand(RENDER_OP_SET_SCENE_PASS_OPTIONS, rp::kSetScenePassOptions))
        return;
    Put(options);
    Put(shadowDebug);
}

void RenderCommandStream::BeginOutlines()
{
    WriteCommand(RENDER_OP_BEGIN_OUTLINES, 0);
}

void RenderCommandStream::RenderOutlines()
{
    WriteCommand(RENDER_OP_RENDER_OUTLINES, 0);
}

void RenderCommandStream::SetViewport(const gpu::Viewport& viewport)
{
    if (!WriteCommand(RENDER_OP_SET_VIEWPORT, rp::kSetViewport))
        return;
    Put(viewport.x);
    Put(viewport.y);
    Put(viewport.width);
    Put(viewport.height);
    Put(viewport.minZ);
    Put(viewport.maxZ);
}

void RenderCommandStream::SetBrightness(float brightness)
{
    if (WriteCommand(RENDER_OP_SET_BRIGHTNESS, rp::kFloat))
        Put(brightness);
}

void RenderCommandStream::SetScreenScaleX(float scale)
{
    if (WriteCommand(RENDER_OP_SET_SCREEN_SCALE_X, rp::kFloat))
        Put(scale);
}

void RenderCommandStream::SetScreenScaleY(float scale)
{
    if (WriteCommand(RENDER_OP_SET_SCREEN_SCALE_Y, rp::kFloat))
        Put(scale);
}

void RenderCommandStream::SetCamera(const Matrix& view, const Matrix& projection, const Matrix& third)
{
    GameSideCamera& c = m_camera;
    c.view = view;
    c.projection = projection;
    c.viewProjection.Mul(projection, view);
    c.inverseView.InverseOf(view);
    c.inverseViewProjection.InverseOf(c.viewProjection);
    // Planes of the combined matrix (row vectors): left, right, bottom, top, near, far.
    const Matrix& m = c.viewProjection;
    auto column = [&m](int i) { return Vector(m.At(0, i), m.At(1, i), m.At(2, i), m.At(3, i)); };
    const Vector c0 = column(0), c1 = column(1), c2 = column(2), c3 = column(3);
    c.frustumPlanes[0].Add(c3, c0);
    c.frustumPlanes[1].Sub(c3, c0);
    c.frustumPlanes[2].Add(c3, c1);
    c.frustumPlanes[3].Sub(c3, c1);
    c.frustumPlanes[4] = c2;
    c.frustumPlanes[5].Sub(c3, c2);
    // The corners of the clip volume (depth 0 to 1) taken back to the world.
    c.frustumBox = BoundingBox4::INVALID;
    for (uint32_t i = 0; i < 8; ++i)
    {
        Vector corner((i & 1) ? 1.0f : -1.0f, (i & 2) ? 1.0f : -1.0f, (i & 4) ? 1.0f : 0.0f, 1.0f);
        corner.TransformHomogen(c.inverseViewProjection);
        corner.w = 1.0f;
        c.frustumBox.Expand(corner);
    }
    if (!WriteCommand(RENDER_OP_SET_CAMERA, rp::kSetCamera))
        return;
    Put(view);
    Put(projection);
    Put(third);
    for (const Vector& plane : c.frustumPlanes)
        Put(plane);
}

void RenderCommandStream::SetShakeValue(float value)
{
    if (WriteCommand(RENDER_OP_SET_FIELD_OF_VIEW, rp::kFloat))
        Put(value);
}

void RenderCommandStream::SetSceneColorMode(uint32_t mode)
{
    HDRColor::SetLinearLighting(mode == 0);
    if (WriteCommand(RENDER_OP_SET_SCENE_COLOR_MODE, rp::kU32))
        Put(mode);
}

void RenderCommandStream::Clear(uint32_t clearFlags, const Vector& color, float depth, uint32_t stencil)
{
    if (!WriteCommand(RENDER_OP_CLEAR, rp::kClear))
        return;
    Put(clearFlags);
    Put(color);
    Put(depth);
    Put(stencil);
}

void RenderCommandStream::SetSRGBWrite(uint8_t on)
{
    if (WriteCommand(RENDER_OP_SET_SRGB_WRITE, rp::kU8))
        Put(on);
}

bool RenderCommandStream::Present(gpu::GpuSwapChain* swapChain)
{
    // Only a written present is counted: frame pacing waits for every counted one.
    if (WriteCommand(RENDER_OP_PRESENT, rp::kPointer))
    {
        WritePointer(swapChain);
        ++m_presentsWritten;
    }
    SubmitCommands(false);
    return !m_renderer.IsDeviceResetPending();
}

void RenderCommandStream::SetFrameTimes(const FrameClock& engineClock, const FrameClock& gameClock,
                                        const FrameClock& secondGameClock, uint32_t flags)
{
    if (!WriteCommand(RENDER_OP_SET_FRAME_TIMES, rp::kSetFrameTimes))
        return;
    for (const FrameClock* clock : {&engineClock, &gameClock, &secondGameClock})
    {
        Put(clock->accumulatedCounter);
        Put(clock->lastStepSeconds);
    }
    Put(flags);
}

void RenderCommandStream::AddLight(RendererLightWrapper* light)
{
    if (WriteCommand(RENDER_OP_ADD_LIGHT, rp::kPointer))
        WritePointer(light);
}

bool RenderCommandStream::WriteCall(RenderCallFunction function, uint32_t subCommand, uint32_t argumentBytes)
{
    if (argumentBytes > kMaxRenderPayloadBytes - rp::kCallHeader)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Render call %u with %u argument bytes does not fit a %u-byte block",
                       subCommand, argumentBytes, kRenderBlockBytes);
        return false;
    }
    if (!WriteCommand(RENDER_OP_CALL, rp::kCallHeader + argumentBytes))
        return false;
    Put(reinterpret_cast<uintptr_t>(function));
    Put(subCommand);
    return true;
}

void RenderCommandStream::BeginGather()
{
    WriteCommand(RENDER_OP_BEGIN_GATHER, 0);
}

void RenderCommandStream::RenderGathered(uint32_t passFlags, uint8_t option, const Vector* color)
{
    if (!WriteCommand(RENDER_OP_RENDER_GATHERED, rp::kRenderGathered))
        return;
    Put(color != nullptr ? *color : kStreamWhite);
    Put(passFlags);
    Put(option);
}

void RenderCommandStream::PostObjectDeletion(NorvexRendererObject* object)
{
    if (WriteCommand(RENDER_OP_DELETE_OBJECT, rp::kPointer))
        WritePointer(object);
}

void RenderCommandStream::SetOutlineWriteFlag(uint8_t on)
{
    if (WriteCommand(RENDER_OP_SET_DEPTH_STENCIL_ENABLED, rp::kU8))
        Put(on);
}

void RenderCommandStream::DebugDrawBox(const BoundingBox4& box, const Matrix& transform, const Vector& color)
{
    if (!WriteCommand(RENDER_OP_DEBUG_DRAW_BOX, rp::kDebugDrawBox))
        return;
    Put(box);
    Put(transform);
    Put(color);
}

void RenderCommandStream::DrawSolidBox(const BoundingBox4& box, const Matrix& transform, const Vector& color,
                                       uint8_t cull, uint8_t depthTest)
{
    if (!WriteCommand(RENDER_OP_DRAW_SOLID_BOX, rp::kDrawSolidBox))
        return;
    Put(box);
    Put(transform);
    Put(color);
    Put(cull);
    Put(depthTest);
}

void RenderCommandStream::DebugDrawShape(const Matrix& transform, const Vector& color)
{
    if (!WriteCommand(RENDER_OP_DEBUG_DRAW_SHAPE, rp::kDebugDrawShape))
        return;
    Put(transform);
    Put(color);
}

void RenderCommandStream::DebugDrawPointLight(const Matrix& transform, const Vector& color, float nearRange,
                                              float farRange)
{
    if (!WriteCommand(RENDER_OP_DEBUG_DRAW_POINT_LIGHT, rp::kDebugDrawPointLight))
        return;
    Put(transform);
    Put(color);
    Put(nearRange);
    Put(farRange);
}

void RenderCommandStream::DebugDrawSpotLight(const Matrix& transform, const Vector& color, float nearRange,
                                             float farRange, float width)
{
    if (!WriteCommand(RENDER_OP_DEBUG_DRAW_SPOT_LIGHT, rp::kDebugDrawSpotLight))
        return;
    Put(transform);
    Put(color);
    Put(nearRange);
    Put(farRange);
    Put(width);
}

void RenderCommandStream::DebugDrawTubeLight(const Matrix& transform, const Vector& color, float nearRange,
                                             float farRange, float halfLength)
{
    if (!WriteCommand(RENDER_OP_DEBUG_DRAW_TUBE_LIGHT, rp::kDebugDrawSpotLight))
        return;
    Put(transform);
    Put(color);
    Put(nearRange);
    Put(farRange);
    Put(halfLength);
}

void RenderCommandStream::DebugDrawDirectionalAmbientLight(const Matrix& transform, const Vector& color)
{
    if (!WriteCommand(RENDER_OP_DEBUG_DRAW_AMBIENT_LIGHT, rp::kDebugDrawShape))
        return;
    Put(transform);
    Put(color);
}

void RenderCommandStream::DrawAxisGizmo(const Matrix& transform, uint8_t depthTest)
{
    if (!WriteCommand(RENDER_OP_DRAW_AXIS_GIZMO, rp::kDrawAxisGizmo))
        return;
    Put(transform);
    Put(depthTest);
}

void RenderCommandStream::DebugDrawMarker(const Matrix& transform, const Vector& color, uint8_t highlight)
{
    if (!WriteCommand(RENDER_OP_DEBUG_DRAW_MARKER, rp::kDebugDrawMarker))
        return;
    Put(transform);
    Put(color);
    Put(highlight);
}

namespace
{
// Payload of a command with a bone array, in 64 bits so that a huge count cannot wrap.
uint64_t SkinnedPayload(uint32_t base, uint32_t boneCount)
{
    return uint64_t(base) + rp::kU32 + uint64_t(boneCount) * rp::kBoneMatrix + 16;
}
} // namespace

bool RenderCommandStream::DrawMesh(const MeshTemplateRenderingData* data, const Matrix& world, const Matrix& second,
                                   const BoundingBox4& box, const Vector& color, uint32_t material, uint8_t flags,
                                   const void* bones, uint32_t boneCount)
{
    const bool skinned = boneCount != 0 && bones != nullptr;
    const uint64_t payload = skinned ? SkinnedPayload(rp::kDrawMeshSkinnedBase, boneCount) : rp::kDrawMesh;
    if (payload > kMaxRenderPayloadBytes)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "DrawMesh with %u bones does not fit a %u-byte render block", boneCount,
                       kRenderBlockBytes);
        return false;
    }
    if (!WriteCommand(skinned ? RENDER_OP_DRAW_MESH_SKINNED : RENDER_OP_DRAW_MESH, uint32_t(payload)))
        return false;
    WritePointer(data);
    Put(world);
    Put(second);
    Put(box);
    Put(color);
    Put(material);
    Put(flags);
    if (skinned)
        m_writer.WriteBoneArray(bones, boneCount);
    return true;
}

bool RenderCommandStream::DrawMeshTemplate(const MeshTemplateRenderingData* data, const Matrix& world,
                                           const Vector& color, const void* bones, uint32_t boneCount)
{
    const bool skinned = boneCount != 0 && bones != nullptr;
    const uint64_t payload =
        skinned ? SkinnedPayload(rp::kDrawMeshTemplateSkinnedBase, boneCount) : rp::kDrawMeshTemplate;
    if (payload > kMaxRenderPayloadBytes)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "DrawMeshTemplate with %u bones does not fit a %u-byte render block",
                       boneCount, kRenderBlockBytes);
        return false;
    }
    if (!WriteCommand(skinned ? RENDER_OP_DRAW_MESH_TEMPLATE_SKINNED : RENDER_OP_DRAW_MESH_TEMPLATE, uint32_t(payload)))
        return false;
    WritePointer(data);
    Put(world);
    Put(color);
    if (skinned)
        m_writer.WriteBoneArray(bones, boneCount);
    return true;
}

void RenderCommandStream::DrawParticleSystem(ParticleSystemContext* context, const Matrix& world,
                                             const BoundingBox4& box, const Vector& color)
{
    if (!WriteCommand(RENDER_OP_DRAW_PARTICLE_SYSTEM, rp::kDrawParticleSystem))
        return;
    WritePointer(context);
    Put(world);
    Put(box);
    Put(color);
}

void RenderCommandStream::AddRenderTask(EntityRenderingContext* context, uint32_t passFlags)
{
    if (!WriteCommand(RENDER_OP_ADD_RENDER_TASK, rp::kAddRenderTask))
        return;
    WritePointer(context);
    Put(passFlags);
}

static_assert(sizeof(BoundingBox4) == rp::kBox && sizeof(Matrix) == rp::kMatrix && sizeof(Vector) == rp::kVector);
static_assert(sizeof(DeviceParams) == rp::kDeviceParams);
