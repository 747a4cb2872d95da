// An immutable vertex declaration: the element list up to and including the end marker. Any thread
// may read it once created.
#pragma once

#include "platform/gpu/GpuObject.h"
#include "platform/gpu/GpuTypes.h"

#include <vector>

namespace gpu
{
class GpuVertexDeclaration : public GpuResource
{
public:
    GpuVertexDeclaration(GpuDevice* device, const VertexElement* elements, uint32_t count);

    // With elements null only the count (end marker included) is given.
    Result GetDeclaration(VertexElement* elements, uint32_t* count) const;
    const std::vector<VertexElement>& Elements() const { return m_elements; }
    // Bytes one element type takes in a vertex (0 for the unused type).
    static uint32_t TypeSize(uint8_t type);
    // Number of elements before the end marker, or -1 when there is none within kMaxVertexElements
    // or an element is malformed.
    static int32_t CountElements(const VertexElement* elements);

private:
    std::vector<VertexElement> m_elements;
};
} // namespace gpu
