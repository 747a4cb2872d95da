// A pixel shader object: one device pixel shader (ShaderObject.h for threads and life cycle).
#pragma once

#include "renderer/ShaderObject.h"

// The pixel shader of one shader variant.
class PixelShaderObject : public ShaderObject
{
    RTTI_DECLARE_CLASS(PixelShaderObject, ShaderObject)

public:
    using ShaderObject::ShaderObject;

    // Render thread.
    gpu::GpuPixelShader* GetDeviceShader() const
    {
        return static_cast<gpu::GpuPixelShader*>(ShaderObject::GetDeviceShader());
    }

protected:
    gpu::GpuShader* CreateDeviceShader(gpu::GpuDevice& device, const void* code, uint32_t size) override;

private:
};
