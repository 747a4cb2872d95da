#include "platform/gpu/GpuVertexDeclaration.h"

namespace gpu
{
GpuVertexDeclaration::GpuVertexDeclaration(GpuDevice* device, const VertexElement* elements, uint32_t count)
    : GpuResource(ObjectKind::VertexDeclaration, device, kPoolManaged, false), m_elements(elements, elements + count)
{
}

Result GpuVertexDeclaration::GetDeclaration(VertexElement* elements, uint32_t* count) const
{
    if (!count)
        return kErrInvalidCall;
    if (elements)
        for (size_t i = 0; i < m_elements.size(); ++i)
            elements[i] = m_elements[i];
    *count = uint32_t(m_elements.size());
    return kOk;
}

uint32_t GpuVertexDeclaration::TypeSize(uint8_t type)
{
    static const uint8_t kSizes[] = {4, 8, 12, 16, 4, 4, 4, 8, 4, 4, 8, 4, 8, 4, 4, 4, 8, 0};
    return type < sizeof(kSizes) ? kSizes[type] : 0;
}

int32_t GpuVertexDeclaration::CountElements(const VertexElement* elements)
{
    for (uint32_t i = 0; i < kMaxVertexElements; ++i)
    {
        if (elements[i].stream == kDeclEndStream)
            return int32_t(i);
        if (elements[i].stream >= kStreamCount || elements[i].type >= kDeclUnused || elements[i].usage > kDeclUsageSample)
            return -1;
    }
    return -1;
}
} // namespace gpu
