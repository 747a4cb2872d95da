#include "renderer/jobs/RendererJobs.h"

#include "core/console/GameConsole.h"
#include "platform/gpu/GpuDevice.h"
#include "platform/gpu/SurfaceLoader.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/NorvexRendererObject.h"
#include "renderer/RendererObjectHandle.h"

#include <algorithm>
#include <cstring>

namespace
{
template <typename T>
void ReleaseObject(T*& object)
{
    if (object != nullptr)
        object->Release();
    object = nullptr;
}

template <typename T>
T* Take(T*& object)
{
    T* taken = object;
    object = nullptr;
    return taken;
}
} // namespace

bool ComputeSurfacePitch(uint32_t width, uint32_t height, gpu::Format format, uint32_t* pitch, uint32_t* size)
{
    uint32_t bytesPerPixel = 0;
    switch (format)
    {
    case gpu::kFormatR8G8B8: bytesPerPixel = 3; break;
    case gpu::kFormatA8R8G8B8:
    case gpu::kFormatX8R8G8B8: bytesPerPixel = 4; break;
    case gpu::kFormatR5G6B5:
    case gpu::kFormatA4R4G4B4:
    case gpu::kFormatA8L8: bytesPerPixel = 2; break;
    case gpu::kFormatA8:
    case gpu::kFormatL8: bytesPerPixel = 1; break;
    case gpu::kFormatDXT1:
    case gpu::kFormatDXT3:
    case gpu::kFormatDXT5:
    {
        // Whole 4x4 blocks: a 5-texel-wide level is two blocks across, as the device copies it.
        const uint64_t blockBytes = format == gpu::kFormatDXT1 ? 8 : 16;
        const uint64_t rowBytes = (uint64_t(width) + 3) / 4 * blockBytes;
        const uint64_t bytes = rowBytes * ((uint64_t(height) + 3) / 4);
        if (bytes > UINT32_MAX)
            break;
        *pitch = uint32_t(rowBytes);
        *size = uint32_t(bytes);
        return true;
    }
    default:
        break;
    }
    // A size that does not fit 32 bits would wrap into a small one that some file could match.
    const uint64_t bytes = uint64_t(bytesPerPixel) * width * height;
    if (bytesPerPixel == 0 || bytes > UINT32_MAX)
    {
        *pitch = 0;
        *size = 0;
        return false;
    }
    *pitch = bytesPerPixel * width;
    *size = uint32_t(bytes);
    return true;
}

bool NorvexRendererResourceAddRefJob::Run(NorvexRenderer&)
{
    m_holder->AddReference();
    return true;
}

bool NorvexRendererTextureDeletionJob::Run(NorvexRenderer&)
{
    TextureHolder* holder = m_holder;
    RendererObjectHandle::Release(holder);
    return true;
}

// Each job kind waits in its own destructor: by the base destructor the render thread could be
// dispatching Run on an object whose type is already being torn down.
NorvexRendererObjetDeletionJob::~NorvexRendererObjetDeletionJob()
{
    if (!IsFireAndForget())
        Wait();
}

NorvexRendererTextureUnloadDataJob::~NorvexRendererTextureUnloadDataJob()
{
    if (!IsFireAndForget())
        Wait();
}

bool NorvexRendererObjetDeletionJob::Run(NorvexRenderer&)
{
    m_object->DestroyOnRenderThread();
    return true;
}

bool NorvexRendererTextureUnloadDataJob::Run(NorvexRenderer&)
{
    m_holder->Release();
    return true;
}

NorvexRendererResourceCreationJob::NorvexRendererResourceCreationJob(const void* data, uint32_t size, bool take)
    : m_size(data != nullptr ? size : 0)
{
    SetWantsEvent(true);
    if (data == nullptr)
        return;
    if (take)
    {
        m_data = static_cast<uint8_t*>(const_cast<void*>(data));
        return;
    }
    m_data = new uint8_t[size];
    std::memcpy(m_data, data, size);
}

NorvexRendererResourceCreationJob::~NorvexRendererResourceCreationJob()
{
    // The render side may still read the block: wait before it goes.
    if (!IsFireAndForget())
        Wait();
    delete[] m_data;
}

NorvexRendererTextureCreationJob::NorvexRendererTextureCreationJob(const Description& description,
                                                                   TextureHolder* holder, const void* data,
                                                                   uint32_t size, bool take)
    : NorvexRendererResourceCreationJob(data, size, take), m_description(description), m_holder(holder)
{
}

NorvexRendererTextureCreationJob::~NorvexRendererTextureCreationJob()
{
    Wait();
    DropHolder();
}

TextureHolder* NorvexRendererTextureCreationJob::TakeHolder()
{
    return Take(m_holder);
}

void NorvexRendererTextureCreationJob::DropHolder()
{
    if (m_holder != nullptr && m_holder->DropReference() == 0)
    {
        m_holder->Release();
        delete m_holder;
    }
    m_holder = nullptr;
}

bool NorvexRendererTextureCreationJob::Run(NorvexRenderer& renderer)
{
    const Description& d = m_description;
    const bool cube = d.height == kCubeHeight;
    uint32_t levelPitch = 0;
    uint32_t levelSize = 0;
    // An unknown format cannot be laid out: nothing is created rather than an empty texture.
    if (d.mips == 0 || !ComputeSurfacePitch(1, 1, d.format, &levelPitch, &levelSize))
    {
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "Texture creation job: unsupported format %u or no levels (%u)", d.format,
                       d.mips);
        DropHolder();
        return true;
    }
    const uint32_t skip = std::min((d.flags & kFlagSkipTopLevel) != 0 ? 1u : 0u, d.mips - 1);
    const uint32_t width = std::max(1u, d.width >> skip);
    const uint32_t height = cube ? width : std::max(1u, d.height >> skip);
    const uint32_t faces = cube ? 6 : 1;
    if (m_holder == nullptr)
        m_holder = new TextureHolder;
    const gpu::Format format = d.format == gpu::kFormatR8G8B8 ? gpu::kFormatX8R8G8B8 : d.format;
    gpu::GpuDevice* device = renderer.GetDevice();
    const bool created = cube ? m_holder->CreateCube(device, width, d.mips - skip, d.usage, format, d.pool)
                              : m_holder->Create(device, width, height, d.mips - skip, d.usage, format, d.pool);
    if (!created)
    {
        DropHolder();
        return true;
    }
    const uint8_t* data = GetData();
    const uint32_t size = GetDataSize();
    if (data == nullptr || size < d.headerSize)
        return true;
    gpu::GpuBaseTexture* texture = m_holder->GetTexture();
    const uint32_t faceBytes = (size - d.headerSize) / faces;
    for (uint32_t face = 0; face < faces; ++face)
    {
        uint32_t offset = d.headerSize + face * faceBytes;
        uint32_t w = d.width;
        uint32_t h = cube ? d.width : d.height;
        for (uint32_t level = 0; level < d.mips; ++level)
        {
            uint32_t pitch = 0;
            uint32_t bytes = 0;
            ComputeSurfacePitch(w, h, d.format, &pitch, &bytes);
            if (uint64_t(offset) + bytes > size)
            {
                gConsole.Error(CONSOLE_CHANNEL_RENDER, "Texture creation job: level %u of face %u lies past the data",
                               level, face);
                return true;
            }
            gpu::GpuSurface* surface = nullptr;
            const gpu::Result got =
                level < skip ? gpu::kErrInvalidCall
                : cube       ? static_cast<gpu::GpuCubeTexture*>(texture)->GetCubeMapSurface(face, level - skip, &surface)
                             : static_cast<gpu::GpuTexture*>(texture)->GetSurfaceLevel(level - skip, &surface);
            if (got == gpu::kOk)
            {
                const gpu::Rect rect = {0, 0, int32_t(w), int32_t(h)};
                gpu::LoadSurfaceFromMemory(surface, nullptr, data + offset, d.format, pitch, rect,
                                           gpu::kLoadFilterNone, 0);
                surface->Release();
            }
            offset += bytes;
            w = std::max(1u, w / 2);
            h = std::max(1u, h / 2);
        }
    }
    return true;
}

NorvexRendererVertexBufferCreationJob::NorvexRendererVertexBufferCreationJob(uint32_t length, uint32_t usage,
                                                                             uint32_t fvf, gpu::Pool pool,
                                                                             const void* data, bool take)
    : NorvexRendererResourceCreationJob(data, length, take), m_length(length), m_usage(usage), m_fvf(fvf), m_pool(pool)
{
}

NorvexRendererVertexBufferCreationJob::~NorvexRendererVertexBufferCreationJob()
{
    Wait();
    ReleaseObject(m_buffer);
}

gpu::GpuVertexBuffer* NorvexRendererVertexBufferCreationJob::TakeBuffer()
{
    return Take(m_buffer);
}

namespace
{
// Shared by both buffer kinds: fill when the buffer exists, else create (and fill on the next run).
template <typename TBuffer, typename TCreate>
bool RunBufferCreation(TBuffer*& buffer, uint32_t length, const uint8_t* data, TCreate create)
{
    if (buffer != nullptr)
    {
        void* bytes = nullptr;
        if (buffer->Lock(0, 0, &bytes, 0) == gpu::kOk)
        {
            std::memcpy(bytes, data, length);
            buffer->Unlock();
        }
        return true;
    }
    if (length == 0)
        return true;
    if (!create(&buffer))
    {
        buffer = nullptr;
        return true;
    }
    return data == nullptr;
}
} // namespace

bool NorvexRendererVertexBufferCreationJob::Run(NorvexRenderer& renderer)
{
    return RunBufferCreation(m_buffer, m_length, GetData(), [&](gpu::GpuVertexBuffer** out) {
        gpu::GpuDevice* device = renderer.GetDevice();
        return device != nullptr && device->CreateVertexBuffer(m_length, m_usage, m_fvf, m_pool, out) == gpu::kOk;
    });
}

NorvexRendererIndexBufferCreationJob::NorvexRendererIndexBufferCreationJob(uint32_t length, uint32_t usage,
                                                                           gpu::Format format, gpu::Pool pool,
                                                                           const void* data, bool take)
    : NorvexRendererResourceCreationJob(data, length, take), m_length(length), m_usage(usage), m_format(format),
      m_pool(pool)
{
}

NorvexRendererIndexBufferCreationJob::~NorvexRendererIndexBufferCreationJob()
{
    Wait();
    ReleaseObject(m_buffer);
}

gpu::GpuIndexBuffer* NorvexRendererIndexBufferCreationJob::TakeBuffer()
{
    return Take(m_buffer);
}

bool NorvexRendererIndexBufferCreationJob::Run(NorvexRenderer& renderer)
{
    return RunBufferCreation(m_buffer, m_length, GetData(), [&](gpu::GpuIndexBuffer** out) {
        gpu::GpuDevice* device = renderer.GetDevice();
        return device != nullptr && device->CreateIndexBuffer(m_length, m_usage, m_format, m_pool, out) == gpu::kOk;
    });
}

NorvexRendererVertexDeclarationCreationJob::NorvexRendererVertexDeclarationCreationJob(
    const gpu::VertexElement* elements, uint32_t count)
    : NorvexRendererResourceCreationJob(elements, count * uint32_t(sizeof(gpu::VertexElement)), false), m_count(count)
{
}

NorvexRendererVertexDeclarationCreationJob::~NorvexRendererVertexDeclarationCreationJob()
{
    Wait();
    ReleaseObject(m_declaration);
}

gpu::GpuVertexDeclaration* NorvexRendererVertexDeclarationCreationJob::TakeDeclaration()
{
    return Take(m_declaration);
}

bool NorvexRendererVertexDeclarationCreationJob::Run(NorvexRenderer& renderer)
{
    const auto* elements = reinterpret_cast<const gpu::VertexElement*>(GetData());
    gpu::GpuDevice* device = renderer.GetDevice();
    if (elements == nullptr || m_count == 0 || elements[0].type == gpu::kDeclUnused || device == nullptr)
        return true;
    // The element array must end with the end element before the device reads it.
    if (std::memcmp(&elements[m_count - 1], &gpu::kDeclEnd, sizeof(gpu::VertexElement)) != 0)
    {
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "Vertex declaration job: the elements do not end with the end element");
        return true;
    }
    if (device->CreateVertexDeclaration(elements, &m_declaration) != gpu::kOk)
        m_declaration = nullptr;
    return true;
}

namespace
{
void PostFireAndForget(NorvexRendererResourceAccessJob* job, bool immediate)
{
    job->SetImmediate(immediate);
    PostRendererJob(job, false);
}
} // namespace

void PostResourceAddRefJob(TextureHolder* holder, bool immediate)
{
    if (holder != nullptr)
        PostFireAndForget(new NorvexRendererResourceAddRefJob(holder), immediate);
}

void PostTextureDeletionJob(TextureHolder* holder, bool immediate)
{
    if (holder != nullptr)
        PostFireAndForget(new NorvexRendererTextureDeletionJob(holder), immediate);
}

void PostObjectDeletionJob(NorvexRendererObject* object, bool immediate)
{
    if (object == nullptr)
        return;
    auto* job = new NorvexRendererObjetDeletionJob(object);
    job->SetFireAndForget(true);
    PostFireAndForget(job, immediate);
}
