// Compiled shader code as the compiled-shader cache hands it back: reading it must refuse damaged
// code without over-reading.
#include "platform/gpu/ShaderCompiler.h"
#include "platform/gpu/GpuLog.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    gpu::SetLogHandler([](gpu::LogLevel, const char*) {});
    gpu::ShaderConstantTable* table = nullptr;
    if (gpu::GetShaderConstantTable(data, size, &table) == gpu::kOk)
    {
        for (uint32_t i = 0; i < table->GetConstantCount(); ++i)
            table->FindConstant(table->GetConstant(i)->name.c_str());
        table->Release();
    }
    return 0;
}
