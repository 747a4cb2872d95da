// The render thread's side of the command stream: the opcode table and its handlers, the frame's
// targets, clears and presents, loading-screen and blank frames, the scene cell grid and the
// render-task gathering lists.
//
// Threads: render thread only (the game thread may run the device hooks while it holds the device
// during creation and reset, the render thread idle). The getters are read by render-side code and,
// after a synchronous submit, by the game thread; the counters' getters by any thread.
#pragma once

#include "core/math/BoundingBox4.h"
#include "core/math/Matrix.h"
#include "core/threads/CommandRingBuffer.h"
#include "core/time/Time.h"
#include "platform/gpu/GpuTypes.h"
#include "renderer/ForwardBuckets.h"
#include "renderer/RenderCommands.h"
#include "renderer/RenderTaskRecordRing.h"
#include "renderer/SceneCellGrid.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

class EntityRenderingContext;
class GameDelegate;
class NorvexRenderer;
class RendererLightWrapper;
class UIScreen;

namespace gpu
{
class GpuDevice;
class GpuSurface;
class GpuSwapChain;
} // namespace gpu

// Executes command blocks opcode by opcode and keeps the render-side state they set.
class RenderCommandExecutor
{
public:
    // Capacities of the gathering lists.
    static constexpr uint32_t kMaxGathered = 8192;
    static constexpr uint32_t kMaxOutlined = 1024;
    static constexpr uint32_t kMaxTaskRecords = RenderTaskRecordRing::kCapacity;
    static constexpr uint32_t kMaxFrameLights = 512;
    static constexpr uint32_t kFlagWords = 8;
    // Flag word 0 enables the forward buckets, bit b for bucket b; all on from the start.
    static constexpr uint32_t kForwardBucketWord = 0;
    // Pass-flag bits of gathered rendering (opcode 49): no outline masks, no deferred passes, the
    // alternate scene constants off, shadowed lighting asked.
    static constexpr uint32_t kPassNoOutlineMasks = 0x20000;
    static constexpr uint32_t kPassNoDeferred = 0x10000;
    static constexpr uint32_t kPassShadowed = 0x80000;
    static constexpr uint32_t kPassPlainSceneConstants = 0x400; // vertex register 249 takes (0, 1, 0, 0)
    // Pass-flag bits of an added render task (opcode 71).
    static constexpr uint32_t kTaskSorted = 0x20;        // a sorted task record of the forward buckets
    static constexpr uint32_t kTaskGatherMesh = 0x40;    // the gathered mesh list
    static constexpr uint32_t kTaskGatherMeshAlt = 0x80; // the gathered mesh list too
    static constexpr uint32_t kTaskOutlined = 0x200;     // the outlined list, when its passes meet the mask
    // Sort keys are the depth along the view plus this plus the context's bias, so near keys stay positive.
    static constexpr float kTaskSortKeyBase = 10000.0f;

    explicit RenderCommandExecutor(NorvexRenderer& renderer);
    RenderCommandExecutor(const RenderCommandExecutor&) = delete;
    RenderCommandExecutor& operator=(const RenderCommandExecutor&) = delete;

    // A ring record of the renderer's thread: command blocks are executed, anything else is reported.
    void HandleRecord(const uint8_t* record);
    // Executes one block up to its end marker.
    void ExecuteCommands();
    // The rest of a render-thread tick after the ring was drained (hadWork: it held records).
    void RunIdleWork(bool hadWork);

    // Device hooks: the gathering lists and cell grid come and go with the device.
    void AllocateFrameLists();
    void FreeFrameLists();
    void ReleaseFrameSurfaces();
    // Flushes the presenter and takes its device-lost notice.
    void SyncPresenter();
    // Sets the switch that allows loading-screen frames, under the display lock (game thread).
    void EnableLoadingFrames(bool enable);

    // Frame handling.
    void SelectFrameTarget(gpu::GpuSwapChain* swapChain, uint8_t multisample, uint8_t targetMode);
    void BeginFrameHandler(bool depth);
    void BeginPostProcess(uint32_t effectFlags);
    void UpscaleFinalHandler();
    void SetFrameShaderConstants();
    void SetBackBufferTarget();
    // Pixel registers 219, 223 and 218 from the inverse projection and the render size.
    static void ComputeScreenMapping(const Matrix& inverseProjection, float renderWidth, float renderHeight,
                                     Vector* register219, Vector* register223, Vector* register218);
    // Pixel registers 221 and 222: the view-space rays (z = 1) through the top-left and the
    // bottom-right corner of the screen, from the inverse projection.
    static void ComputeCornerRays(const Matrix& inverseProjection, Vector rays[2]);
    // The 256-entry gamma ramp of a brightness in [0, 1] (0.5 is the identity).
    static void BuildGammaRamp(float brightness, gpu::GammaRamp* ramp);
    // s x 0.15 + 0.85 clamped to [0.85, 1].
    static float MapScreenScale(float scale);
    // Draws the loading screen over a cleared back buffer and hands the present to the presenter
    // (under the display lock, while loading frames are allowed and the targets are ready).
    void RenderLoadingFrame();
    // Seconds until the next loading frame is due (at most one per interval; negative when due).
    double GetLoadingFrameTimeLeft() const;
    static constexpr double kLoadingFrameInterval = 0.016;
    void RenderBlankFrame();
    // A loading frame when one is due (an interval passed) and the presenter and the GPU are ready.
    void PumpLoadingScreen();
    void AddFrameLight(RendererLightWrapper* light);
    // The view casts blob shadows this frame: in scene colour modes 1 and 2 the next gathered pass
    // (with outline masks) starts with the fake shadow pass over the contexts gathered for it.
    void RequestFakeShadows() { m_fakeShadowsDue = true; }
    void AddGatheredTask(EntityRenderingContext* context, uint32_t passFlags);
    void AddOutlinedTask(EntityRenderingContext* context, uint32_t passFlags);
    RenderTaskRecord* AllocTaskRecord() { return m_taskRecords.AllocTaskRecord(); }
    void AddSortKey(float key) { m_taskRecords.AddSortKey(key); }

    // Any thread.
    uint32_t GetCommandsExecuted() const { return m_commandsExecuted.load(std::memory_order_acquire); }
    uint32_t GetPresentsExecuted() const { return m_presentsExecuted.load(std::memory_order_acquire); }
    // The draw calls and primitives of the last presented frame (any thread).
    uint32_t GetPresentedDrawCalls() const { return m_presentedDrawCalls.load(std::memory_order_relaxed); }
    uint32_t GetPresentedPrimitives() const { return m_presentedPrimitives.load(std::memory_order_relaxed); }

    // Render-thread state for tests and render-side code.
    const SceneCellGrid& GetSceneCellGrid() const { return m_cellGrid; }
    SceneCellGrid& GetSceneCellGrid() { return m_cellGrid; }
    // The six frustum planes of the last camera (opcode 33).
    const Vector* GetFrustumPlanes() const { return m_frustumPlanes; }
    // The delegate render command 9 registered, or null.
    GameDelegate* GetGameDelegate() const { return m_gameDelegate; }
    uint32_t GetGatheredCount() const { return uint32_t(m_gathered.size()); }
    uint32_t GetOutlinedCount() const { return uint32_t(m_outlined.size()); }
    uint32_t GetFrameLightCount() const { return uint32_t(m_lights.size()); }
    const RenderTaskRecordRing& GetTaskRecords() const { return m_taskRecords; }
    // The visible-layer mask and frame stamp of opcode 16.
    const uint8_t* GetFrameLayerMask() const { return m_frameBox; }
    uint32_t GetFrameStamp() const { return m_frameStamp; }
    bool IsGathering() const { return m_gathering; }
    uint32_t GetPassMask() const { return m_passMask; }
    float GetBrightness() const { return m_brightness; }
    float GetScreenScaleX() const { return m_screenScaleX; }
    float GetScreenScaleY() const { return m_screenScaleY; }
    float GetFieldOfView() const { return m_fieldOfView; }
    // The shadow map of this frame: drawn since the frame's targets were chosen, its matrices, and
    // how many casters it drew.
    bool HasShadowMap() const { return m_shadowMapReady; }
    const Matrix& GetShadowView() const { return m_shadowView; }
    const Matrix& GetShadowProjection() const { return m_shadowProjection; }
    const Matrix& GetShadowTextureMatrix() const { return m_shadowTextureMatrix; }
    uint32_t GetShadowCasterCount() const { return m_shadowCasters; }
    uint32_t GetFlagWord(uint32_t index) const { return index < kFlagWords ? m_flagWords[index] : 0; }
    const Vector& GetColorMultiplier() const { return m_colorMultiplier; }
    // The 40-byte outline parameter sets of opcodes 21 (set 0) and 22 (set 1).
    const uint8_t* GetOutlineParams(uint32_t set) const { return m_outlineParams[set < 2 ? set : 0]; }
    // Accumulated time of clock 0 to 2 of the frame-times command, in seconds (0 past them).
    float GetClockSeconds(uint32_t index) const { return index < 3 ? float(m_clockSeconds[index]) : 0.0f; }
    // The frame was drawn multisampled and is not resolved yet.
    bool IsResolvePending() const { return m_resolvePending; }
    // The frame's scene is drawn into the multisampled targets (resolved or not).
    bool IsFrameMultisampled() const { return m_frameMultisampled; }

private:
    struct GatheredTask
    {
        EntityRenderingContext* context;
        uint32_t passFlags;
    };
    using Handler = void (RenderCommandExecutor::*)(uint32_t opcode);
    struct OpcodeInfo
    {
        Handler handler;
        uint32_t payloadBytes; // fixed size, or kVariablePayload
        const char* feature;   // for handlers whose subsystem is not built
    };
    static constexpr uint32_t kVariablePayload = 0xFFFFFFFFu;
    static const OpcodeInfo kOpcodes[kRenderOpcodeCount];

    // Reading: false once any read ran past the block.
    template <typename T> T Get()
    {
        T value{};
        m_readOk = m_readOk && m_ring.Read(&value, sizeof(T));
        return value;
    }
    template <typename T> T* GetPointer() { return reinterpret_cast<T*>(Get<uintptr_t>()); }
    gpu::GpuDevice* Device() const;
    void SleepUntilWork();
    // The presenter is idle and the GPU query of the current frame reports done.
    bool IsReadyForLoadingFrame() const;
    void SkipPayload(uint32_t bytes);
    void ReportNotBuilt(uint32_t opcode);
    void ReleaseRendererDeviceObjects();

    // Handlers (RenderCommandExecutor.cpp and RenderCommandExecutorFrame.cpp).
    void OpEnd(uint32_t opcode);
    void OpDrawSolidBox(uint32_t opcode);
    void OpBeginOutlines(uint32_t opcode);
    void OpRenderOutlines(uint32_t opcode);
    void OpDrawAxisGizmo(uint32_t opcode);
    void OpDrawWireShape(uint32_t opcode);
    void OpDebugDrawMarker(uint32_t opcode);
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
    void OpDrawParticleSystem(uint32_t opcode);
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
    // RenderCommandExecutorMesh.cpp: mesh draws.
    void OpDrawMesh(uint32_t opcode);
    void OpDrawMeshTemplate(uint32_t opcode);
    // RenderCommandExecutorGathered.cpp: the gathered scene pipeline of opcode 49.
    void OpRenderGathered(uint32_t opcode);
    void RenderGatheredTasks(uint32_t passFlags, bool clear, const Vector& color);
    void SortGatheredByDepth();
    void RenderDeferredPasses(uint32_t passFlags);
    // The blob shadows of every context gathered this frame, each context once, into the fake
    // shadow target; then, once the deferred passes have drawn the scene, that target darkens the
    // scene colour (FakeShadowPass.cpp).
    void RenderFakeShadows();
    void ComposeFakeShadows();
    void RenderForwardBuckets();
    void SetForwardBucketState(const ForwardBucketState& state);
    void ReportGatheredOverflows();
    // RenderCommandExecutorShadow.cpp: opcode 25 and the directional shadow map.
    void OpSetScenePassOptions(uint32_t opcode);
    // The frame's layer mask has the layer's bit.
    bool IsShadowLayerVisible(uint8_t layer) const;
    void RenderShadowMap(uint32_t passFlags);
    // Draws every gathered entry with bit 0x40 through the mesh gathering of the pass arguments.
    void DrawGatheredEntries(int32_t passA, uint32_t passB);
    // The frame's colour target with its depth (the multisampled depth for a multisampled frame).
    void BindSceneColorTarget();
    // Clears what is bound: depth and stencil only with a depth surface (stencil only when it has one).
    void ClearBoundTargets(uint32_t flags, const Vector& color, float depth, uint32_t stencil);
    // Reads a bone array into `bones`; false (the stream stops) when it does not fit the block.
    bool ReadBoneArray(std::vector<float>& bones);
    void OpAddRenderTask(uint32_t opcode);
    // Depth of a context's origin along the current camera's view direction.
    float ViewDepth(const Matrix& world) const;
    void OpNotBuilt(uint32_t opcode);
    void OpDeleteObject(uint32_t opcode);
    void OpRunJob(uint32_t opcode);

    NorvexRenderer& m_renderer;
    CommandRingBuffer& m_ring;
    std::atomic<uint32_t> m_commandsExecuted{0};
    std::atomic<uint32_t> m_presentsExecuted{0};
    std::atomic<uint32_t> m_presentedDrawCalls{0};
    std::atomic<uint32_t> m_presentedPrimitives{0};
    bool m_readOk = true;
    uint32_t m_previousOpcode = 0;
    uint32_t m_consecutiveIdleTicks = 0;
    std::array<bool, kRenderOpcodeCount> m_notBuiltReported = {};
    UIScreen* m_loadingScreen = nullptr;
    bool m_loadingScreenAfterPostProcess = false;
    bool m_loadingFramesAllowed = true; // display lock
    Time m_lastLoadingFrameTime;
    bool m_blankMode = false;
    GameDelegate* m_gameDelegate = nullptr;
    float m_fieldOfView = 0.0f;
    uint8_t m_gatherFlag = 0;
    uint32_t m_passMask = 0;
    uint32_t m_flagWords[kFlagWords] = {0xFFFFFFFFu};
    uint8_t m_flagByte = 0;
    uint8_t m_frameBox[32] = {};
    uint32_t m_frameStamp = 0;
    int32_t m_cachedTargetIndex = -1;
    float m_brightness = 0.5f;
    float m_screenScaleX = 1.0f;
    float m_screenScaleY = 1.0f;
    Vector m_colorMultiplier{1.0f, 1.0f, 1.0f, 1.0f};
    uint8_t m_outlineParams[2][renderpayload::kOutlineParams] = {};
    Vector m_frustumPlanes[6];
    uint64_t m_clockCounters[3] = {};
    double m_clockSeconds[3] = {};
    float m_firstClockStep = 0.0f;
    SceneCellGrid m_cellGrid;
    bool m_gathering = false;
    std::vector<GatheredTask> m_gathered;
    std::vector<GatheredTask> m_outlined;
    RenderTaskRecordRing m_taskRecords;
    ForwardBuckets m_buckets;
    std::vector<float> m_depthKeys;      // the depth sort's work arrays
    std::vector<uint32_t> m_depthOrder;
    std::vector<GatheredTask> m_depthSorted;
    Matrix m_shadowView = Matrix::ONE;
    Matrix m_shadowProjection = Matrix::ONE;
    Matrix m_shadowTextureMatrix = Matrix::ONE;
    bool m_shadowMapReady = false;
    uint32_t m_shadowVisit = 0; // each shadow walk marks the contexts it met with a new number
    std::vector<EntityRenderingContext*> m_shadowWalk; // the records of the walk's cells, in cell order
    bool m_fakeShadowsDue = false;
    uint32_t m_shadowCasters = 0;
    std::vector<RendererLightWrapper*> m_lights;
    uint32_t m_lastAmbientLightCounter = 0xFFFFFFFFu;
    uint32_t m_lastAmbientStamp = 0xFFFFFFFFu;
    uint32_t m_lastAmbientTargets = 0;
    gpu::GpuSurface* m_frameBackBuffer = nullptr;
    gpu::GpuSurface* m_frameColorTarget = nullptr;
    gpu::GpuSurface* m_mainDepthStencil = nullptr; // render targets' surfaces, none until they exist
    gpu::GpuSurface* m_secondDepthStencil = nullptr;
    bool m_resolvePending = false;
    bool m_frameMultisampled = false; // the frame draws into the multisampled scene target
    bool m_frameSRGBWrite = false;    // the frame's colour target takes sRGB writes
    bool m_postProcessBit0 = false;
    Time m_lastPresentTime;
    float m_presentIntervalMs = 0.0f;
    bool m_framePresented = false;
};
