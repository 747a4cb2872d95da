// A pixel shader object: one device pixel shader (ShaderObject.h for threads and life cycle).
#pragma once

#include "renderer/ShaderObject.h"

namespace gpu
{
class GpuPixelShader;
}

// The pixel shader of one shader variant.
class PixelShaderObject : public ShaderObject
{
    RTTI_DECLARE_CLASS(PixelShaderObject, ShaderObject)

public:
    PixelShaderObject() = default;

    // Render thread.
    gpu::GpuPixelShader* GetDeviceShader() const { return m_shader; }

protected:
    void CreateDeviceShader(gpu::GpuDevice& device, const void* code, uint32_t size) override;
    void ReleaseDeviceShader() override;

private:
    gpu::GpuPixelShader* m_shader = nullptr;
};
