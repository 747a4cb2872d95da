// A swap chain: its parameters and back buffers. The device owns its one swap chain. Render thread
// only.
#pragma once

#include "platform/gpu/GpuSurface.h"

namespace gpu
{
class GpuSwapChain : public GpuResource
{
public:
    GpuSwapChain(GpuDevice* device, const PresentParameters& params);
    ~GpuSwapChain() override;

    // Adds a reference (shared with the swap chain).
    Result GetBackBuffer(uint32_t index, GpuSurface** surface);
    GpuSurface* PeekBackBuffer(uint32_t index) const;
    void GetPresentParameters(PresentParameters* params) const { *params = m_params; }
    const PresentParameters& Parameters() const { return m_params; }

private:
    PresentParameters m_params;
    std::vector<GpuSurface*> m_backBuffers;
};
} // namespace gpu
