// The in-memory graphics device: resource creation, state tables, shader constant registers, clears,
// copies and draws on real memory, presents with frame statistics and a draw log, reset and device
// loss. The render thread owns it; creation and reset come from the thread that created it while
// the render thread is idle. Two threads inside at once are detected, counted and logged.
#pragma once

#include "platform/gpu/GpuBuffer.h"
#include "platform/gpu/GpuEnvironment.h"
#include "platform/gpu/GpuQuery.h"
#include "platform/gpu/GpuShader.h"
#include "platform/gpu/GpuStatistics.h"
#include "platform/gpu/GpuSwapChain.h"
#include "platform/gpu/GpuTexture.h"
#include "platform/gpu/GpuThreadDetector.h"
#include "platform/gpu/GpuVertexDeclaration.h"

#include <mutex>
#include <string>
#include <vector>

namespace gpu
{
// Checks swap chain parameters against the adapter and fills the defaults a window implies (a zero
// size takes the desktop size, a zero count one back buffer, an unknown format X8R8G8B8).
Result CheckPresentParameters(const DisplayConfig& config, PresentParameters* params);

class GpuDevice : public GpuObject
{
public:
    // Made by GpuFactory::CreateDevice with checked parameters.
    GpuDevice(const DisplayConfig& config, void* window, uint32_t behaviourFlags, const PresentParameters& params);

    // Presentation and life cycle.
    Result Present();
    Result PresentSwapChain(GpuSwapChain* swapChain);
    // Refused while objects that must be released before a reset still live.
    Result Reset(PresentParameters* params);
    bool IsLost() const { return m_lost; }
    Result BeginScene();
    Result EndScene();
    Result GetSwapChain(uint32_t index, GpuSwapChain** swapChain);
    Result GetBackBuffer(uint32_t swapChain, uint32_t index, GpuSurface** surface);
    Result SetGammaRamp(uint32_t swapChain, const GammaRamp& ramp);
    void GetGammaRamp(uint32_t swapChain, GammaRamp* ramp) const;

    // Resources. Levels 0 asks for a full mip chain.
    Result CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage, Format format, Pool pool,
                         GpuTexture** texture);
    Result CreateCubeTexture(uint32_t edge, uint32_t levels, uint32_t usage, Format format, Pool pool,
                             GpuCubeTexture** texture);
    Result CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, Pool pool, GpuVertexBuffer** buffer);
    Result CreateIndexBuffer(uint32_t length, uint32_t usage, Format format, Pool pool, GpuIndexBuffer** buffer);
    Result CreateRenderTarget(uint32_t width, uint32_t height, Format format, uint32_t multiSample,
                              uint32_t multiSampleQuality, bool lockable, GpuSurface** surface);
    Result CreateDepthStencilSurface(uint32_t width, uint32_t height, Format format, uint32_t multiSample,
                                     uint32_t multiSampleQuality, bool discard, GpuSurface** surface);
    // Elements end with kDeclEnd.
    Result CreateVertexDeclaration(const VertexElement* elements, GpuVertexDeclaration** declaration);
    // Code made by CompileShader for the matching stage.
    Result CreateVertexShader(const void* code, size_t size, GpuVertexShader** shader);
    Result CreatePixelShader(const void* code, size_t size, GpuPixelShader** shader);
    // With query null only answers whether the type is supported.
    Result CreateQuery(uint32_t type, GpuQuery** query);

    // Targets, clears and copies.
    Result SetRenderTarget(uint32_t index, GpuSurface* surface);
    Result GetRenderTarget(uint32_t index, GpuSurface** surface);
    Result SetDepthStencilSurface(GpuSurface* surface);
    Result GetDepthStencilSurface(GpuSurface** surface);
    Result SetViewport(const Viewport& viewport);
    Result GetViewport(Viewport* viewport) const;
    Result SetScissorRect(const Rect& rect);
    Result GetScissorRect(Rect* rect) const;
    // Colour is packed ARGB; the cleared area is the viewport (and the scissor rectangle when the test
    // is on), cut by the rectangles when given.
    Result Clear(uint32_t count, const Rect* rects, uint32_t flags, uint32_t color, float z, uint32_t stencil);
    // Filter kFilterNone, kFilterPoint or kFilterLinear; rectangles null mean the whole surface.
    Result StretchRect(GpuSurface* source, const Rect* sourceRect, GpuSurface* dest, const Rect* destRect,
                       uint32_t filter);

    // State tables.
    Result SetRenderState(uint32_t state, uint32_t value);
    Result GetRenderState(uint32_t state, uint32_t* value) const;
    Result SetSamplerState(uint32_t sampler, uint32_t type, uint32_t value);
    Result GetSamplerState(uint32_t sampler, uint32_t type, uint32_t* value) const;
    Result SetTexture(uint32_t stage, GpuBaseTexture* texture);
    GpuBaseTexture* PeekTexture(uint32_t stage) const { return stage < kSamplerCount ? m_state.textures[stage] : nullptr; }
    Result SetVertexShader(GpuVertexShader* shader);
    Result SetPixelShader(GpuPixelShader* shader);
    GpuVertexShader* PeekVertexShader() const { return m_state.vertexShader; }
    GpuPixelShader* PeekPixelShader() const { return m_state.pixelShader; }
    // Count is in 4-float registers; writes past the register file are refused whole and counted.
    Result SetVertexShaderConstantF(uint32_t start, const float* data, uint32_t count);
    Result SetPixelShaderConstantF(uint32_t start, const float* data, uint32_t count);
    Result GetVertexShaderConstantF(uint32_t start, float* data, uint32_t count) const;
    Result GetPixelShaderConstantF(uint32_t start, float* data, uint32_t count) const;
    Result SetVertexDeclaration(GpuVertexDeclaration* declaration);
    Result SetFVF(uint32_t fvf);
    Result SetStreamSource(uint32_t stream, GpuVertexBuffer* buffer, uint32_t offset, uint32_t stride);
    Result SetStreamSourceFreq(uint32_t stream, uint32_t setting);
    Result SetIndices(GpuIndexBuffer* buffer);

    // Draws: checked against the bound buffers, counted, logged and rasterised into the bound
    // targets (Gpu.h says what the rasteriser does).
    Result DrawPrimitive(uint32_t type, uint32_t startVertex, uint32_t primitiveCount);
    Result DrawIndexedPrimitive(uint32_t type, int32_t baseVertex, uint32_t minIndex, uint32_t numVertices,
                                uint32_t startIndex, uint32_t primitiveCount);
    // Drawing from memory unbinds stream 0 and the index buffer afterwards.
    Result DrawPrimitiveUP(uint32_t type, uint32_t primitiveCount, const void* vertices, uint32_t stride);
    Result DrawIndexedPrimitiveUP(uint32_t type, uint32_t minIndex, uint32_t numVertices, uint32_t primitiveCount,
                                  const void* indices, Format indexFormat, const void* vertices, uint32_t stride);

    // Which draws colour pixels (GpuEnvironment.h); a device starts in GetDefaultRasterMode(). Draws
    // that are not rasterised are still checked, counted and logged. SetRasterising(on) is Always
    // or Never.
    void SetRasterMode(RasterMode mode) { m_rasterMode = mode; }
    RasterMode GetRasterMode() const { return m_rasterMode; }
    void SetRasterising(bool on) { SetRasterMode(on ? RasterMode::Always : RasterMode::Never); }
    // Every `every`-th present writes the presented back buffer to <folder>/frame-<present>.png; an
    // empty folder writes none. Devices start with NORVEX_FRAME_PNG and NORVEX_FRAME_PNG_EVERY.
    void SetFrameImages(const std::string& folder, uint32_t every);
    // Whether the present that ends the frame being drawn will write it as an image.
    bool WritesThisFrame() const;
    uint32_t GetFrameImagesWritten() const { return m_frameImagesWritten; }

    // Inspection for tests and tools (call when the owning thread is idle).
    const FrameStatistics& GetFrameStatistics() const { return m_frame; }
    const FrameStatistics& GetLastFrameStatistics() const { return m_lastFrame; }
    const std::vector<DrawRecord>& GetDrawLog() const { return m_drawLog; }
    const std::vector<DrawRecord>& GetLastFrameDrawLog() const { return m_lastDrawLog; }
    // Clears and copies of this frame and the last, in call order.
    const std::vector<SurfaceOpRecord>& GetSurfaceOpLog() const { return m_surfaceOps; }
    const std::vector<SurfaceOpRecord>& GetLastFrameSurfaceOpLog() const { return m_lastSurfaceOps; }
    uint64_t GetPresentCount() const { return m_presents; }
    uint32_t GetResetCount() const { return m_resets; }
    uint32_t GetBehaviourFlags() const { return m_behaviourFlags; }
    void* GetWindow() const { return m_window; }
    const PresentParameters& GetPresentParameters() const { return m_params; }
    bool IsInScene() const { return m_inScene; }
    // Live objects made by this device, and those of them that block a reset.
    uint32_t GetLiveResourceCount() const;
    uint32_t GetResetBlockerCount() const;
    uint64_t GetThreadCollisionCount() const { return m_detector.GetCollisionCount(); }

private:
    friend class GpuResource;
    ~GpuDevice() override;

    struct Stream
    {
        GpuVertexBuffer* buffer;
        uint32_t offset;
        uint32_t stride;
        uint32_t frequency;
    };
    struct State
    {
        uint32_t renderStates[kRenderStateCount];
        uint32_t samplerStates[kSamplerCount][kSamplerStateCount];
        GpuBaseTexture* textures[kSamplerCount];
        GpuVertexShader* vertexShader;
        GpuPixelShader* pixelShader;
        GpuVertexDeclaration* declaration;
        uint32_t fvf;
        Stream streams[kStreamCount];
        GpuIndexBuffer* indices;
        GpuSurface* renderTargets[kRenderTargetCount];
        GpuSurface* depthStencil;
        Viewport viewport;
        Rect scissor;
    };

    // Where a draw's vertices come from besides the bound state.
    struct DrawInput
    {
        const uint8_t* userVertices = nullptr; // the caller's memory instead of the streams
        uint32_t userStride = 0;
        const uint8_t* indices = nullptr; // first index of the draw, or null when not indexed
        uint32_t indexSize = 2;
        int32_t baseVertex = 0;
        uint32_t firstVertex = 0; // lowest and highest vertex the draw reads
        uint32_t lastVertex = 0;
    };

    void Register(GpuResource* resource);
    void Unregister(GpuResource* resource);

    Result Refuse(const char* format, ...) __attribute__((format(printf, 2, 3)));
    Result CheckCreation(ObjectKind kind);
    void CreateSwapChainObjects();
    void ReleaseSwapChainObjects();
    void SetDefaultState();
    void UnbindAll();
    void EndFrame();
    void PacePresent();
    Result CheckTextureArgs(uint32_t width, uint32_t height, uint32_t* levels, uint32_t usage, Format format,
                            Pool pool, bool cube);
    Result SetShaderConstants(float* registers, uint32_t limit, const char* stage, uint32_t start, const float* data,
                              uint32_t count, uint32_t* calls, uint32_t* written);
    Result CheckDraw(const char* call, uint32_t type, uint32_t primitiveCount, uint32_t* vertexCount);
    Result CheckStreams(const char* call, uint64_t firstVertex, uint64_t vertexCount);
    // Tells the bound vertex buffers which of their bytes a draw read.
    void MarkDrawnStreams(uint64_t firstVertex, uint64_t vertexCount);
    void RecordDraw(DrawCall call, uint32_t type, uint32_t primitiveCount, uint32_t startVertex, int32_t baseVertex,
                    uint32_t minIndex, uint32_t numVertices, uint32_t startIndex, const DrawInput& input);
    // Whether a pixel operation (draw, clear or copy) reading and writing these resources is done in
    // this frame (RasterMode), keeping count of which resources hold pixels that later frames read.
    bool TakePixelWork(GpuResource* const* reads, uint32_t readCount, GpuResource* const* writes,
                       uint32_t writeCount);
    // The same for a draw with the bound state: it reads the textures its pixel shader samples, the
    // depth-stencil surface it tests and the targets it blends into; it writes what it may change.
    bool TakeDrawWork();
    bool TakeCopyWork(GpuSurface* source, GpuSurface* dest);
    // Rasterises a checked draw; answers the pixels written.
    uint64_t Rasterise(uint32_t type, uint32_t primitiveCount, const DrawInput& input);
    void ReportMissingProgram();
    void RecordSurfaceOp(SurfaceOpRecord record, uint32_t count, const Rect* rects);
    bool BelongsHere(const GpuSurface* surface) const;
    // References the device's own bindings hold on a resource (1 for owning it).
    uint32_t OwnReferences(const GpuResource* resource) const;
    bool BlocksReset(const GpuResource* resource) const;
    Rect ClearArea(const GpuSurface& surface) const;
    // The resource whose pixel bookkeeping a surface shares: its texture, or itself.
    static GpuResource* ContentOwner(GpuSurface* surface);

    template <typename T>
    static void Bind(T*& slot, T* object)
    {
        if (object)
            object->AddRef();
        if (slot)
            slot->Release();
        slot = object;
    }

    mutable GpuThreadDetector m_detector{"GpuDevice"};
    const DisplayConfig m_config;
    void* m_window;
    const uint32_t m_behaviourFlags;
    PresentParameters m_params;
    GpuSwapChain* m_swapChain = nullptr;
    GpuSurface* m_autoDepthStencil = nullptr;
    GammaRamp m_gamma;
    State m_state;
    float m_vertexConstants[kVertexConstantRegisters * 4] = {};
    float m_pixelConstants[kPixelConstantRegisters * 4] = {};
    FrameStatistics m_frame;
    FrameStatistics m_lastFrame;
    std::vector<DrawRecord> m_drawLog;
    std::vector<DrawRecord> m_lastDrawLog;
    std::vector<SurfaceOpRecord> m_surfaceOps;
    std::vector<SurfaceOpRecord> m_lastSurfaceOps;
    std::vector<ClipVertex> m_rasterVertices; // reused from draw to draw
    std::vector<uint8_t> m_rasterVertexDone;
    RasterMode m_rasterMode = GetDefaultRasterMode();
    std::string m_frameImageFolder;
    uint32_t m_frameImageEvery = 60;
    uint32_t m_frameImagesWritten = 0;
    uint64_t m_presents = 0;
    // When the next paced present may return (steady clock, nanoseconds since its epoch).
    int64_t m_nextPresentNs = 0;
    uint32_t m_resets = 0;
    uint32_t m_resetTriesLost = 0;
    uint32_t m_loggedConstantRefusals = 0;
    bool m_lost = false;
    bool m_inScene = false;

    mutable std::mutex m_resourcesMutex; // creation and release may come from different threads
    GpuResource* m_resources = nullptr;
};
} // namespace gpu
