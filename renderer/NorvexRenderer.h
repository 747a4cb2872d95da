// The renderer: a command stream from the game thread to the render thread, which owns the device.
//
// The game thread never touches the device. It writes commands (RenderCommands.h) into 4096-byte
// blocks of the renderer thread's ring through WriteCommand and the emitters below; SubmitCommands
// hands the open block over (asynchronously, or synchronously waiting until everything written has
// run). Every committed block releases the work semaphore once, which is what wakes the render
// thread; it executes blocks opcode by opcode (ExecuteCommands), presents, and releases the present
// semaphore once per present so that SubmitFrameSection can keep the game a bounded number of frames
// ahead. The device is created and reset on the game thread, only after a synchronous submit (the
// render thread is idle then) and with the display lock held for the parameter copy.
//
// NorvexRenderer is the face that callers see; the work is done by four parts, each with its thread:
//   RenderCommandStream    game thread    emitters, submits, frame pacing (owns the block writer)
//   RenderDeviceManager    game thread while the render thread is idle, else render thread
//                                         device creation, parameters, resets, display modes, close
//   RenderCommandExecutor  render thread  opcode table and handlers, frames, loading and blank frames,
//                                         gathering lists, cell grid
//   RenderStateCache       render thread  cached device state, draw wrappers, viewport and camera
// The face itself is the render thread (a BaseThread) and owns what the parts share: the work and
// present semaphores, the display lock, the job queue and the presenter thread. In builds with
// NORVEX_THREAD_CHECKS the parts log calls made from the wrong thread (RendererThreadCheck.h).
//
// Threads: the emitters, Init, Close, Submit*, ApplyDisplaySettings and the other game-side calls
// belong to the game thread; the handlers, state setters and draw wrappers to the render thread;
// RequestQuit and the counters' getters to any thread.
#pragma once

#include "core/threads/BaseThread.h"
#include "platform/os/Sync.h"
#include "renderer/NorvexRendererPresenterThread.h"
#include "renderer/RenderCommandExecutor.h"
#include "renderer/RenderCommandStream.h"
#include "renderer/RenderDeviceManager.h"
#include "renderer/RenderStateCache.h"
#include "renderer/jobs/RendererJobQueue.h"

#include <atomic>
#include <cstdint>

// The renderer object and its render thread.
class NorvexRenderer : public BaseThread
{
public:
    NorvexRenderer();
    ~NorvexRenderer() override;

    // Game thread: life cycle.
    // Starts the render thread and creates the device; false when no device could be made or the
    // render thread did not answer within the start limit.
    bool Init(void* window, bool fullScreen);
    void Close();
    // The configuration the device parameters are built from (set before Init and display changes).
    void SetDeviceSettings(const RendererDeviceSettings& settings) { m_deviceManager.SetDeviceSettings(settings); }
    // The application is quitting: a reset that waits for a lost device gives up. Any thread.
    void RequestQuit() { m_deviceManager.RequestQuit(); }
    // Longest wait in Init for the render thread to run the first synchronous block.
    void SetStartWaitLimitMs(uint32_t milliseconds) { m_startWaitLimitMs = milliseconds; }

    // The parts behind this face.
    RenderCommandStream& GetCommandStream() { return m_stream; }
    RenderDeviceManager& GetDeviceManager() { return m_deviceManager; }
    RenderCommandExecutor& GetExecutor() { return m_executor; }
    RenderStateCache& GetStateCache() { return m_stateCache; }
    const RenderStateCache& GetStateCache() const { return m_stateCache; }

    // Any thread: the calling-thread checks. The game thread is the one that called Init (any
    // thread before that); the render side is the render thread, any thread while it does not run,
    // or the game thread while it holds the device.
    bool IsGameThread() const;
    bool IsRenderSide() const;
    // The game thread holds the device for creation or a display change while the render thread is idle.
    class DeviceHandoff
    {
    public:
        explicit DeviceHandoff(NorvexRenderer& renderer) : m_renderer(renderer)
        {
            m_renderer.m_gameHoldsDevice.store(true, std::memory_order_release);
        }
        ~DeviceHandoff() { m_renderer.m_gameHoldsDevice.store(false, std::memory_order_release); }
        DeviceHandoff(const DeviceHandoff&) = delete;
        DeviceHandoff& operator=(const DeviceHandoff&) = delete;

    private:
        NorvexRenderer& m_renderer;
    };

    // Game thread: the stream.
    bool WriteCommand(uint32_t opcode, uint32_t payloadBytes) { return m_stream.WriteCommand(opcode, payloadBytes); }
    RenderCommandWriter& GetWriter() { return m_stream.GetWriter(); }
    void SubmitCommands(bool sync) { m_stream.SubmitCommands(sync); }
    // Submits, then waits while the game is more than framesAhead presents ahead of the render thread.
    void SubmitFrameSection(uint32_t framesAhead) { m_stream.SubmitFrameSection(framesAhead); }
    // Submits the pending commands, then waits until `thread` has run everything posted to it: a
    // thread that waits on the renderer could otherwise wait for commands never handed over.
    void WaitForThread(BaseThread& thread) { m_stream.WaitForThread(thread); }
    bool IsStreamOpen() const { return m_stream.IsOpen(); }

    // Game thread: emitters, one per opcode.
    void ReleaseDeviceObjects() { m_stream.ReleaseDeviceObjects(); }
    void InitSceneCellGrid(const BoundingBox4& sceneBox, float cellSize)
    {
        m_stream.InitSceneCellGrid(sceneBox, cellSize);
    }
    void SetSceneCellRange(float low, float high) { m_stream.SetSceneCellRange(low, high); }
    void RequestDeviceReset() { m_stream.RequestDeviceReset(); }
    void SetGameDelegate(GameDelegate* delegate) { m_stream.SetGameDelegate(delegate); }
    void SetLoadingScreen(UIScreen* screen, uint8_t option, uint8_t drawAfterPostProcess)
    {
        m_stream.SetLoadingScreen(screen, option, drawAfterPostProcess);
    }
    void SetGatherFlag(uint8_t flag) { m_stream.SetGatherFlag(flag); }
    void InvalidateCachedTarget() { m_stream.InvalidateCachedTarget(); }
    // The 32-byte layer mask (all bits set when null) and the render-pass stamp of the frame.
    void SetVisibleLayers(const uint8_t* layerMask32, uint32_t stamp) { m_stream.SetVisibleLayers(layerMask32, stamp); }
    // Null swap chain: the device's own back buffer. Target mode 0 to 4.
    void SetFrameTarget(gpu::GpuSwapChain* swapChain, uint8_t multisample, uint8_t targetMode)
    {
        m_stream.SetFrameTarget(swapChain, multisample, targetMode);
    }
    void UpscaleFinal() { m_stream.UpscaleFinal(); }
    void SetPassMask(uint32_t mask) { m_stream.SetPassMask(mask); }
    void SetOutlineParams(const void* params40) { m_stream.SetOutlineParams(params40); }
    void SetOutlineParamsB(const void* params40) { m_stream.SetOutlineParamsB(params40); }
    void PostProcess(uint32_t effectFlags) { m_stream.PostProcess(effectFlags); }
    void BeginFrame() { m_stream.BeginFrame(); }
    void SetScenePassOptions(uint32_t options, uint8_t shadowDebug)
    {
        m_stream.SetScenePassOptions(options, shadowDebug);
    }
    // The next gathered pass first draws the blob shadows of its contexts into the fake shadow
    // target (nothing when the project draws none).
    void SubmitFakeShadows();
    void BeginOutlines() { m_stream.BeginOutlines(); }
    void RenderOutlines() { m_stream.RenderOutlines(); }
    void SetViewport(const gpu::Viewport& viewport) { m_stream.SetViewport(viewport); }
    void SetBrightness(float brightness) { m_stream.SetBrightness(brightness); }
    void SetScreenScaleX(float scale) { m_stream.SetScreenScaleX(scale); }
    void SetScreenScaleY(float scale) { m_stream.SetScreenScaleY(scale); }
    // Keeps view, projection, their product and the frustum planes on the game side, then sends them.
    void SetCamera(const Matrix& view, const Matrix& projection, const Matrix& third)
    {
        m_stream.SetCamera(view, projection, third);
    }
    // The last camera sent with what the game side derived from it (planes, corner box, inverses).
    const GameSideCamera& GetGameSideCamera() const { return m_stream.GetGameSideCamera(); }
    bool IsLoadingScreenShown() const { return m_stream.IsLoadingScreenShown(); }
    // The hold flag a scene switch sets after its semaphore wait (under the display lock).
    void SetHoldFlag(uint8_t flag);
    uint8_t GetHoldFlag() const { return m_holdFlag.load(std::memory_order_acquire); }
    // Field of view (the camera's shake value) for the post chain.
    void SetShakeValue(float value) { m_stream.SetShakeValue(value); }
    void SetSceneColorMode(uint32_t mode) { m_stream.SetSceneColorMode(mode); }
    void Clear(uint32_t clearFlags, const Vector& color, float depth, uint32_t stencil)
    {
        m_stream.Clear(clearFlags, color, depth, stencil);
    }
    void SetSRGBWrite(uint8_t on) { m_stream.SetSRGBWrite(on); }
    // Counts a frame, writes the present and submits; false while a device reset is pending.
    bool Present(gpu::GpuSwapChain* swapChain = nullptr) { return m_stream.Present(swapChain); }
    void SetFrameTimes(const FrameClock& engineClock, const FrameClock& gameClock, const FrameClock& secondGameClock,
                       uint32_t flags)
    {
        m_stream.SetFrameTimes(engineClock, gameClock, secondGameClock, flags);
    }
    void AddLight(RendererLightWrapper* light) { m_stream.AddLight(light); }
    // Opens a call command: the function runs on the render thread with the sub-command and reads
    // argumentBytes of arguments, which the caller writes next. False (logged) when refused.
    bool WriteCall(RenderCallFunction function, uint32_t subCommand, uint32_t argumentBytes)
    {
        return m_stream.WriteCall(function, subCommand, argumentBytes);
    }
    void BeginGather() { m_stream.BeginGather(); }
    // Null colour: the constant colour (1, 1, 1, 1).
    void RenderGathered(uint32_t passFlags, uint8_t option, const Vector* color)
    {
        m_stream.RenderGathered(passFlags, option, color);
    }
    void PostObjectDeletion(NorvexRendererObject* object) { m_stream.PostObjectDeletion(object); }
    void SetOutlineWriteFlag(uint8_t on) { m_stream.SetOutlineWriteFlag(on); }
    void DebugDrawBox(const BoundingBox4& box, const Matrix& transform, const Vector& color)
    {
        m_stream.DebugDrawBox(box, transform, color);
    }
    void DrawSolidBox(const BoundingBox4& box, const Matrix& transform, const Vector& color, uint8_t cull,
                      uint8_t depthTest)
    {
        m_stream.DrawSolidBox(box, transform, color, cull, depthTest);
    }
    void DebugDrawShape(const Matrix& transform, const Vector& color) { m_stream.DebugDrawShape(transform, color); }
    void DebugDrawPointLight(const Matrix& transform, const Vector& color, float nearRange, float farRange)
    {
        m_stream.DebugDrawPointLight(transform, color, nearRange, farRange);
    }
    void DebugDrawSpotLight(const Matrix& transform, const Vector& color, float nearRange, float farRange, float width)
    {
        m_stream.DebugDrawSpotLight(transform, color, nearRange, farRange, width);
    }
    void DebugDrawTubeLight(const Matrix& transform, const Vector& color, float nearRange, float farRange,
                            float halfLength)
    {
        m_stream.DebugDrawTubeLight(transform, color, nearRange, farRange, halfLength);
    }
    void DebugDrawDirectionalAmbientLight(const Matrix& transform, const Vector& color)
    {
        m_stream.DebugDrawDirectionalAmbientLight(transform, color);
    }
    void DrawAxisGizmo(const Matrix& transform, uint8_t depthTest) { m_stream.DrawAxisGizmo(transform, depthTest); }
    void DebugDrawMarker(const Matrix& transform, const Vector& color, uint8_t highlight)
    {
        m_stream.DebugDrawMarker(transform, color, highlight);
    }
    // Bone matrices are 48-byte 3x4 matrices; with none the unskinned command is written. False
    // (logged, nothing written) when the bones do not fit one block.
    bool DrawMesh(const MeshTemplateRenderingData* data, const Matrix& world, const Matrix& second,
                  const BoundingBox4& box, const Vector& color, uint32_t material, uint8_t flags, const void* bones,
                  uint32_t boneCount)
    {
        return m_stream.DrawMesh(data, world, second, box, color, material, flags, bones, boneCount);
    }
    bool DrawMeshTemplate(const MeshTemplateRenderingData* data, const Matrix& world, const Vector& color,
                          const void* bones, uint32_t boneCount)
    {
        return m_stream.DrawMeshTemplate(data, world, color, bones, boneCount);
    }
    void DrawParticleSystem(ParticleSystemContext* context, const Matrix& world, const BoundingBox4& box,
                            const Vector& color)
    {
        m_stream.DrawParticleSystem(context, world, box, color);
    }
    void AddRenderTask(EntityRenderingContext* context, uint32_t passFlags)
    {
        m_stream.AddRenderTask(context, passFlags);
    }

    // Game thread: device and display.
    void BuildDeviceParams(uint32_t outputWidth, uint32_t outputHeight, bool applyConfiguration, bool fullScreen,
                           DeviceParams* params)
    {
        m_deviceManager.BuildDeviceParams(outputWidth, outputHeight, applyConfiguration, fullScreen, params);
    }
    void ApplyDisplaySettings(void* window, uint32_t width, uint32_t height, bool applyConfiguration, bool fullScreen)
    {
        m_deviceManager.ApplyDisplaySettings(window, width, height, applyConfiguration, fullScreen);
    }
    // Applies the renderer's current parameter block (display lock held by the caller or idle renderer).
    void ApplyPresentParameters(void* window) { m_deviceManager.ApplyPresentParameters(window); }
    // Releases the size-dependent objects and, with reset, resets the device; false when the reset failed.
    bool ResetDevice(bool reset) { return m_deviceManager.ResetDevice(reset); }
    // Render thread (or the game thread holding the device): the render targets and the shared
    // device objects, made after every device creation or reset and released before.
    void CreateRenderTargets() { m_deviceManager.CreateRenderTargets(); }
    void ReleaseRenderTargets() { m_deviceManager.ReleaseRenderTargets(); }
    void CreateSharedDeviceObjects() { m_deviceManager.CreateSharedDeviceObjects(); }
    void ReleaseSharedDeviceObjects() { m_deviceManager.ReleaseSharedDeviceObjects(); }
    bool FindDisplayMode(uint32_t* width, uint32_t* height, uint32_t* refreshRate) const
    {
        return m_deviceManager.FindDisplayMode(width, height, refreshRate);
    }
    bool FindDesktopSize(uint32_t* width, uint32_t* height) const
    {
        return m_deviceManager.FindDesktopSize(width, height);
    }
    const DisplayModeList& GetDisplayModes() const { return m_deviceManager.GetDisplayModes(); }
    // Sets the switch that allows loading-screen frames, under the display lock.
    void EnableLoadingFrames(bool enable) { m_executor.EnableLoadingFrames(enable); }
    // The option that orders the sorted forward tasks nearest first (scripts set it through the
    // options service); any thread.
    void EnableFrontToBackSorting(bool enable) { m_frontToBackSorting.store(enable, std::memory_order_release); }
    bool IsFrontToBackSortingEnabled() const { return m_frontToBackSorting.load(std::memory_order_acquire); }
    // Once per frame: frame time and render-thread idle time since the last call, the presented
    // frame's draw calls and primitives, and the count of live resources.
    void UpdateFrameStatistics();
    float GetStatisticsFrameSeconds() const { return m_statisticsFrameSeconds; }
    float GetStatisticsIdleSeconds() const { return m_statisticsIdleSeconds; }

    // Any thread.
    uint32_t GetCommandsWritten() const { return m_stream.GetCommandsWritten(); }
    uint32_t GetCommandsExecuted() const { return m_executor.GetCommandsExecuted(); }
    uint32_t GetPresentsExecuted() const { return m_executor.GetPresentsExecuted(); }
    bool IsDeviceResetPending() const { return m_deviceManager.IsDeviceResetPending(); }
    // The device: the render thread's, or the game thread's while the render thread is idle.
    gpu::GpuDevice* GetDevice() const { return m_deviceManager.GetDevice(); }
    const DeviceParams& GetDeviceParams() const { return m_deviceManager.GetDeviceParams(); }
    // The renderer's copy of the GFX quality level that the particle code reads; the options set it
    // without a device reset. True when it changed.
    bool SetGFXQualityLevel(uint32_t level) { return m_deviceManager.SetGFXQualityLevel(level); }
    uint32_t GetGFXQualityLevel() const { return m_deviceManager.GetGFXQualityLevel(); }
    const gpu::PresentParameters& GetPresentParameters() const { return m_deviceManager.GetPresentParameters(); }
    uint32_t GetBackBufferWidth() const { return m_deviceManager.GetBackBufferWidth(); }
    uint32_t GetBackBufferHeight() const { return m_deviceManager.GetBackBufferHeight(); }
    uint32_t GetRenderWidth() const { return m_deviceManager.GetRenderWidth(); }
    uint32_t GetRenderHeight() const { return m_deviceManager.GetRenderHeight(); }
    bool HasDepthTextureSupport() const { return m_deviceManager.HasDepthTextureSupport(); }
    bool HasRawzDepthTextureSupport() const { return m_deviceManager.HasRawzDepthTextureSupport(); }

    // Renderer jobs: the queue, and its records' share of the work semaphore (any thread / render thread).
    RendererJobQueue& GetJobQueue() { return m_jobs; }
    void SignalJobWork() { m_workSemaphore.Release(1); }
    void ConsumeJobWork() { m_workSemaphore.Wait(0); }
    // Runs queued renderer jobs within the budget; true when the queue is empty.
    bool ProcessResourceJobs(uint32_t costLimit, float budgetSeconds);
    // Runs queued jobs without a cost or time limit until none is left.
    void DrainResourceJobs();

    // Render thread.
    void ExecuteCommands() { m_executor.ExecuteCommands(); }
    void SelectFrameTarget(gpu::GpuSwapChain* swapChain, uint8_t multisample, uint8_t targetMode)
    {
        m_executor.SelectFrameTarget(swapChain, multisample, targetMode);
    }
    void BeginFrameHandler(bool depth) { m_executor.BeginFrameHandler(depth); }
    void BeginPostProcess(uint32_t effectFlags) { m_executor.BeginPostProcess(effectFlags); }
    void UpscaleFinalHandler() { m_executor.UpscaleFinalHandler(); }
    void SetFrameShaderConstants() { m_executor.SetFrameShaderConstants(); }
    // Pixel registers 219, 223 and 218 from the inverse projection and the render size.
    static void ComputeScreenMapping(const Matrix& inverseProjection, float renderWidth, float renderHeight,
                                     Vector* register219, Vector* register223, Vector* register218)
    {
        RenderCommandExecutor::ComputeScreenMapping(inverseProjection, renderWidth, renderHeight, register219,
                                                    register223, register218);
    }
    // Pixel registers 221 and 222: the view-space corner rays at depth 1.
    static void ComputeCornerRays(const Matrix& inverseProjection, Vector rays[2])
    {
        RenderCommandExecutor::ComputeCornerRays(inverseProjection, rays);
    }
    void RenderLoadingFrame() { m_executor.RenderLoadingFrame(); }
    void RenderBlankFrame() { m_executor.RenderBlankFrame(); }
    void PumpLoadingScreen() { m_executor.PumpLoadingScreen(); }
    void AddFrameLight(RendererLightWrapper* light) { m_executor.AddFrameLight(light); }
    void AddGatheredTask(EntityRenderingContext* context, uint32_t passFlags)
    {
        m_executor.AddGatheredTask(context, passFlags);
    }
    void AddOutlinedTask(EntityRenderingContext* context, uint32_t passFlags)
    {
        m_executor.AddOutlinedTask(context, passFlags);
    }
    RenderTaskRecord* AllocTaskRecord() { return m_executor.AllocTaskRecord(); }
    void AddSortKey(float key) { m_executor.AddSortKey(key); }
    // The 256-entry gamma ramp of a brightness in [0, 1] (0.5 is the identity).
    static void BuildGammaRamp(float brightness, gpu::GammaRamp* ramp)
    {
        RenderCommandExecutor::BuildGammaRamp(brightness, ramp);
    }
    // s x 0.15 + 0.85 clamped to [0.85, 1].
    static float MapScreenScale(float scale) { return RenderCommandExecutor::MapScreenScale(scale); }

    // Render thread: the state cache and draw wrappers (RenderStateCache). Cached setters call the
    // device only when the value changes; the wrappers after them always do.
    // Forgets the cached state and puts the device's samplers and stencil in the known defaults.
    void ResetStateCache() { m_stateCache.Reset(); }
    // Mode 0 to 9 of the blend-mode table.
    void SetBlendMode(uint32_t mode) { m_stateCache.SetBlendMode(mode); }
    static const Vector& GetBlendModeFadeVector(uint32_t mode)
    {
        return RenderStateCache::GetBlendModeFadeVector(mode);
    }
    // Redraws the six faces of the lighting cube from the directional-ambient lights whose light
    // mask shares no bit with `lightMask` (AmbientCube.cpp).
    void RenderAmbientCube(uint32_t lightMask);
    void SetCullMode(uint32_t cullMode) { m_stateCache.SetCullMode(cullMode); }
    // Mode 0 off, 1 on with greater, 2 on with less; other modes change nothing.
    void SetAlphaTest(uint32_t mode, uint32_t reference) { m_stateCache.SetAlphaTest(mode, reference); }
    void SetDepthState(uint32_t compareFunction, bool writeEnable, float bias)
    {
        m_stateCache.SetDepthState(compareFunction, writeEnable, bias);
    }
    void SetVertexShader(const VertexShaderObject* shader) { m_stateCache.SetVertexShader(shader); }
    void SetPixelShader(const PixelShaderObject* shader) { m_stateCache.SetPixelShader(shader); }
    // Binds the holder's texture (or none) and sets the sampler states of the SamplerFlag groups
    // that changed since the stage's last flags.
    void SetTexture(uint32_t stage, TextureHolder* holder, uint32_t flags)
    {
        m_stateCache.SetTexture(stage, holder, flags);
    }
    void SetStencilOps(uint32_t pass, uint32_t fail, uint32_t depthFail)
    {
        m_stateCache.SetStencilOps(pass, fail, depthFail);
    }
    void SetStencilFunc(uint32_t function, uint32_t reference, uint32_t readMask, uint32_t writeMask)
    {
        m_stateCache.SetStencilFunc(function, reference, readMask, writeMask);
    }
    void SetStencilWriteMask(uint32_t mask) { m_stateCache.SetStencilWriteMask(mask); }
    void DisableStencil() { m_stateCache.DisableStencil(); }
    // Counts are in 4-float registers.
    void SetVertexShaderConstants(uint32_t firstRegister, const float* data, uint32_t count)
    {
        m_stateCache.SetVertexShaderConstants(firstRegister, data, count);
    }
    void SetPixelShaderConstants(uint32_t firstRegister, const float* data, uint32_t count)
    {
        m_stateCache.SetPixelShaderConstants(firstRegister, data, count);
    }
    void SetDepthBias(float bias, float slopeScaledBias) { m_stateCache.SetDepthBias(bias, slopeScaledBias); }
    void SetColorWriteMask(uint32_t mask) { m_stateCache.SetColorWriteMask(mask); }
    // Ignored while the device takes no sRGB writes.
    void SetSRGBWriteState(bool on) { m_stateCache.SetSRGBWriteState(on); }
    // The scene's constants of a gathered pass: vertex register 249 (0, 1, 0, 0) unless alternate,
    // pixel register 220 the fog colour of the set in force (SceneLighting.cpp).
    void SetSceneConstants(bool alternate);
    // The full-screen quad (position and one texture coordinate) on stream 0; false while the
    // shared geometry does not exist.
    bool BindScreenQuad();
    // Flags bit 0: sRGB write; bit 1: keep the viewport the device set for the new target 0.
    void SetRenderTargets(const RenderTarget* target0, const RenderTarget* target1, uint32_t flags)
    {
        m_stateCache.SetRenderTargets(target0, target1, flags);
    }
    void SetBackBufferTarget() { m_executor.SetBackBufferTarget(); }
    // Clears the whole target; the colour is packed as it is.
    void ClearTargets(uint32_t flags, const Vector& color, float depth, uint32_t stencil)
    {
        m_stateCache.ClearTargets(flags, color, depth, stencil);
    }
    // A lost device sets the reset flag.
    void PresentFrame(gpu::GpuSwapChain* swapChain) { m_stateCache.PresentFrame(swapChain); }
    void DrawPrimitive(uint32_t type, uint32_t startVertex, uint32_t primitiveCount)
    {
        m_stateCache.DrawPrimitive(type, startVertex, primitiveCount);
    }
    void DrawPrimitiveUP(uint32_t type, uint32_t primitiveCount, const void* vertices, uint32_t stride)
    {
        m_stateCache.DrawPrimitiveUP(type, primitiveCount, vertices, stride);
    }
    void DrawIndexedPrimitive(uint32_t type, int32_t baseVertex, uint32_t minIndex, uint32_t numVertices,
                              uint32_t startIndex, uint32_t primitiveCount)
    {
        m_stateCache.DrawIndexedPrimitive(type, baseVertex, minIndex, numVertices, startIndex, primitiveCount);
    }
    void DrawIndexedPrimitiveUP(uint32_t type, uint32_t minIndex, uint32_t numVertices, uint32_t primitiveCount,
                                const void* indices, gpu::Format indexFormat, const void* vertices, uint32_t stride)
    {
        m_stateCache.DrawIndexedPrimitiveUP(type, minIndex, numVertices, primitiveCount, indices, indexFormat, vertices,
                                            stride);
    }
    void ApplyViewport(const gpu::Viewport& viewport) { m_stateCache.ApplyViewport(viewport); }
    void SetViewportRect(uint32_t x, uint32_t y, uint32_t width, uint32_t height)
    {
        m_stateCache.SetViewportRect(x, y, width, height);
    }
    void SetFullViewport() { m_stateCache.SetFullViewport(); }
    // Projection only; the view and the third matrix stay.
    void SetProjection(const Matrix& projection) { m_stateCache.SetProjection(projection); }
    // Biased projection and view-projection from the depth bias term.
    void UpdateBiasedMatrices() { m_stateCache.UpdateBiasedMatrices(); }
    const ViewportState& GetViewportState() const { return m_stateCache.GetViewportState(); }
    const CameraState& GetCamera() const { return m_stateCache.GetCamera(); }
    const Matrix& GetView() const { return m_stateCache.GetCamera().view; }
    // The view-projection draws use (third matrix and depth bias included).
    const Matrix& GetViewProjection() const { return m_stateCache.GetCamera().biasedViewProjection; }
    uint32_t GetFrameDrawCalls() const { return m_stateCache.GetFrameDrawCalls(); }
    uint32_t GetFramePrimitives() const { return m_stateCache.GetFramePrimitives(); }
    NorvexRendererPresenterThread& GetPresenter() { return m_presenter; }
    // Render thread: the unit cube stretched over the box and placed by the matrix, in one colour;
    // cullSide equal to the view's mirrored flag culls clockwise faces, else counter-clockwise.
    void DrawDebugBox(const BoundingBox4& box, const Matrix& matrix, const Vector& color, uint8_t cullSide,
                      bool depthTested);
    // Render thread: the axis gizmo in white, depth-tested (less-or-equal) or always drawn.
    void DrawGizmoShape(const Matrix& matrix, bool depthTested);
    // Render thread: the 2048 lines of the ground grid in one colour.
    void DrawWireShape(const Matrix& matrix, const Vector& color);
    // Render thread: the flag marker in one colour; a highlighted one is drawn over the scene.
    void DrawMarkerShape(const Matrix& matrix, const Vector& color, bool highlighted);
    // Render thread: copies the screen region behind the box (placed by the world matrix) from the
    // scene colour into the refraction copy; nothing while either target is missing.
    void UpdateRefraction(const BoundingBox4& box, const Matrix& world);
    // The pixel rectangle of that region: the projected corners widened by 0.01 in clip space and
    // clamped to the screen, the whole screen when a corner lies behind the camera; false when empty.
    static bool ComputeRefractionRect(const BoundingBox4& box, const Matrix& world, const Matrix& viewProjection,
                                      uint32_t width, uint32_t height, gpu::Rect& rect);
    // A declaration for the element list with one reference for the caller (VertexDeclarationCache).
    gpu::GpuVertexDeclaration* GetVertexDeclaration(const gpu::VertexElement* elements, uint32_t count)
    {
        return m_deviceManager.GetVertexDeclarations().GetOrCreate(elements, count);
    }
    // Buffers without an FVF, filled with `length` bytes of `data` when given; null when the device
    // refuses them.
    gpu::GpuVertexBuffer* CreateVertexBuffer(uint32_t length, uint32_t usage, gpu::Pool pool, const void* data);
    gpu::GpuIndexBuffer* CreateIndexBuffer(uint32_t length, uint32_t usage, gpu::Pool pool, const void* data);

    // Render-thread state for tests and render-side code.
    const SceneCellGrid& GetSceneCellGrid() const { return m_executor.GetSceneCellGrid(); }
    // Render thread: the rendering contexts keep their cell records current.
    SceneCellGrid& GetSceneCellGridForUpdate() { return m_executor.GetSceneCellGrid(); }
    uint32_t GetGatheredCount() const { return m_executor.GetGatheredCount(); }
    uint32_t GetOutlinedCount() const { return m_executor.GetOutlinedCount(); }
    uint32_t GetFrameLightCount() const { return m_executor.GetFrameLightCount(); }
    const RenderTaskRecordRing& GetTaskRecords() const { return m_executor.GetTaskRecords(); }
    const uint8_t* GetFrameLayerMask() const { return m_executor.GetFrameLayerMask(); }
    uint32_t GetFrameStamp() const { return m_executor.GetFrameStamp(); }
    bool IsGathering() const { return m_executor.IsGathering(); }
    uint32_t GetPassMask() const { return m_executor.GetPassMask(); }
    float GetBrightness() const { return m_executor.GetBrightness(); }
    float GetScreenScaleX() const { return m_executor.GetScreenScaleX(); }
    float GetScreenScaleY() const { return m_executor.GetScreenScaleY(); }
    float GetFieldOfView() const { return m_executor.GetFieldOfView(); }
    uint32_t GetFlagWord(uint32_t index) const { return m_executor.GetFlagWord(index); }
    const Vector& GetColorMultiplier() const { return m_executor.GetColorMultiplier(); }
    float GetFrameClockSeconds(uint32_t index) const { return m_executor.GetClockSeconds(index); }
    bool HasShadowMap() const { return m_executor.HasShadowMap(); }
    const Matrix& GetShadowTextureMatrix() const { return m_executor.GetShadowTextureMatrix(); }

    // Capacities of the gathering lists.
    static constexpr uint32_t kMaxGathered = RenderCommandExecutor::kMaxGathered;
    static constexpr uint32_t kMaxOutlined = RenderCommandExecutor::kMaxOutlined;
    static constexpr uint32_t kMaxTaskRecords = RenderCommandExecutor::kMaxTaskRecords;
    static constexpr uint32_t kMaxFrameLights = RenderCommandExecutor::kMaxFrameLights;
    static constexpr uint32_t kFlagWords = RenderCommandExecutor::kFlagWords;

    // Shared by the parts.
    os::CriticalSection& GetDisplayLock() { return m_displayLock; }
    // Render thread: one present executed; game thread: waits up to timeoutMs for one.
    void SignalPresent() { m_presentSemaphore.Release(1); }
    bool WaitForPresent(uint32_t timeoutMs) { return m_presentSemaphore.Wait(timeoutMs); }
    // Render thread: sleeps until the next block, job, flush or stop arrives.
    void WaitForWork();
    // The same wait, ending after at most `milliseconds`.
    void WaitForWorkFor(uint32_t milliseconds);
    // Game thread: the display-change path keeps the last full-screen flag.
    void SetFullScreen(bool fullScreen) { m_fullScreen = fullScreen; }
    // Statistics start again with the device (game thread while it holds the device).
    void StartFrameStatistics() { m_lastIdleTotal = GetIdleTime(); }
    // Game thread: waits until the render thread has run every queued job, in steps of stepMs.
    void WaitForQueuedJobs(uint32_t stepMs);

protected:
    void HandleCommand(const uint8_t* record) override { m_executor.HandleRecord(record); }
    void Tick() override;

private:
    // The first synchronous hand-over of Init, bounded by the start limit.
    bool SubmitFirstBlock();
    // Binds a shape of positions with its indices (or none) and the system pair's matrix and colour;
    // false when the shape or the pair is missing.
    bool BindDebugShape(const SharedGeometry::Buffers& shape, gpu::GpuIndexBuffer* indices, uint32_t shaderSlot,
                        const Matrix& world, const Vector& color);
    void UnbindDebugShape();

    // Shared between the threads.
    os::Semaphore m_workSemaphore;
    os::Semaphore m_presentSemaphore;
    os::CriticalSection m_displayLock;
    std::atomic<uint32_t> m_gameThreadId{0};
    std::atomic<bool> m_gameHoldsDevice{false};
    std::atomic<bool> m_frontToBackSorting{false};
    std::atomic<uint8_t> m_holdFlag{0};
    RendererJobQueue m_jobs{*this};
    NorvexRendererPresenterThread m_presenter;

    // The parts.
    RenderCommandStream m_stream{*this};
    RenderDeviceManager m_deviceManager{*this};
    RenderCommandExecutor m_executor{*this};
    RenderStateCache m_stateCache{*this};

    // Game side.
    bool m_fullScreen = false;
    void* m_window = nullptr;
    uint32_t m_startWaitLimitMs;
    os::Event m_firstBlockDone{false};
    Time m_lastStatisticsTime;
    Time m_lastIdleTotal;
    float m_statisticsFrameSeconds = 0.0f;
    float m_statisticsIdleSeconds = 0.0f;
};

// The renderer while one exists (set by its constructor).
extern NorvexRenderer* gRenderer;
