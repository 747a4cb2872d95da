#include "platform/gpu/GpuShader.h"

namespace gpu
{
GpuShader::GpuShader(ObjectKind kind, GpuDevice* device, ShaderCode code)
    : GpuResource(kind, device, kPoolManaged, false), m_code(std::move(code))
{
}

GpuVertexShader::GpuVertexShader(GpuDevice* device, ShaderCode code)
    : GpuShader(ObjectKind::VertexShader, device, std::move(code)), m_program(MakeVertexProgram(Code(), &m_missingProgram))
{
}

GpuPixelShader::GpuPixelShader(GpuDevice* device, ShaderCode code)
    : GpuShader(ObjectKind::PixelShader, device, std::move(code)), m_program(MakePixelProgram(Code(), &m_missingProgram))
{
    for (const ShaderConstant& c : Code().constants)
        if (c.registerSet == RegisterSet::Sampler)
            for (uint32_t i = c.registerIndex; i < c.registerIndex + c.registerCount && i < kSamplerCount; ++i)
                m_samplerMask |= 1u << i;
}
} // namespace gpu
