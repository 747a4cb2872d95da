// The project's own shader sources (data/shaders) for tests that compile them, and an include
// handler that reads their included files from there. Test thread only.
#pragma once

#include "platform/gpu/Gpu.h"
#include "tools/datakit/ShaderDataWriter.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

// A file of the source tree (the shader folder is <root>/data/shaders).
inline std::string ProjectSourcePath(const std::string& relative)
{
    return std::string(GetShaderSourceFolder()) + "/../../" + relative;
}

// Reads included files from the project's shader folder.
class ShaderFolderIncludes : public gpu::ShaderIncludeHandler
{
public:
    gpu::Result Open(gpu::IncludeType, const char* fileName, const void*, const void** data, uint32_t* bytes) override
    {
        std::string& text = m_open[fileName];
        text = ReadShaderSource(fileName);
        if (text.empty())
            return gpu::kErrNotAvailable;
        *data = text.data();
        *bytes = uint32_t(text.size());
        return gpu::kOk;
    }
    void Close(const void*) override {}

    static std::string ReadShaderSource(const std::string& name)
    {
        std::ifstream file(std::string(GetShaderSourceFolder()) + "/" + name, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

private:
    std::map<std::string, std::string> m_open;
};

// Compiled code of a source with option macros ("NAME" or "NAME=value"); empty, with the compiler's
// messages in `messages`, when it does not compile.
inline std::vector<uint8_t> TryCompileShaderText(const std::string& source, const char* entry, const char* profile,
                                                 const std::vector<std::string>& defines, std::string* messages)
{
    // "NAME" or "NAME=value".
    std::vector<std::pair<std::string, std::string>> split;
    for (const std::string& d : defines)
    {
        const size_t eq = d.find('=');
        split.push_back({d.substr(0, eq), eq == std::string::npos ? "1" : d.substr(eq + 1)});
    }
    std::vector<gpu::ShaderMacro> macros;
    for (const auto& [name, value] : split)
        macros.push_back({name.c_str(), value.c_str()});
    macros.push_back({nullptr, nullptr});
    ShaderFolderIncludes includes;
    gpu::GpuBlob* code = nullptr;
    gpu::GpuBlob* errors = nullptr;
    gpu::CompileShader(source.data(), source.size(), "probe.hlsl", macros.data(), &includes, entry, profile, 0, &code,
                       &errors, nullptr);
    *messages = errors ? static_cast<const char*>(errors->GetBufferPointer()) : "";
    gpu::SafeRelease(errors);
    if (!code)
        return {};
    const uint8_t* bytes = static_cast<const uint8_t*>(code->GetBufferPointer());
    std::vector<uint8_t> out(bytes, bytes + code->GetBufferSize());
    code->Release();
    return out;
}

// The same, where not compiling is a test failure.
inline std::vector<uint8_t> CompileShaderText(const std::string& source, const char* entry, const char* profile,
                                              const std::vector<std::string>& defines = {})
{
    std::string messages;
    std::vector<uint8_t> code = TryCompileShaderText(source, entry, profile, defines, &messages);
    EXPECT_FALSE(code.empty()) << messages;
    return code;
}
