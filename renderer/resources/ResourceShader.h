// The shader resource (type 1): one vertex or pixel shader variant of a shader family, named
// "Family/<32 hex digits>.vs_3_0" or ".ps_3_0". Loading takes the code from the compiled file
// "Common/Shaders/Compiled/<name>" when it was built against the loaded definitions from the current
// source and includes; otherwise it compiles "Common/Shaders/<Family>.hlsl" with one macro per
// selected option and writes the compiled file. The code becomes a vertex or pixel shader object.
//
// Compiled file (little-endian): u32 magic 0xF3981BD6, u32 version 4, 8-byte definition stamp,
// 8-byte source time, u32 code size n, n bytes of code, u32 include text size m, m bytes of text,
// u32 include count k, k 8-byte include times.
//
// Loads and reloads run on the resource thread (or the thread of a blocking load); the device
// shader is made through the shader object on the render thread.
#pragma once

#include "renderer/resources/Resource.h"
#include "renderer/resources/ShaderIncludeList.h"

#include <cstdint>

class ShaderObject;
class VertexShaderObject;
class PixelShaderObject;

// A compiled shader variant found, counted and loaded by the resource manager.
class ResourceShader : public Resource
{
public:
    static constexpr uint32_t kCompiledMagic = 0xF3981BD6u;
    static constexpr uint32_t kCompiledVersion = 4;
    static constexpr const char* kSourceFolder = "Common/Shaders";
    static constexpr const char* kCompiledFolder = "Common/Shaders/Compiled";

    enum Kind : uint32_t
    {
        KIND_UNKNOWN = 0,
        KIND_VERTEX = 1,
        KIND_PIXEL = 2,
    };

    explicit ResourceShader(const char* name);
    // Posts the shader object's deletion.
    ~ResourceShader() override;
    uint32_t GetType() const override { return RESOURCE_TYPE_SHADER; }
    bool DoLoad() override;
    // Recompiles when the source or an include changed since the code was built; a failed reload
    // keeps the old shader.
    void Reload() override;

    uint32_t GetKind() const { return m_kind; }
    // The shader object of the kind, or null; null until the load has completed.
    VertexShaderObject* GetVertexShader() const;
    PixelShaderObject* GetPixelShader() const;
    // The include files of the last compile (or of the compiled file read).
    const ShaderIncludeList& GetIncludeList() const { return m_includes; }

private:
    struct Code
    {
        uint8_t* bytes = nullptr; // new[]
        uint32_t size = 0;
    };

    bool LoadCompiled(Code& code);
    // previousSourceTime non-null: no code when the source still has that time.
    bool CompileFromSource(const uint64_t* previousSourceTime, Code& code);
    bool CompileHLSL(const char* source, uint32_t length, const char* sourcePath, const gpu::ShaderMacro* macros,
                     const char* entryPoint, const char* profile, Code& code);
    void WriteCompiledFile(const Code& code);
    // Gives the code to the shader object (reading the registers of a vertex shader first).
    bool CreateDeviceShader(Code& code);
    // The family's source path "Common/Shaders/<Family>.hlsl"; false when the name has no family.
    bool BuildSourcePath(char* out, size_t size) const;

    uint32_t m_kind = KIND_UNKNOWN;
    uint64_t m_definitionStamp = 0;
    uint64_t m_sourceTime = 0;
    ShaderObject* m_object = nullptr;
    ShaderIncludeList m_includes;
};
