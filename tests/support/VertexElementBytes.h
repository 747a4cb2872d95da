// Vertex declarations as the mesh data stores them: 8 bytes an element (stream and offset as
// little-endian u16, then type, method, usage and usage index), the end element included.
#pragma once

#include "platform/gpu/GpuTypes.h"

#include <cstdint>
#include <vector>

inline std::vector<uint8_t> VertexElementBytes(const std::vector<gpu::VertexElement>& elements)
{
    std::vector<uint8_t> bytes;
    for (const gpu::VertexElement& e : elements)
        bytes.insert(bytes.end(), {uint8_t(e.stream), uint8_t(e.stream >> 8), uint8_t(e.offset),
                                   uint8_t(e.offset >> 8), e.type, e.method, e.usage, e.usageIndex});
    return bytes;
}
