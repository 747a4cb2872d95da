// The geometry every text draw shares: one vertex declaration (short positions, short texture
// coordinates, a normalised short colour), a 32 KB vertex staging table and a quad index buffer.
//
// Threads: created and released by whoever holds the device (the game thread at device creation,
// else the render thread); read by the render thread's text draws.
#pragma once

#include <cstdint>
#include <vector>

namespace gpu
{
class GpuDevice;
class GpuIndexBuffer;
class GpuVertexDeclaration;
} // namespace gpu

// Owner of the shared text geometry of the renderer's device.
class TextRenderer
{
public:
    static constexpr uint32_t kTableBytes = 32 * 1024;
    static constexpr uint32_t kMaxQuads = 512;
    static constexpr uint32_t kIndicesPerQuad = 6;
    static constexpr uint32_t kVertexBytes = 16; // SHORT2 + SHORT2 + SHORT4N

    TextRenderer() = default;
    TextRenderer(const TextRenderer&) = delete;
    TextRenderer& operator=(const TextRenderer&) = delete;
    ~TextRenderer() { ReleaseBuffers(); }

    // Makes the declaration, the cleared table and the index list; false (logged, nothing kept)
    // when the device refuses one of them.
    bool CreateBuffers(gpu::GpuDevice* device);
    void ReleaseBuffers();

    gpu::GpuVertexDeclaration* GetDeclaration() const { return m_declaration; }
    gpu::GpuIndexBuffer* GetIndexBuffer() const { return m_indexBuffer; }
    std::vector<uint8_t>& GetTable() { return m_table; }

private:
    gpu::GpuVertexDeclaration* m_declaration = nullptr;
    gpu::GpuIndexBuffer* m_indexBuffer = nullptr;
    std::vector<uint8_t> m_table;
};
