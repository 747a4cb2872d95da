// MeshRenderSharedBuffers: the fake (blob) shadow quads of one frame, two lists of at most 128
// quads each, filled by the mesh contexts' secondary pass and drawn and emptied by the fake shadow
// pass. The index list is fixed (quad i uses vertices 4i to 4i + 3). Render thread only.
#pragma once

#include <cstdint>

// One fake shadow vertex as the fixed shadow shader reads it: position, then u, v and strength.
struct FakeShadowVertex
{
    float x, y, z;
    float u, v, strength;
};
static_assert(sizeof(FakeShadowVertex) == 24);

// The frame's blob shadow quads: list A darkens every channel, list B the red channel only.
class MeshRenderSharedBuffers
{
public:
    static constexpr uint32_t kCapacity = 128;
    static constexpr uint32_t kBufferA = 0;
    static constexpr uint32_t kBufferB = 1;

    MeshRenderSharedBuffers();

    // The four vertices of a new quad in `buffer`, counted at once; null when the list is full.
    FakeShadowVertex* AddQuad(uint32_t buffer);
    bool HasRoom(uint32_t buffer) const { return m_count[buffer & 1] < kCapacity; }
    uint32_t GetQuadCount(uint32_t buffer) const { return m_count[buffer & 1]; }
    const FakeShadowVertex* GetVertices(uint32_t buffer) const { return m_vertices[buffer & 1]; }
    // Six indices per quad: 4i, 4i+1, 4i+2, 4i, 4i+2, 4i+3.
    const uint16_t* GetIndices() const { return m_indices; }
    // Both lists empty.
    void Clear();

private:
    uint32_t m_count[2] = {};
    FakeShadowVertex m_vertices[2][kCapacity * 4];
    uint16_t m_indices[kCapacity * 6];
};

extern MeshRenderSharedBuffers gMeshRenderSharedBuffers;
