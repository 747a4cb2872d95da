#include "renderer/TextRenderer.h"

#include "core/console/GameConsole.h"
#include "platform/gpu/GpuDevice.h"

#include <cstring>

bool TextRenderer::CreateBuffers(gpu::GpuDevice* device)
{
    ReleaseBuffers();
    if (device == nullptr)
        return false;
    static const gpu::VertexElement kElements[] = {
        {0, 0, gpu::kDeclShort2, gpu::kDeclMethodDefault, gpu::kDeclUsagePosition, 0},
        {0, 4, gpu::kDeclShort2, gpu::kDeclMethodDefault, gpu::kDeclUsageTexCoord, 0},
        {0, 8, gpu::kDeclShort4N, gpu::kDeclMethodDefault, gpu::kDeclUsageTexCoord, 1},
        gpu::kDeclEnd,
    };
    const uint32_t indexBytes = kMaxQuads * kIndicesPerQuad * sizeof(uint16_t);
    void* locked = nullptr;
    if (device->CreateVertexDeclaration(kElements, &m_declaration) != gpu::kOk ||
        device->CreateIndexBuffer(indexBytes, gpu::kUsageWriteOnly, gpu::kFormatIndex16, gpu::kPoolManaged,
                                  &m_indexBuffer) != gpu::kOk ||
        m_indexBuffer->Lock(0, 0, &locked, 0) != gpu::kOk)
    {
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "TextRenderer: the shared text buffers could not be created");
        ReleaseBuffers();
        return false;
    }
    uint16_t indices[kMaxQuads * kIndicesPerQuad];
    for (uint32_t q = 0; q < kMaxQuads; ++q)
    {
        const uint16_t first = uint16_t(q * 4);
        uint16_t* const quad = indices + q * kIndicesPerQuad;
        quad[0] = first;
        quad[1] = uint16_t(first + 1);
        quad[2] = uint16_t(first + 2);
        quad[3] = first;
        quad[4] = uint16_t(first + 2);
        quad[5] = uint16_t(first + 3);
    }
    std::memcpy(locked, indices, indexBytes);
    m_indexBuffer->Unlock();
    m_table.assign(kTableBytes, 0);
    return true;
}

void TextRenderer::ReleaseBuffers()
{
    gpu::SafeRelease(m_declaration);
    gpu::SafeRelease(m_indexBuffer);
    m_table = {};
}
