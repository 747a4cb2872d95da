#include "renderer/PixelShaderObject.h"

#include "core/console/GameConsole.h"
#include "platform/gpu/GpuDevice.h"

RTTI_DEFINE_CLASS(PixelShaderObject, ShaderObject)

void PixelShaderObject::BuildClassProperties(RTTIPropertiesBase&) {}

gpu::GpuShader* PixelShaderObject::CreateDeviceShader(gpu::GpuDevice& device, const void* code, uint32_t size)
{
    gpu::GpuPixelShader* shader = nullptr;
    if (device.CreatePixelShader(code, size, &shader) == gpu::kOk)
        return shader;
    gConsole.Error(CONSOLE_CHANNEL_RENDER, "The device refused a pixel shader of %u bytes", size);
    return nullptr;
}
