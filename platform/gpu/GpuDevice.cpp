#include "platform/gpu/GpuDevice.h"

#include "platform/gpu/GpuLog.h"
#include "platform/gpu/PngWriter.h"

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace gpu
{
namespace
{
bool Contains(const std::vector<Format>& list, Format format)
{
    return std::find(list.begin(), list.end(), format) != list.end();
}

bool MultisampleAllowed(const DisplayConfig& config, uint32_t type)
{
    return type == kMultisampleNone ||
           std::find(config.multisampleCounts.begin(), config.multisampleCounts.end(), type) !=
               config.multisampleCounts.end();
}

constexpr uint32_t kMaxTextureSize = 8192;
constexpr uint32_t kMaxBackBuffers = 3;
} // namespace

Result CheckPresentParameters(const DisplayConfig& config, PresentParameters* params)
{
    if (!params)
        return kErrInvalidCall;
    PresentParameters& p = *params;
    if (p.windowed)
    {
        // A window without a size takes the desktop's, as a window filling it would.
        if (p.backBufferWidth == 0)
            p.backBufferWidth = config.desktopWidth;
        if (p.backBufferHeight == 0)
            p.backBufferHeight = config.desktopHeight;
        if (p.backBufferFormat == kFormatUnknown)
            p.backBufferFormat = kFormatX8R8G8B8;
        if (p.fullScreenRefreshRate != 0)
        {
            LogError("present parameters: a windowed swap chain takes refresh rate 0, not %u", p.fullScreenRefreshRate);
            return kErrInvalidCall;
        }
    }
    else
    {
        const bool found = std::any_of(config.modes.begin(), config.modes.end(), [&](const DisplayMode& m) {
            return m.width == p.backBufferWidth && m.height == p.backBufferHeight &&
                   (p.fullScreenRefreshRate == 0 || m.refreshRate == p.fullScreenRefreshRate);
        });
        if (!found)
        {
            LogError("present parameters: no full-screen mode %ux%u at %u Hz", p.backBufferWidth, p.backBufferHeight,
                     p.fullScreenRefreshRate);
            return kErrInvalidCall;
        }
    }
    if (p.backBufferCount == 0)
        p.backBufferCount = 1;
    if (p.backBufferFormat != kFormatX8R8G8B8 && p.backBufferFormat != kFormatA8R8G8B8)
    {
        LogError("present parameters: back-buffer format %u is not a display format", p.backBufferFormat);
        return kErrInvalidCall;
    }
    if (p.backBufferCount > kMaxBackBuffers || p.backBufferWidth > kMaxTextureSize ||
        p.backBufferHeight > kMaxTextureSize)
    {
        LogError("present parameters: %u back buffers of %ux%u are too many or too large", p.backBufferCount,
                 p.backBufferWidth, p.backBufferHeight);
        return kErrInvalidCall;
    }
    if (!MultisampleAllowed(config, p.multiSampleType) ||
        (p.multiSampleType != kMultisampleNone && p.swapEffect != kSwapEffectDiscard))
    {
        LogError("present parameters: multisample type %u not available with swap effect %u", p.multiSampleType,
                 p.swapEffect);
        return kErrInvalidCall;
    }
    if (p.enableAutoDepthStencil && !Contains(config.depthStencilFormats, p.autoDepthStencilFormat))
    {
        LogError("present parameters: depth-stencil format %u not available", p.autoDepthStencilFormat);
        return kErrInvalidCall;
    }
    return kOk;
}

GpuDevice::GpuDevice(const DisplayConfig& config, void* window, uint32_t behaviourFlags,
                     const PresentParameters& params)
    : GpuObject(ObjectKind::Device), m_config(config), m_window(window), m_behaviourFlags(behaviourFlags),
      m_params(params)
{
    if (!m_params.deviceWindow)
        m_params.deviceWindow = window;
    memset(&m_state, 0, sizeof(m_state));
    for (uint32_t i = 0; i < 256; ++i)
        m_gamma.red[i] = m_gamma.green[i] = m_gamma.blue[i] = uint16_t(i * 257);
    m_drawLog.reserve(64);
    const char* folder = std::getenv("NORVEX_FRAME_PNG");
    const char* every = std::getenv("NORVEX_FRAME_PNG_EVERY");
    SetFrameImages(folder ? folder : "", every ? uint32_t(std::strtoul(every, nullptr, 10)) : 60);
    CreateSwapChainObjects();
    SetDefaultState();
}

GpuDevice::~GpuDevice()
{
    UnbindAll();
    ReleaseSwapChainObjects();
    std::lock_guard<std::mutex> lock(m_resourcesMutex);
    uint32_t leaked = 0;
    for (GpuResource* r = m_resources; r; r = r->m_next)
    {
        if (++leaked <= 16)
            LogError("device released while %s #%llu still lives", ObjectKindName(r->GetKind()),
                     (unsigned long long)r->GetId());
        r->m_device = nullptr;
    }
    if (leaked)
        LogError("device released with %u live objects", leaked);
    m_resources = nullptr;
}

void GpuDevice::Register(GpuResource* resource)
{
    std::lock_guard<std::mutex> lock(m_resourcesMutex);
    resource->m_next = m_resources;
    if (m_resources)
        m_resources->m_prev = resource;
    m_resources = resource;
}

void GpuDevice::Unregister(GpuResource* resource)
{
    std::lock_guard<std::mutex> lock(m_resourcesMutex);
    if (resource->m_prev)
        resource->m_prev->m_next = resource->m_next;
    else if (m_resources == resource)
        m_resources = resource->m_next;
    if (resource->m_next)
        resource->m_next->m_prev = resource->m_prev;
    resource->m_prev = resource->m_next = nullptr;
}

uint32_t GpuDevice::GetLiveResourceCount() const
{
    std::lock_guard<std::mutex> lock(m_resourcesMutex);
    uint32_t count = 0;
    for (const GpuResource* r = m_resources; r; r = r->m_next)
        count += r != m_swapChain && r != m_autoDepthStencil;
    return count;
}

uint32_t GpuDevice::OwnReferences(const GpuResource* resource) const
{
    uint32_t references = 1;
    for (const GpuSurface* target : m_state.renderTargets)
        references += target && (target == resource || target->GetContainer() == resource);
    references += m_state.depthStencil && m_state.depthStencil == resource;
    return references;
}

bool GpuDevice::BlocksReset(const GpuResource* resource) const
{
    if (resource == m_swapChain || resource == m_autoDepthStencil)
        return resource->GetRefCount() > OwnReferences(resource); // the caller still holds one
    return resource->MustReleaseBeforeReset();
}

uint32_t GpuDevice::GetResetBlockerCount() const
{
    std::lock_guard<std::mutex> lock(m_resourcesMutex);
    uint32_t count = 0;
    for (const GpuResource* r = m_resources; r; r = r->m_next)
        count += BlocksReset(r);
    return count;
}

Result GpuDevice::Refuse(const char* format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    LogError("%s", text);
    ++m_frame.invalidCalls;
    return kErrInvalidCall;
}

Result GpuDevice::CheckCreation(ObjectKind kind)
{
    if (Faults().TakeResourceFailure(kind))
    {
        LogWarning("planned failure: creating a %s answers out of video memory", ObjectKindName(kind));
        return kErrOutOfVideoMemory;
    }
    return kOk;
}

void GpuDevice::CreateSwapChainObjects()
{
    m_swapChain = new GpuSwapChain(this, m_params);
    if (m_params.enableAutoDepthStencil)
    {
        const SurfaceDesc desc = {m_params.autoDepthStencilFormat, kResourceSurface, kUsageDepthStencil,
                                  kPoolDefault,  m_params.multiSampleType,  m_params.multiSampleQuality,
                                  m_params.backBufferWidth, m_params.backBufferHeight};
        m_autoDepthStencil = new GpuSurface(this, nullptr, desc, false);
    }
}

void GpuDevice::ReleaseSwapChainObjects()
{
    SafeRelease(m_autoDepthStencil);
    SafeRelease(m_swapChain);
}

void GpuDevice::SetDefaultState()
{
    uint32_t* rs = m_state.renderStates;
    std::fill(rs, rs + kRenderStateCount, 0u);
    const float one = 1.0f;
    rs[kRsZEnable] = m_autoDepthStencil ? 1 : 0;
    rs[kRsZWriteEnable] = 1;
    rs[kRsZFunc] = kCmpLessEqual;
    rs[kRsCullMode] = kCullCounterClockwise;
    rs[kRsAlphaFunc] = kCmpAlways;
    rs[kRsBlendOp] = rs[kRsBlendOpAlpha] = kBlendOpAdd;
    rs[kRsSrcBlend] = rs[kRsSrcBlendAlpha] = kBlendOne;
    rs[kRsDestBlend] = rs[kRsDestBlendAlpha] = kBlendZero;
    rs[kRsStencilFunc] = kCmpAlways;
    rs[kRsStencilMask] = rs[kRsStencilWriteMask] = 0xFFFFFFFFu;
    rs[kRsStencilFail] = rs[kRsStencilZFail] = rs[kRsStencilPass] = kStencilKeep;
    rs[kRsCcwStencilFunc] = kCmpAlways;
    rs[kRsCcwStencilFail] = rs[kRsCcwStencilZFail] = rs[kRsCcwStencilPass] = kStencilKeep;
    rs[kRsColorWriteEnable] = 0xF;
    rs[kRsLighting] = rs[kRsColorVertex] = 1;
    memcpy(&rs[kRsPointSize], &one, 4);
    for (auto& sampler : m_state.samplerStates)
    {
        std::fill(sampler, sampler + kSamplerStateCount, 0u);
        sampler[kSsAddressU] = sampler[kSsAddressV] = sampler[kSsAddressW] = kAddressWrap;
        sampler[kSsMagFilter] = sampler[kSsMinFilter] = kFilterPoint;
        sampler[kSsMaxAnisotropy] = 1;
    }
    m_state.fvf = 0;
    Bind(m_state.renderTargets[0], m_swapChain->PeekBackBuffer(0));
    Bind(m_state.depthStencil, m_autoDepthStencil);
    m_state.viewport = {0, 0, m_params.backBufferWidth, m_params.backBufferHeight, 0.0f, 1.0f};
    m_state.scissor = {0, 0, int32_t(m_params.backBufferWidth), int32_t(m_params.backBufferHeight)};
    memset(m_vertexConstants, 0, sizeof(m_vertexConstants));
    memset(m_pixelConstants, 0, sizeof(m_pixelConstants));
}

void GpuDevice::UnbindAll()
{
    for (GpuBaseTexture*& texture : m_state.textures)
        Bind(texture, static_cast<GpuBaseTexture*>(nullptr));
    Bind(m_state.vertexShader, static_cast<GpuVertexShader*>(nullptr));
    Bind(m_state.pixelShader, static_cast<GpuPixelShader*>(nullptr));
    Bind(m_state.declaration, static_cast<GpuVertexDeclaration*>(nullptr));
    for (Stream& stream : m_state.streams)
    {
        Bind(stream.buffer, static_cast<GpuVertexBuffer*>(nullptr));
        stream = {nullptr, 0, 0, 1};
    }
    Bind(m_state.indices, static_cast<GpuIndexBuffer*>(nullptr));
    for (GpuSurface*& target : m_state.renderTargets)
        Bind(target, static_cast<GpuSurface*>(nullptr));
    Bind(m_state.depthStencil, static_cast<GpuSurface*>(nullptr));
}

void GpuDevice::PacePresent()
{
    if (!IsPresentPacing())
        return;
    constexpr int64_t kFrameNs = 1000000000 / 60;
    const int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                            std::chrono::steady_clock::now().time_since_epoch())
                            .count();
    // A present more than a frame late starts a new grid rather than racing to catch up.
    if (m_nextPresentNs < now - kFrameNs)
        m_nextPresentNs = now;
    if (m_nextPresentNs > now)
        std::this_thread::sleep_for(std::chrono::nanoseconds(m_nextPresentNs - now));
    m_nextPresentNs += kFrameNs;
}

void GpuDevice::EndFrame()
{
    ++m_presents;
    m_lastFrame = m_frame;
    m_frame = FrameStatistics();
    m_frame.frame = m_presents;
    m_lastDrawLog.swap(m_drawLog);
    m_drawLog.clear();
    m_lastSurfaceOps.swap(m_surfaceOps);
    m_surfaceOps.clear();
}

Result GpuDevice::Present()
{
    GpuCallScope scope(m_detector, "Present");
    return PresentSwapChain(m_swapChain);
}

Result GpuDevice::PresentSwapChain(GpuSwapChain* swapChain)
{
    GpuCallScope scope(m_detector, "Present");
    if (!swapChain || swapChain->GetDevice() != this)
        return Refuse("Present: swap chain of another device");
    if (m_inScene)
        return Refuse("Present: called between BeginScene and EndScene");
    if (m_lost)
        return kErrDeviceLost;
    uint32_t resetTriesLost = 0;
    if (Faults().TakePresentLoss(&resetTriesLost))
    {
        LogWarning("planned failure: the device is lost at present %llu", (unsigned long long)m_presents + 1);
        m_lost = true;
        m_resetTriesLost = resetTriesLost;
        return kErrDeviceLost;
    }
    if (WritesThisFrame())
    {
        char name[32];
        std::snprintf(name, sizeof(name), "/frame-%06llu.png", (unsigned long long)(m_presents + 1));
        if (const GpuSurface* back = swapChain->PeekBackBuffer(0); back && WriteSurfacePng(*back, m_frameImageFolder + name))
            ++m_frameImagesWritten;
    }
    EndFrame();
    PacePresent();
    return kOk;
}

bool GpuDevice::WritesThisFrame() const
{
    return !m_frameImageFolder.empty() && (m_presents + 1) % m_frameImageEvery == 0;
}

void GpuDevice::SetFrameImages(const std::string& folder, uint32_t every)
{
    m_frameImageFolder = folder;
    if (every == 0)
    {
        LogWarning("frame images: every 0th frame asked; every 60th is written");
        every = 60;
    }
    m_frameImageEvery = every;
}

Result GpuDevice::Reset(PresentParameters* params)
{
    GpuCallScope scope(m_detector, "Reset");
    if (!params)
        return Refuse("Reset: no parameters");
    if (m_inScene)
        return Refuse("Reset: called between BeginScene and EndScene");
    if (m_lost && m_resetTriesLost > 0)
    {
        --m_resetTriesLost;
        return kErrDeviceLost;
    }
    const Result planned = Faults().TakeResetFailure();
    if (planned != kOk)
    {
        LogWarning("planned failure: Reset answers %s", ResultName(planned));
        if (planned == kErrDeviceLost)
            m_lost = true;
        return planned;
    }
    PresentParameters checked = *params;
    if (CheckPresentParameters(m_config, &checked) != kOk)
        return Refuse("Reset: invalid present parameters");
    UnbindAll();
    const uint32_t blockers = GetResetBlockerCount();
    if (blockers > 0)
    {
        {
            std::lock_guard<std::mutex> lock(m_resourcesMutex);
            for (const GpuResource* r = m_resources; r; r = r->m_next)
                if (BlocksReset(r))
                    LogError("Reset: %s #%llu (pool %u) is still alive", ObjectKindName(r->GetKind()),
                             (unsigned long long)r->GetId(), r->GetPool());
        }
        SetDefaultState();
        m_lost = true;
        return Refuse("Reset refused: %u objects must be released before a reset", blockers);
    }
    ReleaseSwapChainObjects();
    m_params = checked;
    if (m_params.deviceWindow)
        m_window = m_params.deviceWindow;
    *params = checked;
    CreateSwapChainObjects();
    SetDefaultState();
    m_lost = false;
    ++m_resets;
    return kOk;
}

Result GpuDevice::BeginScene()
{
    GpuCallScope scope(m_detector, "BeginScene");
    if (m_inScene)
        return Refuse("BeginScene: already inside a scene");
    m_inScene = true;
    ++m_frame.beginScenes;
    return kOk;
}

Result GpuDevice::EndScene()
{
    GpuCallScope scope(m_detector, "EndScene");
    if (!m_inScene)
        return Refuse("EndScene: no scene begun");
    m_inScene = false;
    ++m_frame.endScenes;
    return kOk;
}

Result GpuDevice::GetSwapChain(uint32_t index, GpuSwapChain** swapChain)
{
    GpuCallScope scope(m_detector, "GetSwapChain");
    if (!swapChain)
        return Refuse("GetSwapChain: no output");
    *swapChain = nullptr;
    if (index != 0)
        return Refuse("GetSwapChain: the device has one implicit swap chain, not %u", index + 1);
    *swapChain = m_swapChain;
    m_swapChain->AddRef();
    return kOk;
}

Result GpuDevice::GetBackBuffer(uint32_t swapChain, uint32_t index, GpuSurface** surface)
{
    GpuCallScope scope(m_detector, "GetBackBuffer");
    if (!surface)
        return Refuse("GetBackBuffer: no output");
    *surface = nullptr;
    if (swapChain != 0 || m_swapChain->GetBackBuffer(index, surface) != kOk)
        return Refuse("GetBackBuffer: no back buffer %u of swap chain %u", index, swapChain);
    return kOk;
}

Result GpuDevice::SetGammaRamp(uint32_t swapChain, const GammaRamp& ramp)
{
    GpuCallScope scope(m_detector, "SetGammaRamp");
    if (swapChain != 0)
        return Refuse("SetGammaRamp: no swap chain %u", swapChain);
    m_gamma = ramp;
    ++m_frame.gammaRampCalls;
    return kOk;
}

void GpuDevice::GetGammaRamp(uint32_t /*swapChain*/, GammaRamp* ramp) const { *ramp = m_gamma; }

Result GpuDevice::CheckTextureArgs(uint32_t width, uint32_t height, uint32_t* levels, uint32_t usage, Format format,
                                   Pool pool, bool cube)
{
    const char* kind = cube ? "CreateCubeTexture" : "CreateTexture";
    const FormatInfo* info = FindFormat(format);
    if (!info)
        return Refuse("%s: unknown format %u", kind, format);
    if (width == 0 || height == 0 || width > kMaxTextureSize || height > kMaxTextureSize)
        return Refuse("%s: size %ux%u out of range", kind, width, height);
    const bool target = usage & (kUsageRenderTarget | kUsageDepthStencil);
    if ((usage & kUsageRenderTarget) && (usage & kUsageDepthStencil))
        return Refuse("%s: render target and depth-stencil usage together", kind);
    if (target && pool != kPoolDefault)
        return Refuse("%s: render and depth targets live in the default pool, not pool %u", kind, pool);
    if ((usage & kUsageDynamic) && pool == kPoolManaged)
        return Refuse("%s: dynamic textures cannot be managed", kind);
    if (pool > kPoolScratch)
        return Refuse("%s: unknown pool %u", kind, pool);
    if (info->kind == FormatKind::Depth && !(usage & kUsageDepthStencil))
        return Refuse("%s: depth format %s needs depth-stencil usage", kind, info->name);
    if ((usage & kUsageRenderTarget) && !Contains(m_config.renderTargetFormats, format))
        return kErrNotAvailable;
    if ((usage & kUsageDepthStencil) && !Contains(m_config.depthTextureFormats, format))
        return kErrNotAvailable;
    const uint32_t full = GpuBaseTexture::FullChainLength(width, height);
    if (usage & kUsageAutoGenMipMap)
        *levels = 1;
    else if (*levels == 0)
        *levels = full;
    else if (*levels > full)
        return Refuse("%s: %u levels for %ux%u (at most %u)", kind, *levels, width, height, full);
    return kOk;
}

Result GpuDevice::CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage, Format format,
                                Pool pool, GpuTexture** texture)
{
    GpuCallScope scope(m_detector, "CreateTexture");
    if (!texture)
        return Refuse("CreateTexture: no output");
    *texture = nullptr;
    if (const Result r = CheckTextureArgs(width, height, &levels, usage, format, pool, false); r != kOk)
        return r;
    if (const Result r = CheckCreation(ObjectKind::Texture); r != kOk)
        return r;
    *texture = new GpuTexture(this, width, height, levels, usage, format, pool);
    return kOk;
}

Result GpuDevice::CreateCubeTexture(uint32_t edge, uint32_t levels, uint32_t usage, Format format, Pool pool,
                                    GpuCubeTexture** texture)
{
    GpuCallScope scope(m_detector, "CreateCubeTexture");
    if (!texture)
        return Refuse("CreateCubeTexture: no output");
    *texture = nullptr;
    if (const Result r = CheckTextureArgs(edge, edge, &levels, usage, format, pool, true); r != kOk)
        return r;
    if (const Result r = CheckCreation(ObjectKind::CubeTexture); r != kOk)
        return r;
    *texture = new GpuCubeTexture(this, edge, levels, usage, format, pool);
    return kOk;
}

Result GpuDevice::CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf, Pool pool,
                                     GpuVertexBuffer** buffer)
{
    GpuCallScope scope(m_detector, "CreateVertexBuffer");
    if (!buffer)
        return Refuse("CreateVertexBuffer: no output");
    *buffer = nullptr;
    if (length == 0 || pool > kPoolScratch || ((usage & kUsageDynamic) && pool == kPoolManaged) ||
        (usage & (kUsageRenderTarget | kUsageDepthStencil)))
        return Refuse("CreateVertexBuffer: length %u, usage 0x%X, pool %u", length, usage, pool);
    if (const Result r = CheckCreation(ObjectKind::VertexBuffer); r != kOk)
        return r;
    *buffer = new GpuVertexBuffer(this, length, usage, fvf, pool);
    return kOk;
}

Result GpuDevice::CreateIndexBuffer(uint32_t length, uint32_t usage, Format format, Pool pool,
                                    GpuIndexBuffer** buffer)
{
    GpuCallScope scope(m_detector, "CreateIndexBuffer");
    if (!buffer)
        return Refuse("CreateIndexBuffer: no output");
    *buffer = nullptr;
    if (length == 0 || pool > kPoolScratch || (format != kFormatIndex16 && format != kFormatIndex32) ||
        ((usage & kUsageDynamic) && pool == kPoolManaged) || (usage & (kUsageRenderTarget | kUsageDepthStencil)))
        return Refuse("CreateIndexBuffer: length %u, usage 0x%X, format %u, pool %u", length, usage, format, pool);
    if (const Result r = CheckCreation(ObjectKind::IndexBuffer); r != kOk)
        return r;
    *buffer = new GpuIndexBuffer(this, length, usage, format, pool);
    return kOk;
}

Result GpuDevice::CreateRenderTarget(uint32_t width, uint32_t height, Format format, uint32_t multiSample,
                                     uint32_t multiSampleQuality, bool lockable, GpuSurface** surface)
{
    GpuCallScope scope(m_detector, "CreateRenderTarget");
    if (!surface)
        return Refuse("CreateRenderTarget: no output");
    *surface = nullptr;
    if (width == 0 || height == 0 || width > kMaxTextureSize || height > kMaxTextureSize || !FindFormat(format))
        return Refuse("CreateRenderTarget: %ux%u in format %u", width, height, format);
    if (lockable && multiSample != kMultisampleNone)
        return Refuse("CreateRenderTarget: a multisampled target cannot be lockable");
    if (!Contains(m_config.renderTargetFormats, format) || !MultisampleAllowed(m_config, multiSample))
        return kErrNotAvailable;
    if (const Result r = CheckCreation(ObjectKind::Surface); r != kOk)
        return r;
    const SurfaceDesc desc = {format, kResourceSurface, kUsageRenderTarget, kPoolDefault, multiSample,
                              multiSampleQuality, width, height};
    *surface = new GpuSurface(this, nullptr, desc, lockable);
    return kOk;
}

Result GpuDevice::CreateDepthStencilSurface(uint32_t width, uint32_t height, Format format, uint32_t multiSample,
                                            uint32_t multiSampleQuality, bool /*discard*/, GpuSurface** surface)
{
    GpuCallScope scope(m_detector, "CreateDepthStencilSurface");
    if (!surface)
        return Refuse("CreateDepthStencilSurface: no output");
    *surface = nullptr;
    if (width == 0 || height == 0 || width > kMaxTextureSize || height > kMaxTextureSize || !FindFormat(format))
        return Refuse("CreateDepthStencilSurface: %ux%u in format %u", width, height, format);
    if (!Contains(m_config.depthStencilFormats, format) || !MultisampleAllowed(m_config, multiSample))
        return kErrNotAvailable;
    if (const Result r = CheckCreation(ObjectKind::Surface); r != kOk)
        return r;
    const SurfaceDesc desc = {format, kResourceSurface, kUsageDepthStencil, kPoolDefault, multiSample,
                              multiSampleQuality, width, height};
    *surface = new GpuSurface(this, nullptr, desc, false);
    return kOk;
}

Result GpuDevice::CreateVertexDeclaration(const VertexElement* elements, GpuVertexDeclaration** declaration)
{
    GpuCallScope scope(m_detector, "CreateVertexDeclaration");
    if (!declaration)
        return Refuse("CreateVertexDeclaration: no output");
    *declaration = nullptr;
    const int32_t count = elements ? GpuVertexDeclaration::CountElements(elements) : -1;
    if (count < 0)
        return Refuse("CreateVertexDeclaration: malformed element list or no end marker within %u elements",
                      kMaxVertexElements);
    if (const Result r = CheckCreation(ObjectKind::VertexDeclaration); r != kOk)
        return r;
    *declaration = new GpuVertexDeclaration(this, elements, uint32_t(count) + 1);
    return kOk;
}

Result GpuDevice::CreateVertexShader(const void* code, size_t size, GpuVertexShader** shader)
{
    GpuCallScope scope(m_detector, "CreateVertexShader");
    if (!shader)
        return Refuse("CreateVertexShader: no output");
    *shader = nullptr;
    ShaderCode parsed;
    if (!ReadShaderCode(code, size, &parsed) || parsed.stage != ShaderStage::Vertex)
        return Refuse("CreateVertexShader: not vertex shader code");
    if (const Result r = CheckCreation(ObjectKind::VertexShader); r != kOk)
        return r;
    *shader = new GpuVertexShader(this, std::move(parsed));
    return kOk;
}

Result GpuDevice::CreatePixelShader(const void* code, size_t size, GpuPixelShader** shader)
{
    GpuCallScope scope(m_detector, "CreatePixelShader");
    if (!shader)
        return Refuse("CreatePixelShader: no output");
    *shader = nullptr;
    ShaderCode parsed;
    if (!ReadShaderCode(code, size, &parsed) || parsed.stage != ShaderStage::Pixel)
        return Refuse("CreatePixelShader: not pixel shader code");
    if (const Result r = CheckCreation(ObjectKind::PixelShader); r != kOk)
        return r;
    *shader = new GpuPixelShader(this, std::move(parsed));
    return kOk;
}

Result GpuDevice::CreateQuery(uint32_t type, GpuQuery** query)
{
    GpuCallScope scope(m_detector, "CreateQuery");
    if (type != kQueryEvent)
        return kErrNotAvailable;
    if (!query)
        return kOk;
    *query = nullptr;
    if (const Result r = CheckCreation(ObjectKind::Query); r != kOk)
        return r;
    *query = new GpuQuery(this, type);
    return kOk;
}
} // namespace gpu
