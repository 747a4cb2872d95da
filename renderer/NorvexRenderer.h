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
// Threads: the emitters, Init, Close, Submit*, ApplyDisplaySettings and the other game-side calls
// belong to the game thread; the handlers and everything named "render thread" below to the render
// thread; RequestQuit and the counters' getters to any thread.
#pragma once

#include "core/math/BoundingBox4.h"
#include "core/math/Matrix.h"
#include "core/threads/BaseThread.h"
#include "core/time/Time.h"
#include "platform/gpu/GpuFactory.h"
#include "platform/os/Sync.h"
#include "renderer/DeviceParams.h"
#include "renderer/DisplayModeList.h"
#include "renderer/FrameClock.h"
#include "renderer/NorvexRendererPresenterThread.h"
#include "renderer/RenderCommandWriter.h"
#include "renderer/RenderStateCache.h"
#include "renderer/SceneCellGrid.h"
#include "renderer/jobs/RendererJobQueue.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

class EntityRenderingContext;
class GameDelegate;
class MeshTemplateRenderingData;
class NorvexRendererObject;
class ParticleSystemContext;
class PixelShaderObject;
class RenderTarget;
class RendererLightWrapper;
class ResourceFont;
class TextureHolder;
class UIScreen;
class VertexShaderObject;

// The renderer object and its render thread.
class NorvexRenderer : public BaseThread
{
public:
    NorvexRenderer();
    ~NorvexRenderer() override;

    // Game thread: life cycle.
    // Starts the render thread and creates the device; false when no device could be made.
    bool Init(void* window, bool fullScreen);
    void Close();
    // The configuration the device parameters are built from (set before Init and display changes).
    void SetDeviceSettings(const RendererDeviceSettings& settings) { m_settings = settings; }
    // The application is quitting: a reset that waits for a lost device gives up. Any thread.
    void RequestQuit() { m_quitRequested.store(true, std::memory_order_release); }

    // Game thread: the stream.
    bool WriteCommand(uint32_t opcode, uint32_t payloadBytes) { return m_writer.WriteCommand(opcode, payloadBytes); }
    RenderCommandWriter& GetWriter() { return m_writer; }
    void SubmitCommands(bool sync);
    // Submits, then waits while the game is more than framesAhead presents ahead of the render thread.
    void SubmitFrameSection(uint32_t framesAhead);
    // Submits the pending commands, then waits until `thread` has run everything posted to it: a
    // thread that waits on the renderer could otherwise wait for commands never handed over.
    void WaitForThread(BaseThread& thread);
    bool IsStreamOpen() const { return m_streamOpen; }

    // Game thread: emitters, one per opcode.
    void ReleaseDeviceObjects();
    void InitSceneCellGrid(const BoundingBox4& sceneBox, float cellSize);
    void SetSceneCellRange(float low, float high);
    void RequestDeviceReset();
    void SetGameDelegate(GameDelegate* delegate);
    void SetLoadingScreen(UIScreen* screen, uint8_t option, uint8_t drawAfterPostProcess);
    void SetGatherFlag(uint8_t flag);
    void InvalidateCachedTarget();
    // The 32-byte layer mask (all bits set when null) and the render-pass stamp of the frame.
    void SetVisibleLayers(const uint8_t* layerMask32, uint32_t stamp);
    // Null swap chain: the device's own back buffer. Target mode 0 to 4.
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
    // Keeps view, projection, their product and the frustum planes on the game side, then sends them.
    void SetCamera(const Matrix& view, const Matrix& projection, const Matrix& third);
    // Field of view (the camera's shake value) for the post chain.
    void SetShakeValue(float value);
    void SetSceneColorMode(uint32_t mode);
    void Clear(uint32_t clearFlags, const Vector& color, float depth, uint32_t stencil);
    void SetSRGBWrite(uint8_t on);
    // Counts a frame, writes the present and submits; false while a device reset is pending.
    bool Present(gpu::GpuSwapChain* swapChain = nullptr);
    void SetFrameTimes(const FrameClock& engineClock, const FrameClock& gameClock, const FrameClock& secondGameClock,
                       uint32_t flags);
    void AddLight(RendererLightWrapper* light);
    // Opens a call command: the function runs on the render thread with the sub-command and reads
    // argumentBytes of arguments, which the caller writes next. False (logged) when refused.
    bool WriteCall(RenderCallFunction function, uint32_t subCommand, uint32_t argumentBytes);
    void BeginGather();
    // Null colour: the constant colour (1, 1, 1, 1).
    void RenderGathered(uint32_t passFlags, uint8_t option, const Vector* color);
    void PostObjectDeletion(NorvexRendererObject* object);
    void SetOutlineWriteFlag(uint8_t on);
    void DebugDrawBox(const BoundingBox4& box, const Matrix& transform, const Vector& color);
    void DrawSolidBox(const BoundingBox4& box, const Matrix& transform, const Vector& color, uint8_t cull, uint8_t depthTest);
    void DebugDrawShape(const Matrix& transform, const Vector& color);
    void DebugDrawPointLight(const Matrix& transform, const Vector& color, float nearRange, float farRange);
    void DebugDrawSpotLight(const Matrix& transform, const Vector& color, float nearRange, float farRange, float width);
    void DebugDrawTubeLight(const Matrix& transform, const Vector& color, float nearRange, float farRange, float halfLength);
    void DebugDrawDirectionalAmbientLight(const Matrix& transform, const Vector& color);
    void DrawAxisGizmo(const Matrix& transform, uint8_t depthTest);
    void DebugDrawMarker(const Matrix& transform, const Vector& color, uint8_t highlight);
    // Bone matrices are 48-byte 3x4 matrices; with none the unskinned command is written. False
    // (logged, nothing written) when the bones do not fit one block.
    bool DrawMesh(const MeshTemplateRenderingData* data, const Matrix& world, const Matrix& second,
                  const BoundingBox4& box, const Vector& color, uint32_t material, uint8_t flags,
                  const void* bones, uint32_t boneCount);
    bool DrawMeshTemplate(const MeshTemplateRenderingData* data, const Matrix& world, const Vector& color,
                          const void* bones, uint32_t boneCount);
    void DrawParticleSystem(ParticleSystemContext* context, const Matrix& world, const BoundingBox4& box,
                            const Vector& color);
    void AddRenderTask(EntityRenderingContext* context, uint32_t passFlags);

    // Game thread: device and display.
    void BuildDeviceParams(uint32_t outputWidth, uint32_t outputHeight, bool applyConfiguration, bool fullScreen,
                           DeviceParams* params);
    void ApplyDisplaySettings(void* window, uint32_t width, uint32_t height, bool applyConfiguration, bool fullScreen);
    // Applies the renderer's current parameter block (display lock held by the caller or idle renderer).
    void ApplyPresentParameters(void* window);
    // Releases the size-dependent objects and, with reset, resets the device; false when the reset failed.
    bool ResetDevice(bool reset);
    bool FindDisplayMode(uint32_t* width, uint32_t* height, uint32_t* refreshRate) const;
    bool FindDesktopSize(uint32_t* width, uint32_t* height) const;
    const DisplayModeList& GetDisplayModes() const { return m_displayModes; }
    // Sets the switch that allows loading-screen frames, under the display lock.
    void EnableLoadingFrames(bool enable);
    // Once per frame: frame time and render-thread idle time since the last call.
    void UpdateFrameStatistics();
    float GetStatisticsFrameSeconds() const { return m_statisticsFrameSeconds; }
    float GetStatisticsIdleSeconds() const { return m_statisticsIdleSeconds; }

    // Any thread.
    uint32_t GetCommandsWritten() const { return m_writer.GetCommandsWritten(); }
    uint32_t GetCommandsExecuted() const { return m_commandsExecuted.load(std::memory_order_acquire); }
    uint32_t GetPresentsExecuted() const { return m_presentsExecuted.load(std::memory_order_acquire); }
    bool IsDeviceResetPending() const { return m_deviceResetPending.load(std::memory_order_acquire); }
    // The device: the render thread's, or the game thread's while the render thread is idle.
    gpu::GpuDevice* GetDevice() const { return m_device; }
    const DeviceParams& GetDeviceParams() const { return m_params; }
    const gpu::PresentParameters& GetPresentParameters() const { return m_presentParams; }
    uint32_t GetBackBufferWidth() const { return m_backBufferWidth; }
    uint32_t GetBackBufferHeight() const { return m_backBufferHeight; }
    uint32_t GetRenderWidth() const { return m_renderWidth; }
    uint32_t GetRenderHeight() const { return m_renderHeight; }
    bool HasDepthTextureSupport() const { return m_capsDepthTexture; }
    bool HasRawzDepthTextureSupport() const { return m_capsRawz; }

    // Renderer jobs: the queue, and its records' share of the work semaphore (any thread / render thread).
    RendererJobQueue& GetJobQueue() { return m_jobs; }
    void SignalJobWork() { m_workSemaphore.Release(1); }
    void ConsumeJobWork() { m_workSemaphore.Wait(0); }

    // Render thread.
    void ExecuteCommands();
    // Runs queued renderer jobs within the budget; true when the queue is empty.
    bool ProcessResourceJobs(uint32_t costLimit, float budgetSeconds);
    void SelectFrameTarget(gpu::GpuSwapChain* swapChain, uint8_t multisample, uint8_t targetMode);
    void BeginFrameHandler(bool depth);
    void BeginPostProcess(uint32_t effectFlags);
    void UpscaleFinalHandler();
    void SetFrameShaderConstants();
    // Pixel registers 219, 223 and 218 from the inverse projection and the render size.
    static void ComputeScreenMapping(const Matrix& inverseProjection, float renderWidth, float renderHeight,
                                     Vector* register219, Vector* register223, Vector* register218);
    void RenderLoadingFrame();
    void RenderBlankFrame();
    void PumpLoadingScreen();
    void AddFrameLight(RendererLightWrapper* light);
    void AddGatheredTask(EntityRenderingContext* context, uint32_t passFlags);
    void AddOutlinedTask(EntityRenderingContext* context, uint32_t passFlags);
    // The 256-entry gamma ramp of a brightness in [0, 1] (0.5 is the identity).
    static void BuildGammaRamp(float brightness, gpu::GammaRamp* ramp);
    // s x 0.15 + 0.85 clamped to [0.85, 1].
    static float MapScreenScale(float scale);

    // Render thread: the state cache and draw wrappers (NorvexRendererState.cpp). Cached setters
    // call the device only when the value changes; the wrappers after them always do.
    // Forgets the cached state and puts the device's samplers and stencil in the known defaults.
    void ResetStateCache();
    // Mode 0 to 9 of the blend-mode table.
    void SetBlendMode(uint32_t mode);
    static const Vector& GetBlendModeFadeVector(uint32_t mode);
    void SetCullMode(uint32_t cullMode);
    // Mode 0 off, 1 on with greater, 2 on with less; other modes change nothing.
    void SetAlphaTest(uint32_t mode, uint32_t reference);
    void SetDepthState(uint32_t compareFunction, bool writeEnable, float bias);
    void SetVertexShader(const VertexShaderObject* shader);
    void SetPixelShader(const PixelShaderObject* shader);
    // Binds the holder's texture (or none) and sets the sampler states of the SamplerFlag groups
    // that changed since the stage's last flags.
    void SetTexture(uint32_t stage, TextureHolder* holder, uint32_t flags);
    void SetStencilOps(uint32_t pass, uint32_t fail, uint32_t depthFail);
    void SetStencilFunc(uint32_t function, uint32_t reference, uint32_t readMask, uint32_t writeMask);
    void SetStencilWriteMask(uint32_t mask);
    void DisableStencil();
    // Counts are in 4-float registers.
    void SetVertexShaderConstants(uint32_t firstRegister, const float* data, uint32_t count);
    void SetPixelShaderConstants(uint32_t firstRegister, const float* data, uint32_t count);
    void SetDepthBias(float bias, float slopeScaledBias);
    void SetColorWriteMask(uint32_t mask);
    void SetSRGBWriteState(bool on);
    // Flags bit 0: sRGB write; bit 1: keep the viewport the device set for the new target 0.
    void SetRenderTargets(const RenderTarget* target0, const RenderTarget* target1, uint32_t flags);
    void SetBackBufferTarget();
    // Clears the whole target; the colour is packed as it is.
    void ClearTargets(uint32_t flags, const Vector& color, float depth, uint32_t stencil);
    // A lost device sets the reset flag.
    void PresentFrame(gpu::GpuSwapChain* swapChain);
    void DrawPrimitive(uint32_t type, uint32_t startVertex, uint32_t primitiveCount);
    void DrawPrimitiveUP(uint32_t type, uint32_t primitiveCount, const void* vertices, uint32_t stride);
    void DrawIndexedPrimitive(uint32_t type, int32_t baseVertex, uint32_t minIndex, uint32_t numVertices,
                              uint32_t startIndex, uint32_t primitiveCount);
    void DrawIndexedPrimitiveUP(uint32_t type, uint32_t minIndex, uint32_t numVertices, uint32_t primitiveCount,
                                const void* indices, gpu::Format indexFormat, const void* vertices, uint32_t stride);
    void ApplyViewport(const gpu::Viewport& viewport);
    void SetViewportRect(uint32_t x, uint32_t y, uint32_t width, uint32_t height);
    void SetFullViewport();
    // Projection only; the view and the third matrix stay.
    void SetProjection(const Matrix& projection);
    // Biased projection and view-projection from the depth bias term.
    void UpdateBiasedMatrices();
    const RenderStateCache& GetStateCache() const { return m_stateCache; }
    const ViewportState& GetViewportState() const { return m_viewport; }
    const CameraState& GetCamera() const { return m_camera; }
    const Matrix& GetView() const { return m_camera.view; }
    // The view-projection draws use (third matrix and depth bias included).
    const Matrix& GetViewProjection() const { return m_camera.biasedViewProjection; }
    uint32_t GetFrameDrawCalls() const { return m_frameDrawCalls; }
    uint32_t GetFramePrimitives() const { return m_framePrimitives; }
    NorvexRendererPresenterThread& GetPresenter() { return m_presenter; }

    // Render-thread state for tests and render-side code.
    const SceneCellGrid& GetSceneCellGrid() const { return m_cellGrid; }
    uint32_t GetGatheredCount() const { return uint32_t(m_gathered.size()); }
    uint32_t GetOutlinedCount() const { return uint32_t(m_outlined.size()); }
    uint32_t GetFrameLightCount() const { return uint32_t(m_lights.size()); }
    bool IsGathering() const { return m_gathering; }
    uint32_t GetPassMask() const { return m_passMask; }
    float GetBrightness() const { return m_brightness; }
    float GetScreenScaleX() const { return m_screenScaleX; }
    float GetScreenScaleY() const { return m_screenScaleY; }
    float GetFieldOfView() const { return m_fieldOfView; }
    uint32_t GetFlagWord(uint32_t index) const { return index < kFlagWords ? m_flagWords[index] : 0; }
    const Vector& GetColorMultiplier() const { return m_colorMultiplier; }

    // Capacities of the gathering lists.
    static constexpr uint32_t kMaxGathered = 8192;
    static constexpr uint32_t kMaxOutlined = 1024;
    static constexpr uint32_t kMaxTaskRecords = 1280;
    static constexpr uint32_t kMaxFrameLights = 512;
    static constexpr uint32_t kFlagWords = 8;

protected:
    void HandleCommand(const uint8_t* record) override;
    void Tick() override;

private:
    struct GatheredTask
    {
        EntityRenderingContext* context;
        uint32_t passFlags;
    };
    using Handler = void (NorvexRenderer::*)(uint32_t opcode);
    struct OpcodeInfo
    {
        Handler handler;
        uint32_t payloadBytes; // fixed size, or kVariablePayload
        const char* feature;   // for handlers whose subsystem is not built
    };
    static constexpr uint32_t kVariablePayload = 0xFFFFFFFFu;
    static const OpcodeInfo kOpcodes[kRenderOpcodeCount];

    // Stream (game thread).
    void EndBatch(uint32_t endMarker);
    template <typename T>
    void Put(const T& value)
    {
        m_writer.Put(value);
    }
    void WritePointer(const void* pointer) { m_writer.Put(reinterpret_cast<uintptr_t>(pointer)); }

    // Reading (render thread): false once any read ran past the block.
    template <typename T>
    T Get()
    {
        T value{};
        m_readOk = m_readOk && GetRing().Read(&value, sizeof(T));
        return value;
    }
    template <typename T>
    T* GetPointer()
    {
        return reinterpret_cast<T*>(Get<uintptr_t>());
    }
    void SleepUntilWork();
    void SkipPayload(uint32_t bytes);
    void SkipBoneArray();
    void ReportNotBuilt(uint32_t opcode);

    // Device (NorvexRendererDevice.cpp).
    // The full-screen flag already sits in the parameter block.
    bool InitDX(void* window, bool fullScreen);
    void CloseDX();
    void ReleaseRendererDeviceObjects();
    void EnumerateDisplayModes();
    void CreateSizeDependentObjects();
    void ReleaseSizeDependentObjects();
    void LogResetParameters();
    void ReleaseFrameSurfaces();
    // Flushes the presenter and takes its device-lost notice.
    void SyncPresenter();
    void UpdateCamera(const Matrix& view, const Matrix& projection, const Matrix& third);

    // Handlers (NorvexRendererHandlers.cpp and NorvexRendererFrame.cpp).
    void OpEnd(uint32_t opcode);
    void OpInitDX(uint32_t opcode);
    void OpReleaseDeviceObjects(uint32_t opcode);
    void OpCloseDX(uint32_t opcode);
    void OpResetWithParams(uint32_t opcode);
    void OpInitSceneCellGrid(uint32_t opcode);
    void OpSetSceneCellRange(uint32_t opcode);
    void OpRequestDeviceReset(uint32_t opcode);
    void OpSetGameDelegate(uint32_t opcode);
    void OpNothing(uint32_t opcode);
    void OpSetLoadingScreen(uint32_t opcode);
    void OpSetBlankMode(uint32_t opcode);
    void OpSetGatherFlag(uint32_t opcode);
    void OpInvalidateCachedTarget(uint32_t opcode);
    void OpSetFrameBox(uint32_t opcode);
    void OpSetFrameTarget(uint32_t opcode);
    void OpUpscaleFinal(uint32_t opcode);
    void OpSetPassMask(uint32_t opcode);
    void OpSetFlagBit(uint32_t opcode);
    void OpSetOutlineParams(uint32_t opcode);
    void OpPostProcess(uint32_t opcode);
    void OpBeginFrame(uint32_t opcode);
    void OpSetViewport(uint32_t opcode);
    void OpSetBrightness(uint32_t opcode);
    void OpSetScreenScale(uint32_t opcode);
    void OpSetCamera(uint32_t opcode);
    void OpSetFieldOfView(uint32_t opcode);
    void OpSetSceneColorMode(uint32_t opcode);
    void OpSetFlagByte(uint32_t opcode);
    void OpClear(uint32_t opcode);
    void OpSetSRGBWrite(uint32_t opcode);
    void OpPresent(uint32_t opcode);
    void OpSleep(uint32_t opcode);
    void OpSetFrameTimes(uint32_t opcode);
    void OpIssueQuery(uint32_t opcode);
    void OpGetQueryData(uint32_t opcode);
    void OpSetScissor(uint32_t opcode);
    void OpDrawText(uint32_t opcode);
    void OpAddLight(uint32_t opcode);
    void OpCall(uint32_t opcode);
    void OpBeginGather(uint32_t opcode);
    void OpSetDepthStencilEnabled(uint32_t opcode);
    void OpSetDepthStencilSurface(uint32_t opcode);
    void OpEmptyDebugDraw(uint32_t opcode);
    void OpDrawMeshSkinned(uint32_t opcode);
    void OpAddRenderTask(uint32_t opcode);
    void OpNotBuilt(uint32_t opcode);
    void OpDeleteObject(uint32_t opcode);
    void OpRunJob(uint32_t opcode);

    // Game side.
    RenderCommandWriter m_writer;
    bool m_streamOpen = false;
    uint32_t m_presentsWritten = 0;
    uint32_t m_framesWaited = 0;
    bool m_loadingScreenShown = false;
    bool m_fullScreen = false;
    void* m_window = nullptr;
    RendererDeviceSettings m_settings;
    Matrix m_gameView = Matrix::ONE;
    Matrix m_gameProjection = Matrix::ONE;
    Matrix m_gameViewProjection = Matrix::ONE;
    Time m_lastStatisticsTime;
    Time m_lastIdleTotal;
    float m_statisticsFrameSeconds = 0.0f;
    float m_statisticsIdleSeconds = 0.0f;
    std::atomic<bool> m_quitRequested{false};

    // Shared between the threads.
    os::Semaphore m_workSemaphore;
    os::Semaphore m_presentSemaphore;
    os::CriticalSection m_displayLock;
    std::atomic<uint32_t> m_commandsExecuted{0};
    std::atomic<uint32_t> m_presentsExecuted{0};
    std::atomic<bool> m_deviceResetPending{false};

    // Device: made and reset on the game thread while the render thread is idle, used by the render thread.
    DeviceParams m_params; // display lock
    gpu::GpuFactory* m_factory = nullptr;
    gpu::GpuDevice* m_device = nullptr;
    gpu::PresentParameters m_presentParams = {};
    DisplayModeList m_displayModes;
    uint32_t m_backBufferWidth = 0;
    uint32_t m_backBufferHeight = 0;
    uint32_t m_renderWidth = 0;
    uint32_t m_renderHeight = 0;
    uint32_t m_refreshRate = 0;
    bool m_capsRawz = false;
    bool m_capsIntz = false;
    bool m_capsDepthTexture = false;
    bool m_deviceCreated = false;
    gpu::GpuQuery* m_gpuQueries[2] = {};
    uint32_t m_currentQuery = 0;
    std::atomic<bool> m_targetsReady{false}; // read by the render thread's loading frames
    Time m_deviceCreatedTime;
    RendererJobQueue m_jobs{*this};

    // Render thread.
    bool m_readOk = true;
    uint32_t m_previousOpcode = 0;
    uint32_t m_consecutiveIdleTicks = 0;
    std::array<bool, kRenderOpcodeCount> m_notBuiltReported = {};
    bool m_jobsReported = false;
    UIScreen* m_loadingScreen = nullptr;
    bool m_loadingScreenAfterPostProcess = false;
    bool m_loadingFramesAllowed = true; // display lock
    bool m_blankMode = false;
    GameDelegate* m_gameDelegate = nullptr;
    float m_fieldOfView = 0.0f;
    uint32_t m_sceneColorMode = 0;
    uint8_t m_gatherFlag = 0;
    uint32_t m_passMask = 0;
    uint32_t m_flagWords[kFlagWords] = {};
    uint8_t m_flagByte = 0;
    uint8_t m_frameBox[32] = {};
    uint32_t m_frameStamp = 0;
    int32_t m_cachedTargetIndex = -1;
    float m_brightness = 0.5f;
    float m_screenScaleX = 1.0f;
    float m_screenScaleY = 1.0f;
    Vector m_colorMultiplier{1.0f, 1.0f, 1.0f, 1.0f};
    uint8_t m_outlineParams[2][renderpayload::kOutlineParams] = {};
    RenderStateCache m_stateCache;
    ViewportState m_viewport;
    CameraState m_camera;
    uint32_t m_frameDrawCalls = 0;
    uint32_t m_framePrimitives = 0;
    NorvexRendererPresenterThread m_presenter;
    Vector m_frustumPlanes[6];
    uint64_t m_clockCounters[3] = {};
    double m_clockSeconds[3] = {};
    float m_firstClockStep = 0.0f;
    SceneCellGrid m_cellGrid;
    bool m_gathering = false;
    std::vector<GatheredTask> m_gathered;
    std::vector<GatheredTask> m_outlined;
    std::vector<RendererLightWrapper*> m_lights;
    uint32_t m_lightListCounter = 0; // grows with every light added
    uint32_t m_lastAmbientLightCounter = 0xFFFFFFFFu;
    uint32_t m_lastAmbientStamp = 0xFFFFFFFFu;
    gpu::GpuSurface* m_frameBackBuffer = nullptr;
    gpu::GpuSurface* m_frameColorTarget = nullptr;
    gpu::GpuSurface* m_mainDepthStencil = nullptr;   // render targets' surfaces, none until they exist
    gpu::GpuSurface* m_secondDepthStencil = nullptr;
    bool m_resolvePending = false;
    bool m_postProcessBit0 = false;
    Time m_lastPresentTime;
    float m_presentIntervalMs = 0.0f;
    bool m_framePresented = false;
};

// The renderer while one exists (set by its constructor).
extern NorvexRenderer* gRenderer;
