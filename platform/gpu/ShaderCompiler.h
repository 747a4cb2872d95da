// Helper-library piece: the reflection compiler. It preprocesses the source, reads the top-level
// uniforms and the functions, checks that the entry point exists and builds the constant table of
// the uniforms the entry point reaches. It makes no executable code: the "code" it gives is our own
// record (ShaderCode.h) that a cache can store and the device accepts. Any thread.
#pragma once

#include "platform/gpu/ShaderCode.h"
#include "platform/gpu/ShaderPreprocessor.h"

namespace gpu
{
// macros ends with a null name (may be null); includes may be null when the source includes
// nothing; sourceName (may be null) names the main source in messages. code, messages and table
// are optional outputs. On failure the answer is kErrCompile and messages hold one line per error.
Result CompileShader(const char* source, size_t length, const char* sourceName, const ShaderMacro* macros,
                     ShaderIncludeHandler* includes, const char* entryPoint, const char* profile, uint32_t flags,
                     GpuBlob** code, GpuBlob** messages, ShaderConstantTable** table);

// The constant table of compiled code.
Result GetShaderConstantTable(const void* code, size_t size, ShaderConstantTable** table);
} // namespace gpu
