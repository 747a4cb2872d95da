// Compiled shader code in our own format, and the blob that carries it (or compiler messages).
// The reflection compiler makes no executable code: the code records the stage, profile, entry
// point, a hash of the preprocessed source and the constant table, which is what the device and
// the constant table reader need. Little-endian, field by field:
//   u32 magic "NVSC", u16 version (2; 1 is still read), u8 stage (1 vertex, 2 pixel), u8 reserved 0,
//   string profile, string entry point (u16 length + bytes), string program (version 2 only: the
//   words of the source's "#pragma program" lines), u32 source hash, u32 constant count,
//   per constant: string name, u8 register set, u8 class, u8 type, u8 rows, u8 columns,
//   u32 elements, u32 register index, u32 register count.
// Pure functions and immutable blobs: any thread.
#pragma once

#include "platform/gpu/ShaderConstantTable.h"

namespace gpu
{
enum class ShaderStage : uint8_t
{
    Vertex = 1,
    Pixel = 2,
};

struct ShaderCode
{
    ShaderStage stage = ShaderStage::Vertex;
    std::string profile;
    std::string entryPoint;
    std::string program; // the stand-in's program for this code, with its switches (ShaderProgram.h)
    uint32_t sourceHash = 0;
    std::vector<ShaderConstant> constants;
};

std::vector<uint8_t> WriteShaderCode(const ShaderCode& code);
// False (with a logged reason) for anything that is not well-formed code of ours.
bool ReadShaderCode(const void* data, size_t size, ShaderCode* code);

// A block of bytes handed out by the compiler: code, or message text ending in a zero byte.
class GpuBlob : public GpuObject
{
public:
    explicit GpuBlob(std::vector<uint8_t> bytes);
    const void* GetBufferPointer() const { return m_bytes.data(); }
    uint32_t GetBufferSize() const { return uint32_t(m_bytes.size()); }

private:
    std::vector<uint8_t> m_bytes;
};
} // namespace gpu
