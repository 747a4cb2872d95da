// Vertex and pixel shader objects made from our compiled code; they keep its constant table so that
// draws and tests can see what the shader reads, and the C++ program the rasteriser runs for them.
// Immutable but for the once-only missing-program report, which the device's thread takes.
#pragma once

#include "platform/gpu/GpuTypes.h"
#include "platform/gpu/ShaderCode.h"
#include "platform/gpu/ShaderProgram.h"

#include <utility>

namespace gpu
{
// A device shader of either stage.
class GpuShader : public GpuResource
{
public:
    const ShaderCode& Code() const { return m_code; }
    ShaderStage GetStage() const { return m_code.stage; }
    // Why the shader has no program (empty when it has one).
    const std::string& MissingProgramReason() const { return m_missingProgram; }
    // True the first time it is asked: the device logs a missing program once per shader.
    bool TakeMissingProgramReport() { return !std::exchange(m_missingReported, true); }

protected:
    GpuShader(ObjectKind kind, GpuDevice* device, ShaderCode code);
    std::string m_missingProgram;

private:
    ShaderCode m_code;
    bool m_missingReported = false;
};

class GpuVertexShader : public GpuShader
{
public:
    GpuVertexShader(GpuDevice* device, ShaderCode code);
    // Null when the code names no program the stand-in has.
    const VertexProgram* Program() const { return m_program.get(); }

private:
    std::unique_ptr<VertexProgram> m_program;
};

class GpuPixelShader : public GpuShader
{
public:
    GpuPixelShader(GpuDevice* device, ShaderCode code);
    const PixelProgram* Program() const { return m_program.get(); }
    // Bit i set when the code reads sampler register i.
    uint32_t SamplerMask() const { return m_samplerMask; }

private:
    std::unique_ptr<PixelProgram> m_program;
    uint32_t m_samplerMask = 0;
};
} // namespace gpu
