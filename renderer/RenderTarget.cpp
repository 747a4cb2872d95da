#include "renderer/RenderTarget.h"

#include "platform/gpu/GpuDevice.h"
#include "renderer/jobs/TextureHolder.h"

namespace
{
void DropHolder(TextureHolder*& holder)
{
    if (holder != nullptr && holder->DropReference() == 0)
    {
        holder->Release();
        delete holder;
    }
    holder = nullptr;
}
} // namespace

bool RenderTarget::Create(gpu::GpuDevice* device, uint32_t width, uint32_t height, gpu::Format format,
                          uint32_t usage, bool depth)
{
    Release();
    if (device == nullptr)
        return false;
    if (depth)
    {
        if (device->CreateDepthStencilSurface(width, height, format, gpu::kMultisampleNone, 0, true, &m_surface) ==
            gpu::kOk)
            return true;
        m_surface = nullptr;
        return false;
    }
    m_holder = new TextureHolder();
    if (m_holder->Create(device, width, height, 1, usage, format, gpu::kPoolDefault))
    {
        auto* const texture = static_cast<gpu::GpuTexture*>(m_holder->GetTexture());
        if (texture->GetSurfaceLevel(0, &m_surface) == gpu::kOk)
            return true;
        m_surface = nullptr;
    }
    DropHolder(m_holder);
    return false;
}

void RenderTarget::Release()
{
    gpu::SafeRelease(m_surface);
    DropHolder(m_holder);
}
