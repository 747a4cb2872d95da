// Vertex and pixel shader objects made from our compiled code; they keep its constant table so that
// draws and tests can see what the shader reads. Immutable: any thread may read them.
#pragma once

#include "platform/gpu/GpuTypes.h"
#include "platform/gpu/ShaderCode.h"

namespace gpu
{
// A device shader of either stage.
class GpuShader : public GpuResource
{
public:
    const ShaderCode& Code() const { return m_code; }
    ShaderStage GetStage() const { return m_code.stage; }

protected:
    GpuShader(ObjectKind kind, GpuDevice* device, ShaderCode code);

private:
    ShaderCode m_code;
};

class GpuVertexShader : public GpuShader
{
public:
    GpuVertexShader(GpuDevice* device, ShaderCode code);
};

class GpuPixelShader : public GpuShader
{
public:
    GpuPixelShader(GpuDevice* device, ShaderCode code);
};
} // namespace gpu
