#include "renderer/UIQuadGeometry.h"

#include "core/console/GameConsole.h"
#include "platform/gpu/GpuDevice.h"
#include "renderer/RendererObjectHandle.h"
#include "renderer/jobs/TextureHolder.h"

#include <cstring>

namespace
{
struct IndexTable
{
    uint16_t indices[UIQuadGeometry::kMaxIndexedQuads * UIQuadGeometry::kIndicesPerQuad];

    IndexTable()
    {
        for (uint32_t q = 0; q < UIQuadGeometry::kMaxIndexedQuads; ++q)
        {
            const uint16_t first = uint16_t(q * 4);
            uint16_t* const quad = indices + q * UIQuadGeometry::kIndicesPerQuad;
            quad[0] = first;
            quad[1] = uint16_t(first + 1);
            quad[2] = uint16_t(first + 2);
            quad[3] = first;
            quad[4] = uint16_t(first + 2);
            quad[5] = uint16_t(first + 3);
        }
    }
};
} // namespace

const uint16_t* UIQuadGeometry::GetIndices()
{
    static const IndexTable table;
    return table.indices;
}

bool UIQuadGeometry::Create(gpu::GpuDevice* device)
{
    Release();
    if (device == nullptr)
        return false;
    static const gpu::VertexElement kQuadElements[] = {
        {0, 0, gpu::kDeclFloat4, gpu::kDeclMethodDefault, gpu::kDeclUsageColor, 0},
        {0, 16, gpu::kDeclFloat3, gpu::kDeclMethodDefault, gpu::kDeclUsagePosition, 0},
        {0, 28, gpu::kDeclFloat4, gpu::kDeclMethodDefault, gpu::kDeclUsageTexCoord, 1},
        {0, 44, gpu::kDeclFloat2, gpu::kDeclMethodDefault, gpu::kDeclUsageTexCoord, 0},
        gpu::kDeclEnd,
    };
    static const gpu::VertexElement kUnitQuadElements[] = {
        {0, 0, gpu::kDeclFloat3, gpu::kDeclMethodDefault, gpu::kDeclUsagePosition, 0},
        {0, 12, gpu::kDeclFloat2, gpu::kDeclMethodDefault, gpu::kDeclUsageTexCoord, 0},
        gpu::kDeclEnd,
    };
    // The corners of the unit square in fan order, each with its own texture coordinate. The order
    // runs down the first edge: the UI's camera turns y over (it mirrors), and the direct draws cull
    // clockwise under a mirroring camera, so the other order would be culled away on screen.
    static const float kUnitQuad[4][5] = {
        {0.0f, 0.0f, 0.0f, 0.0f, 0.0f},
        {0.0f, 1.0f, 0.0f, 0.0f, 1.0f},
        {1.0f, 1.0f, 0.0f, 1.0f, 1.0f},
        {1.0f, 0.0f, 0.0f, 1.0f, 0.0f},
    };
    void* locked = nullptr;
    if (device->CreateVertexDeclaration(kQuadElements, &m_quadDeclaration) != gpu::kOk ||
        device->CreateVertexDeclaration(kUnitQuadElements, &m_unitQuadDeclaration) != gpu::kOk ||
        device->CreateVertexBuffer(sizeof(kUnitQuad), gpu::kUsageWriteOnly, 0, gpu::kPoolManaged, &m_unitQuad) !=
            gpu::kOk ||
        m_unitQuad->Lock(0, 0, &locked, 0) != gpu::kOk || !CreateUserImages(device))
    {
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "UIQuadGeometry: the shared UI geometry could not be created");
        Release();
        return false;
    }
    std::memcpy(locked, kUnitQuad, sizeof(kUnitQuad));
    m_unitQuad->Unlock();
    return true;
}

bool UIQuadGeometry::CreateUserImages(gpu::GpuDevice* device)
{
    const uint32_t edges[2] = {kSmallUserImageEdge, kLargeUserImageEdge};
    for (uint32_t i = 0; i < 2; ++i)
    {
        m_userImages[i] = new TextureHolder();
        if (!m_userImages[i]->Create(device, edges[i], edges[i], 1, 0, gpu::kFormatA8R8G8B8, gpu::kPoolManaged))
            return false;
    }
    return true;
}

void UIQuadGeometry::Release()
{
    gpu::SafeRelease(m_quadDeclaration);
    gpu::SafeRelease(m_unitQuadDeclaration);
    gpu::SafeRelease(m_unitQuad);
    for (TextureHolder*& holder : m_userImages)
    {
        if (holder != nullptr)
            holder->Release();
        RendererObjectHandle::Release(holder);
    }
}
