// The constant table of compiled shader code: every uniform the entry point reaches, with its
// register set, first register and register count. Immutable once built: any thread may read it.
#pragma once

#include "platform/gpu/GpuObject.h"

#include <string>
#include <vector>

namespace gpu
{
enum class RegisterSet : uint8_t
{
    Bool,
    Int4,
    Float4,
    Sampler,
};

enum class ConstantClass : uint8_t
{
    Scalar,
    Vector,
    MatrixRows,    // row-major matrix: one register per row
    MatrixColumns, // column-major matrix (the default): one register per column
    Object,        // samplers
};

enum class ConstantType : uint8_t
{
    Bool,
    Int,
    Float,
    Sampler,
    Sampler1D,
    Sampler2D,
    Sampler3D,
    SamplerCube,
};

struct ShaderConstant
{
    std::string name; // uniform parameters of the entry point are named "$parameter"
    RegisterSet registerSet;
    ConstantClass constantClass;
    ConstantType type;
    uint32_t rows;
    uint32_t columns;
    uint32_t elements; // 1 for a non-array
    uint32_t registerIndex;
    uint32_t registerCount;
};

// Table of the constants of one shader, in register order within each set.
class ShaderConstantTable : public GpuObject
{
public:
    explicit ShaderConstantTable(std::vector<ShaderConstant> constants);

    uint32_t GetConstantCount() const { return uint32_t(m_constants.size()); }
    const ShaderConstant* GetConstant(uint32_t index) const;
    // Exact, case-sensitive name; null when the shader does not use such a constant.
    const ShaderConstant* FindConstant(const char* name) const;
    const std::vector<ShaderConstant>& Constants() const { return m_constants; }

private:
    std::vector<ShaderConstant> m_constants;
};
} // namespace gpu
