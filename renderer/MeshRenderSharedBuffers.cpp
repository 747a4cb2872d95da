#include "renderer/MeshRenderSharedBuffers.h"

MeshRenderSharedBuffers gMeshRenderSharedBuffers;

MeshRenderSharedBuffers::MeshRenderSharedBuffers()
{
    for (uint32_t i = 0; i < kCapacity; ++i)
    {
        const uint16_t b = uint16_t(i * 4);
        const uint16_t quad[6] = {b, uint16_t(b + 1), uint16_t(b + 2), b, uint16_t(b + 2), uint16_t(b + 3)};
        for (uint32_t k = 0; k < 6; ++k)
            m_indices[i * 6 + k] = quad[k];
    }
}

FakeShadowVertex* MeshRenderSharedBuffers::AddQuad(uint32_t buffer)
{
    uint32_t& count = m_count[buffer & 1];
    if (count >= kCapacity)
        return nullptr;
    return m_vertices[buffer & 1] + 4 * count++;
}

void MeshRenderSharedBuffers::Clear()
{
    m_count[0] = 0;
    m_count[1] = 0;
}
