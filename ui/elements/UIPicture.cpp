// The picture's main-thread operations and the executor of its UI commands (ids 34 to 42; the atlas
// adds 43). Operations on the main thread, the executor on the render side.
#include "ui/elements/UIPicture.h"

#include "core/console/GameConsole.h"
#include "core/threads/CommandRingBuffer.h"
#include "platform/gpu/GpuDevice.h"
#include "platform/steam/Steam.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/RendererObjectHandle.h"
#include "renderer/ShaderManager.h"
#include "renderer/UIQuadGeometry.h"
#include "renderer/jobs/TextureHolder.h"
#include "renderer/resources/ResourceManager.h"
#include "renderer/resources/ResourceShader.h"
#include "renderer/resources/ResourceTexture.h"
#include "ui/elements/UICommand.h"

#include <algorithm>
#include <memory>
#include <new>

namespace
{
namespace rp = renderpayload;

enum UIPictureCommand : uint32_t
{
    CMD_SET_STEAM_TEXTURE = 34,
    CMD_SET_TEXTURE = 35,
    CMD_SET_TEXTURE_MAPPING = 36,
    CMD_SET_SHADER = 37,
    CMD_SET_PIXEL_SHADER_PARAM = 38,
    CMD_SET_RENDER_GATHERING_CHANNEL = 39,
    CMD_SET_UV_SIZE = 40,
    CMD_SET_UV_ORIGIN = 41,
    CMD_SET_CORNER_COLORS = 42,
};

constexpr RenderCallFunction kPictureTrampoline = &UICommandTrampoline<&UIPicture::RunCommand>;

// Batch indices above the last batch use the last one; negative ones draw directly.
int32_t ClampBatchIndex(int32_t index)
{
    return std::min(index, UIPicture::kLastBatchIndex);
}
} // namespace

UIPicture::UIPicture()
{
    m_scriptClassName = "UIPicture";
}

UIPicture::~UIPicture()
{
    RendererObjectHandle::Release(m_textures[0]);
    RendererObjectHandle::Release(m_textures[1]);
}

// ---- Main thread ----

void UIPicture::SendVector(uint32_t commandId, const Vector& value)
{
    UICommand command(kPictureTrampoline, &UIPicture::RunCommand, commandId, this, rp::kVector);
    command.Put(value);
}

void UIPicture::SetTexture(const char* name, uint32_t stage, uint32_t samplerPreset)
{
    if (stage > 1)
        return;
    m_steamSizeClass = -1;
    m_steamImage = 0;
    if (m_textureResources[stage] != nullptr)
    {
        m_textureResources[stage]->Release();
        m_textureResources[stage] = nullptr;
    }
    if (gResourceManager == nullptr)
        return;
    Resource* const resource = gResourceManager->GetResource(RESOURCE_TYPE_TEXTURE, name, 0, true, 0);
    if (resource == nullptr)
        return;
    resource->Load(true);
    m_textureResources[stage] = resource;
    // The resource reference keeps the holder alive until the render side has taken its own.
    auto* const texture = dynamic_cast<ResourceTexture*>(resource);
    TextureHolder* const holder = texture != nullptr && texture->IsLoaded() ? texture->GetTextureHolder() : nullptr;
    UICommand command(kPictureTrampoline, &UIPicture::RunCommand, CMD_SET_TEXTURE, this, rp::kU32 + rp::kPointer + rp::kU32);
    command.Put(stage).Put(holder).Put(samplerPreset);
}

void UIPicture::SetSteamTexture(int32_t sizeClass, int32_t image)
{
    if (sizeClass == m_steamSizeClass && image == m_steamImage)
        return;
    m_steamSizeClass = sizeClass;
    m_steamImage = image;
    if (image <= 0)
        return;
    steam::Utils* const utils = steam::GetUtils();
    uint32_t width = 0, height = 0;
    if (utils == nullptr || !utils->GetImageSize(image, &width, &height) || width == 0 || height == 0)
        return;
    const uint64_t bytes = uint64_t(width) * height * 4;
    if (bytes > UINT32_MAX)
        return;
    std::unique_ptr<uint8_t[]> pixels(new (std::nothrow) uint8_t[bytes]);
    if (pixels == nullptr || !utils->GetImageRGBA(image, pixels.get(), uint32_t(bytes)))
        return;
    UICommand command(kPictureTrampoline, &UIPicture::RunCommand, CMD_SET_STEAM_TEXTURE, this,
                      3 * rp::kU32 + rp::kPointer);
    if (!command.IsOpen())
        return;
    // The render side frees the buffer once it has copied it.
    const uint8_t* const handedOver = pixels.release();
    command.Put(uint32_t(sizeClass == 0 ? 0 : 1)).Put(width).Put(height).Put(handedOver);
}

void UIPicture::SetTextureMapping(float sizeU, float sizeV, float originU, float originV)
{
    UICommand command(kPictureTrampoline, &UIPicture::RunCommand, CMD_SET_TEXTURE_MAPPING, this, 2 * rp::kVector);
    command.Put(Vector(sizeU, sizeV, 0.0f, 0.0f)).Put(Vector(originU, originV, 0.0f, 0.0f));
}

void UIPicture::SetTextureTile(uint32_t indexX, uint32_t indexY, uint32_t countX, uint32_t countY,
                               const Vector& scale, const Vector& offset)
{
    const float tileU = 1.0f / float(std::max(countX, 1u));
    const float tileV = 1.0f / float(std::max(countY, 1u));
    SetTextureMapping(tileU * scale.x, tileV * scale.y, float(indexX) * tileU + offset.x,
                      float(indexY) * tileV + offset.y);
}

void UIPicture::SetUVSize(const Vector& size)
{
    SendVector(CMD_SET_UV_SIZE, size);
}

void UIPicture::SetUVOrigin(const Vector& origin)
{
    SendVector(CMD_SET_UV_ORIGIN, origin);
}

void UIPicture::SetShader(const char* name, const char* options, int32_t batchIndex, bool flushAfter)
{
    if (m_vertexShaderResource != nullptr)
        m_vertexShaderResource->Release();
    if (m_pixelShaderResource != nullptr)
        m_pixelShaderResource->Release();
    m_vertexShaderResource = m_pixelShaderResource = nullptr;
    Resource* vertex = nullptr;
    Resource* pixel = nullptr;
    gShaderManager.GetShader(name, options, &vertex, &pixel, 1, true, 0);
    auto* const vertexShader = dynamic_cast<ResourceShader*>(vertex);
    auto* const pixelShader = dynamic_cast<ResourceShader*>(pixel);
    const VertexShaderObject* const vertexObject = vertexShader != nullptr ? vertexShader->GetVertexShader() : nullptr;
    const PixelShaderObject* const pixelObject = pixelShader != nullptr ? pixelShader->GetPixelShader() : nullptr;
    if (vertexObject == nullptr || pixelObject == nullptr)
    {
        if (vertex != nullptr)
            vertex->Release();
        if (pixel != nullptr)
            pixel->Release();
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Unable to load shader %s with option string: %s",
                       name != nullptr ? name : "", options != nullptr ? options : "");
        return;
    }
    m_vertexShaderResource = vertex;
    m_pixelShaderResource = pixel;
    UICommand command(kPictureTrampoline, &UIPicture::RunCommand, CMD_SET_SHADER, this,
                      2 * rp::kPointer + rp::kU32 + rp::kU8);
    command.Put(vertexObject).Put(pixelObject).Put(batchIndex).Put(uint8_t(flushAfter ? 1 : 0));
}

void UIPicture::SetPixelShaderParam(const Vector& value)
{
    SendVector(CMD_SET_PIXEL_SHADER_PARAM, value);
}

void UIPicture::SetRenderGatheringChannel(int32_t batchIndex)
{
    UICommand command(kPictureTrampoline, &UIPicture::RunCommand, CMD_SET_RENDER_GATHERING_CHANNEL, this, rp::kU32);
    command.Put(batchIndex);
}

void UIPicture::SetCornerColors(const Vector colors[4])
{
    UICommand command(kPictureTrampoline, &UIPicture::RunCommand, CMD_SET_CORNER_COLORS, this, 4 * rp::kVector);
    for (uint32_t i = 0; i < 4; ++i)
        command.Put(colors[i]);
}

void UIPicture::ReleaseMainResources()
{
    for (Resource** resource :
         {&m_textureResources[0], &m_textureResources[1], &m_vertexShaderResource, &m_pixelShaderResource})
    {
        if (*resource != nullptr)
            (*resource)->Release();
        *resource = nullptr;
    }
    m_steamSizeClass = -1;
    m_steamImage = 0;
}

void UIPicture::SetResourceFlags(uint32_t flags)
{
    if (gResourceManager == nullptr)
        return;
    for (Resource* resource : m_textureResources)
        if (resource != nullptr)
            gResourceManager->SetResourceFlags(resource, flags);
}

void UIPicture::OnRemoved()
{
    ReleaseMainResources();
    UIElement::OnRemoved();
}

// ---- Render side ----

void UIPicture::RunCommand(uint32_t commandId, CommandRingBuffer& reader)
{
    auto* const picture = ReadCommandValue<UIPicture*>(reader);
    if (picture != nullptr)
        picture->ExecutePictureCommand(commandId, reader);
}

void UIPicture::CopyUserImage(uint32_t sizeClass, uint32_t width, uint32_t height, const uint8_t* pixels)
{
    TextureHolder* const holder =
        gRenderer != nullptr ? gRenderer->GetDeviceManager().GetUIQuadGeometry().GetUserImageTexture(sizeClass) : nullptr;
    auto* const texture = holder != nullptr ? dynamic_cast<gpu::GpuTexture*>(holder->GetTexture()) : nullptr;
    gpu::SurfaceDesc desc{};
    gpu::LockedRect locked{};
    if (texture == nullptr || texture->GetLevelDesc(0, &desc) != gpu::kOk)
        return;
    // An image taller or wider than the shared texture would be written past its rows.
    if (width > desc.width || height > desc.height || texture->LockRect(0, &locked, nullptr, 0) != gpu::kOk)
    {
        gConsole.Warning(CONSOLE_CHANNEL_RENDER, "UIPicture: a user image of %ux%u does not fit the %ux%u texture",
                         width, height, desc.width, desc.height);
        return;
    }
    const bool copied = uint32_t(locked.pitch) == width * 4;
    if (copied)
    {
        for (uint32_t y = 0; y < height; ++y)
        {
            const uint8_t* source = pixels + size_t(y) * width * 4;
            uint8_t* target = static_cast<uint8_t*>(locked.bits) + size_t(y) * uint32_t(locked.pitch);
            for (uint32_t x = 0; x < width; ++x, source += 4, target += 4)
            {
                target[0] = source[2];
                target[1] = source[1];
                target[2] = source[0];
                target[3] = source[3];
            }
        }
    }
    texture->UnlockRect(0);
    if (!copied)
        return;
    RendererObjectHandle::Replace(m_textures[0], holder);
    m_samplerPresets[0] = kUserImageSamplerPreset;
}

void UIPicture::ExecutePictureCommand(uint32_t commandId, CommandRingBuffer& reader)
{
    switch (commandId)
    {
    case CMD_SET_STEAM_TEXTURE:
    {
        const uint32_t sizeClass = ReadCommandValue<uint32_t>(reader);
        const uint32_t width = ReadCommandValue<uint32_t>(reader);
        const uint32_t height = ReadCommandValue<uint32_t>(reader);
        const std::unique_ptr<const uint8_t[]> pixels(ReadCommandValue<const uint8_t*>(reader));
        if (pixels != nullptr)
            CopyUserImage(sizeClass, width, height, pixels.get());
        return;
    }
    case CMD_SET_TEXTURE:
    {
        const uint32_t stage = ReadCommandValue<uint32_t>(reader);
        TextureHolder* const holder = ReadCommandValue<TextureHolder*>(reader);
        const uint32_t preset = ReadCommandValue<uint32_t>(reader);
        if (stage > 1)
            return;
        RendererObjectHandle::Replace(m_textures[stage], holder);
        m_samplerPresets[stage] = preset;
        return;
    }
    case CMD_SET_TEXTURE_MAPPING:
        m_uvSize = ReadCommandValue<Vector>(reader);
        m_uvOrigin = ReadCommandValue<Vector>(reader);
        return;
    case CMD_SET_SHADER:
        m_vertexShader = ReadCommandValue<const VertexShaderObject*>(reader);
        m_pixelShader = ReadCommandValue<const PixelShaderObject*>(reader);
        m_batchIndex = ClampBatchIndex(ReadCommandValue<int32_t>(reader));
        m_flushAfter = ReadCommandValue<uint8_t>(reader);
        return;
    case CMD_SET_PIXEL_SHADER_PARAM: m_pixelShaderParam = ReadCommandValue<Vector>(reader); return;
    // The index picks one of four batches: it is clamped like the shader command's.
    case CMD_SET_RENDER_GATHERING_CHANNEL: m_batchIndex = ClampBatchIndex(ReadCommandValue<int32_t>(reader)); return;
    case CMD_SET_UV_SIZE: m_uvSize = ReadCommandValue<Vector>(reader); return;
    case CMD_SET_UV_ORIGIN: m_uvOrigin = ReadCommandValue<Vector>(reader); return;
    case CMD_SET_CORNER_COLORS:
        for (Vector& color : m_cornerColors)
            color = ReadCommandValue<Vector>(reader);
        return;
    default: return;
    }
}
