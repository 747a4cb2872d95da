// Render thread: vertex and index buffers made with their first contents.
#include "renderer/NorvexRenderer.h"

#include "platform/gpu/GpuDevice.h"

#include <cstring>

namespace
{
template <typename Buffer>
Buffer* Fill(Buffer* buffer, uint32_t length, const void* data)
{
    if (buffer == nullptr || data == nullptr)
        return buffer;
    void* bytes = nullptr;
    if (buffer->Lock(0, length, &bytes, 0) != gpu::kOk || bytes == nullptr)
    {
        // A buffer whose contents never arrived would draw garbage: the caller gets none.
        gpu::SafeRelease(buffer);
        return nullptr;
    }
    std::memcpy(bytes, data, length);
    buffer->Unlock();
    return buffer;
}
} // namespace

bool NorvexRenderer::BindScreenQuad()
{
    constexpr uint32_t kScreenQuadFvf = gpu::kFvfXyz | gpu::kFvfTex1;
    constexpr uint32_t kScreenQuadStride = 20;
    gpu::GpuDevice* const device = GetDevice();
    const SharedGeometry::Buffers& quad = GetDeviceManager().GetSharedGeometry().Get(SharedGeometry::MESH_FULL_SCREEN_QUAD);
    if (device == nullptr || quad.vertices == nullptr)
        return false;
    device->SetFVF(kScreenQuadFvf);
    device->SetStreamSource(0, quad.vertices, 0, kScreenQuadStride);
    return true;
}

gpu::GpuVertexBuffer* NorvexRenderer::CreateVertexBuffer(uint32_t length, uint32_t usage, gpu::Pool pool,
                                                         const void* data)
{
    gpu::GpuDevice* const device = GetDevice();
    gpu::GpuVertexBuffer* buffer = nullptr;
    if (device == nullptr || device->CreateVertexBuffer(length, usage, 0, pool, &buffer) != gpu::kOk)
        return nullptr;
    return Fill(buffer, length, data);
}

gpu::GpuIndexBuffer* NorvexRenderer::CreateIndexBuffer(uint32_t length, uint32_t usage, gpu::Pool pool,
                                                       const void* data)
{
    gpu::GpuDevice* const device = GetDevice();
    gpu::GpuIndexBuffer* buffer = nullptr;
    if (device == nullptr || device->CreateIndexBuffer(length, usage, gpu::kFormatIndex16, pool, &buffer) != gpu::kOk)
        return nullptr;
    return Fill(buffer, length, data);
}
