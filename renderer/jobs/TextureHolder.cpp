#include "renderer/jobs/TextureHolder.h"

#include "platform/gpu/GpuDevice.h"

bool TextureHolder::Create(gpu::GpuDevice* device, uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                           gpu::Format format, gpu::Pool pool)
{
    Release();
    gpu::GpuTexture* texture = nullptr;
    if (device == nullptr || device->CreateTexture(width, height, levels, usage, format, pool, &texture) != gpu::kOk)
        return false;
    SetTexture(texture);
    return true;
}

bool TextureHolder::CreateCube(gpu::GpuDevice* device, uint32_t edge, uint32_t levels, uint32_t usage,
                               gpu::Format format, gpu::Pool pool)
{
    Release();
    gpu::GpuCubeTexture* texture = nullptr;
    if (device == nullptr || device->CreateCubeTexture(edge, levels, usage, format, pool, &texture) != gpu::kOk)
        return false;
    SetTexture(texture);
    return true;
}

void TextureHolder::Release()
{
    if (gpu::GpuBaseTexture* texture = m_texture.exchange(nullptr, std::memory_order_acq_rel))
        texture->Release();
}
