// The game side of the render command stream: one emitter per opcode, the submits that hand blocks
// to the render thread, and the frame pacing that keeps the game a bounded number of presents ahead.
//
// Threads: game thread only (exactly one thread writes the stream); calls from another thread are
// logged in checked builds. GetCommandsWritten belongs to any thread.
#pragma once

#include "core/math/BoundingBox4.h"
#include "core/math/Matrix.h"
#include "platform/gpu/GpuTypes.h"
#include "renderer/FrameClock.h"
#include "renderer/RenderCommandWriter.h"

#include <cstdint>

class BaseThread;
class EntityRenderingContext;
class GameDelegate;
class MeshTemplateRenderingData;
class NorvexRenderer;
class NorvexRendererObject;
class ParticleSystemContext;
class RendererLightWrapper;
class UIScreen;

namespace gpu
{
class GpuSwapChain;
}

// What the game side keeps of the last camera sent, for callers to read back right after SetCamera.
struct GameSideCamera
{
    Matrix view = Matrix::ONE;
    Matrix projection = Matrix::ONE;
    Matrix viewProjection = Matrix::ONE;        // view, then projection
    Matrix inverseView = Matrix::ONE;           // camera to world: rows right, up, forward, position
    Matrix inverseViewProjection = Matrix::ONE; // clip space to world
    Vector frustumPlanes[6];                    // inward: left, right, bottom, top, near, far
    BoundingBox4 frustumBox;                    // world box of the eight frustum corners
};

// Writes the game's render commands and submits them; owns the block writer of the renderer's ring.
class RenderCommandStream
{
public:
    explicit RenderCommandStream(NorvexRenderer& renderer);
    RenderCommandStream(const RenderCommandStream&) = delete;
    RenderCommandStream& operator=(const RenderCommandStream&) = delete;

    // Open from the end of a successful Init until Close; submits and some emitters wait for it.
    void SetOpen(bool open) { m_open = open; }
    bool IsOpen() const { return m_open; }
    RenderCommandWriter& GetWriter() { return m_writer; }
    uint32_t GetCommandsWritten() const { return m_writer.GetCommandsWritten(); }

    // Begins a command; the caller then writes exactly payloadBytes (see RenderCommandWriter).
    bool WriteCommand(uint32_t opcode, uint32_t payloadBytes);
    void SubmitCommands(bool sync);
    // Submits, then waits while the game is more than framesAhead presents ahead of the render thread.
    void SubmitFrameSection(uint32_t framesAhead);
    // Submits the pending commands, then waits until `thread` has run everything posted to it.
    void WaitForThread(BaseThread& thread);

    // Emitters, one per opcode.
    void ReleaseDeviceObjects();
    void InitSceneCellGrid(const BoundingBox4& sceneBox, float cellSize);
    void SetSceneCellRange(float low, float high);
    void RequestDeviceReset();
    void SetGameDelegate(GameDelegate* delegate);
    void SetLoadingScreen(UIScreen* screen, uint8_t option, uint8_t drawAfterPostProcess);
    void SetGatherFlag(uint8_t flag);
    void InvalidateCachedTarget();
    void SetVisibleLayers(const uint8_t* layerMask32, uint32_t stamp);
    void SetFrameTarget(gpu::GpuSwapChain* swapChain, uint8_t multisample, uint8_t targetMode);
    void UpscaleFinal();
    void SetPassMask(uint32_t mask);
    void SetOutlineParams(const void* params40);
    void SetOutlineParamsB(const void* params40);
    void PostProcess(uint32_t effectFlags);
    void BeginFrame();
    void SetScenePassOptions(uint32_t options, uint8_t shadowDebug);
    void BeginOutlines();
    void RenderOutlines();
    void SetViewport(const gpu::Viewport& viewport);
    void SetBrightness(float brightness);
    void SetScreenScaleX(float scale);
    void SetScreenScaleY(float scale);
    void SetCamera(const Matrix& view, const Matrix& projection, const Matrix& third);
    const GameSideCamera& GetGameSideCamera() const { return m_camera; }
    // The loading screen shown by the last SetLoadingScreen (game side, set at once).
    bool IsLoadingScreenShown() const { return m_loadingScreenShown; }
    void SetShakeValue(float value);
    void SetSceneColorMode(uint32_t mode);
    void Clear(uint32_t clearFlags, const Vector& color, float depth, uint32_t stencil);
    void SetSRGBWrite(uint8_t on);
    bool Present(gpu::GpuSwapChain* swapChain);
    void SetFrameTimes(const FrameClock& engineClock, const FrameClock& gameClock, const FrameClock& secondGameClock,
                       uint32_t flags);
    void AddLight(RendererLightWrapper* light);
    bool WriteCall(RenderCallFunction function, uint32_t subCommand, uint32_t argumentBytes);
    void BeginGather();
    void RenderGathered(uint32_t passFlags, uint8_t option, const Vector* color);
    void PostObjectDeletion(NorvexRendererObject* object);
    void SetOutlineWriteFlag(uint8_t on);
    void DebugDrawBox(const BoundingBox4& box, const Matrix& transform, const Vector& color);
    void DrawSolidBox(const BoundingBox4& box, const Matrix& transform, const Vector& color, uint8_t cull,
                      uint8_t depthTest);
    void DebugDrawShape(const Matrix& transform, const Vector& color);
    void DebugDrawPointLight(const Matrix& transform, const Vector& color, float nearRange, float farRange);
    void DebugDrawSpotLight(const Matrix& transform, const Vector& color, float nearRange, float farRange, float width);
    void DebugDrawTubeLight(const Matrix& transform, const Vector& color, float nearRange, float farRange,
                            float halfLength);
    void DebugDrawDirectionalAmbientLight(const Matrix& transform, const Vector& color);
    void DrawAxisGizmo(const Matrix& transform, uint8_t depthTest);
    void DebugDrawMarker(const Matrix& transform, const Vector& color, uint8_t highlight);
    bool DrawMesh(const MeshTemplateRenderingData* data, const Matrix& world, const Matrix& second,
                  const BoundingBox4& box, const Vector& color, uint32_t material, uint8_t flags, const void* bones,
                  uint32_t boneCount);
    bool DrawMeshTemplate(const MeshTemplateRenderingData* data, const Matrix& world, const Vector& color,
                          const void* bones, uint32_t boneCount);
    void DrawParticleSystem(ParticleSystemContext* context, const Matrix& world, const BoundingBox4& box,
                            const Vector& color);
    void AddRenderTask(EntityRenderingContext* context, uint32_t passFlags);

private:
    void EndBatch(uint32_t endMarker);
    template <typename T> void Put(const T& value) { m_writer.Put(value); }
    void WritePointer(const void* pointer) { m_writer.Put(reinterpret_cast<uintptr_t>(pointer)); }

    NorvexRenderer& m_renderer;
    RenderCommandWriter m_writer;
    bool m_open = false;
    uint32_t m_presentsWritten = 0;
    uint32_t m_framesWaited = 0;
    bool m_loadingScreenShown = false;
    GameSideCamera m_camera;
};
