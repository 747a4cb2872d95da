#include "platform/gpu/GpuSwapChain.h"

#include "platform/gpu/GpuDevice.h"

namespace gpu
{
GpuSwapChain::GpuSwapChain(GpuDevice* device, const PresentParameters& params)
    : GpuResource(ObjectKind::SwapChain, device, kPoolDefault, false), m_params(params)
{
    const SurfaceDesc desc = {params.backBufferFormat, kResourceSurface, kUsageRenderTarget, kPoolDefault,
                              params.multiSampleType, params.multiSampleQuality, params.backBufferWidth,
                              params.backBufferHeight};
    const bool lockable = (params.flags & kPresentFlagLockableBackBuffer) && params.multiSampleType == 0;
    for (uint32_t i = 0; i < params.backBufferCount; ++i)
        m_backBuffers.push_back(new GpuSurface(device, this, desc, lockable));
}

GpuSwapChain::~GpuSwapChain()
{
    for (GpuSurface* surface : m_backBuffers)
        delete surface;
}

GpuSurface* GpuSwapChain::PeekBackBuffer(uint32_t index) const
{
    return index < m_backBuffers.size() ? m_backBuffers[index] : nullptr;
}

Result GpuSwapChain::GetBackBuffer(uint32_t index, GpuSurface** surface)
{
    if (!surface)
        return kErrInvalidCall;
    *surface = PeekBackBuffer(index);
    if (!*surface)
        return kErrInvalidCall;
    (*surface)->AddRef();
    return kOk;
}
} // namespace gpu
