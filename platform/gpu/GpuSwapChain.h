// A swap chain: its parameters and back buffers. The device owns the implicit one; additional ones
// belong to their creator and must be released before a reset. Render thread only.
#pragma once

#include "platform/gpu/GpuSurface.h"

namespace gpu
{
class GpuSwapChain : public GpuResource
{
public:
    GpuSwapChain(GpuDevice* device, const PresentParameters& params, bool implicit);
    ~GpuSwapChain() override;

    // Adds a reference (shared with the swap chain).
    Result GetBackBuffer(uint32_t index, GpuSurface** surface);
    GpuSurface* PeekBackBuffer(uint32_t index) const;
    Result Present();
    void GetPresentParameters(PresentParameters* params) const { *params = m_params; }
    const PresentParameters& Parameters() const { return m_params; }
    bool IsImplicit() const { return m_implicit; }

private:
    PresentParameters m_params;
    std::vector<GpuSurface*> m_backBuffers;
    bool m_implicit;
};
} // namespace gpu
