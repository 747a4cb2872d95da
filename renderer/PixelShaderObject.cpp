#include "renderer/PixelShaderObject.h"

#include "core/console/GameConsole.h"
#include "platform/gpu/GpuDevice.h"

RTTI_DEFINE_CLASS(PixelShaderObject, ShaderObject)

void PixelShaderObject::BuildClassProperties(RTTIPropertiesBase&) {}

void PixelShaderObject::CreateDeviceShader(gpu::GpuDevice& device, const void* code, uint32_t size)
{
    if (device.CreatePixelShader(code, size, &m_shader) != gpu::kOk)
    {
        m_shader = nullptr;
        gConsole.Error(5, "The device refused a pixel shader of %u bytes", size);
    }
}

void PixelShaderObject::ReleaseDeviceShader()
{
    gpu::SafeRelease(m_shader);
}
