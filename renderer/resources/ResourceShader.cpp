#include "renderer/resources/ResourceShader.h"

#include "core/console/GameConsole.h"
#include "core/filesystem/FileReader.h"
#include "core/filesystem/FileSystem.h"
#include "core/filesystem/FileWriter.h"
#include "core/strings/StringUtils.h"
#include "platform/gpu/ShaderCompiler.h"
#include "renderer/ShaderManager.h"
#include "renderer/PixelShaderObject.h"
#include "renderer/VertexShaderObject.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace
{
constexpr size_t kPathCapacity = 260;
// Longest code a compiled file may claim.
constexpr uint32_t kMaxCodeBytes = 16u << 20;

uint32_t KindOfName(const char* name)
{
    const char* dot = name != nullptr ? std::strrchr(name, '.') : nullptr;
    if (dot == nullptr || dot[1] == 0 || dot[2] == 0)
        return ResourceShader::KIND_UNKNOWN;
    const char stage[3] = {char(dot[1] | 0x20), char(dot[2] | 0x20), 0};
    return std::strcmp(stage, "vs") == 0   ? ResourceShader::KIND_VERTEX
           : std::strcmp(stage, "ps") == 0 ? ResourceShader::KIND_PIXEL
                                           : ResourceShader::KIND_UNKNOWN;
}

// Logs each line of the compiler's message text on the shader channel.
void LogCompilerMessages(gpu::GpuBlob* messages, bool failed)
{
    if (messages == nullptr)
        return;
    const char* text = static_cast<const char*>(messages->GetBufferPointer());
    const std::string all(text, strnlen(text, messages->GetBufferSize()));
    size_t position = 0;
    while (position < all.size())
    {
        size_t end = all.find('\n', position);
        if (end == std::string::npos)
            end = all.size();
        const std::string line = all.substr(position, end - position);
        position = end + 1;
        if (line.empty())
            continue;
        if (failed)
            gConsole.Error(CONSOLE_CHANNEL_RENDER, "%s", line.c_str());
        else
            gConsole.Warning(CONSOLE_CHANNEL_RENDER, "%s", line.c_str());
    }
}
} // namespace

ResourceShader::ResourceShader(const char* name) : Resource(name), m_kind(KindOfName(name)) {}

ResourceShader::~ResourceShader()
{
    NorvexRendererObject::PostDeletion(m_object, false, false);
}

// The object is read only once the load has completed: until then the loading thread replaces it.
VertexShaderObject* ResourceShader::GetVertexShader() const
{
    return m_kind == KIND_VERTEX && GetState() == RESOURCE_STATE_DONE ? static_cast<VertexShaderObject*>(m_object)
                                                                      : nullptr;
}

PixelShaderObject* ResourceShader::GetPixelShader() const
{
    return m_kind == KIND_PIXEL && GetState() == RESOURCE_STATE_DONE ? static_cast<PixelShaderObject*>(m_object)
                                                                     : nullptr;
}

bool ResourceShader::BuildSourcePath(char* out, size_t size) const
{
    const char* name = GetDisplayName();
    const char* slash = std::strchr(name, '/');
    if (slash == nullptr || std::strchr(name, '.') == nullptr)
        return false;
    std::snprintf(out, size, "%s/%.*s.hlsl", kSourceFolder, int(slash - name), name);
    return true;
}

bool ResourceShader::DoLoad()
{
    NorvexRendererObject::PostDeletion(m_object, false, false);
    m_object = m_kind == KIND_VERTEX  ? static_cast<ShaderObject*>(new VertexShaderObject(this))
               : m_kind == KIND_PIXEL ? static_cast<ShaderObject*>(new PixelShaderObject(this))
                                      : nullptr;
    Code code;
    if (!LoadCompiled(code) && CompileFromSource(nullptr, code))
        WriteCompiledFile(code);
    if (code.bytes == nullptr)
        return false;
    if (m_object == nullptr)
    {
        delete[] code.bytes;
        return false;
    }
    m_object->SetReady();
    return CreateDeviceShader(code);
}

bool ResourceShader::CreateDeviceShader(Code& code)
{
    SetSize(code.size);
    if (m_kind == KIND_VERTEX)
    {
        auto* const vertex = static_cast<VertexShaderObject*>(m_object);
        vertex->ResetRegisters();
        vertex->ReadConstantTable(code.bytes, code.size);
    }
    return m_object->CreateFromBytecode(&code.bytes, code.size);
}

bool ResourceShader::LoadCompiled(Code& code)
{
    FileReader file(GetDisplayName(), nullptr, kCompiledFolder, 0);
    if (!file.IsOpen())
        return false;
    uint32_t magic = 0;
    uint32_t version = 0;
    uint64_t stamp = 0;
    const uint64_t current = gShaderManager.GetDefinitionStamp();
    // Without loaded definitions any stamp goes, but never a file of another kind.
    if (!file.ReadU32(magic) || !file.ReadU32(version) || !file.ReadU64(stamp) || magic != kCompiledMagic ||
        version != kCompiledVersion || (stamp != current && current != 0))
        return false;
    uint64_t sourceTime = 0;
    uint32_t size = 0;
    if (!file.ReadU64(sourceTime) || !file.ReadU32(size) || size > file.GetRemaining() || size > kMaxCodeBytes)
        return false;
    uint8_t* bytes = new (std::nothrow) uint8_t[size];
    gpu::ShaderCode parsed;
    if (bytes == nullptr || !file.Read(bytes, size) || !gpu::ReadShaderCode(bytes, size, &parsed) ||
        uint32_t(parsed.stage) != m_kind || !m_includes.Read(file))
    {
        delete[] bytes;
        return false;
    }
    // Code built from an older source or include is stale; without a source it is all there is.
    char sourcePath[kPathCapacity];
    if (BuildSourcePath(sourcePath, sizeof(sourcePath)))
    {
        FileReader source(sourcePath, nullptr, nullptr, 0);
        if (source.IsOpen() && (source.GetLastWriteTime() != sourceTime || !m_includes.IsUpToDate()))
        {
            delete[] bytes;
            return false;
        }
    }
    m_definitionStamp = stamp;
    m_sourceTime = sourceTime;
    code.bytes = bytes;
    code.size = size;
    return true;
}

bool ResourceShader::CompileFromSource(const uint64_t* previousSourceTime, Code& code)
{
    const char* name = GetDisplayName();
    const char* slash = std::strchr(name, '/');
    const char* dot = std::strrchr(name, '.');
    if (slash == nullptr || dot == nullptr)
        return false;
    const char* profile = dot + 1;
    Dynarray<ShaderOptionName> options;
    if (!gShaderManager.GetVariantOptionNames(name, options, false))
        return false;
    std::vector<gpu::ShaderMacro> macros;
    std::string optionText;
    for (const ShaderOptionName& option : options)
    {
        macros.push_back({option.text, ""});
        if (!optionText.empty())
            optionText += ' ';
        optionText += option.text;
    }
    macros.push_back({"MAX_SHADER_SKINNING_BONES", "64"});
    macros.push_back({nullptr, nullptr});

    char sourcePath[kPathCapacity];
    BuildSourcePath(sourcePath, sizeof(sourcePath));
    FileReader source(sourcePath, nullptr, nullptr, 0);
    if (!source.IsOpen())
    {
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "Cannot load shader source %s", sourcePath);
        for (int32_t i = 0; i < options.Count(); ++i)
            gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "Option %02d: %s", int(i), options[i].text);
        return false;
    }
    const uint64_t sourceTime = source.GetLastWriteTime();
    if (previousSourceTime != nullptr && *previousSourceTime == sourceTime)
        return false;
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_RENDER, "Compiling shader %s (%s) with options '%s' to file %s", sourcePath,
                    m_kind == KIND_VERTEX ? "vertex" : "pixel", optionText.c_str(), name);
    const uint32_t length = source.GetSize();
    std::vector<char> text(size_t(length) + 1, 0);
    if (!source.Read(text.data(), length))
    {
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "Cannot load shader source %s", sourcePath);
        return false;
    }
    if (m_kind != KIND_VERTEX && m_kind != KIND_PIXEL)
    {
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "Cannot find option definition for shader %s", name);
        return false;
    }
    const bool compiled = CompileHLSL(text.data(), length, sourcePath, macros.data(), m_kind == KIND_VERTEX ? "vertex" : "pixel",
                                      profile, code);
    m_sourceTime = sourceTime;
    m_definitionStamp = gShaderManager.GetDefinitionStamp();
    return compiled;
}

bool ResourceShader::CompileHLSL(const char* source, uint32_t length, const char* sourcePath,
                                 const gpu::ShaderMacro* macros, const char* entryPoint, const char* profile,
                                 Code& code)
{
    m_includes.Clear();
    const std::string call = std::string(entryPoint) + "(";
    if (std::strstr(source, call.c_str()) == nullptr)
        return false;
    gpu::GpuBlob* blob = nullptr;
    gpu::GpuBlob* messages = nullptr;
    const gpu::Result result = gpu::CompileShader(source, length, sourcePath, macros, &m_includes, entryPoint,
                                                  profile, 0, &blob, &messages, nullptr);
    const bool failed = result != gpu::kOk;
    if (failed)
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "HLSL error while compiling %s shader %s", entryPoint, sourcePath);
    else
        gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_RENDER, "Shader %s (%s) compiled successfully", sourcePath, entryPoint);
    LogCompilerMessages(messages, failed);
    if (messages != nullptr)
        messages->Release();
    if (blob == nullptr)
        return false;
    code.size = blob->GetBufferSize();
    code.bytes = new uint8_t[code.size];
    std::memcpy(code.bytes, blob->GetBufferPointer(), code.size);
    blob->Release();
    return true;
}

void ResourceShader::WriteCompiledFile(const Code& code)
{
    const char* name = GetDisplayName();
    const char* slash = std::strchr(name, '/');
    if (slash == nullptr)
        return;
    const std::string family(name, size_t(slash - name));
    gFileSystem.CreateDirectory(family.c_str(), kCompiledFolder);
    FileWriter file(name, nullptr, kCompiledFolder, 0);
    if (!file.IsOpen())
        return;
    const bool written = file.WriteU32(kCompiledMagic) && file.WriteU32(kCompiledVersion) &&
                         file.WriteU64(gShaderManager.GetDefinitionStamp()) && file.WriteU64(m_sourceTime) &&
                         file.WriteU32(code.size) && file.Write(code.bytes, code.size) && m_includes.Write(file);
    if (!file.Close() || !written)
        gConsole.Warning(CONSOLE_CHANNEL_RESOURCE, "Cannot write the compiled shader %s", name);
}

void ResourceShader::Reload()
{
    if (gShaderManager.GetDefinitionStamp() != m_definitionStamp)
    {
        gConsole.Error(CONSOLE_CHANNEL_RENDER,
                       "Cannot reload shader %s because definition file has changed. Please restart the application.",
                       GetDisplayName());
        return;
    }
    Code code;
    const bool includesUnchanged = m_includes.IsUpToDate();
    if (!CompileFromSource(includesUnchanged ? &m_sourceTime : nullptr, code))
        return;
    WriteCompiledFile(code);
    if (m_object == nullptr)
    {
        m_object = m_kind == KIND_VERTEX ? static_cast<ShaderObject*>(new VertexShaderObject(this))
                                         : static_cast<ShaderObject*>(new PixelShaderObject(this));
        m_object->SetReady();
    }
    CreateDeviceShader(code);
}
