#include "audio/video/VideoEngine.h"

#include "audio/video/VideoPlayer.h"
#include "core/console/GameConsole.h"
#include "core/threads/CommandRingBuffer.h"
#include "engine/profiler/Profiler.h"
#include "platform/gpu/GpuDevice.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/PixelShaderObject.h"
#include "renderer/ShaderManager.h"
#include "renderer/VertexShaderObject.h"
#include "renderer/jobs/TextureHolder.h"
#include "renderer/resources/ResourceShader.h"

#include <algorithm>
#include <cstring>
#include <string>

VideoEngine* gVideoEngine = nullptr;

namespace
{
constexpr uint32_t kBlendOpaque = 0;
constexpr uint32_t kCullNone = 1;
constexpr uint32_t kCompareAlways = 8;

// Position and one texture coordinate: the full-screen quad, scaled by the vertex shader.
struct QuadVertex
{
    float x, y, z;
    float u, v;
};
static_assert(sizeof(QuadVertex) == 20);
constexpr QuadVertex kQuad[4] = {
    {-1.0f, 1.0f, 0.5f, 0.0f, 0.0f},
    {1.0f, 1.0f, 0.5f, 1.0f, 0.0f},
    {1.0f, -1.0f, 0.5f, 1.0f, 1.0f},
    {-1.0f, -1.0f, 0.5f, 0.0f, 1.0f},
};

// Reads a length-counted name and its terminator; false when the block holds less.
bool ReadName(CommandRingBuffer& reader, uint32_t length, std::string& out)
{
    if (reader.GetReadLeft() < uint64_t(length) + 1)
        return false;
    out.assign(reinterpret_cast<const char*>(reader.GetReadCursor()), length);
    return reader.SkipRead(length + 1);
}
} // namespace

VideoEngine::VideoEngine()
{
    gVideoEngine = this;
}

VideoEngine::~VideoEngine()
{
    Close();
    if (gVideoEngine == this)
        gVideoEngine = nullptr;
}

bool VideoEngine::Init()
{
    if (m_vertexShader != nullptr)
        return true;
    if (!gShaderManager.GetShader(kShaderName, "", &m_vertexShader, &m_pixelShader, 1, true, 0))
    {
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "Video shaders \"%s\" cannot be loaded", kShaderName);
        m_vertexShader = m_pixelShader = nullptr;
        return false;
    }
    return true;
}

void VideoEngine::Close()
{
    if (gRenderer != nullptr && gRenderer->IsRunning() && gRenderer->IsStreamOpen())
    {
        Stop();
        gRenderer->SubmitCommands(true);
    }
    for (Resource** shader : {&m_vertexShader, &m_pixelShader})
        if (*shader != nullptr)
        {
            (*shader)->Release();
            *shader = nullptr;
        }
}

bool VideoEngine::WriteOperation(uint32_t operation, uint32_t argumentBytes)
{
    if (gRenderer == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "Video operation %u without a renderer", operation);
        return false;
    }
    if (!gRenderer->WriteCall(&VideoEngine::RenderCall, operation, uint32_t(sizeof(VideoEngine*)) + argumentBytes))
        return false;
    gRenderer->GetWriter().Put(this);
    return true;
}

bool VideoEngine::Play(const char* name, const char* folder, bool fullScreen, bool loop, float volume)
{
    if (name == nullptr)
        return false;
    if (folder == nullptr)
        folder = kDefaultFolder;
    const uint32_t nameLength = uint32_t(std::strlen(name));
    const uint32_t folderLength = uint32_t(std::strlen(folder));
    if (nameLength > kMaxRenderPayloadBytes || folderLength > kMaxRenderPayloadBytes ||
        !WriteOperation(VIDEO_RENDER_PLAY, 16 + nameLength + 1 + folderLength + 1))
        return false;
    RenderCommandWriter& writer = gRenderer->GetWriter();
    writer.Put(uint32_t(loop ? 1 : 0));
    writer.Put(volume);
    writer.Put(nameLength);
    writer.Put(folderLength);
    writer.Write(name, nameLength + 1);
    writer.Write(folder, folderLength + 1);
    m_playRequests.fetch_add(1, std::memory_order_acq_rel);
    m_fullScreen = fullScreen ? 1 : 0;
    return true;
}

void VideoEngine::Stop()
{
    WriteOperation(VIDEO_RENDER_STOP, 0);
}

void VideoEngine::Draw()
{
    WriteOperation(VIDEO_RENDER_DRAW, 0);
}

void VideoEngine::Update()
{
    WriteOperation(VIDEO_RENDER_UPDATE, 0);
}

bool VideoEngine::IsPlaying() const
{
    return GetPlayRequests() != GetPlayersDestroyed();
}

void VideoEngine::RenderCall(NorvexRenderer& renderer, uint32_t operation, CommandRingBuffer& reader)
{
    VideoEngine* engine = nullptr;
    if (!reader.Read(&engine, sizeof(engine)) || engine == nullptr)
        return;
    switch (operation)
    {
    case VIDEO_RENDER_PLAY:
    {
        struct
        {
            uint32_t loop;
            float volume;
            uint32_t nameLength;
            uint32_t folderLength;
        } head{};
        std::string name, folder;
        if (!reader.Read(&head, sizeof(head)) || !ReadName(reader, head.nameLength, name) ||
            !ReadName(reader, head.folderLength, folder))
        {
            gConsole.Error(CONSOLE_CHANNEL_RENDER, "Video play command cut short");
            return;
        }
        engine->StartPlayer(name.c_str(), folder.c_str(), head.loop != 0, head.volume);
        break;
    }
    case VIDEO_RENDER_STOP:
        engine->DestroyPlayer();
        break;
    case VIDEO_RENDER_DRAW:
        engine->DrawFullScreen(renderer);
        break;
    case VIDEO_RENDER_UPDATE:
        engine->UpdatePlayer(renderer);
        break;
    default:
        break;
    }
}

void VideoEngine::StartPlayer(const char* name, const char* folder, bool loop, float volume)
{
    DestroyPlayer();
    m_player = new VideoPlayer(name, folder, loop, volume);
}

void VideoEngine::DestroyPlayer()
{
    if (m_player != nullptr)
    {
        m_player->Destroy();
        m_player = nullptr;
        m_playersDestroyed.fetch_add(1, std::memory_order_acq_rel);
    }
    m_frameAvailable = false;
    ReleaseTextures();
}

void VideoEngine::ReleaseTextures()
{
    for (std::unique_ptr<TextureHolder>& plane : m_planes)
        if (plane)
        {
            plane->Release();
            plane.reset();
        }
}

void VideoEngine::UpdatePlayer(NorvexRenderer& renderer)
{
    if (m_player == nullptr)
        return;
    if (!m_player->IsActive())
    {
        DestroyPlayer();
        return;
    }
    gProfiler.StartTimer(kProfilerVideoDecodeChannel, PROFILER_SOURCE_RENDER);
    VideoPlaneRegion regions[kPlaneCount];
    if (m_player->Advance() && m_player->FetchPlanes(regions))
    {
        CreateTextures(renderer, regions);
        UploadPlanes(regions);
        m_chromaScale = ChromaCoordScaleOf(regions[0], regions[1]);
    }
    gProfiler.StopTimer(kProfilerVideoDecodeChannel, PROFILER_SOURCE_RENDER);
}

void VideoEngine::CreateTextures(NorvexRenderer& renderer, const VideoPlaneRegion regions[kPlaneCount])
{
    gpu::GpuDevice* const device = renderer.GetDevice();
    if (device == nullptr)
        return;
    // Each texture holds its plane's picture as the decoder subsamples it (4:2:0, 4:2:2 or 4:4:4):
    // the shader samples all three over the same picture, so their sizes may differ freely.
    for (uint32_t plane = 0; plane < kPlaneCount; ++plane)
    {
        const uint32_t w = regions[plane].width;
        const uint32_t h = regions[plane].height;
        if (m_planes[plane] || w == 0 || h == 0)
            continue;
        auto holder = std::make_unique<TextureHolder>();
        if (holder->Create(device, w, h, 1, 0, gpu::kFormatL8, gpu::kPoolManaged))
            m_planes[plane] = std::move(holder);
        else
            gConsole.Error(CONSOLE_CHANNEL_RENDER, "Video plane texture %u of %ux%u cannot be created", plane, w, h);
    }
}

void VideoEngine::UploadPlanes(const VideoPlaneRegion regions[kPlaneCount])
{
    for (uint32_t plane = 0; plane < kPlaneCount; ++plane)
    {
        // A plane whose texture was never made (a failed creation) is skipped.
        if (!m_planes[plane] || m_planes[plane]->GetTexture() == nullptr)
            continue;
        auto* const texture = static_cast<gpu::GpuTexture*>(m_planes[plane]->GetTexture());
        gpu::SurfaceDesc desc{};
        gpu::LockedRect locked{};
        if (texture->GetLevelDesc(0, &desc) != gpu::kOk || texture->LockRect(0, &locked, nullptr, 0) != gpu::kOk)
            continue;
        // The texture was sized by the first frame; a copy never writes past it.
        const VideoPlaneRegion& region = regions[plane];
        CopyVideoPlaneRegion(region.plane, region.x, region.y, std::min(region.width, desc.width),
                             std::min(region.height, desc.height), static_cast<uint8_t*>(locked.bits), locked.pitch);
        texture->UnlockRect(0);
    }
    m_frameAvailable = true;
}

void VideoEngine::DrawFullScreen(NorvexRenderer& renderer)
{
    if (m_player == nullptr || !m_frameAvailable || renderer.GetDevice() == nullptr)
        return;
    const auto* vertexResource = static_cast<const ResourceShader*>(m_vertexShader);
    const auto* pixelResource = static_cast<const ResourceShader*>(m_pixelShader);
    VertexShaderObject* const vertexShader = vertexResource != nullptr ? vertexResource->GetVertexShader() : nullptr;
    PixelShaderObject* const pixelShader = pixelResource != nullptr ? pixelResource->GetPixelShader() : nullptr;
    if (vertexShader == nullptr || pixelShader == nullptr)
    {
        if (!m_missingShadersReported)
            gConsole.Error(CONSOLE_CHANNEL_RENDER, "Video draw without the \"%s\" shaders", kShaderName);
        m_missingShadersReported = true;
        return;
    }
    const float frameWidth = float(std::max(m_player->GetPictureWidth(), 1u));
    const float frameHeight = float(std::max(m_player->GetPictureHeight(), 1u));
    const float displayWidth = float(std::max(renderer.GetBackBufferWidth(), 1u));
    const float displayHeight = float(std::max(renderer.GetBackBufferHeight(), 1u));
    const float targetWidth = float(std::max(renderer.GetRenderWidth(), 1u));
    const float targetHeight = float(std::max(renderer.GetRenderHeight(), 1u));
    const float sx = displayWidth / frameWidth;
    const float sy = displayHeight / frameHeight;
    const float s = std::min(sx, sy);
    const float constants[8] = {1.0f,   1.0f,   0.5f / targetWidth, 0.5f / targetHeight,
                                s / sx, s / sy, m_chromaScale.x,    m_chromaScale.y};

    gpu::GpuDevice* const device = renderer.GetDevice();
    uint32_t srgbWrite = 0;
    device->GetRenderState(gpu::kRsSrgbWriteEnable, &srgbWrite);
    renderer.SetBlendMode(kBlendOpaque);
    renderer.SetCullMode(kCullNone);
    renderer.SetDepthState(kCompareAlways, false, 0.0f);
    renderer.DisableStencil();
    renderer.SetAlphaTest(0, 0);
    renderer.SetSRGBWriteState(false);
    device->SetFVF(gpu::kFvfXyz | gpu::kFvfTex1);
    renderer.SetVertexShader(vertexShader);
    renderer.SetPixelShader(pixelShader);
    renderer.SetVertexShaderConstants(0, constants, 2);
    for (uint32_t plane = 0; plane < kPlaneCount; ++plane)
        renderer.SetTexture(plane, m_planes[plane].get(), kSamplerFlags);
    renderer.DrawPrimitiveUP(gpu::kPrimitiveTriangleFan, 2, kQuad, sizeof(QuadVertex));
    renderer.SetSRGBWriteState(srgbWrite != 0);
}
