// Shader source text through the reflection compiler: damaged sources must end in messages, never
// in a crash or an endless expansion.
#include "platform/gpu/ShaderCompiler.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace
{
class SelfInclude : public gpu::ShaderIncludeHandler
{
public:
    SelfInclude(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    gpu::Result Open(gpu::IncludeType, const char*, const void*, const void** data, uint32_t* bytes) override
    {
        *data = m_data;
        *bytes = uint32_t(m_size);
        return gpu::kOk;
    }
    void Close(const void*) override {}

private:
    const uint8_t* m_data;
    size_t m_size;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SelfInclude includes(data, size);
    const gpu::ShaderMacro macros[] = {{"FOG", ""}, {"MAX_SHADER_SKINNING_BONES", "64"}, {nullptr, nullptr}};
    gpu::GpuBlob* code = nullptr;
    gpu::GpuBlob* messages = nullptr;
    gpu::ShaderConstantTable* table = nullptr;
    gpu::CompileShader(reinterpret_cast<const char*>(data), size, "fuzz", macros, &includes, "vertex", "vs_3_0", 0,
                       &code, &messages, &table);
    gpu::SafeRelease(code);
    gpu::SafeRelease(messages);
    gpu::SafeRelease(table);
    return 0;
}
