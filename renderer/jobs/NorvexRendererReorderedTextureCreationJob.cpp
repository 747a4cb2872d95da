#include "renderer/jobs/NorvexRendererReorderedTextureCreationJob.h"

#include "core/console/GameConsole.h"
#include "platform/gpu/GpuDevice.h"
#include "platform/gpu/SurfaceLoader.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/resources/TextureFile.h"

NorvexRendererReorderedTextureCreationJob::NorvexRendererReorderedTextureCreationJob(uint8_t* image, uint32_t size,
                                                                                     TextureHolder* holder)
    : NorvexRendererResourceCreationJob(image, size, true), m_holder(holder), m_ownsHolder(holder == nullptr)
{
}

NorvexRendererReorderedTextureCreationJob::~NorvexRendererReorderedTextureCreationJob()
{
    Wait();
    // Never handed out: the job's own holder has only the job's reference and no other user.
    if (m_ownsHolder && m_holder != nullptr)
    {
        m_holder->Release();
        delete m_holder;
    }
}

TextureHolder* NorvexRendererReorderedTextureCreationJob::TakeHolder()
{
    if (!m_ownsHolder)
        return m_holder;
    if (m_holder == nullptr || m_holder->GetTexture() == nullptr)
        return nullptr;
    TextureHolder* holder = m_holder;
    m_holder = nullptr;
    return holder;
}

bool NorvexRendererReorderedTextureCreationJob::Run(NorvexRenderer& renderer)
{
    TextureFileHeader header;
    if (!TextureFileHeader::Parse(GetData(), GetDataSize(), &header) || !header.Validate(GetDataSize(), "image"))
    {
        if (m_holder != nullptr)
            m_holder->Release();
        return true;
    }
    if (m_holder == nullptr)
        m_holder = new TextureHolder;
    const bool cube = header.IsCube();
    // Three-byte texels have no device format of their own.
    const gpu::Format format = header.format == gpu::kFormatR8G8B8 ? gpu::kFormatX8R8G8B8 : gpu::Format(header.format);
    gpu::GpuDevice* device = renderer.GetDevice();
    const uint32_t levels = header.levelCount;
    const bool created = cube ? m_holder->CreateCube(device, header.width, levels, 0, format, gpu::kPoolManaged)
                              : m_holder->Create(device, header.width, header.height, levels, 0, format,
                                                 gpu::kPoolManaged);
    if (!created)
    {
        m_holder->Release();
        return true;
    }
    gpu::GpuBaseTexture* texture = m_holder->GetTexture();
    for (uint32_t k = 0; k < levels; ++k)
    {
        const TextureFileHeader::Level& level = header.levels[k];
        uint32_t pitch = 0;
        uint32_t bytes = 0;
        ComputeSurfacePitch(level.width, level.height, gpu::Format(header.format), &pitch, &bytes);
        const uint32_t deviceLevel = levels - 1 - k;
        for (uint32_t face = 0; face < header.GetFaceCount(); ++face)
        {
            gpu::GpuSurface* surface = nullptr;
            const gpu::Result got =
                cube ? static_cast<gpu::GpuCubeTexture*>(texture)->GetCubeMapSurface(face, deviceLevel, &surface)
                     : static_cast<gpu::GpuTexture*>(texture)->GetSurfaceLevel(deviceLevel, &surface);
            if (got != gpu::kOk)
                continue;
            const gpu::Rect rect = {0, 0, int32_t(level.width), int32_t(level.height)};
            gpu::LoadSurfaceFromMemory(surface, nullptr, GetData() + header.GetFaceOffset(k, face),
                                       gpu::Format(header.format), pitch, rect, gpu::kLoadFilterNone, 0);
            surface->Release();
        }
    }
    return true;
}
