#include "platform/gpu/ShaderConstantTable.h"

namespace gpu
{
ShaderConstantTable::ShaderConstantTable(std::vector<ShaderConstant> constants)
    : GpuObject(ObjectKind::ConstantTable), m_constants(std::move(constants))
{
}

const ShaderConstant* ShaderConstantTable::GetConstant(uint32_t index) const
{
    return index < m_constants.size() ? &m_constants[index] : nullptr;
}

const ShaderConstant* ShaderConstantTable::FindConstant(const char* name) const
{
    if (!name)
        return nullptr;
    for (const ShaderConstant& constant : m_constants)
        if (constant.name == name)
            return &constant;
    return nullptr;
}
} // namespace gpu
